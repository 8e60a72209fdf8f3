#include "engine/plan_rows.h"

#include <algorithm>

#include "engine/journal.h"

namespace quil {
namespace {

std::string_view FolderOf(const std::string& path, const Conventions& conventions) {
    std::size_t end = 0;
    for (std::size_t at = FindSeparator(path, conventions.separator, 0, conventions.isLeadByte); at != std::string::npos;
         at = FindSeparator(path, conventions.separator, at + 1, conventions.isLeadByte))
        end = at + 1;
    return std::string_view(path).substr(0, end);
}

std::string Counted(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

namespace {

constexpr ActionWords kWords[kLineActions] = {
    {LineAction::Unchanged, "keep", "unchanged", "unchanged", "", "unchanged", "unchanged"},
    {LineAction::Rename, "rename", "rename", "rename", "renames", "rename", "renames"},
    {LineAction::Move, "move", "move", "move", "moves", "move", "moves"},
    {LineAction::Trash, "trash", "trash", "trash", "trashed", "to the Trash", "to the Trash"},
    {LineAction::Delete, "delete", "delete", "delete", "deleted", "delete", "deletes"},
    {LineAction::Restore, "restore", "restore", "restore", "restored", "from the Trash", "from the Trash"},
    {LineAction::Refuse, "refuse", "refused", "refuse", "refused", "refused", "refused"},
    {LineAction::RemoveFolder, "remove", "", "remove-folder", "folders_removed", "folder removed", "folders removed"},
    {LineAction::KeepFolder, "keep", "", "keep-folder", "folders_kept", "folder kept", "folders kept"},
};

}  // namespace

const ActionWords& WordsOf(LineAction action) { return kWords[static_cast<std::size_t>(action)]; }

std::vector<LineAction> RowActions() {
    std::vector<LineAction> actions;
    for (const ActionWords& words : kWords)
        if (words.action != LineAction::Unchanged) actions.push_back(words.action);
    return actions;
}

RowCounts::RowCounts(const std::vector<PlanRow>& rows) {
    for (const PlanRow& row : rows) ++counts_[static_cast<std::size_t>(row.action)];
}

std::string Shown(const std::string& path, const std::string& root) {
    return path.compare(0, root.size(), root) == 0 ? path.substr(root.size()) : path;
}

LineAction ActionOf(const BatchState& state, int slot, bool refused, bool permanent, const Conventions& conventions) {
    const std::string& from = state.oldPaths[slot];
    const std::string& to = state.newPaths[slot];
    if (from == to) return LineAction::Unchanged;
    if (refused) return LineAction::Refuse;
    if (to.empty()) return permanent ? LineAction::Delete : LineAction::Trash;
    return FolderOf(from, conventions) == FolderOf(to, conventions) ? LineAction::Rename : LineAction::Move;
}

std::vector<PlanRow> DescribePlan(const BatchState& state, const BatchPlan& plan, bool permanent,
                                  const Conventions& conventions) {
    std::vector<PlanRow> rows;
    rows.reserve(plan.ops.size() + plan.refused.size());  // about one a line; a batch's largest table
    auto refused = plan.refused.begin();  // in slot order
    for (int slot = 1; slot <= state.count; ++slot) {
        while (refused != plan.refused.end() && refused->slot < slot) ++refused;
        const bool isRefused = refused != plan.refused.end() && refused->slot == slot;
        const LineAction action = ActionOf(state, slot, isRefused, permanent, conventions);
        if (action == LineAction::Unchanged) continue;
        PlanRow row{slot, action, Shown(state.oldPaths[slot], state.root), Shown(state.newPaths[slot], state.root)};
        if (isRefused) row.reason = refused->reason;
        rows.push_back(std::move(row));
    }
    return rows;
}

// One pass over rows in slot order (the folders' rows, slot 0, after them),
// the notes merged in: a search per note was quadratic in a batch where
// every line has a note.
void AddNotes(std::vector<PlanRow>& rows, const std::vector<std::string>& notes, const BatchState& state) {
    if (std::all_of(notes.begin(), notes.end(), [](const std::string& note) { return note.empty(); })) return;
    std::vector<PlanRow> merged;
    merged.reserve(rows.size());
    std::size_t line = 0;  // the next note's line
    // The notes of lines before slot that no row holds, each in a row of its own.
    auto keptBefore = [&](std::size_t slot) {
        for (; line < notes.size() && line + 1 < slot; ++line) {
            if (notes[line].empty()) continue;
            PlanRow kept{static_cast<int>(line) + 1, LineAction::Unchanged, Shown(state.oldPaths[line + 1], state.root), {}};
            kept.note = notes[line];
            merged.push_back(std::move(kept));
        }
    };
    for (PlanRow& row : rows) {
        const std::size_t slot = row.slot == 0 ? notes.size() + 1 : static_cast<std::size_t>(row.slot);
        keptBefore(slot);
        if (row.slot != 0 && line < notes.size() && line + 1 == slot) row.note = notes[line++];
        merged.push_back(std::move(row));
    }
    keptBefore(notes.size() + 1);
    rows = std::move(merged);
}

namespace {

struct Count {
    int count;
    const char* one;
    const char* many;
};

// The counts that are not zero, joined: "3 renames, 1 move".
std::string Joined(std::initializer_list<Count> counts, const char* none) {
    std::string text;
    for (const Count& count : counts) {
        if (count.count == 0) continue;
        if (!text.empty()) text += ", ";
        text += Counted(count.count, count.one, count.many);
    }
    return text.empty() ? none : text;
}

}  // namespace

std::string Summary(const BatchCounts& counts) {
    return Joined({{counts.renames, "rename", "renames"},
                   {counts.moves, "move", "moves"},
                   {counts.trashed, "to the Trash", "to the Trash"},
                   {counts.deleted, "delete", "deletes"}},
                  "nothing");
}

std::string Summary(const std::vector<PlanRow>& rows) {
    const RowCounts counts(rows);
    auto of = [&](LineAction action) { return Count{counts[action], WordsOf(action).one, WordsOf(action).many}; };
    return Joined({of(LineAction::Rename), of(LineAction::Move), of(LineAction::Trash), of(LineAction::Delete),
                   of(LineAction::Restore), of(LineAction::Refuse), of(LineAction::RemoveFolder)},
                  "nothing to change");
}

}  // namespace quil
