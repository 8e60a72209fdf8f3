#include "engine/plan_rows.h"

#include <array>

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
    std::array<int, 9> counts{};
    for (const PlanRow& row : rows) ++counts[static_cast<int>(row.action)];
    auto of = [&](LineAction action) { return counts[static_cast<int>(action)]; };
    return Joined({{of(LineAction::Rename), "rename", "renames"},
                   {of(LineAction::Move), "move", "moves"},
                   {of(LineAction::Trash), "to the Trash", "to the Trash"},
                   {of(LineAction::Delete), "delete", "deletes"},
                   {of(LineAction::Restore), "from the Trash", "from the Trash"},
                   {of(LineAction::Refuse), "refused", "refused"}},
                  "nothing to change");
}

}  // namespace quil
