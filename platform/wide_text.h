// Paths between the program's 8-bit text, in the active code page (UTF-8,
// as the manifest asks, wherever Windows honours it), and the UTF-16 that
// the wide calls take, which reach every name and count lengths as Windows
// does. Windows only.
#pragma once

#include <string>
#include <string_view>

namespace quil {

// False where text is not valid in the active code page.
bool ToWide(std::string_view text, std::wstring& wide);
// False where a character has no exact form in the active code page: such
// a name could only be shown as another name.
bool FromWide(std::wstring_view wide, std::string& text);
// The UTF-16 units of a text in the active code page.
std::size_t WideUnits(std::string_view text);

}  // namespace quil
