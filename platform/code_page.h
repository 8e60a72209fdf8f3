// The characters of path text, as far as path splitting, text matching,
// lengths and case-blind name comparison need to know them: UTF-8 on both
// platforms, and the lead bytes of double-byte code pages where a caller
// hands text in one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quil {

// True for a lead byte of a double-byte character.
using LeadBytePredicate = bool (*)(unsigned char);

// The length of a path as a platform's calls count it.
using LengthFunction = std::size_t (*)(std::string_view);

// UTF-16 units of a UTF-8 text, as Windows counts path lengths: one per
// character, two beyond U+FFFF; a byte that is not UTF-8 counts one.
std::size_t Utf16Units(std::string_view utf8);

// The first separator at or after from, which must start a character. In a
// double-byte code page the second byte of a character can equal "\\" (0x5C
// in Shift-JIS, GBK, Big5): such a byte is part of a name, not a separator.
std::size_t FindSeparator(std::string_view path, char separator, std::size_t from, LeadBytePredicate isLeadByte);

// Decodes the UTF-8 character at text[at] and moves at past it; false (at
// unchanged) where the bytes there are not UTF-8 in its shortest form.
bool DecodeUtf8(std::string_view text, std::size_t& at, char32_t& code);
void EncodeUtf8(char32_t code, std::string& out);

// The name upper-cased as the file system folds case: ordinal, over whole
// characters, in no particular language.
std::string UpperCaseName(std::string_view name);

}  // namespace quil
