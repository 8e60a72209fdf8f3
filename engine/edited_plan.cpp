#include "engine/edited_plan.h"

#include <algorithm>

#include "engine/emptied_folders.h"

namespace quil {

BatchPlan PlanEditedList(const BatchState& state, FileServices& files, const PlanOptions& options) {
    BatchPlan plan = PlanBatch(state, files, options);
    if (plan.stopped) return plan;
    plan.folders = FoldersLeftBehind(state, plan, files);
    // Emptied folders go after every line, when nothing is left in them.
    int slot = state.count;
    for (const FileOp& op : plan.ops) slot = std::max(slot, op.slot);
    for (const FolderFate& fate : plan.folders) {
        if (fate.unlisted != 0) continue;
        FileOp removal;
        removal.kind = FileOp::Kind::RemoveFolder;
        removal.slot = ++slot;
        removal.from = fate.folder;
        plan.ops.push_back(std::move(removal));
    }
    return plan;
}

std::vector<PlanRow> DescribeEditedList(const BatchState& state, const BatchPlan& plan, bool permanent,
                                        const Conventions& conventions) {
    std::vector<PlanRow> rows = DescribePlan(state, plan, permanent, conventions);
    for (const FolderFate& fate : plan.folders) {
        PlanRow row{0, fate.unlisted == 0 ? LineAction::RemoveFolder : LineAction::KeepFolder,
                    Shown(fate.folder, state.root) + conventions.separator, {}};
        row.entries = fate.unlisted;
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace quil
