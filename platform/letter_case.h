// Letter case whatever the user's locale is: one character by Unicode's
// simple case mapping (for telling names apart where a file system ignores
// case), and a text by Unicode's full case mapping, through ICU (for the
// case transforms of the Linux editions).
#pragma once

#include <string>
#include <string_view>

namespace quil {

char32_t UpperCaseOf(char32_t code);

enum class LetterCase {
    Upper,
    Lower,
    Title,     // each word's first letter in title case, the others lower case
    Sentence,  // the first letter in title case, the others lower case
};

// text (UTF-8) in that case: "straße" in upper case is "STRASSE", the title
// case of "ǆ" is "ǅ", "don't-stop" in title case "Don't-Stop". Bytes that
// are not UTF-8 stay as they are, and end a word.
std::string InCase(std::string_view text, LetterCase letterCase);

}  // namespace quil
