// What a run did, as edits of a git index, in the order done; and the
// entries those edits took out of the index, kept beside the batch's
// journal so that its undo can put them back.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/run_plan.h"
#include "platform/git_index.h"

namespace quil {

// Moves (a cycle's file put back included), and trashes and deletes, which
// take files out of the index.
std::vector<IndexEdit> IndexEditsOf(const BatchPlan& plan, const RunResult& result);

// The entries the edits took out (a trash, a move out of the work tree):
// "PATH\0SAVED-LENGTH\0SAVED" for each.
std::string SavedRemovals(const std::vector<IndexEdit>& edits);
// Path -> the entries saved when it left the index.
std::vector<std::pair<std::string, std::string>> ReadSavedRemovals(const std::string& text);

}  // namespace quil
