#include "engine/list_filter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

namespace quil {
namespace {

// The kinds a user names, by the extensions their files carry.
struct Kind {
    const char* name;
    const char* extensions;
};
constexpr Kind kKinds[] = {
    {"image", "jpg jpeg jpe png gif bmp tif tiff webp heic heif avif jxl svg ico dng cr2 cr3 nef arw orf rw2 pef raf srw"},
    {"audio", "mp3 flac ogg oga opus m4a aac wav aif aiff wma ape wv mka"},
    {"video", "mp4 m4v mov 3gp 3g2 mkv webm avi wmv mpg mpeg mts m2ts ts flv ogv"},
    {"document", "pdf txt md rtf odt ods odp doc docx xls xlsx ppt pptx epub csv html htm tex"},
};

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return lower;
}

std::string ExtensionOf(const std::string& path) {
    const std::size_t name = path.find_last_of("/\\") + 1;
    const std::size_t dot = path.rfind('.');
    return dot == std::string::npos || dot <= name ? std::string() : Lower(std::string_view(path).substr(dot + 1));
}

}  // namespace

bool ListFilter::Takes(const std::string& path, FileServices& files) const {
    if (!extensions.empty() && std::find(extensions.begin(), extensions.end(), ExtensionOf(path)) == extensions.end())
        return false;
    if (!larger && !smaller && !newer && !older) return true;
    const PathInfo info = files.Lookup(path);
    if (info.kind == PathKind::Missing) return false;
    const FileIdentity& file = info.identity;
    return (!larger || file.size > *larger) && (!smaller || file.size < *smaller) &&
           (!newer || file.modified > *newer) && (!older || file.modified < *older);
}

bool ParseTypes(std::string_view text, std::vector<std::string>& extensions, std::string& error) {
    extensions.clear();
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find(',', start);
        if (end == std::string_view::npos) end = text.size();
        std::string word = Lower(text.substr(start, end - start));
        if (!word.empty() && word[0] == '.') word.erase(0, 1);
        if (word.empty() || word.find_first_of("/ ") != std::string::npos) {
            error = "--type takes image, audio, video, document or extensions such as jpg,png, not '" +
                    std::string(text) + "'";
            return false;
        }
        const auto kind = std::find_if(std::begin(kKinds), std::end(kKinds), [&](const Kind& k) { return word == k.name; });
        if (kind == std::end(kKinds)) {
            extensions.push_back(word);
        } else {
            const std::string_view all = kind->extensions;
            for (std::size_t at = 0; at < all.size();) {
                const std::size_t space = std::min(all.find(' ', at), all.size());
                extensions.emplace_back(all.substr(at, space - at));
                at = space + 1;
            }
        }
        start = end + 1;
    }
    return true;
}

bool ParseSize(std::string_view text, std::uint64_t& bytes) {
    std::uint64_t value = 0;
    std::size_t at = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        if (value > (UINT64_MAX - 9) / 10) return false;
        value = value * 10 + static_cast<std::uint64_t>(text[at] - '0');
    }
    if (at == 0) return false;
    int shift = 0;
    if (at + 1 == text.size()) {
        switch (std::tolower(static_cast<unsigned char>(text[at]))) {
            case 'k': shift = 10; break;
            case 'm': shift = 20; break;
            case 'g': shift = 30; break;
            case 't': shift = 40; break;
            default: return false;
        }
    } else if (at != text.size()) {
        return false;
    }
    if (shift > 0 && value > (UINT64_MAX >> shift)) return false;
    bytes = value << shift;
    return true;
}

namespace {

// "2024-07-14" or "2024-07-14 09:30[:12]" (or with a T) into when.
bool ParseDateText(std::string_view text, std::tm& when) {
    when = std::tm{};
    int consumed = 0;
    std::string copy(text);
    if (copy.size() > 10 && copy[10] == 'T') copy[10] = ' ';  // ISO 8601's way
    int hour = 0, minute = 0, second = 0;
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2d%n", &when.tm_year, &when.tm_mon, &when.tm_mday, &consumed) != 3)
        return false;
    if (static_cast<std::size_t>(consumed) != copy.size()) {
        int rest = 0;
        const int fields = std::sscanf(copy.c_str() + consumed, " %2d:%2d%n:%2d%n", &hour, &minute, &rest, &second, &rest);
        if (fields < 2 || static_cast<std::size_t>(consumed + rest) != copy.size()) return false;
    }
    if (when.tm_mon < 1 || when.tm_mon > 12 || when.tm_mday < 1 || when.tm_mday > 31 || hour > 23 || minute > 59 ||
        second > 60)
        return false;
    when.tm_year -= 1900;
    when.tm_mon -= 1;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    return true;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar
// (timegm's arithmetic, which MinGW's C library lacks).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t ofEra = year - era * 400;
    const std::int64_t ofYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t ofCycle = ofEra * 365 + ofEra / 4 - ofEra / 100 + ofYear;
    return era * 146097 + ofCycle - 719468;
}

}  // namespace

bool ParseDate(std::string_view text, std::int64_t& nanoseconds) {
    std::tm when{};
    if (!ParseDateText(text, when)) return false;
    when.tm_isdst = -1;  // as the local zone had it on that day
    const std::time_t seconds = std::mktime(&when);
    if (seconds == static_cast<std::time_t>(-1)) return false;
    nanoseconds = static_cast<std::int64_t>(seconds) * 1000000000;
    return true;
}

bool ParseWallClock(std::string_view text, std::int64_t& seconds) {
    std::tm when{};
    if (!ParseDateText(text, when)) return false;
    const std::int64_t days = DaysFromCivil(when.tm_year + 1900, when.tm_mon + 1, when.tm_mday);
    seconds = days * 86400 + when.tm_hour * 3600 + when.tm_min * 60 + when.tm_sec;
    return true;
}

}  // namespace quil
