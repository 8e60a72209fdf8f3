// Starting quil.exe, from the launcher's own folder, in the folder the user
// chose: that very folder, made absolute first, or a message saying why not.
#pragma once

#include <string>

namespace quil::launcher {

// The folder of a program's own file, with its final backslash.
std::wstring OwnFolder();

// 0 once quil.exe runs; otherwise the user has been told why, and 1.
int OpenFolder(const std::wstring& folder);

// A message box of the launcher's; not shown with quiet.
void Say(const std::wstring& text, bool warning);

}  // namespace quil::launcher
