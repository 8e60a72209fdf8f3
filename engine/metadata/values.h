// The values read from a file, before they are written into a name: dates
// with where they came from, texts and numbers, and what could not be read.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "engine/metadata/fields.h"

namespace quil::metadata {

// A calendar date and time of day, as a clock showed it.
struct CivilTime {
    int year = 0;
    int month = 0;   // 1-12
    int day = 0;     // 1-31
    int hour = 0;    // 0-23
    int minute = 0;
    int second = 0;  // 0-60 (a leap second)

    bool operator==(const CivilTime& other) const;
};

// Which record gave a date. Wall-clock origins are printed as written;
// instants (a movie header's time, a file's times) are seconds since 1970
// UTC and are shown in a zone when formatted.
enum class DateOrigin {
    ExifDateTimeOriginal,
    ExifCreateDate,         // DateTimeDigitized
    QuickTimeCreationDate,  // Apple's com.apple.quicktime.creationdate, with its offset
    MovieHeader,            // mvhd's creation time: an instant
    FileName,
    Modified,               // an instant
    Birth,                  // an instant
};

// "EXIF DateTimeOriginal", "the movie header's creation time (UTC)", ...
const char* Describe(DateOrigin origin);
bool IsInstant(DateOrigin origin);

struct DateValue {
    DateOrigin origin = DateOrigin::ExifDateTimeOriginal;
    // Wall-clock origins: the time as written.
    CivilTime wallClock;
    bool hasTimeOfDay = true;           // false for a name that holds only a date
    std::string subSeconds;             // the digits as written ("45"); empty where none
    std::optional<int> offsetMinutes;   // east of UTC, where the record gives one
    // Instants: seconds since 1970-01-01 UTC (wallClock is then unset).
    std::int64_t utcSeconds = 0;
};

using FieldValue = std::variant<DateValue, std::string, std::int64_t>;

// What one file gave, for the fields that were asked for. A field without
// a value is absent; the problem of its source, where there was one, says
// why ("the file ends inside its APP1 segment").
struct FileMetadata {
    std::array<std::optional<FieldValue>, kFieldCount> values;
    std::array<std::string, 4> problems;  // by FieldSource

    const std::optional<FieldValue>& Value(Field field) const { return values[static_cast<int>(field)]; }
    void Set(Field field, FieldValue value) { values[static_cast<int>(field)] = std::move(value); }
    const std::string& Problem(FieldSource source) const { return problems[static_cast<int>(source)]; }
    void SetProblem(FieldSource source, std::string problem) { problems[static_cast<int>(source)] = std::move(problem); }
};

}  // namespace quil::metadata
