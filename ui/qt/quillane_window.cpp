#include "ui/qt/quillane_window.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QProgressDialog>
#include <QTextBlock>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrent>
#include <atomic>

#include "engine/batch_execute.h"
#include "engine/list_text.h"
#include "engine/replace.h"

namespace quil::qt {
namespace {

const char kCaption[] = "Execute renaming batch";
const char kVersion[] = "3.03";
const char kHelpText[] =
    "Edit the names in the text window to rename.\n\nAdd or remove slashes at the appropriate location to\n"
    "move files in and out of subdirectories.\n\nLeave the first field empty to add the second field to the\n"
    "beginning of all filenames.\n\nLeave a line empty to delete a file (it goes to the Trash unless\n"
    "Delete permanently is ticked).\n\nPress enter on a line to execute that file.\n";

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A batch from the window runs to its end: it is short beside the typing.
class RunToTheEnd final : public RunObserver {
    void Progress(int, int) override {}
    bool StopRequested() override { return false; }
};

// The preview of one text, planned on a copy of the listed state.
Preview Plan(std::shared_ptr<const BatchState> listed, std::string text, bool permanent, FileServices* files,
             quint64 generation) {
    BatchState state = *listed;
    state.text = std::move(text);
    ParseListText(state, files->conventions());
    PlanOptions options;
    options.permanent = permanent;
    const BatchPlan plan = PlanBatch(state, *files, options);
    const std::vector<PlanRow> rows = DescribePlan(state, plan, permanent, files->conventions());
    Preview preview;
    preview.generation = generation;
    preview.statuses.resize(static_cast<std::size_t>(state.count));
    for (const PlanRow& row : rows)
        preview.statuses[static_cast<std::size_t>(row.slot - 1)] = {
            row.action, row.action == LineAction::Refuse ? QString(Describe(row.reason)) : QString()};
    preview.summary = Q(Summary(rows));
    return preview;
}

QString UndoText(const std::vector<PlanRow>& rows, bool question) {
    QString text;
    for (const PlanRow& row : rows) {
        switch (row.action) {
            case LineAction::Restore: text += "restore " + Q(row.from); break;
            case LineAction::Refuse:
                text += "refused " + Q(row.from) + (row.to.empty() ? "" : " -> " + Q(row.to)) + " (" +
                        Describe(row.reason) + ")";
                break;
            default: text += Q(row.from) + " -> " + Q(row.to); break;
        }
        text += '\n';
    }
    return text + '\n' + Q(Summary(rows)) + (question ? "\n\nUndo the last batch?" : "\n\nNothing of it can be undone.");
}

}  // namespace

QuillaneWindow::QuillaneWindow(FileServices& files, TrashService& trash, StateStore& store, QWidget* parent)
    : QDialog(parent), session_(files, trash, store), files_(files) {
    setWindowTitle(QStringLiteral("Quillane"));
    opener_ = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    BuildLayout();
    previewTimer_.setSingleShot(true);
    previewTimer_.setInterval(30);  // a pause in typing
    connect(&previewTimer_, &QTimer::timeout, this, &QuillaneWindow::StartPreview);
    connect(&previewWatcher_, &QFutureWatcher<Preview>::finished, this, [this] {
        const Preview preview = previewWatcher_.result();
        if (preview.generation != generation_) return;  // the text moved on
        names_->SetStatuses(preview.statuses);
        summary_->setText(preview.summary);
        ++previewsShown_;
    });
}

QuillaneWindow::~QuillaneWindow() { previewWatcher_.waitForFinished(); }

void QuillaneWindow::BuildLayout() {
    names_ = new NamesEdit(this);
    find_ = new QLineEdit(this);
    with_ = new QLineEdit(this);
    find_->setMaxLength(static_cast<int>(kFieldChars) - 1);
    with_->setMaxLength(static_cast<int>(kFieldChars) - 1);
    find_->setPlaceholderText(QStringLiteral("find"));
    with_->setPlaceholderText(QStringLiteral("replace with"));
    banner_ = new QLabel(QStringLiteral("Quillane v%1 - Quillane team - quillane.dev").arg(kVersion), this);
    banner_->setAlignment(Qt::AlignCenter);
    summary_ = new QLabel(QStringLiteral("nothing to change"), this);
    showHidden_ = new QCheckBox(QStringLiteral("Show hidden files"), this);
    folders_ = new QCheckBox(QStringLiteral("Folders"), this);
    folders_->setToolTip(QStringLiteral("List folders instead of files: a line moves its folder with everything in it"));
    permanent_ = new QCheckBox(QStringLiteral("Delete permanently"), this);

    auto makeButton = [this](const QString& text, void (QuillaneWindow::*slot)()) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(text);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, slot);
        return button;
    };
    QPushButton* replace = makeButton(QStringLiteral("Replace"), &QuillaneWindow::OnReplace);
    QPushButton* help = makeButton(QStringLiteral("Help"), &QuillaneWindow::OnHelp);
    QPushButton* execute = makeButton(QStringLiteral("Execute File"), &QuillaneWindow::OnExecuteFile);
    QPushButton* ok = makeButton(QStringLiteral("OK"), &QuillaneWindow::OnOk);
    QPushButton* cancel = makeButton(QStringLiteral("Cancel"), &QuillaneWindow::reject);
    QPushButton* about = makeButton(QStringLiteral("About"), &QuillaneWindow::OnAbout);
    undo_ = makeButton(QStringLiteral("Undo last batch"), &QuillaneWindow::OnUndo);

    auto* options = new QHBoxLayout;
    options->addWidget(summary_, 1);
    options->addWidget(folders_);
    options->addWidget(showHidden_);
    options->addWidget(permanent_);
    options->addWidget(undo_);
    options->addWidget(about);

    // As in the Windows dialog: the fields on the left, the banner over the
    // buttons, Cancel over OK on the right.
    auto* bottom = new QGridLayout;
    bottom->addWidget(find_, 0, 0);
    bottom->addWidget(banner_, 0, 1, 1, 3);
    bottom->addWidget(cancel, 0, 4);
    bottom->addWidget(with_, 1, 0);
    auto* middle = new QHBoxLayout;
    middle->addWidget(replace);
    middle->addStretch(1);
    middle->addWidget(help);
    middle->addWidget(execute);
    bottom->addLayout(middle, 1, 1, 1, 3);
    bottom->addWidget(ok, 1, 4);
    bottom->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(names_, 1);
    layout->addLayout(options);
    layout->addLayout(bottom);
    resize(760, 520);

    connect(names_, &QPlainTextEdit::textChanged, this, &QuillaneWindow::OnNamesChanged);
    connect(names_, &NamesEdit::EnterPressed, this, &QuillaneWindow::OnExecuteFile);
    connect(find_, &QLineEdit::returnPressed, this, &QuillaneWindow::OnExecuteFile);
    connect(with_, &QLineEdit::returnPressed, this, &QuillaneWindow::OnExecuteFile);
    connect(permanent_, &QCheckBox::toggled, this, [this] { previewTimer_.start(0); });
    connect(showHidden_, &QCheckBox::toggled, this, [this] { Relist(showHidden_); });
    connect(folders_, &QCheckBox::toggled, this, [this] { Relist(folders_); });
}

QPushButton* QuillaneWindow::button(const QString& name) const { return findChild<QPushButton*>(name); }

bool QuillaneWindow::Load(const std::vector<std::string>& paths) {
    paths_ = paths;
    return List();
}

// What is picked is listed on a worker; the UI shows its progress from
// half a second on, and Cancel stops it.
bool QuillaneWindow::List() {
    std::atomic<int> found{0};
    std::atomic<bool> cancelled{false};
    ListRequest request;
    request.paths = paths_;
    request.folders = folders_->isChecked();
    request.scan.skipHidden = !showHidden_->isChecked();
    request.scan.progress = [&](int files) {
        found = files;
        return !cancelled;
    };
    if (const ListProblem problem = session_.Open(request)) {
        const QString path = "'" + QFile::decodeName(problem.path.c_str()) + "' ";
        const QString why = problem.kind == ListProblem::Kind::Missing      ? "does not exist"
                            : problem.kind == ListProblem::Kind::NotAFolder ? "is not a folder, and Folders lists folders"
                                                                            : "cannot be read";
        asker_->Tell(path + why + ". No file has been changed.", QStringLiteral("Quillane"));
        return false;
    }
    QFutureWatcher<void> watcher;
    QProgressDialog progress(QStringLiteral("Listing files..."), QStringLiteral("Cancel"), 0, 0);
    progress.setWindowTitle(QStringLiteral("Quillane"));
    progress.setMinimumDuration(500);
    QTimer poll;
    connect(&poll, &QTimer::timeout, &progress, [&] {
        progress.setLabelText(QStringLiteral("Listing files... %1 found").arg(found.load()));
        progress.setValue(0);
    });
    connect(&progress, &QProgressDialog::canceled, [&] { cancelled = true; });
    QEventLoop loop;
    connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run([this] { session_.List(); }));
    poll.start(100);
    if (!watcher.isFinished()) loop.exec();
    poll.stop();
    if (cancelled) return false;
    ShowList();
    return true;
}

void QuillaneWindow::ShowList() {
    listed_ = std::make_shared<const BatchState>(session_.state());
    const ScanResult& scan = session_.scan();
    reverting_ = true;
    names_->setPlainText(Q(session_.state().text));
    reverting_ = false;
    names_->document()->setModified(false);
    names_->SetStatuses({});
    summary_->setText(QStringLiteral("nothing to change"));
    names_->setFocus();
    UpdateUndoButton();
    QString report;
    if (scan.unlistable > 0)
        report += QString::number(scan.unlistable) + " names hold a line break and cannot be listed; they stay as they are.\n";
    if (scan.unreadableFolders > 0)
        report += QString::number(scan.unreadableFolders) + " folders could not be read; their files are not listed.\n";
    if (!report.isEmpty()) QTimer::singleShot(0, this, [this, report] { asker_->Tell(report, "Quillane"); });
}

void QuillaneWindow::UpdateUndoButton() { undo_->setEnabled(session_.CanUndo()); }

// An edit that changes the number of lines is undone at once.
void QuillaneWindow::OnNamesChanged() {
    if (reverting_) return;
    const int count = session_.state().count;
    const bool fits = count == 0 ? names_->document()->isEmpty() : names_->blockCount() == count;
    if (!fits) {
        reverting_ = true;
        names_->undo();
        reverting_ = false;
        return;
    }
    previewTimer_.start();
}

void QuillaneWindow::StartPreview() {
    if (!listed_) return;
    ++generation_;
    previewWatcher_.setFuture(QtConcurrent::run(Plan, listed_, names_->toPlainText().toStdString(),
                                                permanent_->isChecked(), &files_, generation_));
}

void QuillaneWindow::OnReplace() {
    replaced_ = 1;
    BatchState state;
    state.text = names_->toPlainText().toStdString();
    ApplyReplace(state, find_->text().toStdString(), with_->text().toStdString(), files_.conventions());
    reverting_ = true;
    names_->setPlainText(Q(state.text));  // clears the edited mark, as on Windows
    reverting_ = false;
    names_->document()->setModified(false);
    previewTimer_.start(0);
}

void QuillaneWindow::OnOk() {
    if (!names_->document()->isModified() && replaced_ == 0) {
        accept();
        return;
    }
    if (!asker_->AskYesNo(QStringLiteral("Are you sure?"), kCaption)) {
        names_->setFocus();
        return;
    }
    session_.SetListText(names_->toPlainText().toStdString());
    const BatchPlan plan = session_.Plan(permanent_->isChecked());
    if (!plan.refused.empty() && !asker_->AskYesNo(Q(RefusalQuestion(session_.state(), plan.refused)), kCaption)) {
        names_->setFocus();
        return;
    }
    std::string reason;
    switch (session_.PrepareBatch(reason)) {
        case Session::Readiness::Ready: break;
        case Session::Readiness::Busy:
            asker_->Tell(Q(reason) + ". No file has been changed.", kCaption);
            return;
        case Session::Readiness::Unjournaled:
            if (!asker_->AskYesNo("This batch cannot be undone (" + Q(reason) + "). Apply anyway?", kCaption)) {
                names_->setFocus();
                return;
            }
    }
    RunToTheEnd observer;
    const RunResult result = session_.Apply(plan, permanent_->isChecked(), observer);
    if (!result.failures.empty()) asker_->Tell(Q(FailureReport(result.failures)), kCaption);
    if (!result.journalError.empty()) asker_->Tell(Q(result.journalError), kCaption);
    accept();
}

void QuillaneWindow::reject() {
    if (names_->document()->isModified() &&
        !asker_->AskYesNo(QStringLiteral("Are you sure?"), QStringLiteral("Cancel = Lose Changes"))) {
        names_->setFocus();
        return;
    }
    QDialog::reject();
}

// The file that the caret's line was listed as, whatever the line says now.
void QuillaneWindow::OnExecuteFile() {
    const int slot = names_->textCursor().blockNumber() + 1;
    if (slot <= session_.state().count) opener_(Q(session_.state().oldPaths[static_cast<std::size_t>(slot)]));
    names_->setFocus();
}

void QuillaneWindow::OnHelp() { asker_->Tell(kHelpText, QStringLiteral("Quillane")); }

void QuillaneWindow::OnAbout() {
    asker_->Tell(QStringLiteral("quil Version 1.0\nQuillane for the Linux desktop, v%1").arg(kVersion),
                 QStringLiteral("About quil"));
}

void QuillaneWindow::OnUndo() {
    const QString caption = QStringLiteral("Undo last batch");
    UndoPlan undo;
    if (!session_.PlanUndo(undo)) {
        asker_->Tell(QStringLiteral("Nothing is left to undo in this folder."), caption);
        UpdateUndoButton();
        return;
    }
    if (undo.refused == static_cast<int>(undo.rows.size())) {
        asker_->Tell(UndoText(undo.rows, false), caption);
        return;
    }
    if (!asker_->AskYesNo(UndoText(undo.rows, true), caption)) return;
    std::string reason;
    if (session_.PrepareUndo(undo, reason) == Session::Readiness::Busy) {
        asker_->Tell(Q(reason) + ". No file has been changed.", caption);
        return;
    }
    RunToTheEnd observer;
    const RunResult result = session_.ApplyUndo(undo, observer);
    if (!result.failures.empty()) asker_->Tell(Q(FailureReport(result.failures)), caption);
    List();
}

// Lists again after a switch changed what is listed, once the user has
// said that edits may be lost.
void QuillaneWindow::Relist(QCheckBox* changed) {
    if (names_->document()->isModified() &&
        !asker_->AskYesNo(QStringLiteral("Are you sure?"), QStringLiteral("Cancel = Lose Changes"))) {
        const QSignalBlocker blocker(changed);
        changed->setChecked(!changed->isChecked());
        return;
    }
    if (!List()) {
        const QSignalBlocker blocker(changed);
        changed->setChecked(!changed->isChecked());
        List();
    }
}

}  // namespace quil::qt
