// The field tokens of a replacement: {taken}, {taken:%Y-%m-%d}, {track:2},
// {album_artist|artist}, {taken|name-date|mtime:FORMAT}. A chain takes the
// first of its fields that the file has a value for; its fields are of
// one kind. Dates take a date format (date_format.h; %Y%m%d_%H%M%S when
// none is given), numbers a least width in digits, texts no format.
//
// The replacement parser calls ParseFieldToken at each "{" that is not the
// counter: {n} and {n:W} are left to it (NotAToken), as is a "{" that no
// letter follows ("{1}", "{ }"), which stays text; \{ is a brace in any case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/metadata/date_format.h"
#include "engine/metadata/fields.h"

namespace quil::metadata {

struct FieldToken {
    std::vector<Field> chain;  // in the order written; never empty
    FieldKind kind = FieldKind::Date;
    DateFormat dateFormat;     // dates: as given, or the default
    int width = 0;             // numbers: the least number of digits, 0 for none
    std::size_t offset = 0;    // where the token starts in the replacement
    std::size_t length = 0;    // its characters, braces included
};

struct TokenError {
    std::string message;
    std::size_t offset = 0;  // in the replacement: the character at fault
};

enum class TokenScan {
    NotAToken,  // the "{" is text, or the counter's
    Token,
    Error,      // an unknown field, a bad format, an unclosed token, ...
};

// Reads the token that starts at text[at], which is "{".
TokenScan ParseFieldToken(std::string_view text, std::size_t at, FieldToken& token, TokenError& error);

// Every field the tokens name, so that only those are read.
FieldSet FieldsOf(const std::vector<FieldToken>& tokens);

}  // namespace quil::metadata
