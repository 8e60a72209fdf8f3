#include "engine/metadata/date_text.h"

namespace quil::metadata {
namespace {

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// count digits at text[at], as a number; false where any is not a digit.
bool Digits(std::string_view text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!IsDigit(text[i])) return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

std::string_view TrimmedEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\0' || text.back() == ' ')) text.remove_suffix(1);
    return text;
}

int DaysIn(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

bool IsValid(const CivilTime& time) {
    return time.year >= 1 && time.year <= 9999 && time.month >= 1 && time.month <= 12 && time.day >= 1 &&
           time.day <= DaysIn(time.year, time.month) && time.hour >= 0 && time.hour <= 23 && time.minute >= 0 &&
           time.minute <= 59 && time.second >= 0 && time.second <= 60;
}

bool ParseExifDateTime(std::string_view text, CivilTime& time) {
    text = TrimmedEnd(text);
    if (text.size() != 19 || text[4] != ':' || text[7] != ':' || text[10] != ' ' || text[13] != ':' || text[16] != ':')
        return false;
    CivilTime parsed;
    if (!Digits(text, 0, 4, parsed.year) || !Digits(text, 5, 2, parsed.month) || !Digits(text, 8, 2, parsed.day) ||
        !Digits(text, 11, 2, parsed.hour) || !Digits(text, 14, 2, parsed.minute) || !Digits(text, 17, 2, parsed.second) ||
        !IsValid(parsed))
        return false;
    time = parsed;
    return true;
}

bool ParseOffset(std::string_view text, int& minutes) {
    text = TrimmedEnd(text);
    if (text == "Z") {
        minutes = 0;
        return true;
    }
    if (text.size() < 5 || (text[0] != '+' && text[0] != '-')) return false;
    const bool colon = text[3] == ':';
    if (text.size() != (colon ? 6u : 5u)) return false;
    int hours = 0, mins = 0;
    if (!Digits(text, 1, 2, hours) || !Digits(text, colon ? 4 : 3, 2, mins) || hours > 23 || mins > 59) return false;
    minutes = (text[0] == '-' ? -1 : 1) * (hours * 60 + mins);
    return true;
}

bool ParseIsoDateTime(std::string_view text, DateValue& date) {
    text = TrimmedEnd(text);
    if (text.size() < 19 || text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != ' ') ||
        text[13] != ':' || text[16] != ':')
        return false;
    CivilTime parsed;
    if (!Digits(text, 0, 4, parsed.year) || !Digits(text, 5, 2, parsed.month) || !Digits(text, 8, 2, parsed.day) ||
        !Digits(text, 11, 2, parsed.hour) || !Digits(text, 14, 2, parsed.minute) || !Digits(text, 17, 2, parsed.second) ||
        !IsValid(parsed))
        return false;
    std::size_t at = 19;
    std::string subSeconds;
    if (at < text.size() && text[at] == '.') {
        while (++at < text.size() && IsDigit(text[at])) subSeconds += text[at];
        if (subSeconds.empty()) return false;
    }
    std::optional<int> offset;
    if (at < text.size()) {
        int minutes = 0;
        if (!ParseOffset(text.substr(at), minutes)) return false;
        offset = minutes;
    }
    date.wallClock = parsed;
    date.subSeconds = subSeconds;
    date.offsetMinutes = offset;
    return true;
}

}  // namespace quil::metadata
