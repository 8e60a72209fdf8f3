// The command line of quil.
#pragma once

#include <string>

namespace quil::terminal {

struct Options {
    std::string folder = ".";
    bool all = false;
    int maxDepth = -1;
    bool dryRun = false;
    bool yes = false;
    bool list = false;
    std::string applyFile;  // "-" for standard input; empty: the editor
    bool permanent = false;
    bool undo = false;
    bool history = false;
    bool help = false;
    bool version = false;
};

// False with a message for a command line that cannot be run.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

extern const char kUsage[];

}  // namespace quil::terminal
