// The edit --replace, --case and --filter make in place of the editor: the
// list rewritten by each expression in order, its case changed, then put
// through the filter.
#pragma once

#include <string>
#include <vector>

#include "ui/terminal/options.h"

namespace quil::terminal {

// What the edit did beyond rewriting names.
struct ScriptedEdit {
    std::vector<int> emptied;    // lines (1 for the first) it left with no name
    bool onlyReordered = false;  // the filter only moved lines about
};

// Rewrites text, the list as the editor would get it. False, with what the
// user should be told, when an expression or the filter is wrong.
// separator is the one between the folders of the list's paths.
bool EditByScript(const Options& options, char separator, std::string& text, ScriptedEdit& edit, std::string& error);

}  // namespace quil::terminal
