#include <windows.h>

#include <vector>

#include "platform/code_page.h"

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

}  // namespace quil
