#include "platform/code_page.h"
#include "platform/letter_case.h"

namespace quil {

// Case-blind volumes (vfat, exfat, ntfs3, cifs) fold by Unicode simple case
// mapping; C.UTF-8 carries that table whatever the user's locale is.
std::string UpperCaseName(std::string_view name) {
    std::string upper;
    upper.reserve(name.size());
    for (std::size_t at = 0; at < name.size();) {
        char32_t code;
        if (!DecodeUtf8(name, at, code)) {
            upper += name[at++];  // not UTF-8: kept as it is
            continue;
        }
        EncodeUtf8(UpperCaseOf(code), upper);
    }
    return upper;
}

}  // namespace quil
