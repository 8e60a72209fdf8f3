// The edit --replace and --filter make in place of the editor: the list
// rewritten by each expression in order, then put through the filter.
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
bool EditByScript(const Options& options, std::string& text, ScriptedEdit& edit, std::string& error);

}  // namespace quil::terminal
