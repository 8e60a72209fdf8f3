// Between a run and its journal: passes every record on, and keeps what
// was done, in order, for the git index to follow once the run is over.
#pragma once

#include <vector>

#include "engine/run_plan.h"
#include "platform/git_index.h"

namespace quil {

class IndexFollower final : public RunJournal {
public:
    explicit IndexFollower(RunJournal* journal) : journal_(journal) {}

    std::vector<IndexEdit>& edits() { return edits_; }

    bool Move(int slot, const FileIdentity& identity, const std::string& from, const std::string& to) override;
    bool Trash(int slot, const FileIdentity& identity, const std::string& path) override;
    bool Trashed(int slot, const std::string& trashedAs) override;
    bool Delete(int slot, const FileIdentity& identity, const std::string& path) override;
    bool Failed(int slot) override;
    bool MakeFolder(const std::string& path) override { return !journal_ || journal_->MakeFolder(path); }
    bool RemoveFolder(const std::string& path) override { return !journal_ || journal_->RemoveFolder(path); }
    bool FolderFailed(const std::string& path) override { return !journal_ || journal_->FolderFailed(path); }

private:
    // An operation is announced before it is done; it happened unless
    // Failed follows. An announcement the journal refused is never done.
    bool Announced(bool written, int slot, IndexEdit edit);

    RunJournal* journal_;
    std::vector<IndexEdit> edits_;
    int lastSlot_ = -1;
};

// The removals a batch made in the index, kept beside its journal so that
// its undo can put them back: "PATH\0SAVED-LENGTH\0SAVED" for each.
std::string SavedRemovals(const std::vector<IndexEdit>& edits);
// Path -> the entries saved when it left the index.
std::vector<std::pair<std::string, std::string>> ReadSavedRemovals(const std::string& text);

}  // namespace quil
