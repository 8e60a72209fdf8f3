// The git index kept in agreement with where a batch's files are, whatever
// ended the runs before: each file's entries go from where the index last
// had them to where the file is now, leave it for the Trash (kept beside
// the batch's journal) and come back with the file.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/journal.h"
#include "engine/run_plan.h"
#include "platform/git_index.h"

namespace quil {

// Moves batch's entries where the run that ran plan put their files: the
// run's slot k stands for the entry ids[k] (the batch itself: no ids, each
// line its own entry, made on its first operation).
void FollowRun(BatchJournal& batch, const BatchPlan& plan, const RunResult& result, const std::vector<int>& ids);

// The edits that make the index agree with the entries; saved holds what
// earlier edits took out, by entry.
std::vector<IndexEdit> IndexEditsFor(const BatchJournal& batch, const std::map<int, std::string>& saved);

// What the edits took out, by entry: "ID\0LENGTH\0SAVED" each.
std::string SavedRemovals(const std::vector<IndexEdit>& edits);
std::map<int, std::string> ReadSavedRemovals(const std::string& text);

}  // namespace quil
