// The undo journals of the Linux editions. Each batch has its own journal,
// and every operation is recorded before it is done, with the identity of
// the file it acts on, so that whatever ends the process the batch can be
// undone: read back, the journal gives for each file where it came from
// and where it is now. An undo adds its own records to the batch's journal.
// The last batches of each folder are kept, newest first.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/run_plan.h"
#include "platform/state_store.h"
#include "platform/trash.h"

namespace quil {

// How many batches of one folder are kept.
constexpr std::size_t kBatchesKept = 20;

// One file (or folder) a batch acted on.
struct JournalEntry {
    enum class State {
        Here,     // at now
        Trashed,  // in the Trash, at now
        Deleted,  // deleted for good
        Lost,     // not where the journal says, nor found by its identity
        Dropped,  // gone from the Trash; given up
    };
    // The last operation announced, while nothing says whether it happened.
    enum class Pending { None, Move, Trash, Delete, Restore };

    int id = 0;
    bool folder = false;
    FileIdentity identity;
    std::string original;
    std::string now;
    State state = State::Here;
    Pending pending = Pending::None;
    std::string pendingFrom;
    std::string pendingTo;

    bool Undone() const { return state == State::Here && now == original; }
};

// What a batch did, as it stood before any undo.
struct BatchCounts {
    int renames = 0;
    int moves = 0;
    int trashed = 0;
    int deleted = 0;
};

struct BatchJournal {
    std::string name;  // the record in the store
    std::string root;  // ends in the separator
    std::string cwd;   // where the batch was started
    std::int64_t started = 0;  // seconds since 1970
    bool undone = false;
    bool didSomething = false;  // it holds a record beyond its header
    BatchCounts counts;
    std::vector<JournalEntry> entries;     // in the order first acted on
    std::vector<std::string> madeFolders;     // made by the batch and there since, in the order made
    std::vector<std::string> removedFolders;  // emptied and removed by the batch, not made again since
};

// The batches journaled for folder (their root, or where they were started),
// newest first; with entries, each read whole, else only its header.
std::vector<BatchJournal> ListBatches(StateStore& store, const std::string& folder, bool entries);

// Reads one journal whole. Operations whose outcome the journal does not
// hold (the process ended between the record and its result) stay pending.
bool ReadBatch(StateStore& store, const std::string& name, BatchJournal& batch);

// Settles each pending operation by looking for the file by its identity:
// still at its source, at its target, or in the Trash.
void SettlePending(BatchJournal& batch, FileServices& files, TrashService& trash);

// What a batch took out of a git index, kept beside its journal for its undo.
std::string IndexRecordOf(const std::string& journalName);

// Keeps the newest kBatchesKept batches over root, current (the batch that
// runs) among them, and drops the journals of batches that never did
// anything. Only while the folder's lock is held: no other batch over root
// is running then.
void PruneBatches(StateStore& store, const std::string& root, const std::string& current);

// Writes the journal of one batch: a record ahead of each operation, each in
// one write. Also the writer of an undo, which adds to the batch's journal.
class JournalWriter final : public RunJournal {
public:
    // A new batch over root, started in cwd; null with the reason when the
    // journal cannot be written.
    static std::unique_ptr<JournalWriter> Start(StateStore& store, const std::string& root, const std::string& cwd,
                                                std::string& error);
    // The journal of an earlier batch, for its undo, whose slot k stands for
    // the entry ids[k].
    static std::unique_ptr<JournalWriter> Continue(StateStore& store, const BatchJournal& batch, std::vector<int> ids,
                                                   std::string& error);

    const std::string& name() const { return name_; }
    // False while every operation announced is known to have failed.
    bool changedAnything() const { return unfailed_ > 0; }

    bool Move(int slot, const FileIdentity& identity, const std::string& from, const std::string& to) override;
    bool Trash(int slot, const FileIdentity& identity, const std::string& path) override;
    bool Trashed(int slot, const std::string& trashedAs) override;
    bool Delete(int slot, const FileIdentity& identity, const std::string& path) override;
    bool Failed(int slot) override;
    bool MakeFolder(const std::string& path) override;
    bool RemoveFolder(const std::string& path) override;
    bool FolderFailed(const std::string& path) override;

    // An undo bringing a file back from the Trash, by entry id.
    bool Restore(int id, const std::string& trashedAs, const std::string& to);
    bool RestoreFailed(int id);
    // A trashed file no longer in the Trash: given up for good.
    bool Drop(int id);
    // Nothing the undo can still bring back is left.
    bool Undone();
    bool Finish();

    // Per slot of the batch: where the line's entry is a folder.
    void SetFolders(const std::vector<bool>* folders) { folders_ = folders; }
    // An undo's next round: its slot k stands for the entry ids[k].
    void SetIds(std::vector<int> ids) { ids_ = std::move(ids); }

private:
    JournalWriter(std::unique_ptr<AppendFile> file, std::string name, std::string root, std::vector<int> ids);
    int Id(int slot) const;
    // Introduces the entry on its first record.
    std::string Introduce(int slot, const FileIdentity& identity, const std::string& path);
    bool Write(const std::string& text);
    bool Announce(const std::string& text) {
        ++unfailed_;
        return Write(text);
    }
    bool Withdraw(const std::string& text) {
        --unfailed_;
        return Write(text);
    }

    std::unique_ptr<AppendFile> file_;
    std::string name_;
    std::string root_;
    std::vector<int> ids_;
    std::vector<bool> introduced_;
    const std::vector<bool>* folders_ = nullptr;
    long unfailed_ = 0;
};

}  // namespace quil
