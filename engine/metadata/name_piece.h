// A value made fit to stand in a file name: a tag never creates a folder
// nor a name the platform refuses.
#pragma once

#include <string>
#include <string_view>

namespace quil::metadata {

struct NamePiece {
    std::string text;
    // The characters replaced, each once, in the order met ("/", ":"), as
    // a row shows them; control characters as \xNN. Empty where none was.
    std::string replaced;
};

// Each "/", NUL and control character becomes "_"; with windowsNames also
// each of \ : * ? " < > | and a final dot or space, which Win32 refuses or
// drops.
NamePiece MakeNamePiece(std::string_view value, bool windowsNames);

}  // namespace quil::metadata
