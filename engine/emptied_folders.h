// The folders a batch leaves behind. A folder below the root that lines
// leave, and that the batch leaves without any entry (hidden ones
// included), is removed after the batch, deepest first; one that keeps
// entries the list does not name stays, and the plan says why. A folder
// that was empty before, the root and the folders above it are never
// touched.
#pragma once

#include <vector>

#include "engine/batch_plan.h"
#include "engine/batch_state.h"
#include "platform/file_services.h"

namespace quil {

std::vector<FolderFate> FoldersLeftBehind(const BatchState& state, const BatchPlan& plan, FileServices& files);

}  // namespace quil
