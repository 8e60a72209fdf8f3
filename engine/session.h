// The flow of the Linux editions over one folder, written once for both:
// list it, read the edited list back, plan and describe the plan, run it
// with the Trash and the undo journal, and undo the batches run over it,
// newest first. The front ends only talk to the user.
#pragma once

#include <memory>
#include <unordered_map>
#include <string>
#include <vector>

#include "engine/batch_plan.h"
#include "engine/batch_state.h"
#include "engine/journal.h"
#include "engine/plan_rows.h"
#include "engine/run_plan.h"
#include "engine/scan.h"
#include "engine/selection.h"
#include "platform/file_services.h"
#include "platform/git_index.h"
#include "platform/state_store.h"
#include "platform/trash.h"

namespace quil {

// The undo of one batch, planned: moves back through the planner, the
// folders the batch made removed and those it removed made again, files
// brought back from the Trash, and what cannot be undone.
struct UndoPlan {
    BatchJournal batch;
    std::vector<Settlement> settled;     // how the operations a run cut short ended, written first
    BatchState state{kUnlimited};        // now -> original, one slot per file to move back
    std::vector<int> ids;                // per slot, the journal entry
    std::vector<FileIdentity> expected;  // per slot, the file the batch moved
    std::vector<bool> folders;           // per slot, a folder
    std::unordered_map<int, FolderAttributes> attributes;  // per folder made again, what it had
    std::vector<int> dropped;            // entries no longer in the Trash: given up when applied
    // Folders the batch removed that are back: their attributes are given
    // once they are filled (again, where an undo was cut short before).
    std::vector<RemovedFolder> foldersToFinish;
    BatchPlan plan;                      // the restores from the Trash last
    std::vector<PlanRow> rows;           // what the undo will do, line by line
    int refused = 0;                     // rows that cannot be undone
    bool complete = false;               // once run without a fault, nothing is left to undo

    bool DoesSomething() const {
        return !plan.ops.empty() || !dropped.empty() || !settled.empty() || !foldersToFinish.empty();
    }
};

class Session {
public:
    Session(FileServices& files, TrashService& trash, StateStore& store)
        : files_(files), trash_(trash), store_(store) {}

    // Resolves what the user picked and takes its root; nothing is listed
    // yet. A problem names the path that cannot be listed.
    ListProblem Open(const ListRequest& request);
    // Lists what was picked into the list text; progress, where given,
    // takes the place of the request's (see ScanOptions).
    void List(const std::function<bool(int files)>& progress = {});

    // Orders the listing within each folder by keys (see
    // OrderWithinFolders); before any edit, since it pairs lines with files.
    void Reorder(const std::vector<std::optional<std::string>>& keys, bool reverse);

    // Keeps only the listed files whose slot keep marks: a narrowing the
    // listing could not make itself (by the date taken). Before any edit.
    void Keep(const std::vector<bool>& keep);

    // Shows nothing, the root kept: what is left when every path picked
    // is gone.
    void ListNothing();
    // What to list after the batch that ran plan: each path picked where it
    // is now (its line's new name where its change was applied), those gone
    // left out. Empty for the current folder, and when all are gone.
    std::vector<std::string> PathsAfter(const BatchPlan& plan, const RunResult& result) const;

    const BatchState& state() const { return state_; }
    const Conventions& conventions() const { return files_.conventions(); }
    const ScanResult& scan() const { return scan_; }

    // Reads an edited list back into the targets: "\r\n" is a line break,
    // and a line break at the very end ends the last line; a byte-order
    // mark at the start is no part of the first name. False, with the
    // number of lines found, when that is not one line per file.
    bool ReadBack(std::string text, int& found);
    // Takes a text that is one line per file as it stands, line breaks
    // "\n" (a names box kept so by the line-count rule).
    void SetListText(std::string text);

    // The plan of the edited list, the folders it empties removed at its
    // end; progress as PlanOptions has it (a stopped plan is empty). Lines
    // a transform emptied (slots) are refused: only a line the user
    // empties means the Trash.
    BatchPlan Plan(bool permanent, const std::vector<int>& emptiedByTransform = {},
                   const std::function<bool(double)>& progress = {});
    // Every changed line, then what becomes of the folders the lines leave.
    std::vector<PlanRow> Describe(const BatchPlan& plan, bool permanent) const;

    // Before a batch or an undo: one at a time per folder (the folder's
    // lock, held by Prepared), and a batch whose journal cannot be written
    // cannot be undone (reason says why; Prepared then holds no journal).
    enum class Readiness { Ready, Busy, Unjournaled };
    struct Prepared {
        std::unique_ptr<StoreLock> lock;
        std::unique_ptr<JournalWriter> journal;
    };
    Readiness PrepareBatch(Prepared& prepared, std::string& reason);
    // Runs the plan, journaling each operation before it is done.
    RunResult Apply(Prepared prepared, const BatchPlan& plan, bool permanent, RunObserver& observer);

    // In a git work tree, the index follows the batch's renames, moves and
    // trashings of tracked files, and their undo (see WorkTreeIndex), when
    // an opener is given and following is on.
    using IndexOpener = std::function<std::unique_ptr<WorkTreeIndex>(const std::string& folder)>;
    void UseGit(IndexOpener opener) {
        openIndex_ = std::move(opener);
        indexOpened_ = false;
    }
    void FollowGit(bool follow) { followGit_ = follow; }
    // Whether root is in a git work tree whose index would follow.
    bool FollowsGit(const std::string& root) { return Index(root) != nullptr; }
    // The lock another git process holds on that index now, or empty.
    std::string HeldIndexLock(const std::string& root);

    // The batches run over the root, newest first.
    std::vector<BatchJournal> History();
    // Whether a batch over the root may be left to undo (without looking at
    // the files, which PlanUndo does).
    bool CanUndo();
    // The newest batch over the root not yet undone; false when there is none.
    bool PlanUndo(UndoPlan& undo);
    // Busy when another batch runs over the folder.
    Readiness PrepareUndo(const UndoPlan& undo, Prepared& prepared, std::string& reason);
    RunResult ApplyUndo(Prepared prepared, const UndoPlan& undo, RunObserver& observer);

private:
    // The undo of batch as things stand now.
    void BuildUndo(const BatchJournal& batch, UndoPlan& undo);
    // The folders an undo made again get their permissions and times.
    void FinishFoldersMadeAgain(const UndoPlan& undo, const RunResult& result);
    // Lines that move or trash a git submodule, or a folder holding one.
    void RefuseSubmodules(std::vector<RefusedLine>& refusals);
    // The index of root's work tree made to agree with where batch's files
    // are, written ahead in journal where there is one.
    void MakeIndexAgree(const std::string& root, const BatchJournal& batch, JournalWriter* journal, RunResult& result);
    // The undo of the newest batch over the root that left something to undo.
    bool NextToUndo(UndoPlan& undo);
    static std::string LockName(const std::string& root);
    // The index of root's work tree, opened once per root; null outside one.
    WorkTreeIndex* Index(const std::string& root);

    FileServices& files_;
    TrashService& trash_;
    StateStore& store_;
    BatchState state_{kUnlimited};
    ListRequest request_;
    Selection selection_;
    ScanResult scan_;
    IndexOpener openIndex_;
    bool followGit_ = true;
    std::unique_ptr<WorkTreeIndex> index_;
    std::string indexRoot_;
    bool indexOpened_ = false;
};

}  // namespace quil
