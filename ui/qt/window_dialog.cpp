#include "ui/qt/window_dialog.h"

#include <QStringList>

#include "engine/printable.h"
#include "ui/qt/batch_texts.h"
#include "ui/qt/busy_task.h"

namespace quil::qt {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Display(const std::string& path) { return Q(Printable(path)); }

class BusyMonitor final : public StepMonitor {
public:
    explicit BusyMonitor(TaskProgress& progress) : progress_(progress) {}
    void Progress(long done, long total) override {
        progress_.done = done;
        progress_.total = total;
    }
    bool StopRequested() override { return progress_.cancelled; }

private:
    TaskProgress& progress_;
};

QString FailuresText(const std::vector<OpFailure>& failures, const std::string& root) {
    QStringList lines;
    for (std::size_t i = 0; i < failures.size() && i < 10; ++i) {
        const OpFailure& failure = failures[i];
        const QString from = "'" + Display(Shown(failure.from, root)) + "'";
        const QString to = "'" + Display(Shown(failure.to, root)) + "'";
        QString line;
        switch (failure.kind) {
            case FileOp::Kind::Delete: line = "Could not remove " + from; break;
            case FileOp::Kind::Move: line = "Could not move " + from + " to " + to; break;
            case FileOp::Kind::Restore: line = "Could not restore " + from + " to " + to; break;
            case FileOp::Kind::MakeFolder: line = "Could not make the folder " + from; break;
            case FileOp::Kind::RemoveFolder: line = "Could not remove the folder " + from; break;
        }
        lines << line + (failure.result.message.empty() ? QString() : ": " + Q(failure.result.message));
    }
    if (failures.size() > 10) lines << QStringLiteral("and %1 more").arg(failures.size() - 10);
    return lines.join('\n');
}

}  // namespace

void WindowDialog::RunLong(LongStep step, const std::function<void(StepMonitor&)>& work) {
    const char* verb = step == LongStep::Reading ? "Reading" : "Applying";
    const std::function<QString(long, long)> label =
        step == LongStep::Planning
            ? std::function<QString(long, long)>([](long percent, long) { return QStringLiteral("Planning... %1%").arg(percent); })
            : [verb](long done, long total) { return QStringLiteral("%1... %2 of %3").arg(verb).arg(done).arg(total); };
    RunBusy(window_, label, [&work](TaskProgress& progress) {
        BusyMonitor monitor(progress);
        work(monitor);
    });
}

BatchDialog::Answer WindowDialog::AskToApply(const std::vector<PlanRow>& rows) {
    return asker_.Ask(BatchQuestion(rows, folders_)) ? Answer::Apply : Answer::No;
}

// The undo lists again: edits in the box are lost, which is said first.
bool WindowDialog::AskToUndo(const UndoPlan& undo) {
    Question question = UndoQuestion(undo.rows);
    if (names_.IsEdited()) question = {QStringLiteral("The names were edited; the edits will be lost."), question.text,
                                       question.action, false};
    return asker_.Ask(question);
}

bool WindowDialog::ApplyWithoutGit(const std::string& lock) {
    return asker_.Ask({"Another git command holds the git index ('" + Display(lock) + "'), or one stopped and left it locked.",
                       QStringLiteral("Apply without staging the renames in git?"), QStringLiteral("Apply Without Git"),
                       true});
}

bool WindowDialog::ApplyUnjournaled(const std::string& reason) {
    return asker_.Ask({QString(), "This batch cannot be undone (" + Q(reason) + "). Apply anyway?",
                       QStringLiteral("Apply Anyway"), true});
}

void WindowDialog::Report(const Outcome& outcome) {
    if (outcome.noBatch) return asker_.Tell(QStringLiteral("Nothing is left to undo in this folder."), Asker::Kind::Information);
    if (outcome.busy) return asker_.Tell(Q(outcome.reason) + ". No file has been changed.", Asker::Kind::Error);
    const RunResult& run = outcome.run;
    if (!run.indexError.empty()) asker_.Tell("The git index was left as it was: " + Q(run.indexError), Asker::Kind::Error);
    if (!run.failures.empty()) asker_.Tell(FailuresText(run.failures, root_), Asker::Kind::Error);
    if (!run.journalError.empty()) asker_.Tell(Q(run.journalError), Asker::Kind::Error);
}

}  // namespace quil::qt
