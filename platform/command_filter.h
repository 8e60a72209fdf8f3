// --filter: the list through a command of the user's (sh -c COMMAND), as
// sed or awk would edit it, instead of the editor.
#pragma once

#include <string>

namespace quil {

// Replaces text by what the command printed. False, with the reason, when
// it cannot be run or does not end with status 0.
bool FilterThrough(const std::string& command, std::string& text, std::string& error);

}  // namespace quil
