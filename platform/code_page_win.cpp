#include <windows.h>

#include <vector>

#include "platform/code_page.h"
#include "platform/wide_text.h"

namespace quil {
namespace {

bool IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

std::string AsciiUpper(std::string_view name) {
    std::string upper(name);
    for (char& ch : upper)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
    return upper;
}

}  // namespace

// The manifest asks for UTF-8 as the active code page; older Windows ignore
// that and keep a legacy one, which may be double-byte (932, 936, 949, 950).
LeadBytePredicate ActiveLeadBytes() {
    CPINFO info;
    if (GetACP() == CP_UTF8 || !GetCPInfo(CP_ACP, &info) || info.MaxCharSize < 2) return nullptr;
    return &IsLeadByte;
}

// NTFS compares names through its upper-case table, ordinally, one UTF-16
// unit at a time; the invariant locale's LCMAP_UPPERCASE is that mapping.
// A byte below 0x80 is a whole character in every ANSI code page, so a
// plain ASCII name needs no conversion.
std::string UpperCaseName(std::string_view name) {
    bool ascii = true;
    for (char ch : name) ascii &= static_cast<unsigned char>(ch) < 0x80;
    if (ascii || name.size() > 0x7FFFFFF) return AsciiUpper(name);

    const int size = static_cast<int>(name.size());
    const int wide = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), size, nullptr, 0);
    if (wide == 0) return AsciiUpper(name);
    std::vector<wchar_t> text(wide);
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name.data(), size, text.data(), wide);
    std::vector<wchar_t> upper(wide);
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), wide, upper.data(), wide, nullptr, nullptr,
                      0) != wide)
        return AsciiUpper(name);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, upper.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string result(bytes, '\0');
    WideCharToMultiByte(CP_ACP, 0, upper.data(), wide, result.data(), bytes, nullptr, nullptr);
    return result;
}

bool ToWide(std::string_view text, std::wstring& wide) {
    wide.clear();
    if (text.empty()) return true;
    if (text.size() > 0x7FFFFFF) return false;
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (units == 0) return false;
    wide.resize(static_cast<std::size_t>(units));
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), units) == units;
}

// UTF-8 only takes WC_ERR_INVALID_CHARS (an unpaired surrogate); other code
// pages report a character they have no form for through the default char.
bool FromWide(std::wstring_view wide, std::string& text) {
    text.clear();
    if (wide.empty()) return true;
    if (wide.size() > 0x7FFFFFF) return false;
    const int size = static_cast<int>(wide.size());
    const bool utf8 = GetACP() == CP_UTF8;
    BOOL lossy = FALSE;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int bytes = WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, utf8 ? nullptr : &lossy);
    if (bytes == 0 || lossy) return false;
    text.resize(static_cast<std::size_t>(bytes));
    WideCharToMultiByte(CP_ACP, flags, wide.data(), size, text.data(), bytes, nullptr, utf8 ? nullptr : &lossy);
    return !lossy;
}

std::size_t WideUnits(std::string_view text) {
    if (text.empty() || text.size() > 0x7FFFFFF) return text.size();
    const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    return units > 0 ? static_cast<std::size_t>(units) : text.size();
}

}  // namespace quil
