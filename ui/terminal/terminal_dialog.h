// quil's side of the conversation: the plan as rows (or JSON), questions
// on the terminal, progress on standard error, Ctrl-C, SIGTERM and SIGHUP
// as a stop between operations, and what came of it on standard error.
#pragma once

#include <csignal>
#include <string>

#include "engine/batch_flow.h"
#include "ui/terminal/console.h"
#include "ui/terminal/options.h"

namespace quil::terminal {

// The signal that asked to stop (SIGINT, SIGTERM, SIGHUP), set by their
// handler while a long step runs.
extern volatile std::sig_atomic_t interrupted;

void Error(const std::string& message);

class TerminalDialog final : public BatchDialog {
public:
    TerminalDialog(Console& console, const Options& options, std::string root)
        : console_(console), options_(options), root_(std::move(root)) {}

    void RunLong(LongStep step, const std::function<void(StepMonitor&)>& work) override;
    void ShowPlan(const std::vector<PlanRow>& rows) override;
    void ShowUndo(const UndoPlan& undo) override;
    void NoteIndexLocked(const std::string& lock) override;
    Answer AskToApply(const std::vector<PlanRow>& rows) override;
    bool AskToUndo(const UndoPlan& undo) override;
    bool ApplyWithoutGit(const std::string& lock) override;
    bool ApplyUnjournaled(const std::string& reason) override;
    void Report(const Outcome& outcome) override;

private:
    // y/N (and e, where the editor can be opened again) on the terminal;
    // --yes answers yes, and without a terminal nobody can.
    Answer Ask(const std::string& question, bool canEdit);
    void ReportFailures(const RunResult& run);

    Console& console_;
    const Options& options_;
    std::string root_;  // the rows' paths are relative to it
};

}  // namespace quil::terminal
