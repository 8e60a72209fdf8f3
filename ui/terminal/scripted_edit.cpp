#include "ui/terminal/scripted_edit.h"

#include <memory>
#include <vector>

#include "engine/list_text.h"
#include "engine/transforms.h"
#include "engine/unique_names.h"
#include "ui/terminal/filter.h"

namespace quil::terminal {
namespace {

std::string Problem(const std::string& find, const std::string& replacement, const TransformError& problem) {
    const bool inFind = problem.where == TransformError::Where::Expression;
    return std::string(inFind ? "the expression '" + find : "the replacement '" + replacement) + "': " + problem.message +
           " at character " + std::to_string(problem.offset + 1);
}

}  // namespace

bool EditByScript(const Options& options, const ScriptContext& context, std::string& text, ScriptedEdit& edit,
                  std::string& error) {
    const char separator = context.files.conventions().separator;
    const std::vector<std::string> listed = SplitLines(text);
    std::vector<std::string> lines = listed;
    edit.notes.assign(lines.size(), {});
    std::vector<std::string> subSeconds(lines.size());
    const Numbering numbering{options.start, options.step, options.perFolder};
    for (const auto& [find, replacement] : options.replaces) {
        TransformError problem;
        const auto compiled = Replacement::Make(find, replacement, true, !options.ignoreCase, problem);
        if (!compiled) {
            error = Problem(find, replacement, problem);
            return false;
        }
        std::vector<metadata::FileMetadata> files;
        const std::vector<std::string> paths(context.listed.oldPaths.begin() + 1, context.listed.oldPaths.end());
        if (!ReadFieldsFor(*compiled, lines, paths, options.scope, separator, context.reader, context.reading, files)) {
            edit.stopped = true;
            error = "stopped while reading the files";
            return false;
        }
        FieldValues fields{&files, {options.movieZone, false}, &edit.notes, &subSeconds};
        compiled->Apply(lines, options.scope, numbering, separator, fields);
    }
    if (options.caseChange) ChangeCase(lines, *options.caseChange, options.scope, separator);
    if (!options.filter.empty()) {
        std::string filtered = JoinLines(lines) + (lines.empty() ? "" : "\n");
        if (!FilterThrough(options.filter, filtered, error)) return false;
        std::vector<std::string> after = SplitLines(filtered);
        edit.onlyReordered = OnlyReordered(lines, after);
        lines = std::move(after);
    }
    // Last, so that no other edit makes two names one again.
    if (options.unique && lines.size() == listed.size()) MakeUnique(lines, context.listed, context.files, subSeconds);
    if (lines != listed) text = JoinLines(lines) + (lines.empty() ? "" : "\n");
    edit.emptied = LinesEmptied(listed, lines);
    return true;
}

}  // namespace quil::terminal
