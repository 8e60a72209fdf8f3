// The user's editor on a temporary file, the way version-control tools run
// it: $VISUAL, else $EDITOR, else vi, through the shell so that the variable
// may hold arguments ("code --wait").
#pragma once

#include <string>

namespace quil::terminal {

// Replaces text by what the user saved. False, with the reason, when the
// file cannot be made or read, or the editor does not end with status 0.
bool EditInEditor(std::string& text, std::string& error);

}  // namespace quil::terminal
