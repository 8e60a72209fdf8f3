// The OK command: confirm, parse, plan, refuse what would lose a file, run
// the rest one operation after another, report failures, close.
#pragma once

#include <string>
#include <vector>

#include "engine/batch_plan.h"
#include "engine/batch_state.h"
#include "engine/dialog_ops.h"
#include "platform/file_services.h"

namespace quil {

// Refused lines and failed operations listed in one message box.
constexpr std::size_t kListedInReport = 10;

struct OpFailure {
    int slot;
    std::string from;  // the temporary name when a cycle's file could not go back
    std::string to;    // empty for a delete
    OpResult result;
};

// Runs every operation of the plan; a failure does not stop the others.
std::vector<OpFailure> RunPlan(const BatchPlan& plan, FileServices& files, WindowHandle owner);

void ExecuteBatch(BatchState& state, DialogOps& dialog, FileServices& files);

}  // namespace quil
