// Turning the parsed targets into an ordered list of file operations that
// never replaces a file: a move waits for the file that holds its target
// name, or the name of a folder on its way, to leave; cycles go through a
// temporary name; lines that would overwrite or that the platform cannot
// take are refused with a reason. Planning queries the file system but
// changes nothing.
#pragma once

#include <cstdint>
#include <functional>
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
    // A batch deletes, moves, and makes and removes folders; an undo also
    // brings files back from the Trash.
    // (A byte each, beside the flags: a plan holds an operation a line.)
    enum class Kind : std::uint8_t { Delete, Move, RemoveFolder, MakeFolder, Restore };
    // A cycle, and a change of case where names fold, go through a
    // temporary name: the file moves there first and to its target last.
    enum class Stage : std::uint8_t { Direct, ToTemporary, FromTemporary };
    Kind kind = Kind::Move;
    Stage stage = Stage::Direct;
    bool caseOnly = false;  // the target is the source spelt in another case
    // MakeFolder: made for the moves into it, and removed again when they
    // fail and leave it empty.
    bool forMoves = false;
    // The line (1 to count); folders made and removed take slots past it.
    int slot = 0;
    std::string from;     // empty for MakeFolder
    std::string to;       // empty for a delete and RemoveFolder
    std::string restore;  // FromTemporary: the file's own name, to go back to
    // The operations (by slot) that must have done their part before this
    // one may run: files that leave a name, folders made on the way.
    std::vector<int> waitsFor;
};

// What becomes of a folder that lines leave: removed once the batch has
// left it empty (entries 0), or kept for the entries the batch does not list.
struct FolderFate {
    std::string folder;  // full path, without a final separator
    int unlisted = 0;
};

struct BatchPlan {
    bool stopped = false;  // planning was asked to stop: nothing is planned
    std::vector<FileOp> ops;
    std::vector<RefusedLine> refused;  // in slot order
    std::vector<FolderFate> folders;   // deepest first
};

struct PlanOptions {
    // Folders to remove (full paths, without a final separator): each goes
    // once what is inside it has left, before any move to its name; their
    // operations have slots past count.
    std::vector<std::string> foldersToRemove;
    // Folders to make again (an undo's), outermost first: each once a file
    // of the batch has left its name, where one holds it.
    std::vector<std::string> foldersToMake;
    // Emptied lines are deleted for good rather than sent to the Trash: a
    // folder that is not empty cannot be.
    bool permanent = false;
    // Lines refused before planning, in slot order (the caller knows why:
    // a git submodule, a name a transform emptied).
    std::vector<RefusedLine> refusals;
    // Called now and then with how far planning is (0 to 1); returning
    // false stops it, and the plan comes back empty and stopped.
    std::function<bool(double fraction)> progress;
};

// newPaths must be in canonical form (ParseListText puts them so).
BatchPlan PlanBatch(const BatchState& state, FileServices& files, const PlanOptions& options = {});

}  // namespace quil
