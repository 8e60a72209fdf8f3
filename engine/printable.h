// Names as they may be shown in a plan or a message, so that no two
// different names look alike and no name can look like nothing.
#pragma once

#include <string>
#include <string_view>

namespace quil {

// Controls a terminal would obey and bytes that are not UTF-8 as \xHH;
// characters that show as nothing or as a plain space (C1 controls, no-break
// and other spaces, zero-width characters, direction marks and overrides,
// the byte-order mark) as \u{XXXX}; and the whole in single quotes when it
// begins or ends in a space.
std::string Printable(std::string_view name);

}  // namespace quil
