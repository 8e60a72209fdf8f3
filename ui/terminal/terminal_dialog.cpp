#include "ui/terminal/terminal_dialog.h"

#include <array>
#include <iostream>

#include "ui/terminal/json_output.h"

namespace quil::terminal {

volatile std::sig_atomic_t interrupted = 0;

namespace {

// Stops a long step between operations on Ctrl-C, SIGTERM or SIGHUP (a
// closed terminal), for as long as it lives.
class InterruptCatcher {
public:
    InterruptCatcher() {
        interrupted = 0;
        struct sigaction action {};
        action.sa_handler = [](int signal) { interrupted = signal; };
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &previous_[i]);
    }
    ~InterruptCatcher() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
    }

private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> previous_{};
};

class LineMonitor final : public StepMonitor {
public:
    explicit LineMonitor(LongStep step)
        : line_(step == LongStep::Reading ? "read" : step == LongStep::Planning ? "planning" : "applied") {}
    void Progress(long done, long total) override {
        if (total == 0) line_.ShowFraction(static_cast<double>(done) / 100);
        else line_.Show(done, total);
    }
    bool StopRequested() override { return interrupted != 0; }

private:
    ProgressLine line_;
};

std::string IndexLocked(const std::string& lock) {
    return "the git index is locked by another git command ('" + Printable(lock) + "')";
}

}  // namespace

void Error(const std::string& message) { std::cerr << "quil: " << Printable(message) << '\n'; }

void TerminalDialog::RunLong(LongStep step, const std::function<void(StepMonitor&)>& work) {
    InterruptCatcher catcher;
    LineMonitor monitor(step);
    work(monitor);
}

void TerminalDialog::ShowPlan(const std::vector<PlanRow>& rows) {
    if (options_.json)
        std::cout << PlanJson(root_, rows) << std::flush;
    else
        console_.PrintPlan(rows);
}

void TerminalDialog::ShowUndo(const UndoPlan& undo) {
    root_ = undo.batch.root;
    if (!options_.json)
        std::cout << "undo the batch of " << When(undo.batch.started) << " in '" << Printable(undo.batch.root) << "' ("
                  << Summary(undo.batch.counts) << ")\n";
    ShowPlan(undo.rows);
}

void TerminalDialog::NoteIndexLocked(const std::string& lock) {
    Error(IndexLocked(lock) + (options_.yes || !console_.HasTerminal()
                                   ? "; applying would change nothing until it is done, or with --no-git"
                                   : "; applying would ask whether to go on without updating the index"));
}

BatchDialog::Answer TerminalDialog::Ask(const std::string& question, bool canEdit) {
    if (options_.yes) return Answer::Apply;
    if (!console_.HasTerminal()) {
        Error("no terminal to ask whether to apply; pass --yes to apply without asking");
        return Answer::No;
    }
    const char answer = console_.Ask(question + (canEdit ? " [y/N/e] " : " [y/N] "), 'n');
    if (answer == 'y') return Answer::Apply;
    if (answer == 'e' && canEdit) return Answer::EditAgain;
    std::cout << "nothing changed\n";
    return Answer::No;
}

BatchDialog::Answer TerminalDialog::AskToApply(const std::vector<PlanRow>&) {
    return Ask("Apply?", options_.applyFile.empty());
}

bool TerminalDialog::AskToUndo(const UndoPlan&) { return Ask("Apply?", false) == Answer::Apply; }

// A git command running, or one killed, holds the index: the batch may
// then only go ahead without it, and only when the user says so.
bool TerminalDialog::ApplyWithoutGit(const std::string& lock) {
    if (options_.yes || !console_.HasTerminal()) {
        Error(IndexLocked(lock) + "; nothing changed. Apply again once it is done, or pass --no-git to leave the index as it is");
        return false;
    }
    std::string question = IndexLocked(lock) + ". Apply without updating the index?";
    question[0] = 'T';
    return Ask(question, false) == Answer::Apply;
}

bool TerminalDialog::ApplyUnjournaled(const std::string& reason) {
    if (options_.yes) {
        Error("warning: this batch cannot be undone (" + reason + ")");
        return true;
    }
    return Ask("This batch cannot be undone (" + Printable(reason) + "). Apply anyway?", false) == Answer::Apply;
}

void TerminalDialog::ReportFailures(const RunResult& run) {
    const std::string verbForDeletes = options_.undo ? "restore" : options_.permanent ? "delete" : "trash";
    for (const OpFailure& failure : run.failures) {
        const std::string from = "'" + Printable(Shown(failure.from, root_)) + "'";
        const std::string to = "'" + Printable(Shown(failure.to, root_)) + "'";
        const std::string why = ": " + failure.result.message;
        switch (failure.kind) {
            case FileOp::Kind::Delete: Error("cannot " + verbForDeletes + " " + from + why); break;
            case FileOp::Kind::Move: Error("cannot move " + from + " to " + to + why); break;
            case FileOp::Kind::Restore: Error("cannot restore " + from + " to " + to + why); break;
            case FileOp::Kind::MakeFolder: Error("cannot make the folder " + from + why); break;
            case FileOp::Kind::RemoveFolder: Error("cannot remove the folder " + from + why); break;
        }
    }
}

void TerminalDialog::Report(const Outcome& outcome) {
    if (outcome.noBatch) return Error("no batch to undo in '" + root_ + "'");
    if (outcome.busy) return Error(outcome.reason + "; nothing changed");
    if (!outcome.planned) return Error("stopped while planning; nothing changed");
    const RunResult& run = outcome.run;
    ReportFailures(run);
    std::string applied = "applied " + std::to_string(run.applied) + " of " + std::to_string(run.total) + " changes";
    if (run.indexChanged > 0) applied += ", the git index following " + std::to_string(run.indexChanged);
    if (!run.indexError.empty()) Error("the git index was left as it was: " + run.indexError);
    if (!run.journalError.empty())
        Error(run.journalError + (run.stopped ? "; stopped so that what was done can be undone; " : "; ") + applied);
    else if (run.stopped)
        Error("stopped; " + applied);
    else if (!run.failures.empty())
        Error(applied);
    else
        std::cout << applied << '\n';
}

}  // namespace quil::terminal
