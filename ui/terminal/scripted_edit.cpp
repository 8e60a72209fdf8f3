#include "ui/terminal/scripted_edit.h"

#include <memory>
#include <vector>

#include "engine/list_text.h"
#include "engine/transforms.h"
#include "ui/terminal/filter.h"

namespace quil::terminal {

bool EditByScript(const Options& options, char separator, std::string& text, ScriptedEdit& edit, std::string& error) {
    const std::vector<std::string> listed = SplitLines(text);
    if (!options.replaces.empty() || options.caseChange) {
        const Scope scope = options.scope;
        const Numbering numbering{options.start, options.step, options.perFolder};
        std::vector<std::string> lines = listed;
        for (const auto& [find, replacement] : options.replaces) {
            TransformError problem;
            const auto compiled = Replacement::Make(find, replacement, true, !options.ignoreCase, problem);
            if (!compiled) {
                const bool inFind = problem.where == TransformError::Where::Expression;
                error = std::string(inFind ? "the expression '" + find : "the replacement '" + replacement) + "': " +
                        problem.message + " at character " + std::to_string(problem.offset + 1);
                return false;
            }
            compiled->Apply(lines, scope, numbering, separator);
        }
        if (options.caseChange) ChangeCase(lines, *options.caseChange, scope, separator);
        text = JoinLines(lines) + (lines.empty() ? "" : "\n");
    }
    if (!options.filter.empty()) {
        const std::vector<std::string> before = SplitLines(text);
        if (!FilterThrough(options.filter, text, error)) return false;
        edit.onlyReordered = OnlyReordered(before, SplitLines(text));
    }
    edit.emptied = LinesEmptied(listed, SplitLines(text));
    return true;
}

}  // namespace quil::terminal
