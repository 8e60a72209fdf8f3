// What the window says about a batch: the one question before it (counted
// and named, with the refused lines first), and what was done after it.
#pragma once

#include <QString>
#include <vector>

#include "engine/plan_rows.h"
#include "engine/run_plan.h"
#include "ui/qt/asker.h"

namespace quil::qt {

// rows as DescribePlan gives them; folders: the lines are folders.
// "Rename 3 files, move 1 and put 2 in the Trash?" with "Rename"; empty
// text when no line can be applied (the details say why).
Question BatchQuestion(const std::vector<PlanRow>& rows, bool folders);

// "Renamed 3 files, moved 1 and put 2 in the Trash." or, when some failed,
// "Applied 4 of 6 changes; 2 failed."
QString DoneText(const std::vector<PlanRow>& rows, const RunResult& result, bool folders);

// Whether anything of the batch of rows can be undone: a delete for good
// cannot.
bool Undoable(const std::vector<PlanRow>& rows);

// "Restore 3 files as they were?" for an undo, with its refused lines.
Question UndoQuestion(const std::vector<PlanRow>& rows);

// The refused lines, at most a few of them, each with its reason.
QString RefusedLines(const std::vector<PlanRow>& rows);

}  // namespace quil::qt
