#include "engine/transforms.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <unordered_map>

#include "platform/code_page.h"
#include "platform/letter_case.h"

namespace quil {
namespace {

// One piece of a replacement: text as it is, a captured group, the
// counter, or a field from inside the file.
struct Piece {
    enum class Kind { Text, Group, Counter, Field };
    Kind kind;
    std::string text;
    int number = 0;          // the group, the counter's least width, or the field token's index
    std::size_t offset = 0;  // where it was written
};

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Parses a replacement into pieces; groups only where regex.
bool ParseReplacement(std::string_view text, bool regex, std::vector<Piece>& pieces,
                      std::vector<metadata::FieldToken>& fields, TransformError& error) {
    // A line break would split the line in two: the list would no longer
    // be one line per file.
    if (const std::size_t lineBreak = text.find_first_of("\r\n"); lineBreak != std::string_view::npos) {
        error = {TransformError::Where::Replacement, "a name cannot hold a line break", lineBreak};
        return false;
    }
    std::size_t at = 0;
    auto literal = [&](char ch) {
        if (pieces.empty() || pieces.back().kind != Piece::Kind::Text) pieces.push_back({Piece::Kind::Text, {}, 0, at});
        pieces.back().text += ch;
    };
    auto group = [&](int number) { pieces.push_back({Piece::Kind::Group, {}, number, at}); };
    while (at < text.size()) {
        const char ch = text[at];
        if (ch == '{' && text.compare(at, 2, "{n") == 0) {
            std::size_t end = at + 2;
            int width = 0;
            if (end < text.size() && text[end] == ':') {
                ++end;
                const std::size_t digits = end;
                while (end < text.size() && IsDigit(text[end]) && width < 100) width = width * 10 + (text[end++] - '0');
                if (end == digits) {
                    error = {TransformError::Where::Replacement, "{n:} needs a width, as in {n:3}", at};
                    return false;
                }
            }
            if (end < text.size() && text[end] == '}') {
                pieces.push_back({Piece::Kind::Counter, {}, width, at});
                at = end + 1;
                continue;
            }
        }
        if (ch == '{') {
            metadata::FieldToken token;
            metadata::TokenError problem;
            switch (metadata::ParseFieldToken(text, at, token, problem)) {
                case metadata::TokenScan::NotAToken: break;
                case metadata::TokenScan::Error:
                    error = {TransformError::Where::Replacement, problem.message, problem.offset};
                    return false;
                case metadata::TokenScan::Token:
                    pieces.push_back({Piece::Kind::Field, {}, static_cast<int>(fields.size()), at});
                    at += token.length;
                    fields.push_back(std::move(token));
                    continue;
            }
        }
        if (ch == '\\' && at + 1 < text.size()) {
            if (regex && IsDigit(text[at + 1])) {
                group(text[at + 1] - '0');
                at += 2;
            } else {
                literal(text[at + 1]);
                at += 2;
            }
            continue;
        }
        if (regex && ch == '$' && at + 1 < text.size() && (IsDigit(text[at + 1]) || text[at + 1] == '{')) {
            std::size_t end = at + 1;
            const bool braced = text[end] == '{';
            if (braced) ++end;
            int number = 0;
            const std::size_t digits = end;
            while (end < text.size() && IsDigit(text[end]) && number < 1000) number = number * 10 + (text[end++] - '0');
            if (end == digits || (braced && (end >= text.size() || text[end] != '}'))) {
                error = {TransformError::Where::Replacement, "a group is written $1, ${1} or \\1", at};
                return false;
            }
            group(number);
            at = braced ? end + 1 : end;
            continue;
        }
        literal(ch);
        ++at;
    }
    return true;
}

std::size_t FolderEnd(std::string_view line, char separator) {
    const std::size_t slash = line.rfind(separator);
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// Where each line's counter stands: one count over all lines, or one per
// folder of the line.
class Counters {
public:
    Counters(const Numbering& numbering, char separator) : numbering_(numbering), separator_(separator) {}
    long long Next(std::string_view line) {
        long long& index = numbering_.perFolder ? perFolder_[std::string(line.substr(0, FolderEnd(line, separator_)))] : all_;
        return numbering_.start + numbering_.step * index++;
    }

private:
    const Numbering& numbering_;
    char separator_;
    long long all_ = 0;
    std::unordered_map<std::string, long long> perFolder_;
};

}  // namespace

namespace {

constexpr std::pair<const char*, Scope> kScopes[] = {
    {"name", Scope::Name}, {"ext", Scope::Extension}, {"full", Scope::NameWithExtension}, {"path", Scope::Path}};

}  // namespace

bool ParseScope(std::string_view word, Scope& scope) {
    for (const auto& [name, value] : kScopes)
        if (word == name) {
            scope = value;
            return true;
        }
    return false;
}

const char* ScopeWord(Scope scope) {
    for (const auto& [name, value] : kScopes)
        if (value == scope) return name;
    return "name";
}

const char* ScopeWords() {
    static const std::string words = [] {
        std::string joined;
        for (const auto& [name, value] : kScopes) joined += (joined.empty() ? "" : " ") + std::string(name);
        return joined;
    }();
    return words.c_str();
}

Span ScopeSpan(std::string_view line, Scope scope, char separator) {
    if (scope == Scope::Path) return {0, line.size()};
    const std::size_t nameStart = FolderEnd(line, separator);
    if (scope == Scope::NameWithExtension) return {nameStart, line.size() - nameStart};
    const std::size_t dot = line.rfind('.');
    const bool hasExtension = dot != std::string_view::npos && dot > nameStart;
    if (scope == Scope::Name) return {nameStart, (hasExtension ? dot : line.size()) - nameStart};
    return hasExtension ? Span{dot + 1, line.size() - dot - 1} : Span{line.size(), 0};
}

std::string CounterText(long long value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

std::vector<std::string> CounterTexts(const std::vector<std::string>& lines, const Numbering& numbering,
                                      char separator, int width) {
    Counters counters(numbering, separator);
    std::vector<long long> values(lines.size());
    std::vector<bool> counted(lines.size());
    int widest = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        values[i] = counters.Next(lines[i]);
        counted[i] = true;
        widest = std::max(widest, static_cast<int>(CounterText(values[i] < 0 ? -values[i] : values[i], 0).size()));
    }
    std::vector<std::string> texts(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (counted[i]) texts[i] = CounterText(values[i], width > 0 ? width : widest);
    return texts;
}

std::size_t NumberLines(std::vector<std::string>& lines, const Numbering& numbering, Scope scope, char separator) {
    const std::vector<std::string> counters = CounterTexts(lines, numbering, separator);
    std::size_t changed = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (counters[i].empty()) continue;
        lines[i].insert(ScopeSpan(lines[i], scope, separator).start, counters[i]);
        ++changed;
    }
    return changed;
}

struct Replacement::Compiled {
    ~Compiled() {
        if (match) pcre2_match_data_free(match);
        if (code) pcre2_code_free(code);
    }
    pcre2_code* code = nullptr;  // null for a prefix
    pcre2_match_data* match = nullptr;
    std::vector<Piece> pieces;
    std::vector<metadata::FieldToken> fields;
    bool counter = false;
};

Replacement::Replacement(std::unique_ptr<Compiled> compiled) : compiled_(std::move(compiled)) {}
Replacement::~Replacement() = default;

bool Replacement::UsesCounter() const { return compiled_->counter; }

metadata::FieldSet Replacement::Fields() const { return metadata::FieldsOf(compiled_->fields); }

std::unique_ptr<Replacement> Replacement::Make(std::string_view find, std::string_view replacement, bool regex,
                                               bool matchCase, TransformError& error) {
    auto compiled = std::make_unique<Compiled>();
    if (!ParseReplacement(replacement, regex && !find.empty(), compiled->pieces, compiled->fields, error)) return nullptr;
    for (const Piece& piece : compiled->pieces) compiled->counter |= piece.kind == Piece::Kind::Counter;
    if (find.empty()) return std::unique_ptr<Replacement>(new Replacement(std::move(compiled)));
    if (const std::size_t lineBreak = find.find_first_of("\r\n"); lineBreak != std::string_view::npos) {
        error = {TransformError::Where::Expression, "no name holds a line break", lineBreak};
        return nullptr;
    }

    // Names may hold bytes that are not UTF-8: they are matched as
    // themselves, never as the start of another character.
    uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | (regex ? PCRE2_UCP : PCRE2_LITERAL);
    if (!matchCase) options |= PCRE2_CASELESS;
    int code = 0;
    PCRE2_SIZE offset = 0;
    compiled->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(find.data()), find.size(), options, &code, &offset, nullptr);
    if (compiled->code == nullptr) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(code, message, sizeof message);
        error = {TransformError::Where::Expression, reinterpret_cast<const char*>(message), offset};
        return nullptr;
    }
    pcre2_jit_compile(compiled->code, PCRE2_JIT_COMPLETE);
    uint32_t groups = 0;
    pcre2_pattern_info(compiled->code, PCRE2_INFO_CAPTURECOUNT, &groups);
    for (const Piece& piece : compiled->pieces)
        if (piece.kind == Piece::Kind::Group && piece.number > static_cast<int>(groups)) {
            error = {TransformError::Where::Replacement, "there is no group " + std::to_string(piece.number),
                     piece.offset};
            return nullptr;
        }
    compiled->match = pcre2_match_data_create_from_pattern(compiled->code, nullptr);
    return std::unique_ptr<Replacement>(new Replacement(std::move(compiled)));
}

std::vector<std::size_t> Replacement::MatchingLines(const std::vector<std::string>& lines, Scope scope,
                                                    char separator) const {
    const Compiled& c = *compiled_;
    std::vector<std::size_t> matching;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::string& line = lines[index];
        const Span span = ScopeSpan(line, scope, separator);
        const bool matches = c.code == nullptr ? !line.empty()
                                               : pcre2_match(c.code, reinterpret_cast<PCRE2_SPTR>(line.data() + span.start),
                                                             span.length, 0, 0, c.match, nullptr) >= 0;
        if (matches) matching.push_back(index);
    }
    return matching;
}

namespace {

// The text of each field token for one line's file; false where a field
// has no value, the line then to be left as it was. What its row says is
// added to note.
bool FieldTexts(const std::vector<metadata::FieldToken>& tokens, const FieldValues& fields, std::size_t line,
                std::vector<std::string>& texts, std::string& note) {
    texts.clear();
    if (tokens.empty()) return true;
    static const metadata::FileMetadata kNothing;
    const metadata::FileMetadata& file =
        fields.files && line < fields.files->size() ? (*fields.files)[line] : kNothing;
    for (const metadata::FieldToken& token : tokens) {
        const metadata::TokenValue value = metadata::ValueOf(token, file, fields.options);
        if (!value.note.empty()) note += (note.empty() ? "" : "; ") + value.note;
        if (!value.found) return false;
        texts.push_back(value.text);
        if (fields.subSeconds && value.date && !token.dateFormat.UsesSubSeconds() && line < fields.subSeconds->size())
            (*fields.subSeconds)[line] = value.date->subSeconds;
    }
    return true;
}

}  // namespace

std::size_t Replacement::Apply(std::vector<std::string>& lines, Scope scope, const Numbering& numbering, char separator,
                               const FieldValues& fields) const {
    const Compiled& c = *compiled_;
    Counters counters(numbering, separator);
    std::size_t changed = 0;
    std::string out, note;
    std::vector<std::string> texts;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        std::string& line = lines[index];
        const Span span = ScopeSpan(line, scope, separator);
        const char* subject = line.data() + span.start;
        long long counter = 0;
        bool counted = false;
        bool valued = false;  // the field values of this line, read at its first match
        bool missing = false;
        note.clear();
        auto expand = [&](const PCRE2_SIZE* groups, std::size_t groupCount) {
            if (!valued) missing = !FieldTexts(c.fields, fields, index, texts, note), valued = true;
            if (missing) return;
            for (const Piece& piece : c.pieces) {
                if (piece.kind == Piece::Kind::Text) {
                    out += piece.text;
                } else if (piece.kind == Piece::Kind::Field) {
                    out += texts[static_cast<std::size_t>(piece.number)];
                } else if (piece.kind == Piece::Kind::Counter) {
                    if (!counted) counter = counters.Next(line), counted = true;
                    out += CounterText(counter, piece.number);
                } else if (static_cast<std::size_t>(piece.number) < groupCount &&
                           groups[2 * piece.number] != PCRE2_UNSET) {
                    out.append(subject + groups[2 * piece.number], groups[2 * piece.number + 1] - groups[2 * piece.number]);
                }
            }
        };
        out.assign(line, 0, span.start);
        if (c.code == nullptr) {  // a prefix, before the part
            if (line.empty()) continue;
            expand(nullptr, 0);
            out.append(line, span.start, std::string::npos);
        } else {
            // As sed does: after a match, none that is empty at its end.
            std::size_t at = 0;
            bool matched = false;
            uint32_t flags = 0;
            while (at <= span.length && pcre2_match(c.code, reinterpret_cast<PCRE2_SPTR>(subject), span.length, at,
                                                    flags, c.match, nullptr) >= 0) {
                const PCRE2_SIZE* groups = pcre2_get_ovector_pointer(c.match);
                matched = true;
                out.append(subject + at, groups[0] - at);
                expand(groups, pcre2_get_ovector_count(c.match));
                at = groups[1];
                flags = PCRE2_NOTEMPTY_ATSTART;
            }
            if (!matched) continue;
            out.append(subject + at, span.length - std::min(at, span.length));
            out.append(line, span.start + span.length, std::string::npos);
        }
        if (fields.notes && !note.empty() && index < fields.notes->size()) (*fields.notes)[index] = note;
        // A file without a value keeps its name; a replacement never makes
        // a line of two: a line break stays out.
        if (missing || out.find_first_of("\r\n") != std::string::npos || out == line) continue;
        line.swap(out);
        ++changed;
    }
    return changed;
}

bool ReadFieldsFor(const Replacement& replacement, const std::vector<std::string>& lines,
                   const std::vector<std::string>& paths, Scope scope, char separator,
                   const metadata::MetadataReader& reader, const metadata::ReadManyOptions& options,
                   std::vector<metadata::FileMetadata>& files) {
    files.assign(lines.size(), metadata::FileMetadata());
    const metadata::FieldSet wanted = replacement.Fields();
    if (wanted.Empty()) return true;
    const std::vector<std::size_t> matching = replacement.MatchingLines(lines, scope, separator);
    std::vector<std::string> read;
    read.reserve(matching.size());
    for (std::size_t line : matching) read.push_back(line < paths.size() ? paths[line] : std::string());
    std::vector<metadata::FileMetadata> found;
    if (!metadata::ReadMany(reader, read, wanted, options, found)) return false;
    for (std::size_t i = 0; i < matching.size(); ++i) files[matching[i]] = std::move(found[i]);
    return true;
}

std::size_t ChangeCase(std::vector<std::string>& lines, CaseChange change, Scope scope, char separator) {
    const LetterCase letterCase = change == CaseChange::Upper   ? LetterCase::Upper
                                  : change == CaseChange::Lower ? LetterCase::Lower
                                  : change == CaseChange::Title ? LetterCase::Title
                                                                : LetterCase::Sentence;
    std::size_t changed = 0;
    for (std::string& line : lines) {
        const Span span = ScopeSpan(line, scope, separator);
        std::string out = line.substr(0, span.start) + InCase(std::string_view(line).substr(span.start, span.length), letterCase) +
                          line.substr(span.start + span.length);
        if (out == line) continue;
        line.swap(out);
        ++changed;
    }
    return changed;
}

std::vector<int> LinesEmptied(const std::vector<std::string>& before, const std::vector<std::string>& after) {
    std::vector<int> emptied;
    for (std::size_t line = 0; line < before.size() && line < after.size(); ++line)
        if (!before[line].empty() && after[line].empty()) emptied.push_back(static_cast<int>(line) + 1);
    return emptied;
}

bool OnlyReordered(std::vector<std::string> before, std::vector<std::string> after) {
    if (before == after || before.size() != after.size()) return false;
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    return before == after;
}

}  // namespace quil
