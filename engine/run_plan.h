// Running a plan: one operation after another, each checked first against
// what was listed, a failure never stopping the others, a line skipped when
// a name it needed cleared was not, and a file that stepped aside for a
// cycle put back when the cycle cannot finish. With a journal, operations
// are written ahead in chunks, each chunk durable before any of its
// operations runs.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "engine/batch_plan.h"
#include "platform/file_services.h"
#include "platform/trash.h"

namespace quil {

struct OpFailure {
    int slot;
    std::string from;  // the temporary name when a cycle's file could not go back; a folder's path
    std::string to;    // empty for a delete and a folder
    OpResult result;
    FileOp::Kind kind = FileOp::Kind::Move;
};

// One operation as the journal announces it, before it runs.
struct Announced {
    const FileOp* op;
    long number;                   // names it in the records that follow
    const FileIdentity* identity;  // of what is at op->from now; null for MakeFolder
    const std::string* to;         // where it goes (a file set back takes op->restore)
    bool folder;                   // the line stands for a folder
    bool trash;                    // a delete goes to the Trash
    // RemoveFolder: the folder's own, for an undo to give back; MakeFolder:
    // those an undo gives it. Null where there are none.
    const FolderAttributes* attributes;
};

// Where a run writes ahead what it is about to do (the undo journal of the
// Linux editions), so that whatever ends the process, the batch can be
// undone. Each call returns false when its record could not be written.
class RunJournal {
public:
    virtual ~RunJournal() = default;
    // The number of the run's first announcement.
    virtual long FirstNumber() const = 0;
    // The operations about to run, durable before this returns.
    virtual bool Announce(const std::vector<Announced>& operations) = 0;
    // The announced operation did not happen: it failed or was skipped.
    virtual bool Failed(long number) = 0;
    // The announced trash happened: the file is at trashedAs.
    virtual bool Trashed(long number, const std::string& trashedAs) = 0;
    // The run is over: the announcements first to last never ran; every
    // other one that did not fail was done.
    virtual bool End(long first, long last) = 0;
};

// Progress, and a way to stop between operations.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    virtual void Progress(int applied, int total) = 0;
    // Asked before each operation: true stops the run there (or, inside a
    // cycle, once the cycle is complete).
    virtual bool StopRequested() = 0;
};

struct RunOptions {
    TrashService* trash = nullptr;  // deletes go to the Trash when set
    RunJournal* journal = nullptr;
    RunObserver* observer = nullptr;
    // Per slot, the file each source must still be (an undo knows them);
    // otherwise only its kind is checked.
    const std::vector<FileIdentity>* expected = nullptr;
    // Per slot, true where the line stands for a folder.
    const std::vector<bool>* folders = nullptr;
    // Per MakeFolder slot, the attributes the folder had (an undo's), given
    // while it is filled (the caller gives the rest once it is).
    const std::unordered_map<int, FolderAttributes>* attributes = nullptr;
};

// An operation that was done, in the order done: a planned one, or the
// move of a cycle's file back to its own name (putBack, from the op's
// temporary name to its restore).
struct DoneOp {
    std::size_t op;
    bool putBack = false;
};

struct RunResult {
    std::vector<OpFailure> failures;
    int applied = 0;  // lines whose file reached its target (or left)
    int total = 0;    // lines the plan changes
    bool stopped = false;
    std::string journalError;  // set when the journal stopped the run
    std::vector<DoneOp> done;
    int indexChanged = 0;    // lines whose git index entries followed their files
    std::string indexError;  // set when the git index could not follow
};

RunResult RunPlan(const BatchPlan& plan, FileServices& files, WindowHandle owner, const RunOptions& options = {});

// The reasons the runner gives for a line it would not run.
extern const char kNoLongerListed[];
extern const char kNotMovedByBatch[];
extern const char kNameNotCleared[];

}  // namespace quil
