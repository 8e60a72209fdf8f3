// The window's side of the conversation: the flow's questions in message
// boxes (through the Asker, so that tests answer them), its long steps on a
// worker behind a progress dialog with Cancel, and what came of a batch.
#pragma once

#include <QWidget>

#include "engine/batch_flow.h"
#include "ui/qt/asker.h"
#include "ui/qt/names_editor.h"

namespace quil::qt {

class WindowDialog final : public BatchDialog {
public:
    // folders: the lines are folders; root: the paths are shown below it.
    WindowDialog(QWidget* window, Asker& asker, const NamesEditor& names, bool folders, std::string root)
        : window_(window), asker_(asker), names_(names), folders_(folders), root_(std::move(root)) {}

    void RunLong(LongStep step, const std::function<void(StepMonitor&)>& work) override;
    void ShowPlan(const std::vector<PlanRow>&) override {}  // the question holds it
    void ShowUndo(const UndoPlan&) override {}
    void NoteIndexLocked(const std::string&) override {}  // the window makes no dry run
    Answer AskToApply(const std::vector<PlanRow>& rows) override;
    bool AskToUndo(const UndoPlan& undo) override;
    bool ApplyWithoutGit(const std::string& lock) override;
    bool ApplyUnjournaled(const std::string& reason) override;
    void Report(const Outcome& outcome) override;

private:
    QWidget* window_;
    Asker& asker_;
    const NamesEditor& names_;
    bool folders_;
    std::string root_;
};

}  // namespace quil::qt
