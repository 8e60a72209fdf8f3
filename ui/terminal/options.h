// The command line of quil.
#pragma once

#include <string>
#include <vector>

namespace quil::terminal {

struct Options {
    std::vector<std::string> paths;  // files and folders to list; none: the current folder
    std::string fromFile;            // --from: a list of paths ("-" for standard input)
    bool nulSeparated = false;       // -0: that list is separated by NUL bytes
    bool folders = false;            // -D: folder lines
    bool all = false;
    int maxDepth = -1;
    bool dryRun = false;
    bool yes = false;
    bool list = false;
    std::string applyFile;  // "-" for standard input; empty: the editor
    // --replace REGEX REPLACEMENT, in order; --filter COMMAND.
    std::vector<std::pair<std::string, std::string>> replaces;
    std::string filter;
    std::string scope = "name";  // the part of each line a --replace acts on
    bool ignoreCase = false;
    long long start = 1, step = 1;  // the counter {n}
    bool perFolder = false;
    bool permanent = false;
    bool undo = false;
    bool history = false;
    bool json = false;    // the plan (with -n) or the history as JSON
    bool noGit = false;   // leave a git work tree's index as it is
    enum class Colour { Auto, Always, Never } colour = Colour::Auto;
    bool help = false;
    bool version = false;
};

// False with a message for a command line that cannot be run.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

extern const char kUsage[];

}  // namespace quil::terminal
