#include <windows.h>

#include "platform/code_page.h"
#include "platform/wide_text.h"

namespace quil {
namespace {

std::string AsciiUpper(std::string_view name) {
    std::string upper(name);
    for (char& ch : upper)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
    return upper;
}

// The conversion calls take int lengths.
constexpr std::size_t kLongestText = 0x7FFFFFF;

}  // namespace

// NTFS compares names through its upper-case table, ordinally, one UTF-16
// unit at a time; the invariant locale's LCMAP_UPPERCASE is that mapping.
std::string UpperCaseName(std::string_view name) {
    bool ascii = true;
    for (char ch : name) ascii &= static_cast<unsigned char>(ch) < 0x80;
    std::wstring wide;
    if (ascii || !ToWide(name, wide)) return AsciiUpper(name);
    const int size = static_cast<int>(wide.size());
    std::wstring upper(wide.size(), L'\0');
    std::string result;
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), size, upper.data(), size, nullptr, nullptr,
                      0) != size ||
        !FromWide(upper, result))
        return AsciiUpper(name);
    return result;
}

// CP_UTF8 and not CP_ACP: Windows before 10 1903, and any Windows where a
// policy refuses the manifest's UTF-8 code page, keep a legacy one, whose
// conversions turn letters it lacks into best fits or "?" without a word.
bool ToWide(std::string_view utf8, std::wstring& wide) {
    wide.clear();
    if (utf8.empty()) return true;
    if (utf8.size() > kLongestText) return false;
    const int size = static_cast<int>(utf8.size());
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (units == 0) return false;
    wide.resize(static_cast<std::size_t>(units));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), units) == units;
}

bool FromWide(std::wstring_view wide, std::string& utf8) {
    utf8.clear();
    if (wide.empty()) return true;
    if (wide.size() > kLongestText) return false;
    const int size = static_cast<int>(wide.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes == 0) return false;
    utf8.resize(static_cast<std::size_t>(bytes));
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size, utf8.data(), bytes, nullptr,
                               nullptr) == bytes;
}

}  // namespace quil
