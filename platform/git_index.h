// The index of the git work tree a batch runs in, kept in step with what
// the batch did: a rename or move of a tracked file or folder moves its
// entries, as `git mv` does; a file sent to the Trash leaves the index, as
// `git rm --cached` leaves it. The Linux editions only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_services.h"

namespace quil {

// One thing a batch did, replayed on the index in the order done. Paths are
// full; a folder's path stands for every entry below it.
struct IndexEdit {
    enum class Kind { Move, Remove, Restore };
    Kind kind = Kind::Move;
    std::string from;   // Move, Remove
    std::string to;     // Move, Restore
    // Remove, and a Move out of the work tree: the entries it took out (set
    // by Update); Restore: those to put back.
    std::string saved;
    int line = 0;       // the line of the batch it belongs to, for counting
    bool followed = false;  // set by Update where an entry changed
};

class WorkTreeIndex {
public:
    virtual ~WorkTreeIndex() = default;
    // The lock file another git process holds on the index now, or empty.
    virtual std::string HeldLock() = 0;
    // Reads the index afresh, replays the edits on its tracked entries
    // (paths it does not track, or outside the work tree, are passed over)
    // and writes it once, after keep has kept what the edits took out (the
    // index is left as it was when keep fails).
    virtual OpResult Update(std::vector<IndexEdit>& edits, const std::function<bool()>& keep) = 0;
    // The git submodules of the work tree, as full paths.
    virtual std::vector<std::string> Submodules() = 0;
};

// The index of the work tree that holds folder, or null when there is none
// (no repository, a bare one, or one that cannot be read).
std::unique_ptr<WorkTreeIndex> OpenWorkTreeIndex(const std::string& folder);

}  // namespace quil
