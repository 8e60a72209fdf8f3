#include <locale.h>
#include <wctype.h>

#include "platform/code_page.h"

namespace quil {

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
