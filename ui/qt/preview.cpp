#include "ui/qt/preview.h"

#include <QtConcurrent/QtConcurrent>
#include <algorithm>

#include "engine/edited_plan.h"
#include "engine/list_text.h"
#include "engine/plan_rows.h"

namespace quil::qt {

PreviewPlanner::PreviewPlanner(FileServices& files) : files_(files) { pool_.setMaxThreadCount(1); }

PreviewPlanner::~PreviewPlanner() { pool_.waitForDone(); }

QFuture<Preview> PreviewPlanner::Start(std::string text, std::vector<int> emptiedByTransform, bool permanent,
                                       quint64 generation) {
    latest_ = generation;
    return QtConcurrent::run(&pool_, [this, text = std::move(text), emptied = std::move(emptiedByTransform), permanent,
                                      generation]() mutable { return Run(std::move(text), emptied, permanent, generation); });
}

void PreviewPlanner::Prime(const BatchState& listed) {
    WaitForCopy();
    copied_ = QtConcurrent::run(&pool_, [this, &listed] {
        state_ = listed;
        ParseListText(state_, files_.conventions());
    });
}

Preview PreviewPlanner::Run(std::string text, const std::vector<int>& emptiedByTransform, bool permanent,
                            quint64 generation) {
    const Conventions& conventions = files_.conventions();
    const std::string before = std::move(state_.text);
    state_.text = std::move(text);
    ReparseChangedLines(state_, before, conventions);
    Preview preview;
    preview.generation = generation;
    if (generation != latest_) return preview;  // kept up to date, not planned: a newer text follows

    PlanOptions options;
    options.permanent = permanent;
    for (const int slot : emptiedByTransform) options.refusals.push_back({slot, Refusal::TransformLeftNoName});
    auto plan = std::make_shared<const BatchPlan>(PlanEditedList(state_, files_, options));
    // Every changed line has an operation or a refusal: only those are
    // looked at, whatever the length of the list.
    std::vector<std::pair<int, LineStatus>>& changed = preview.changed;
    for (const FileOp& op : plan->ops)
        if (op.slot <= state_.count && op.stage != FileOp::Stage::ToTemporary)
            changed.push_back({op.slot - 1, {ActionOf(state_, op.slot, false, permanent, conventions), {}}});
    for (const RefusedLine& refused : plan->refused)
        changed.push_back({refused.slot - 1, {LineAction::Refuse, QString(Describe(refused.reason))}});
    std::sort(changed.begin(), changed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<PlanRow> counted;
    counted.reserve(changed.size() + plan->folders.size());
    for (const auto& [line, status] : changed) counted.push_back({line + 1, status.action, {}, {}});
    for (const FolderFate& fate : plan->folders)
        counted.push_back({0, fate.unlisted == 0 ? LineAction::RemoveFolder : LineAction::KeepFolder, {}, {}});
    preview.summary = QString::fromStdString(Summary(counted));
    // Freeing a large plan costs as much as a part of the checks: it is
    // done after the preview is shown.
    QThreadPool::globalInstance()->start([plan = std::move(plan)] {});
    return preview;
}

}  // namespace quil::qt
