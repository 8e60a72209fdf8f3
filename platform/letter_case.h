// The case of one character, by Unicode's simple case mapping, whatever the
// user's locale is: for the case transforms of the Linux editions.
#pragma once

namespace quil {

char32_t UpperCaseOf(char32_t code);
char32_t LowerCaseOf(char32_t code);
bool IsLetter(char32_t code);

}  // namespace quil
