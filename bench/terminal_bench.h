// Whole-process figures of quil, the terminal edition, and the planner at a
// million lines, each beside its baseline from the same run.
#pragma once

#include "platform/file_services.h"

namespace quil::bench {

void BenchTerminal();
void BenchPlanAtScale(FileServices& posix);

}  // namespace quil::bench
