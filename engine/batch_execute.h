// The OK command: confirm, parse, plan, refuse what would lose a file, run
// the rest one operation after another, report failures, close.
#pragma once

#include <string>
#include <vector>

#include "engine/batch_plan.h"
#include "engine/batch_state.h"
#include "engine/dialog_ops.h"
#include "engine/run_plan.h"
#include "platform/file_services.h"

namespace quil {

// Refused lines and failed operations listed in one message box.
constexpr std::size_t kListedInReport = 10;

// The question that lists refused lines before anything is touched, and
// the one report of the operations that failed.
std::string RefusalQuestion(const BatchState& state, const std::vector<RefusedLine>& refused);
std::string FailureReport(const std::vector<OpFailure>& failures);

void ExecuteBatch(BatchState& state, DialogOps& dialog, FileServices& files);

}  // namespace quil
