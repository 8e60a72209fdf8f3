// The text transforms of the Linux editions: find and replace (literal or
// by regular expression, with capture groups and a counter), a prefix, and
// case changes, each on a chosen part of every line. A transform rewrites
// lines of the list text and nothing else: the plan then sees the result
// as it sees any edit, with every check it makes.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/metadata/read_many.h"
#include "engine/metadata/token_values.h"

namespace quil {

// The part of a line a transform acts on.
enum class Scope {
    Name,               // the file's name without its extension (the default)
    Extension,          // the extension, without its dot
    NameWithExtension,  // the whole name
    Path,               // the whole line, folders included
};

// "name", "ext", "full", "path"; false for any other word.
bool ParseScope(std::string_view word, Scope& scope);
// Those words, in that order, space-separated.
const char* ScopeWords();
// The word of scope.
const char* ScopeWord(Scope scope);

struct Span {
    std::size_t start = 0;
    std::size_t length = 0;
};

// Where scope lies in line, a path relative to the root. The extension
// follows the name's last dot, unless that dot begins the name (".bashrc"
// has none).
Span ScopeSpan(std::string_view line, Scope scope, char separator);

// The counter {n}: start, step, and whether it starts again in each folder.
// It counts the lines a transform changes, in their order.
struct Numbering {
    long long start = 1;
    long long step = 1;
    bool perFolder = false;
};

struct TransformError {
    enum class Where { Expression, Replacement };
    Where where = Where::Expression;
    std::string message;
    std::size_t offset = 0;  // in the text that is wrong
};

// Where the field tokens of a replacement ({taken}, {artist}, ...) take
// their values: each line's file's metadata, read beforehand for the lines
// the transform changes (ReadFieldsFor), and what each line's row says.
struct FieldValues {
    const std::vector<metadata::FileMetadata>* files = nullptr;  // by line
    metadata::ValueOptions options;
    std::vector<std::string>* notes = nullptr;  // by line: what its row says, where anything
    // By line: the sub-seconds of the date a line took where its format
    // left them out, for a name that must be made unique.
    std::vector<std::string>* subSeconds = nullptr;
};

// A find and replace, compiled once. The replacement takes $0, $1, ${1}
// and \1 for what the expression captured (regular expressions only), and
// {n} or {n:3} (3 digits at least) for the counter; \ takes the next
// character as it is. An empty find puts the replacement before the part.
class Replacement {
public:
    static std::unique_ptr<Replacement> Make(std::string_view find, std::string_view replacement, bool regex,
                                             bool matchCase, TransformError& error);
    ~Replacement();

    bool UsesCounter() const;
    // The fields its tokens name; none for a replacement without tokens.
    metadata::FieldSet Fields() const;

    // The lines (by index) it would change: those it matches, or every
    // line that is not empty for a prefix.
    std::vector<std::size_t> MatchingLines(const std::vector<std::string>& lines, Scope scope, char separator) const;

    // Rewrites the part of each line that scope names; a line where nothing
    // matches (and an empty line, for a prefix) stays as it is. Returns how
    // many lines changed.
    std::size_t Apply(std::vector<std::string>& lines, Scope scope, const Numbering& numbering, char separator) const {
        return Apply(lines, scope, numbering, separator, FieldValues());
    }
    // With field tokens: a line whose file has no value for one is left as
    // it was, and its note says why.
    std::size_t Apply(std::vector<std::string>& lines, Scope scope, const Numbering& numbering, char separator,
                      const FieldValues& fields) const;

private:
    struct Compiled;
    explicit Replacement(std::unique_ptr<Compiled> compiled);
    std::unique_ptr<Compiled> compiled_;
};

// The metadata the replacement's tokens need, for the lines it changes:
// paths are the lines' files as listed (a line's edited text is no file).
// Read on a small pool of threads, with progress; false when stopped.
bool ReadFieldsFor(const Replacement& replacement, const std::vector<std::string>& lines,
                   const std::vector<std::string>& paths, Scope scope, char separator,
                   const metadata::MetadataReader& reader, const metadata::ReadManyOptions& options,
                   std::vector<metadata::FileMetadata>& files);

enum class CaseChange {
    Upper,
    Lower,
    Title,     // the first letter of each word upper case, the others lower
    Sentence,  // the first letter upper case, the others lower
};

// Changes the case of the part of each line that scope names, letter by
// letter beyond ASCII too. Returns how many lines changed.
std::size_t ChangeCase(std::vector<std::string>& lines, CaseChange change, Scope scope, char separator);

// The counter as {n:width} would write it: start + step * index.
std::string CounterText(long long value, int width);

// The counter of each line in order, as {n:width} numbers them; an empty
// line (a file to delete) gets none and is not counted. Width 0: the
// digits of the widest value, so that the names sort as they count.
std::vector<std::string> CounterTexts(const std::vector<std::string>& lines, const Numbering& numbering,
                                      char separator, int width = 0);

// Number: the counter before the part of each line that holds a name,
// padded to the widest value. Returns how many lines changed.
std::size_t NumberLines(std::vector<std::string>& lines, const Numbering& numbering, Scope scope, char separator);

// The lines (1 for the first) that held a name before a transform and
// hold none after it: the transform emptied them, the user did not.
std::vector<int> LinesEmptied(const std::vector<std::string>& before, const std::vector<std::string>& after);

// True when after holds the lines of before, each as often, in another
// order: a filter that only sorted or shuffled them, which would swap
// names between files.
bool OnlyReordered(std::vector<std::string> before, std::vector<std::string> after);

}  // namespace quil
