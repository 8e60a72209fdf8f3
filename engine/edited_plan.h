// The plan of an edited list as OK applies it, the one way both the
// preview and OK take: the lines' operations with the refusals given
// beforehand, then the folders the batch leaves empty, removed at its end;
// and its rows, every changed line, then what becomes of those folders.
#pragma once

#include <vector>

#include "engine/batch_plan.h"
#include "engine/batch_state.h"
#include "engine/plan_rows.h"

namespace quil {

BatchPlan PlanEditedList(const BatchState& state, FileServices& files, const PlanOptions& options);

std::vector<PlanRow> DescribeEditedList(const BatchState& state, const BatchPlan& plan, bool permanent,
                                        const Conventions& conventions);

}  // namespace quil
