// Running a plan: one operation after another, a failure never stopping the
// others, and a file that stepped aside for a cycle put back when the cycle
// cannot finish.
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

// What the Linux editions add to a run: a record of every operation done
// (for the undo journal), progress, and a way to stop between operations.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // After each operation done; trashedAs is where a trashed file went.
    virtual void Done(const FileOp& op, const std::string& trashedAs) = 0;
    virtual void Progress(int applied, int total) = 0;
    // Asked before each operation: true stops the run there (or, inside a
    // cycle, once the cycle is complete).
    virtual bool StopRequested() = 0;
};

struct RunOptions {
    TrashService* trash = nullptr;  // deletes go to the Trash when set
    RunObserver* observer = nullptr;
};

struct RunResult {
    std::vector<OpFailure> failures;
    int applied = 0;  // lines whose file reached its target (or left)
    int total = 0;    // lines the plan changes
    bool stopped = false;
};

RunResult RunPlan(const BatchPlan& plan, FileServices& files, WindowHandle owner, const RunOptions& options = {});

}  // namespace quil
