// Dates written into names by a strftime-style FORMAT, the same on every
// machine whatever its locale: %Y %y %m %d %H %I %M %S %p %j %a %A %b %B
// (English names) %F (%Y-%m-%d) %T (%H:%M:%S) and %%, plus %f for the
// sub-seconds as written and %z for the offset (+0200) where the file
// records one. And how an instant (a UTC time) becomes a wall-clock time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/metadata/values.h"

namespace quil::metadata {

constexpr std::string_view kDefaultDateFormat = "%Y%m%d_%H%M%S";

struct FormatError {
    std::string message;
    std::size_t offset = 0;  // in the format
};

class DateFormat {
public:
    // Checks format; false with what is wrong and where: an unknown
    // conversion, a lone % at the end, or no conversion at all (a format
    // that would give every file the same text).
    static bool Parse(std::string_view format, DateFormat& parsed, FormatError& error);

    bool UsesSubSeconds() const { return subSeconds_; }

    // The date as the format writes it. date must hold a wall-clock time
    // (see InZone for instants). notes receives what the text could not
    // say: "no sub-seconds recorded" for %f, "no offset recorded" for %z,
    // "the name gives no time of day" for a time of a date alone.
    std::string Write(const DateValue& date, std::vector<std::string>& notes) const;

private:
    std::string format_ = std::string(kDefaultDateFormat);
    bool subSeconds_ = false;
};

// Where instants are shown: a fixed offset from UTC, or the local zone's
// rules at that instant.
struct Zone {
    std::optional<int> fixedMinutes;  // east of UTC
};

// "+02:00", "-05:30", "+0200" or "Z"; false for anything else.
bool ParseZone(std::string_view text, Zone& zone);
// A fixed zone as ParseZone reads it back ("+02:00"); empty for the local.
std::string ZoneText(const Zone& zone);

// An instant's date (origin MovieHeader, Modified or Birth) as a wall-clock
// time in zone, its offset set to the zone's; any other date as it is.
DateValue InZone(const DateValue& date, const Zone& zone);

// A key that orders dates as their clocks ran, sub-seconds included, for
// an order by date: compare keys as bytes. date must hold a wall-clock time
// (InZone gives one for an instant).
std::string OrderKey(const DateValue& date);

// A wall-clock time as seconds since 1970 read as UTC, to compare with
// another wall-clock time.
std::int64_t CivilSeconds(const CivilTime& time);

// The civil time of seconds since 1970-01-01 UTC shifted by offsetSeconds.
CivilTime CivilOf(std::int64_t utcSeconds, int offsetSeconds);

}  // namespace quil::metadata
