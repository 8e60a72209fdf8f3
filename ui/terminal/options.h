// The command line of quil: one table of its options, from which its
// parsing, its --help and the shells' completions are all made.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/edit_steps.h"
#include "engine/list_filter.h"

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
    // --replace ... --tz: the edits made instead of the editor, and the
    // listing's order.
    EditSteps steps;
    std::string recipe;      // --recipe: the saved steps to run before those
    std::string saveRecipe;  // --save-recipe: the name to save the steps under
    bool recipes = false;    // --recipes: list them
    std::string mapFile;     // --map: the new names from a list
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
    using Takes = OptionValue;
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
    // An edit step, which sets Options::steps (set is null).
    const StepOption* step = nullptr;
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
