// Turning the parsed targets into an ordered list of file operations that
// never replaces a file: a move waits for the file that holds its target
// name, or the name of a folder on its way, to leave; cycles go through a
// temporary name; lines that would overwrite or that the platform cannot
// take are refused with a reason. Planning queries the file system but
// changes nothing.
#pragma once

#include <string>
#include <vector>

#include "engine/batch_state.h"
#include "engine/path_rules.h"
#include "platform/file_services.h"

namespace quil {

struct RefusedLine {
    int slot;
    Refusal reason;
};

struct FileOp {
    enum class Kind { Delete, Move };
    // A cycle is broken by moving one file to a temporary name first and
    // from there to its target last.
    enum class Stage { Direct, ToTemporary, FromTemporary };
    Kind kind;
    Stage stage;
    int slot;
    std::string from;
    std::string to;       // empty for a delete
    std::string restore;  // FromTemporary: the file's own name, to go back to
};

struct BatchPlan {
    std::vector<FileOp> ops;
    std::vector<RefusedLine> refused;  // in slot order
};

// newPaths must be in canonical form (ParseListText puts them so).
BatchPlan PlanBatch(const BatchState& state, FileServices& files);

}  // namespace quil
