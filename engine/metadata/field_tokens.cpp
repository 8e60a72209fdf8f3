#include "engine/metadata/field_tokens.h"

namespace quil::metadata {
namespace {

constexpr int kWidestNumber = 20;

bool IsLetter(char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); }
bool IsNameCharacter(char ch) { return IsLetter(ch) || (ch >= '0' && ch <= '9') || ch == '-' || ch == '_'; }

const char* KindName(FieldKind kind) {
    switch (kind) {
        case FieldKind::Date: return "a date";
        case FieldKind::Text: return "a text";
        case FieldKind::Number: return "a number";
    }
    return "";
}

// The counter's own forms, {n} and {n:...}, which the caller reads.
bool IsCounter(std::string_view text, std::size_t at) {
    return text.compare(at, 2, "{n") == 0 && at + 2 < text.size() && (text[at + 2] == '}' || text[at + 2] == ':');
}

bool ParseWidth(std::string_view format, std::size_t offset, Field field, int& width, TokenError& error) {
    width = 0;
    for (const char ch : format) {
        if (ch < '0' || ch > '9' || width > kWidestNumber) {
            error = {"{" + std::string(NameOf(field)) + "} takes a width in digits, as in {" +
                         std::string(NameOf(field)) + ":2}, at most " + std::to_string(kWidestNumber),
                     offset};
            return false;
        }
        width = width * 10 + (ch - '0');
    }
    if (width > kWidestNumber) {
        error = {"a width of at most " + std::to_string(kWidestNumber) + " digits", offset};
        return false;
    }
    return true;
}

bool ParseFormat(std::string_view format, std::size_t offset, FieldToken& token, TokenError& error) {
    const Field first = token.chain.front();
    if (format.empty()) {
        error = {"nothing follows the : of {" + std::string(NameOf(first)) + ":}", offset};
        return false;
    }
    switch (token.kind) {
        case FieldKind::Date: {
            FormatError bad;
            if (DateFormat::Parse(format, token.dateFormat, bad)) return true;
            error = {bad.message, offset + bad.offset};
            return false;
        }
        case FieldKind::Number: return ParseWidth(format, offset, first, token.width, error);
        case FieldKind::Text:
            error = {"{" + std::string(NameOf(first)) + "} is a text and takes no format", offset - 1};
            return false;
    }
    return false;
}

// Reads the names of the chain from at (after the brace) up to ":" or "}".
bool ParseChain(std::string_view text, std::size_t& at, FieldToken& token, TokenError& error) {
    for (;;) {
        const std::size_t start = at;
        while (at < text.size() && IsNameCharacter(text[at])) ++at;
        const std::string_view name = text.substr(start, at - start);
        if (name.empty()) {
            error = {at < text.size() ? "a field name is missing here" : "the token is not closed by }", start};
            return false;
        }
        if (name == "n") {
            const bool chained = !token.chain.empty() || (at < text.size() && text[at] == '|');
            error = {chained ? "the counter {n} cannot be part of a chain" : "the counter is written {n} or {n:3}", start};
            return false;
        }
        const std::optional<Field> field = FieldNamed(name);
        if (!field) {
            error = {"unknown field {" + std::string(name) + "}; the fields are " + std::string(AllFieldNames()) +
                         " (write \\{ for a brace)",
                     start};
            return false;
        }
        if (!token.chain.empty() && KindOf(*field) != token.kind) {
            error = {"a chain takes fields of one kind: " + std::string(NameOf(token.chain.front())) + " is " +
                         KindName(token.kind) + ", " + std::string(name) + " " + KindName(KindOf(*field)),
                     start};
            return false;
        }
        token.kind = KindOf(*field);
        token.chain.push_back(*field);
        if (at < text.size() && text[at] == '|') {
            ++at;
            continue;
        }
        if (at < text.size() && (text[at] == ':' || text[at] == '}')) return true;
        error = {at < text.size() ? "a field token holds field names, | between them, and :FORMAT (write \\{ for a brace)"
                                  : "the token is not closed by }",
                 at};
        return false;
    }
}

}  // namespace

TokenScan ParseFieldToken(std::string_view text, std::size_t at, FieldToken& token, TokenError& error) {
    if (at + 1 >= text.size() || !IsLetter(text[at + 1]) || IsCounter(text, at)) return TokenScan::NotAToken;
    FieldToken parsed;
    parsed.offset = at;
    std::size_t end = at + 1;
    if (!ParseChain(text, end, parsed, error)) return TokenScan::Error;
    if (text[end] == ':') {
        const std::size_t close = text.find('}', end);
        if (close == std::string_view::npos) {
            error = {"the token is not closed by }", at};
            return TokenScan::Error;
        }
        if (!ParseFormat(text.substr(end + 1, close - end - 1), end + 1, parsed, error)) return TokenScan::Error;
        end = close;
    }
    parsed.length = end + 1 - at;
    token = std::move(parsed);
    return TokenScan::Token;
}

FieldSet FieldsOf(const std::vector<FieldToken>& tokens) {
    FieldSet fields;
    for (const FieldToken& token : tokens)
        for (const Field field : token.chain) fields.Add(field);
    return fields;
}

}  // namespace quil::metadata
