#include <locale.h>
#include <wctype.h>

#include "platform/code_page.h"

namespace quil {
namespace {

// Decodes one UTF-8 character at text[at]; false for a malformed sequence.
bool DecodeUtf8(std::string_view text, std::size_t& at, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    const int length = first < 0x80 ? 1 : (first >> 5) == 0x6 ? 2 : (first >> 4) == 0xE ? 3 : (first >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > text.size()) return false;
    code = length == 1 ? first : first & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return false;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    at += length;
    return true;
}

void EncodeUtf8(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

// File names are UTF-8 here, and no UTF-8 character begins with a
// continuation byte, so a match of a whole-character pattern always starts
// on a character boundary.
LeadBytePredicate ActiveLeadBytes() { return nullptr; }

// Case-blind volumes (vfat, exfat, ntfs3, cifs) fold by Unicode simple case
// mapping; C.UTF-8 carries that table whatever the user's locale is.
std::string UpperCaseName(std::string_view name) {
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    std::string upper;
    upper.reserve(name.size());
    for (std::size_t at = 0; at < name.size();) {
        char32_t code;
        if (!DecodeUtf8(name, at, code)) {
            upper += name[at++];  // not UTF-8: kept as it is
            continue;
        }
        if (code < 0x80)
            code = code >= 'a' && code <= 'z' ? code - 32 : code;
        else if (unicode != static_cast<locale_t>(nullptr))
            code = static_cast<char32_t>(towupper_l(static_cast<wint_t>(code), unicode));
        EncodeUtf8(code, upper);
    }
    return upper;
}

}  // namespace quil
