#include "engine/plan_rows.h"

#include <array>

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

std::string Summary(const std::vector<PlanRow>& rows) {
    std::array<int, 7> counts{};
    for (const PlanRow& row : rows) ++counts[static_cast<int>(row.action)];
    std::string text;
    auto add = [&](LineAction action, const char* one, const char* many) {
        const int count = counts[static_cast<int>(action)];
        if (count == 0) return;
        if (!text.empty()) text += ", ";
        text += Counted(count, one, many);
    };
    add(LineAction::Rename, "rename", "renames");
    add(LineAction::Move, "move", "moves");
    add(LineAction::Trash, "to the Trash", "to the Trash");
    add(LineAction::Delete, "delete", "deletes");
    add(LineAction::Restore, "from the Trash", "from the Trash");
    add(LineAction::Refuse, "refused", "refused");
    return text.empty() ? "nothing to change" : text;
}

}  // namespace quil
