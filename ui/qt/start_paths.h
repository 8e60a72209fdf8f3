// What the window lists at its start: the paths it was given (a file
// manager's selection), the current folder when started from a terminal,
// or, started from the applications menu with nothing, a folder the user
// chooses; never everything below the home folder unasked.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quil::qt {

// chooseFolder returns the folder chosen, empty when the user cancelled;
// then there is nothing to list.
std::optional<std::vector<std::string>> StartPaths(std::vector<std::string> given, bool fromTerminal,
                                                   const std::function<QString()>& chooseFolder);

}  // namespace quil::qt
