// The edit --replace, --case, --unique and --filter make in place of the
// editor: the list rewritten by each expression in order, its case
// changed, names made unique, then put through the filter.
#pragma once

#include <string>
#include <vector>

#include "engine/batch_state.h"
#include "engine/metadata/read_many.h"
#include "platform/file_services.h"
#include "ui/terminal/options.h"

namespace quil::terminal {

// What the edit reads and checks with.
struct ScriptContext {
    const BatchState& listed;  // the files, each line's as listed, and the root
    FileServices& files;
    const metadata::MetadataReader& reader;  // for field tokens ({taken}, {artist})
    // Reading the files' fields, with progress; a stop ends the edit.
    metadata::ReadManyOptions reading;
};

// What the edit did beyond rewriting names.
struct ScriptedEdit {
    std::vector<int> emptied;        // lines (1 for the first) it left with no name
    bool onlyReordered = false;      // the filter only moved lines about
    std::vector<std::string> notes;  // by line: what its row says (where a field came from, or why it is missing)
    bool stopped = false;            // stopped while reading the files' fields
};

// Rewrites text, the list as the editor would get it. False, with what the
// user should be told, when an expression or the filter is wrong (or the
// reading was stopped).
bool EditByScript(const Options& options, const ScriptContext& context, std::string& text, ScriptedEdit& edit,
                  std::string& error);

}  // namespace quil::terminal
