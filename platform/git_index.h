// The index of the git work tree a batch runs in, kept in step with where
// the batch's files are: a renamed or moved tracked file or folder has its
// entries moved, as `git mv` moves them; a file sent to the Trash leaves
// the index, as `git rm --cached` leaves it, and comes back with its undo.
// The Linux editions only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_services.h"

namespace quil {

// One change of the index. Paths are full; a folder's path stands for every
// entry below it.
struct IndexEdit {
    enum class Kind { Move, Remove, Restore };
    Kind kind = Kind::Move;
    std::string from;  // Move, Remove
    std::string to;    // Move, Restore
    // Restore: the entries to put back at to; a Move: those to put back
    // where the index has nothing at from (they were taken out before).
    std::string putBack;
    // Set by Update: the entries a Remove, or a Move out of the work tree,
    // took out.
    std::string taken;
    int entry = 0;          // the file of the batch it belongs to, for counting and keeping
    bool followed = false;  // set by Update where an entry changed
};

class WorkTreeIndex {
public:
    virtual ~WorkTreeIndex() = default;
    // The lock file another git process holds on the index now, or empty.
    virtual std::string HeldLock() = 0;
    // The index file itself, which a write replaces.
    virtual std::string File() = 0;
    // Reads the index afresh and makes all the edits at once: every entry
    // that moves or leaves is taken out before any arrives, so that a swap
    // needs no temporary name; then the restores. Paths it does not track,
    // or outside the work tree, are passed over. It is written once, after
    // keep has kept what the edits took out (left as it was when keep fails).
    virtual OpResult Update(std::vector<IndexEdit>& edits, const std::function<bool()>& keep) = 0;
    // The git submodules of the work tree, as full paths.
    virtual std::vector<std::string> Submodules() = 0;
};

// The index of the work tree that holds folder, or null when there is none
// (no repository, a bare one, or one that cannot be read).
std::unique_ptr<WorkTreeIndex> OpenWorkTreeIndex(const std::string& folder);

}  // namespace quil
