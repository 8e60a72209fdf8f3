#include "engine/metadata/date_format.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "engine/metadata/date_text.h"
#include "platform/local_zone.h"

namespace quil::metadata {
namespace {

constexpr std::string_view kConversions = "YymdHIMSpjaAbBFTfz%";

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kWeekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// Days since 1970-01-01 of a civil date, and back (the proleptic Gregorian
// calendar, by eras of 400 years).
std::int64_t DaysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = static_cast<int>(year - era * 400);
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(std::int64_t days, CivilTime& time) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int dayOfEra = static_cast<int>(days - era * 146097);
    const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int shifted = (5 * dayOfYear + 2) / 153;
    time.day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    time.month = shifted < 10 ? shifted + 3 : shifted - 9;
    time.year = static_cast<int>(yearOfEra + era * 400 + (time.month <= 2));
}

int DayOfYear(const CivilTime& time) {
    return static_cast<int>(DaysFromCivil(time.year, time.month, time.day) - DaysFromCivil(time.year, 1, 1)) + 1;
}

int Weekday(const CivilTime& time) {  // 0 for Sunday; 1970-01-01 was a Thursday
    const std::int64_t days = DaysFromCivil(time.year, time.month, time.day);
    return static_cast<int>(((days % 7) + 11) % 7);
}

void Number(std::string& out, int value, int width) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%0*d", width, value);
    out += digits;
}

void Offset(std::string& out, int minutes) {
    out += minutes < 0 ? '-' : '+';
    const int magnitude = minutes < 0 ? -minutes : minutes;
    Number(out, magnitude / 60, 2);
    Number(out, magnitude % 60, 2);
}

void AddNote(std::vector<std::string>& notes, const char* note) {
    for (const std::string& seen : notes)
        if (seen == note) return;
    notes.emplace_back(note);
}

}  // namespace

bool DateFormat::Parse(std::string_view format, DateFormat& parsed, FormatError& error) {
    bool anyConversion = false, subSeconds = false;
    for (std::size_t at = 0; at < format.size(); ++at) {
        if (format[at] != '%') continue;
        if (at + 1 == format.size()) {
            error = {"a % ends the format; write %% for the character %", at};
            return false;
        }
        const char conversion = format[++at];
        if (kConversions.find(conversion) == std::string_view::npos) {
            std::string known;
            for (const char each : kConversions) (known += known.empty() ? "%" : " %") += each;
            error = {std::string("%") + conversion + " is not a date conversion; the conversions are " + known, at - 1};
            return false;
        }
        anyConversion |= conversion != '%';
        subSeconds |= conversion == 'f';
    }
    if (!anyConversion) {
        error = {"the date format has no conversion such as %Y", 0};
        return false;
    }
    parsed.format_ = std::string(format);
    parsed.subSeconds_ = subSeconds;
    return true;
}

std::string DateFormat::Write(const DateValue& date, std::vector<std::string>& notes) const {
    const CivilTime& t = date.wallClock;
    std::string out;
    auto timeOfDay = [&] {
        if (!date.hasTimeOfDay) AddNote(notes, "the name gives no time of day: 00:00:00 written");
    };
    for (std::size_t at = 0; at < format_.size(); ++at) {
        if (format_[at] != '%') {
            out += format_[at];
            continue;
        }
        switch (format_[++at]) {
            case 'Y': Number(out, t.year, 4); break;
            case 'y': Number(out, t.year % 100, 2); break;
            case 'm': Number(out, t.month, 2); break;
            case 'd': Number(out, t.day, 2); break;
            case 'H': timeOfDay(), Number(out, t.hour, 2); break;
            case 'I': timeOfDay(), Number(out, t.hour % 12 == 0 ? 12 : t.hour % 12, 2); break;
            case 'M': timeOfDay(), Number(out, t.minute, 2); break;
            case 'S': timeOfDay(), Number(out, t.second, 2); break;
            case 'p': timeOfDay(), out += t.hour < 12 ? "AM" : "PM"; break;
            case 'j': Number(out, DayOfYear(t), 3); break;
            case 'a': out.append(kWeekdays[Weekday(t)], 3); break;
            case 'A': out += kWeekdays[Weekday(t)]; break;
            case 'b': out.append(kMonths[t.month - 1], 3); break;
            case 'B': out += kMonths[t.month - 1]; break;
            case 'F': Number(out, t.year, 4), out += '-', Number(out, t.month, 2), out += '-', Number(out, t.day, 2); break;
            case 'T':
                timeOfDay();
                Number(out, t.hour, 2), out += ':', Number(out, t.minute, 2), out += ':', Number(out, t.second, 2);
                break;
            case 'f':
                if (date.subSeconds.empty()) AddNote(notes, "no sub-seconds recorded");
                out += date.subSeconds;
                break;
            case 'z':
                if (date.offsetMinutes) Offset(out, *date.offsetMinutes);
                else AddNote(notes, "no offset recorded");
                break;
            case '%': out += '%'; break;
        }
    }
    return out;
}

bool ParseZone(std::string_view text, Zone& zone) {
    int minutes = 0;
    if (!ParseOffset(text, minutes)) return false;
    zone.fixedMinutes = minutes;
    return true;
}

std::string ZoneText(const Zone& zone) {
    if (!zone.fixedMinutes) return {};
    const int minutes = *zone.fixedMinutes;
    const int magnitude = minutes < 0 ? -minutes : minutes;
    char text[8];
    std::snprintf(text, sizeof text, "%c%02d:%02d", minutes < 0 ? '-' : '+', magnitude / 60 % 100, magnitude % 60);
    return text;
}

std::string OrderKey(const DateValue& date) {
    const CivilTime& t = date.wallClock;
    std::string key;
    for (const auto& [value, width] : {std::pair{t.year, 4}, {t.month, 2}, {t.day, 2}, {t.hour, 2}, {t.minute, 2}, {t.second, 2}})
        Number(key, value, width);
    // "5" is half a second and "45" less: fractions compare digit by digit.
    return key + date.subSeconds.substr(0, 9) + std::string(9 - std::min<std::size_t>(date.subSeconds.size(), 9), '0');
}

std::int64_t CivilSeconds(const CivilTime& time) {
    return DaysFromCivil(time.year, time.month, time.day) * 86400 + time.hour * 3600 + time.minute * 60 + time.second;
}

CivilTime CivilOf(std::int64_t utcSeconds, int offsetSeconds) {
    const std::int64_t local = utcSeconds + offsetSeconds;
    std::int64_t days = local / 86400, seconds = local % 86400;
    if (seconds < 0) seconds += 86400, --days;
    CivilTime time;
    CivilFromDays(days, time);
    time.hour = static_cast<int>(seconds / 3600);
    time.minute = static_cast<int>(seconds / 60 % 60);
    time.second = static_cast<int>(seconds % 60);
    return time;
}

DateValue InZone(const DateValue& date, const Zone& zone) {
    if (!IsInstant(date.origin)) return date;
    DateValue shown = date;
    const int offsetSeconds = zone.fixedMinutes ? *zone.fixedMinutes * 60 : LocalOffsetSeconds(date.utcSeconds);
    shown.wallClock = CivilOf(date.utcSeconds, offsetSeconds);
    shown.offsetMinutes = offsetSeconds / 60;
    return shown;
}

}  // namespace quil::metadata
