// The undo journals of the Linux editions, one file per batch.
//
// A journal is text: a header ("quillane journal 3", then "root", "cwd"
// and "time" lines), then one record per line, its fields separated by
// tabs, the first field the record's letter (the table in
// journal_records.h). Paths below the root are written relative to it;
// tabs, line feeds and backslashes in paths are escaped. Each run (the
// batch, then each undo of it, which starts with a "u" record) announces
// its operations before it does them: a chunk of numbered records (a move,
// a trash, a delete, a restore from the Trash, a folder made or removed)
// is written and made durable before the first operation of the chunk
// runs, and the first record about a file introduces it with its identity
// (device, inode, size, time). What follows names the announcement by its
// number: "X" it did not happen, "t" where a trashed file went, and "E" at
// the end of the run which announcements never ran; every other one was
// done. In a git work tree, "G" then announces that the index is made to
// agree with where the files are, and "g" that it was. A run cut short (a kill, a power cut) leaves its announcements
// open: the next undo finds each file by its identity (at its source, at a
// target, or in the Trash) and writes what it found ("S") before it acts.
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

// An operation announced on a file or folder whose outcome the journal
// does not hold: the process ended before it said.
struct OpenStep {
    enum class Kind { Move, Trash, Delete, Restore, MakeFolder, RemoveFolder };
    long number = 0;
    Kind kind = Kind::Move;
    std::string from;             // the folder's path for MakeFolder and RemoveFolder
    std::string to;               // empty for Trash, Delete and the folders'
    FolderAttributes attributes;  // RemoveFolder: the folder's
};

// One file (or folder) a batch acted on.
struct JournalEntry {
    enum class State {
        Here,     // at now
        Trashed,  // in the Trash, at now
        Deleted,  // deleted for good
        Lost,     // not where the journal says, nor found by its identity
        Dropped,  // gone from the Trash; given up
    };

    int id = 0;
    bool folder = false;
    FileIdentity identity;
    std::string original;
    std::string now;
    State state = State::Here;
    std::vector<OpenStep> open;  // in the order announced
    // Where the git index last had the entry's entries (if it tracks it);
    // empty once they were taken out (kept beside the journal).
    std::string indexedAt;

    bool Undone() const { return state == State::Here && now == original && open.empty(); }
};

// What a batch did, as it stood before any undo.
struct BatchCounts {
    int renames = 0;
    int moves = 0;
    int trashed = 0;
    int deleted = 0;
};

struct RemovedFolder {
    std::string path;
    FolderAttributes attributes;
};

struct BatchJournal {
    std::string name;  // the record in the store
    std::string root;  // ends in the separator
    std::string cwd;   // where the batch was started
    std::int64_t started = 0;  // seconds since 1970
    bool undone = false;
    bool didSomething = false;  // it holds a record beyond its header
    long nextNumber = 1;        // for the next run's announcements
    BatchCounts counts;
    std::vector<JournalEntry> entries;        // in the order first acted on
    std::vector<std::string> madeFolders;     // made by the batch and there since, in the order made
    std::vector<RemovedFolder> removedFolders;  // emptied and removed by the batch, not made again since
    std::vector<RemovedFolder> remadeFolders;   // removed by the batch and made again by an undo
    std::vector<OpenStep> openFolders;        // folder operations whose outcome is not known
    // An update of the git index whose outcome is not known: the index file
    // and what it was before; a write replaces it.
    struct OpenIndex {
        long number = 0;
        std::string file;
        FileIdentity before;
    };
    std::vector<OpenIndex> openIndex;
};

// How an undo found an operation that a run cut short had left open.
struct Settlement {
    long number = 0;
    enum class Outcome : char { Done = 'd', NotDone = 'x', Lost = 'l' } outcome = Outcome::NotDone;
    std::string trashedAs;  // a trash found done
};

// The batches journaled for folder (their root, or where they were started),
// newest first; with entries, each read whole, else only its header.
std::vector<BatchJournal> ListBatches(StateStore& store, const std::string& folder, bool entries);

// Reads one journal whole. Operations whose outcome the journal does not
// hold stay open.
bool ReadBatch(StateStore& store, const std::string& name, BatchJournal& batch);

// Settles each open operation by looking for its file by identity (still
// at its source, at a target, or in the Trash), and for a folder by
// whether it is there; what it found, for the undo to write first.
std::vector<Settlement> SettleOpen(BatchJournal& batch, FileServices& files, TrashService& trash);

// What a batch took out of a git index, kept beside its journal for its undo.
std::string IndexRecordOf(const std::string& journalName);

// Keeps the newest kBatchesKept batches over root, current (the batch that
// runs) among them, and drops the journals of batches that never did
// anything. Only while the folder's lock is held: no other batch over root
// is running then.
void PruneBatches(StateStore& store, const std::string& root, const std::string& current);

// Writes the journal of one batch, or adds an undo's run to it.
class JournalWriter final : public RunJournal {
public:
    // A new batch over root, started in cwd; null with the reason when the
    // journal cannot be written.
    static std::unique_ptr<JournalWriter> Start(StateStore& store, const std::string& root, const std::string& cwd,
                                                std::string& error);
    // An undo of batch: its run's slot k stands for the entry ids[k]. What
    // the undo settled and gave up is written first.
    static std::unique_ptr<JournalWriter> Continue(StateStore& store, const BatchJournal& batch, std::vector<int> ids,
                                                   const std::vector<Settlement>& settled,
                                                   const std::vector<int>& dropped, std::string& error);

    const std::string& name() const { return name_; }
    // False while every operation announced is known not to have happened.
    bool changedAnything() const { return announced_ > failed_; }
    // Per slot of the batch: where the line's entry is a folder.
    void SetFolders(const std::vector<bool>* folders) { folders_ = folders; }

    long FirstNumber() const override { return first_; }
    bool Announce(const std::vector<Announced>& operations) override;
    bool Failed(long number) override;
    bool Trashed(long number, const std::string& trashedAs) override;
    bool End(long first, long last) override;
    // The git index is about to agree with the files (file, as it is
    // before), durable before this returns; then it did, or it did not.
    long IndexFollows(const std::string& file, const FileIdentity& before);
    bool IndexFollowed(long number);
    // Nothing the undo can still bring back is left.
    bool Undone();

private:
    JournalWriter(std::unique_ptr<AppendFile> file, std::string name, std::string root, std::vector<int> ids, long first);
    int Id(int slot) const;
    // Introduces the line's entry on its first record.
    void Introduce(std::string& out, const Announced& operation);
    void AppendAnnouncement(std::string& out, const Announced& operation);

    std::unique_ptr<AppendFile> file_;
    std::string name_;
    std::string root_;
    std::vector<int> ids_;
    long first_;
    std::vector<bool> introduced_;
    const std::vector<bool>* folders_ = nullptr;
    long announced_ = 0;
    long failed_ = 0;
    long next_ = 0;  // past every number written
};

}  // namespace quil
