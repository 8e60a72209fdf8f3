// The flow of the Linux editions over one folder, written once for both:
// list it, read the edited list back, plan and describe the plan, run it
// with the Trash and the undo journal, and undo the last batch. The front
// ends only talk to the user.
#pragma once

#include <string>
#include <vector>

#include "engine/batch_plan.h"
#include "engine/batch_state.h"
#include "engine/journal.h"
#include "engine/plan_rows.h"
#include "engine/run_plan.h"
#include "engine/scan.h"
#include "platform/file_services.h"
#include "platform/state_store.h"
#include "platform/trash.h"

namespace quil {

// The undo of the last batch, planned: moves back through the planner,
// files brought back from the Trash, and what cannot be undone.
struct UndoPlan {
    BatchState state{kUnlimited};  // now -> original, one slot per moved file
    BatchPlan plan;
    std::vector<JournalEntry> restores;  // from the Trash, after the moves
    std::vector<JournalEntry> kept;      // refused: stays in the journal
    std::vector<PlanRow> rows;
};

class Session {
public:
    Session(FileServices& files, TrashService& trash, StateStore& store)
        : files_(files), trash_(trash), store_(store) {}

    enum class OpenStatus { Opened, Missing, NotAFolder, Unreadable };
    // Takes folder as the root; nothing is listed yet.
    OpenStatus Open(const std::string& folder);
    // Lists every file below the root into the list text.
    void List(const ScanOptions& options);

    const BatchState& state() const { return state_; }
    const ScanResult& scan() const { return scan_; }

    // Reads an edited list back into the targets: "\r\n" is a line break,
    // and a line break at the very end ends the last line. False, with the
    // number of lines found, when that is not one line per file.
    bool ReadBack(std::string text, int& found);
    // Takes a text that is one line per file as it stands, line breaks
    // "\n" (a names box kept so by the line-count rule).
    void SetListText(std::string text);

    BatchPlan Plan() { return PlanBatch(state_, files_); }
    std::vector<PlanRow> Describe(const BatchPlan& plan, bool permanent) const {
        return DescribePlan(state_, plan, permanent, files_.conventions());
    }
    // Runs the plan, journaling each operation as it is done.
    RunResult Apply(const BatchPlan& plan, bool permanent, RunObserver& observer);

    // False when no batch is journaled for the root.
    bool PlanUndo(UndoPlan& undo);
    RunResult ApplyUndo(const UndoPlan& undo, RunObserver& observer);

private:
    FileServices& files_;
    TrashService& trash_;
    StateStore& store_;
    BatchState state_{kUnlimited};
    ScanResult scan_;
};

}  // namespace quil
