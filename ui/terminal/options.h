// The command line of quil: one table of its options, from which its
// parsing, its --help and the shells' completions are all made.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/list_filter.h"
#include "engine/metadata/order_keys.h"
#include "engine/transforms.h"

namespace quil::terminal {

struct Options {
    std::vector<std::string> paths;  // files and folders to list; none: the current folder
    std::string fromFile;            // --from: a list of paths ("-" for standard input)
    bool nulSeparated = false;       // -0: that list is separated by NUL bytes
    bool folders = false;            // -D: folder lines
    ListFilter listFilter;           // --type, --larger, --smaller, --newer, --older
    bool all = false;
    int maxDepth = -1;
    bool dryRun = false;
    bool yes = false;
    bool list = false;
    std::string applyFile;  // "-" for standard input; empty: the editor
    // --replace REGEX REPLACEMENT, in order; --filter COMMAND.
    std::vector<std::pair<std::string, std::string>> replaces;
    std::string filter;
    Scope scope = Scope::Name;  // the part of each line a --replace or --case acts on
    std::optional<CaseChange> caseChange;  // --case
    bool unique = false;                   // --unique
    metadata::SortKey sortKey = metadata::SortKey::Name;  // --sort
    bool reverse = false;
    metadata::Zone movieZone;  // --tz: where a movie header's UTC time is shown
    bool ignoreCase = false;
    long long start = 1, step = 1;  // the counter {n}
    bool perFolder = false;
    bool permanent = false;
    bool undo = false;
    bool history = false;
    bool json = false;    // the plan (with -n) or the history as JSON
    bool noGit = false;   // leave a git work tree's index as it is
    enum class Colour { Auto, Always, Never } colour = Colour::Auto;
    std::string completion;  // --completion: the shell whose script to print
    bool help = false;
    bool version = false;
};

// One option: how it is written, what it takes, its help, what it sets.
struct OptionSpec {
    enum class Takes {
        Nothing,
        Number,   // a whole number
        Text,     // a value of its own form (a size, a date, a zone)
        File,     // a path ("-" for standard input where that is said)
        Command,  // a shell command
        Word,     // one of words
        Pair,     // two values: a regular expression and its replacement
    };
    char letter;          // the short form, 0 for none
    const char* name;     // the long form, without its dashes
    Takes takes;
    const char* value;    // the value as the help writes it ("N", "FILE")
    const char* words;    // Word: the words it takes, space-separated
    const char* summary;  // a few words, for the shells' completions
    const char* help;     // for --help, wrapped there at 80 columns
    // Sets options from the value (and second, for a Pair); false with the
    // reason when the value is wrong.
    bool (*set)(Options& options, const std::string& value, const std::string& second, std::string& error);
    bool alias = false;  // another spelling: left out of the help and the completions
};

const std::vector<OptionSpec>& OptionTable();

// Whether the list is rewritten by options rather than the editor.
bool EditsByScript(const Options& options);

// False with a message for a command line that cannot be run.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

std::string Usage();

// The completion script of shell ("bash", "zsh" or "fish"); false for
// another shell.
bool CompletionScript(const std::string& shell, std::string& script);

}  // namespace quil::terminal
