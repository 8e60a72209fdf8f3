#include "engine/printable.h"

#include <algorithm>

#include "platform/code_page.h"

namespace quil {
namespace {

bool IsInvisible(char32_t code) {
    return (code >= 0x80 && code <= 0xA0) || code == 0xAD || code == 0x34F || code == 0x61C ||
           code == 0x115F || code == 0x1160 || code == 0x17B4 || code == 0x17B5 || code == 0x180E ||
           (code >= 0x2000 && code <= 0x200F) || (code >= 0x2028 && code <= 0x202F) ||
           (code >= 0x205F && code <= 0x206F) || code == 0x3000 || code == 0x3164 || code == 0xFEFF ||
           code == 0xFFA0 || (code >= 0xFFF9 && code <= 0xFFFB);
}

void AppendHex(std::string& out, unsigned value, int digits) {
    static const char kHex[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

}  // namespace

std::string Printable(std::string_view name) {
    // Most names are printable ASCII with no space at either end.
    const bool plain = (name.empty() || (name.front() != ' ' && name.back() != ' ')) &&
                       std::all_of(name.begin(), name.end(), [](char ch) { return ch >= 0x20 && ch < 0x7F; });
    if (plain) return std::string(name);
    std::string out;
    out.reserve(name.size() + 2);
    for (std::size_t at = 0; at < name.size();) {
        char32_t code;
        const std::size_t start = at;
        if (!DecodeUtf8(name, at, code) || code < 0x20 || code == 0x7F) {
            out += "\\x";
            AppendHex(out, static_cast<unsigned char>(name[start]), 2);
            at = start + 1;
        } else if (IsInvisible(code)) {
            out += "\\u{";
            AppendHex(out, static_cast<unsigned>(code), code > 0xFFFF ? 5 : 4);
            out += '}';
        } else {
            out.append(name, start, at - start);
        }
    }
    if (!name.empty() && (name.front() == ' ' || name.back() == ' ')) return "'" + out + "'";
    return out;
}

}  // namespace quil
