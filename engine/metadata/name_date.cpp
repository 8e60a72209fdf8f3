#include "engine/metadata/name_date.h"

#include "engine/metadata/date_text.h"

namespace quil::metadata {
namespace {

bool IsDigit(std::string_view text, std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; }

// Two digits at at, as a number, moving past them.
bool TwoDigits(std::string_view text, std::size_t& at, int& value) {
    if (!IsDigit(text, at) || !IsDigit(text, at + 1)) return false;
    value = (text[at] - '0') * 10 + (text[at + 1] - '0');
    at += 2;
    return true;
}

// A separator among allowed at at, the same as before where one was seen:
// "2024-07-14" and "20240714" but not "2024-0714".
bool Separator(std::string_view text, std::size_t& at, std::string_view allowed, char& seen, bool first) {
    const char ch = at < text.size() ? text[at] : '\0';
    const bool here = ch != '\0' && allowed.find(ch) != std::string_view::npos;
    if (first) {
        seen = here ? ch : '\0';
    } else if ((here ? ch : '\0') != seen) {
        return false;
    }
    if (here) ++at;
    return true;
}

bool DateAt(std::string_view name, std::size_t at, std::size_t& end, CivilTime& time) {
    if (!IsDigit(name, at) || !IsDigit(name, at + 3)) return false;
    int century = 0, year = 0;
    char separator = 0;
    if (!TwoDigits(name, at, century) || !TwoDigits(name, at, year) || (century != 19 && century != 20)) return false;
    time.year = century * 100 + year;
    if (!Separator(name, at, "-_.", separator, true) || !TwoDigits(name, at, time.month) ||
        !Separator(name, at, "-_.", separator, false) || !TwoDigits(name, at, time.day) || IsDigit(name, at))
        return false;
    time.hour = time.minute = time.second = 0;
    end = at;
    return IsValid(time);
}

// The time after a date that ends at at; false where none follows.
bool TimeAfter(std::string_view name, std::size_t at, CivilTime& time, std::string& milliseconds) {
    if (name.substr(at, 4) == " at ") at += 4;
    else if (at < name.size() && std::string_view("_- T").find(name[at]) != std::string_view::npos) ++at;
    else return false;
    CivilTime withTime = time;
    char separator = 0;
    if (!TwoDigits(name, at, withTime.hour) || !Separator(name, at, "-_.:", separator, true) ||
        !TwoDigits(name, at, withTime.minute) || !Separator(name, at, "-_.:", separator, false) ||
        !TwoDigits(name, at, withTime.second) || !IsValid(withTime))
        return false;
    if (separator == 0 && IsDigit(name, at) && IsDigit(name, at + 1) && IsDigit(name, at + 2) && !IsDigit(name, at + 3))
        milliseconds = name.substr(at, 3);
    else if (IsDigit(name, at))
        return false;  // a longer number: no time
    time = withTime;
    return true;
}

}  // namespace

std::optional<DateValue> DateInName(std::string_view name) {
    for (std::size_t at = 0; at < name.size(); ++at) {
        if (at > 0 && IsDigit(name, at - 1)) continue;
        DateValue date;
        std::size_t end = 0;
        if (!DateAt(name, at, end, date.wallClock)) continue;
        date.origin = DateOrigin::FileName;
        date.hasTimeOfDay = TimeAfter(name, end, date.wallClock, date.subSeconds);
        return date;
    }
    return std::nullopt;
}

}  // namespace quil::metadata
