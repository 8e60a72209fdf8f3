#include <locale.h>
#include <wctype.h>

#include "platform/letter_case.h"

namespace quil {
namespace {

// C.UTF-8 carries the Unicode tables whatever the user's locale is.
locale_t Unicode() {
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return unicode;
}

}  // namespace

char32_t UpperCaseOf(char32_t code) {
    if (code < 0x80) return code >= 'a' && code <= 'z' ? code - 32 : code;
    return Unicode() ? static_cast<char32_t>(towupper_l(static_cast<wint_t>(code), Unicode())) : code;
}

}  // namespace quil
