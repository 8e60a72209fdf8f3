// What each line of a plan will do, in list order, as the Linux editions
// show it before anything is touched, and the one-line summary under it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/batch_plan.h"
#include "engine/batch_state.h"

namespace quil {

enum class LineAction { Unchanged, Rename, Move, Trash, Delete, Restore, Refuse, RemoveFolder, KeepFolder };
constexpr std::size_t kLineActions = static_cast<std::size_t>(LineAction::KeepFolder) + 1;

// What each action is called, in every front end: one table.
struct ActionWords {
    LineAction action;
    const char* verb;   // as a plan lists it: "rename", "refuse"
    const char* state;  // as a line's status says it: "rename", "refused"; "" for a folder the lines leave
    const char* key;    // in JSON: "rename", "remove-folder"
    const char* total;  // its count in JSON: "renames", "folders_removed"
    const char* one;    // counted: "1 rename", "1 to the Trash"
    const char* many;   // "3 renames"
};
const ActionWords& WordsOf(LineAction action);
// Every action that a row can have, in the order counts are given.
std::vector<LineAction> RowActions();

// How many rows of each action.
class RowCounts {
public:
    explicit RowCounts(const std::vector<struct PlanRow>& rows);
    int operator[](LineAction action) const { return counts_[static_cast<std::size_t>(action)]; }

private:
    std::array<int, kLineActions> counts_{};
};

struct PlanRow {
    int slot;
    LineAction action;
    std::string from;  // relative to the root where it lies below it
    std::string to;    // empty for Trash and Delete
    Refusal reason = Refusal::TargetExists;  // for Refuse
    int entries = 0;                         // for KeepFolder: the entries not listed
    std::string note{};                      // what a transform says of the line
};

// Every changed line of state, with the plan's refusals; emptied lines go
// to the Trash unless permanent.
std::vector<PlanRow> DescribePlan(const BatchState& state, const BatchPlan& plan, bool permanent,
                                  const Conventions& conventions);

// The action of one line alone, as it stands in the plan (Unchanged where
// the line asks for nothing).
LineAction ActionOf(const BatchState& state, int slot, bool refused, bool permanent, const Conventions& conventions);

// notes by line (line k for slot k + 1) onto the rows; a line that stays as
// it is gets a row of its own (Unchanged) for its note, in slot order.
void AddNotes(std::vector<PlanRow>& rows, const std::vector<std::string>& notes, const BatchState& state);

// "3 renames, 1 move, 2 to the Trash, 1 refused", or "nothing to change".
std::string Summary(const std::vector<PlanRow>& rows);

// "3 renames, 1 move, 2 to the Trash" for what a journaled batch did.
struct BatchCounts;
std::string Summary(const BatchCounts& counts);

// The path as shown: below the root without it.
std::string Shown(const std::string& path, const std::string& root);

}  // namespace quil
