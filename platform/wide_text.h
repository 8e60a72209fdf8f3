// Text between the program's UTF-8 and the UTF-16 that the wide calls take,
// which reach every name and count lengths as Windows does. Both ways are
// exact whatever the active code page is: text with no form on the other
// side is refused, never replaced by a best fit or a "?". Windows only.
#pragma once

#include <string>
#include <string_view>

namespace quil {

// False where utf8 is not UTF-8.
bool ToWide(std::string_view utf8, std::wstring& wide);
// False where wide holds an unpaired surrogate (NTFS names may), which no
// UTF-8 can hold.
bool FromWide(std::wstring_view wide, std::string& utf8);

}  // namespace quil
