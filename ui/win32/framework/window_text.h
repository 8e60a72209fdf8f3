// The program's UTF-8 texts as the wide calls take them, and where a text
// from a control has no UTF-8 form.
#pragma once

#include <string>
#include <string_view>

namespace quil::ui {

// The program's own texts (messages, the banner, the list) are UTF-8, as
// the engine makes them from names read through the wide calls.
std::wstring Wide(std::string_view utf8);

// The position of the first unpaired surrogate (half of a pair, which no
// UTF-8 can hold), or npos.
std::size_t UnpairedSurrogate(std::wstring_view text);

}  // namespace quil::ui
