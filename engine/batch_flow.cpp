#include "engine/batch_flow.h"

#include <algorithm>

namespace quil {
namespace {

// The run's progress and stop, through the front end's monitor.
class MonitoredRun final : public RunObserver {
public:
    explicit MonitoredRun(StepMonitor& monitor) : monitor_(monitor) {}
    void Progress(int applied, int total) override { monitor_.Progress(applied, total); }
    bool StopRequested() override { return monitor_.StopRequested(); }

private:
    StepMonitor& monitor_;
};

// Another git command holds the index: the batch goes on without it only
// when the user says so.
bool MayGoOn(Session& session, BatchDialog& dialog, const std::string& root) {
    const std::string lock = session.HeldIndexLock(root);
    if (lock.empty()) return true;
    if (!dialog.ApplyWithoutGit(lock)) return false;
    session.FollowGit(false);
    return true;
}

BatchPlan Plan(Session& session, BatchDialog& dialog, const BatchChoices& choices) {
    BatchPlan plan;
    dialog.RunLong(LongStep::Planning, [&](StepMonitor& monitor) {
        plan = session.Plan(choices.permanent, choices.emptiedByTransform, [&monitor](double fraction) {
            monitor.Progress(static_cast<long>(fraction * 100), 0);
            return !monitor.StopRequested();
        });
    });
    return plan;
}

}  // namespace

int ExitStatus(const Outcome& outcome) {
    if (outcome.signal != 0) return 128 + outcome.signal;
    if (!outcome.applied) return outcome.nothingToDo || outcome.dryRun ? (outcome.refused > 0 ? 1 : 0) : 2;
    const RunResult& run = outcome.run;
    const bool troubled = outcome.refused > 0 || !run.failures.empty() || run.stopped || !run.journalError.empty() ||
                          !run.indexError.empty();
    return troubled ? 1 : 0;
}

int CombinedExitStatus(const std::vector<Outcome>& outcomes) {
    int worst = -1;
    for (const Outcome& outcome : outcomes)
        if (outcome.applied) worst = std::max(worst, ExitStatus(outcome));
    if (worst >= 0) return worst;
    return outcomes.empty() ? 0 : ExitStatus(outcomes.back());
}

Outcome RunBatch(Session& session, BatchDialog& dialog, const BatchChoices& choices) {
    Outcome outcome;
    session.FollowGit(choices.followGit);
    outcome.plan = Plan(session, dialog, choices);
    const BatchPlan& plan = outcome.plan;
    if (plan.stopped) {
        dialog.Report(outcome);
        return outcome;
    }
    outcome.planned = true;
    outcome.refused = static_cast<int>(plan.refused.size());
    outcome.rows = session.Describe(plan, choices.permanent);
    AddNotes(outcome.rows, choices.notes, session.state());
    dialog.ShowPlan(outcome.rows);
    const std::string& root = session.state().root;
    if (plan.ops.empty()) {
        outcome.nothingToDo = true;
        return outcome;
    }
    if (choices.dryRun) {
        outcome.dryRun = true;
        if (const std::string lock = session.HeldIndexLock(root); !lock.empty()) dialog.NoteIndexLocked(lock);
        return outcome;
    }
    switch (dialog.AskToApply(outcome.rows)) {
        case BatchDialog::Answer::Apply: break;
        case BatchDialog::Answer::EditAgain: outcome.editAgain = true; return outcome;
        case BatchDialog::Answer::No: outcome.declined = true; return outcome;
    }
    if (!MayGoOn(session, dialog, root)) {
        outcome.declined = true;
        return outcome;
    }
    Session::Prepared prepared;
    switch (session.PrepareBatch(prepared, outcome.reason)) {
        case Session::Readiness::Ready: break;
        case Session::Readiness::Busy:
            outcome.busy = true;
            dialog.Report(outcome);
            return outcome;
        case Session::Readiness::Unjournaled:
            if (!dialog.ApplyUnjournaled(outcome.reason)) {
                outcome.declined = true;
                return outcome;
            }
            outcome.notJournaled = true;
    }
    dialog.RunLong(LongStep::Applying, [&](StepMonitor& monitor) {
        MonitoredRun observer(monitor);
        outcome.run = session.Apply(std::move(prepared), plan, choices.permanent, observer);
    });
    outcome.applied = true;
    dialog.Report(outcome);
    return outcome;
}

Outcome RunUndo(Session& session, BatchDialog& dialog, const BatchChoices& choices) {
    Outcome outcome;
    session.FollowGit(choices.followGit);
    UndoPlan undo;
    if (!session.PlanUndo(undo)) {
        outcome.noBatch = true;
        dialog.Report(outcome);
        return outcome;
    }
    outcome.planned = true;
    outcome.refused = undo.refused;
    outcome.rows = undo.rows;
    dialog.ShowUndo(undo);
    if (choices.dryRun) {
        outcome.dryRun = true;
        return outcome;
    }
    // Nothing left to move: what an undo cut short left to write down, and
    // the folders it made to finish, are done without a question.
    const bool movesNothing = undo.refused == static_cast<int>(undo.rows.size());
    if (movesNothing && !undo.DoesSomething()) {
        outcome.nothingToDo = true;
        return outcome;
    }
    if ((!movesNothing && !dialog.AskToUndo(undo)) || !MayGoOn(session, dialog, undo.batch.root)) {
        outcome.declined = true;
        return outcome;
    }
    Session::Prepared prepared;
    if (session.PrepareUndo(undo, prepared, outcome.reason) == Session::Readiness::Busy) {
        outcome.busy = true;
        dialog.Report(outcome);
        return outcome;
    }
    dialog.RunLong(LongStep::Applying, [&](StepMonitor& monitor) {
        MonitoredRun observer(monitor);
        outcome.run = session.ApplyUndo(std::move(prepared), undo, observer);
    });
    outcome.applied = true;
    dialog.Report(outcome);
    return outcome;
}

}  // namespace quil
