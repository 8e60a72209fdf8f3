// The undo journal of the Linux editions: every operation of a batch is
// recorded as it is done, so that a batch that was interrupted can be
// undone too; read back, it gives one net change per file.
#pragma once

#include <string>
#include <vector>

#include "engine/batch_plan.h"
#include "platform/state_store.h"

namespace quil {

// Where one file of the last batch came from and where it is now.
struct JournalEntry {
    enum class Kind { Moved, Trashed, Deleted };
    Kind kind;
    std::string original;  // the path it was listed at
    std::string now;       // its path now, in the Trash for Trashed; empty when Deleted
};

// The record name of a folder's journal: one per folder, by its full path.
std::string JournalName(const std::string& root);

// Starts the journal of a new batch over root, replacing the last one.
// Records are kept in memory and written every so many operations and at
// Flush, so that journaling costs little beside the renames.
class JournalWriter {
public:
    JournalWriter(StateStore& store, const std::string& root);
    ~JournalWriter() { Flush(true); }
    bool ok() const { return ok_; }

    void Record(const FileOp& op, const std::string& trashedAs);
    // Writes what is pending; durable also waits for the disk, which is
    // done once, at the end of a batch.
    bool Flush(bool durable);

private:
    StateStore& store_;
    const std::string name_;
    std::string pending_;
    int pendingCount_ = 0;
    bool ok_ = true;
};

// The net change of every file the journal of root records, in the order
// the files were first touched. False when there is no journal, or it
// records nothing.
bool ReadJournal(StateStore& store, const std::string& root, std::vector<JournalEntry>& entries);

// Keeps what an undo could not bring back, as the journal of root; removes
// the journal when nothing is left.
bool RewriteJournal(StateStore& store, const std::string& root, const std::vector<JournalEntry>& left);

}  // namespace quil
