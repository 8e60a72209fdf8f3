// Running a plan: one operation after another, each checked first against
// what was listed, a failure never stopping the others, a line skipped when
// a name it needed cleared was not, and a file that stepped aside for a
// cycle put back when the cycle cannot finish.
#pragma once

#include <string>
#include <vector>

#include "engine/batch_plan.h"
#include "platform/file_services.h"
#include "platform/trash.h"

namespace quil {

struct OpFailure {
    int slot;
    std::string from;  // the temporary name when a cycle's file could not go back
    std::string to;    // empty for a delete
    OpResult result;
};

// Where a run writes ahead what it is about to do (the undo journal of the
// Linux editions), so that whatever ends the process, the batch can be
// undone. Each call returns false when its record could not be written.
class RunJournal {
public:
    virtual ~RunJournal() = default;
    virtual bool Move(int slot, const FileIdentity& identity, const std::string& from, const std::string& to) = 0;
    virtual bool Trash(int slot, const FileIdentity& identity, const std::string& path) = 0;
    virtual bool Trashed(int slot, const std::string& trashedAs) = 0;
    virtual bool Delete(int slot, const FileIdentity& identity, const std::string& path) = 0;
    // The operation just announced for slot did not happen.
    virtual bool Failed(int slot) = 0;
    virtual bool MakeFolder(const std::string& path) = 0;
    virtual bool RemoveFolder(const std::string& path) = 0;
    // The folder operation just announced did not happen.
    virtual bool FolderFailed(const std::string& path) = 0;
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
};

struct RunResult {
    std::vector<OpFailure> failures;
    int applied = 0;  // lines whose file reached its target (or left)
    int total = 0;    // lines the plan changes
    bool stopped = false;
    std::string journalError;  // set when the journal stopped the run
    int indexChanged = 0;      // lines whose git index entries followed their files
    std::string indexError;    // set when the git index could not follow
};

RunResult RunPlan(const BatchPlan& plan, FileServices& files, WindowHandle owner, const RunOptions& options = {});

// The reasons the runner gives for a line it would not run.
extern const char kNoLongerListed[];
extern const char kNotMovedByBatch[];
extern const char kNameNotCleared[];

}  // namespace quil
