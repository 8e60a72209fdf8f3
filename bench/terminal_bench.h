// Whole-process figures of quil, the terminal edition, and the planner at a
// million lines, each beside its baseline from the same run.
#pragma once

#include "platform/file_services.h"

namespace quil::bench {

void BenchTerminal();
// quil's start, and a list of paths, each beside what it should keep pace with.
void BenchStartAndPathLists();
void BenchPlanAtScale(FileServices& posix);

}  // namespace quil::bench
