#include "ui/qt/quillane_window.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrent>
#include <atomic>

#include "engine/list_text.h"
#include "engine/printable.h"
#include "engine/replace.h"
#include "platform/file_reader.h"
#include "platform/git_index.h"
#include "ui/qt/batch_texts.h"
#include "ui/qt/busy_task.h"
#include "ui/qt/window_dialog.h"

namespace quil::qt {
namespace {

const char kHelpText[] =
    "Edit the names in the text window to rename.\n\nAdd or remove slashes at "
    "the appropriate location to\n"
    "move files in and out of subdirectories.\n\nLeave the first field empty "
    "to add the second field to the\n"
    "beginning of all filenames.\n\nLeave a line empty to delete a file (it "
    "goes to the Trash unless\n"
    "Delete permanently is ticked).\n\nPress enter on a line to execute that "
    "file.\n\n"
    "Regular expression, Match case, the part to apply to, numbering with {n} "
    "and\n"
    "the case buttons act on the selected lines, or on all. Ctrl+Z takes back "
    "each one.\n";

QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Display(const std::string& path) { return Q(Printable(path)); }

// "photos" for "/home/ann/photos/".
QString FolderName(const std::string& root) {
    std::string_view folder(root);
    while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
    const std::size_t slash = folder.rfind('/');
    return Display(
        std::string(slash == std::string_view::npos || folder.size() == 1 ? folder : folder.substr(slash + 1)));
}

}  // namespace

QuillaneWindow::QuillaneWindow(FileServices& files, TrashService& trash, StateStore& store, ConfigStore& config,
                               QWidget* parent)
    : QDialog(parent), session_(files, trash, store), files_(files), config_(config), preview_(files) {
    setWindowTitle(QStringLiteral("Quillane"));
    session_.UseGit(OpenWorkTreeIndex);
    opener_ = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    BuildLayout();
    previewTimer_.setSingleShot(true);
    previewTimer_.setInterval(30);  // a pause in typing
    connect(&previewTimer_, &QTimer::timeout, this, &QuillaneWindow::StartPreview);
    connect(&previewWatcher_, &QFutureWatcher<Preview>::finished, this, [this] {
        Preview preview = previewWatcher_.result();
        if (preview.generation != generation_) return;  // the text moved on
        names_->SetStatuses(std::move(preview.changed));
        summary_->SetFullText(preview.summary);
        ShowCaretStatus();
    });
}

QuillaneWindow::~QuillaneWindow() { previewWatcher_.waitForFinished(); }

void QuillaneWindow::BuildLayout() {
    names_ = new NamesEditor(this);
    find_ = new QLineEdit(this);
    with_ = new QLineEdit(this);
    for (QLineEdit* field : {find_, with_}) field->setMaxLength(static_cast<int>(kFieldChars) - 1);
    find_->setPlaceholderText(QStringLiteral("find"));
    with_->setPlaceholderText(QStringLiteral("replace with"));
    find_->setAccessibleName(QStringLiteral("Find"));
    with_->setAccessibleName(QStringLiteral("Replace with"));
    transforms_ = new TransformBar(names_, find_, with_, *this, files_.conventions().separator, this);
    banner_ = new QLabel(
        QStringLiteral("Quillane v%1 - Quillane team - quillane.dev").arg(QStringLiteral(QUIL_VERSION)), this);
    banner_->setAlignment(Qt::AlignCenter);
    summary_ = new ElidedLabel(this);
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->SetFullText(QStringLiteral("nothing to change"));
    // The caret line's status as words, for the keyboard and screen readers.
    caretStatus_ = new QLabel(this);
    caretStatus_->setObjectName(QStringLiteral("caretStatus"));
    caretStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    messageBar_ = new MessageBar(this);
    showHidden_ = new QCheckBox(QStringLiteral("Show &hidden files"), this);
    folders_ = new QCheckBox(QStringLiteral("Fol&ders"), this);
    folders_->setToolTip(
        QStringLiteral("List folders instead of files: a line moves its folder "
                       "with everything in it"));
    permanent_ = new QCheckBox(QStringLiteral("Delete &permanently"), this);
    // Shown only in a git work tree.
    git_ = new QCheckBox(QStringLiteral("Stage rena&mes in git"), this);
    git_->setToolTip(
        QStringLiteral("Renames and moves of tracked files are staged as git mv stages them; "
                       "tracked files sent to the Trash leave the index"));
    git_->setChecked(true);
    git_->hide();
    // The order pairs lines with files: {n} and Number count in it.
    order_ = new QComboBox(this);
    std::size_t keys = 0;
    const metadata::SortKeyName* names = metadata::SortKeyNames(keys);
    for (std::size_t i = 0; i < keys; ++i)
        order_->addItem(QString::fromUtf8(names[i].label), static_cast<int>(names[i].key));
    order_->setAccessibleName(QStringLiteral("Order by"));
    order_->setToolTip(
        QStringLiteral("The order of the files within each folder; those without "
                       "the value come last"));
    auto* orderLabel = new QLabel(QStringLiteral("Order b&y:"), this);
    orderLabel->setBuddy(order_);
    reverse_ = new QCheckBox(QStringLiteral("Re&versed"), this);
    reverse_->setToolTip(QStringLiteral("The greatest first: the newest, the largest, Z before A"));

    filterRow_ = new FilterRow(this);
    RecipeWindow window{[this]() -> Asker& { return *asker_; },
                        [this]() -> const BatchState& { return session_.state(); },
                        [this] {
                            std::vector<std::string> lines = names_->Lines(0, names_->lines() - 1);
                            lines.resize(static_cast<std::size_t>(session_.state().count));
                            return lines;
                        },
                        [this] { return CurrentOrder(); }, [this](const EditSteps& order) { return OrderBy(order); }};
    recipes_ = new RecipeMenu(config_, *transforms_, std::move(window), this);

    auto* options = new QHBoxLayout;
    options->addWidget(summary_, 1);
    options->addWidget(orderLabel);
    options->addWidget(order_);
    options->addWidget(reverse_);
    options->addWidget(folders_);
    options->addWidget(showHidden_);
    options->addWidget(permanent_);
    options->addWidget(git_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(messageBar_);
    layout->addWidget(filterRow_);
    layout->addWidget(names_, 1);
    layout->addWidget(caretStatus_);
    layout->addLayout(options);
    layout->addWidget(transforms_);
    layout->addLayout(BuildButtons());
    resize(820, 560);

    connect(names_, &NamesEditor::NamesChanged, this, [this] {
        if (!listing_) previewTimer_.start();
    });
    connect(names_, &QsciScintilla::cursorPositionChanged, this, &QuillaneWindow::ShowCaretStatus);
    connect(names_, &NamesEditor::CaretLineChanged, this, &QuillaneWindow::ShowCaretStatus);
    connect(transforms_, &TransformBar::Rewritten, this, [this] {
        previewTimer_.stop();
        StartPreview();
    });
    connect(names_, &NamesEditor::EnterPressed, this, &QuillaneWindow::OnExecuteFile);
    // Enter in a field runs Replace; it never opens a file.
    connect(find_, &QLineEdit::returnPressed, transforms_, &TransformBar::Replace);
    connect(with_, &QLineEdit::returnPressed, transforms_, &TransformBar::Replace);
    connect(permanent_, &QCheckBox::toggled, this, [this] { previewTimer_.start(0); });
    connect(showHidden_, &QCheckBox::toggled, this, [this] { Relist(showHidden_); });
    connect(folders_, &QCheckBox::toggled, this, [this] { Relist(folders_); });
    connect(order_, QOverload<int>::of(&QComboBox::activated), this, [this] { Reorder(order_); });
    connect(reverse_, &QCheckBox::toggled, this, [this] { Reorder(reverse_); });
    connect(filterRow_, &FilterRow::Changed, this, &QuillaneWindow::Refilter);
    connect(messageBar_, &MessageBar::UndoClicked, this, &QuillaneWindow::OnUndo);
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter})
        connect(new QShortcut(QKeySequence(Qt::CTRL | key), this), &QShortcut::activated, this, &QuillaneWindow::OnOk);
}

// As in the Windows dialog: the fields on the left, the banner over the
// buttons, Cancel over OK on the right.
QLayout* QuillaneWindow::BuildButtons() {
    auto makeButton = [this](const QString& text, const std::function<void()>& slot) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QString(text).remove('&'));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, slot);
        return button;
    };
    QPushButton* replace = makeButton(QStringLiteral("&Replace"), [this] { transforms_->Replace(); });
    // Help is F1, as everywhere; its letter serves "Show hidden files".
    QPushButton* help = makeButton(QStringLiteral("Help"), [this] { OnHelp(); });
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this, [this] { OnHelp(); });
    QPushButton* execute = makeButton(QStringLiteral("E&xecute File"), [this] { OnExecuteFile(); });
    QPushButton* ok = makeButton(QStringLiteral("&OK"), [this] { OnOk(); });
    ok->setToolTip(QStringLiteral("Apply the edited names (Ctrl+Return)"));
    QPushButton* cancel = makeButton(QStringLiteral("Cancel"), [this] { reject(); });
    QPushButton* about = makeButton(QStringLiteral("&About"), [this] { OnAbout(); });
    undo_ = makeButton(QStringLiteral("Undo last &batch"), [this] { OnUndo(); });
    auto label = [this](const QString& text, QLineEdit* field) {
        auto* label = new QLabel(text, this);
        label->setBuddy(field);
        return label;
    };

    // The fields take the window's width, each with its label; Cancel and
    // OK on the right, as in the Windows dialog.
    auto* bottom = new QGridLayout;
    bottom->addWidget(label(QStringLiteral("&Find:"), find_), 0, 0);
    bottom->addWidget(find_, 0, 1);
    bottom->addWidget(cancel, 0, 2);
    bottom->addWidget(label(QStringLiteral("Replace &with:"), with_), 1, 0);
    auto* with = new QHBoxLayout;
    with->addWidget(with_, 1);
    with->addWidget(transforms_->insertFieldButton());
    setTabOrder(with_, transforms_->insertFieldButton());
    bottom->addLayout(with, 1, 1);
    bottom->addWidget(ok, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(replace);
    buttons->addWidget(recipes_);
    buttons->addWidget(undo_);
    buttons->addWidget(about);
    buttons->addWidget(help);
    buttons->addWidget(execute);
    buttons->addStretch(1);
    buttons->addWidget(banner_);
    bottom->addLayout(buttons, 2, 0, 1, 3);
    bottom->setColumnStretch(1, 1);
    return bottom;
}

QPushButton* QuillaneWindow::button(const QString& name) const { return findChild<QPushButton*>(name); }

bool QuillaneWindow::Load(const std::vector<std::string>& paths) {
    paths_ = paths;
    listFailed_ = !List();
    // Once the window shows: the question is about what it lists.
    if (!listFailed_)
        QTimer::singleShot(0, this, [this] {
            recipes_->OfferFolderRecipe(*MakeSystemFileReader(), session_.state().root, files_.conventions().separator);
        });
    return !listFailed_;
}

int QuillaneWindow::ExitStatus() const {
    std::vector<Outcome> all = outcomes_;
    if (listFailed_ || editsLost_) all.emplace_back();  // closed with nothing applied
    return CombinedExitStatus(all);
}

// What is picked is listed on a worker; the UI shows its progress from
// half a second on, and Cancel stops it.
bool QuillaneWindow::List(const std::string& root) {
    ListRequest request;
    request.paths = paths_;
    request.root = root;
    request.folders = folders_->isChecked();
    request.scan.skipHidden = !showHidden_->isChecked();
    request.scan.threads = 2;
    // The filter row narrows a list of files; a field it cannot read (the
    // row says why) narrows nothing.
    ListFilter filter;
    if (!request.folders && filterRow_->Filter(filter)) request.filter = filter;
    preview_.WaitForCopy();  // of the listing about to change
    if (const ListProblem problem = session_.Open(request)) {
        const QString path = "'" + Display(problem.path) + "' ";
        const QString why = problem.kind == ListProblem::Kind::Missing ? "does not exist"
                            : problem.kind == ListProblem::Kind::NotAFolder
                                ? "is not a folder, and Folders lists folders"
                                : "cannot be read";
        asker_->Tell(path + why + ". No file has been changed.", Asker::Kind::Error);
        return false;
    }
    const bool listed = RunBusy(
        this, [](long found, long) { return QStringLiteral("Listing files... %1 found").arg(found); },
        [this](TaskProgress& progress) {
            session_.List([&progress](int files) {
                progress.done = files;
                return !progress.cancelled;
            });
        });
    if (!listed) return false;
    WindowDialog dialog(this, *asker_, *names_, false, session_.state().root);
    if (request.filter.ByDateTaken()) {
        metadata::Zone zone;
        transforms_->MovieZone(zone);
        if (!metadata::NarrowByTaken(session_, dialog, request.filter, zone, reader_.Get())) return false;
    }
    filterRow_->Keep();
    filterRow_->ShowCount(session_.state().count, session_.scan().filteredFrom);
    if (!OrderListing()) {  // stopped: the listing's own order
        const QSignalBlocker blocker(order_);
        const QSignalBlocker reverse(reverse_);
        order_->setCurrentIndex(0);
        reverse_->setChecked(false);
    }
    ShowList();
    return true;
}

bool QuillaneWindow::OrderListing() {
    metadata::ListOrder order;
    order.key = static_cast<metadata::SortKey>(order_->currentData().toInt());
    order.reverse = reverse_->isChecked();
    if (order.key == metadata::SortKey::Name && !order.reverse) return true;  // as listed
    if (!transforms_->MovieZone(order.movieZone)) order.movieZone = {};  // the error shows; the local zone meanwhile
    WindowDialog dialog(this, *asker_, *names_, folders_->isChecked(), session_.state().root);
    return metadata::OrderListing(session_, dialog, order, reader_.Get(), files_);
}

void QuillaneWindow::Reorder(QWidget* changed) {
    auto undoChange = [&] {
        const QSignalBlocker blocker(changed);
        if (changed == reverse_)
            reverse_->setChecked(!reverse_->isChecked());
        else
            order_->setCurrentIndex(previousOrder_);
    };
    if (names_->IsEdited() && !MayLoseEdits(QStringLiteral("Order the list again?"), QStringLiteral("Order Again"))) {
        undoChange();
        return;
    }
    preview_.WaitForCopy();  // of the listing about to change
    if (!OrderListing()) undoChange();
    previousOrder_ = order_->currentIndex();
    ShowList();
}

bool QuillaneWindow::OrderBy(const EditSteps& order) {
    const int index = order_->findData(static_cast<int>(order.sort.value_or(metadata::SortKey::Name)));
    if (index == order_->currentIndex() && order.reverse == reverse_->isChecked()) return true;
    if (names_->IsEdited() && !MayLoseEdits(QStringLiteral("Order the list again?"), QStringLiteral("Order Again")))
        return false;
    const int before = order_->currentIndex();
    const bool reversed = reverse_->isChecked();
    const QSignalBlocker blocker(order_);
    const QSignalBlocker reverse(reverse_);
    order_->setCurrentIndex(index);
    reverse_->setChecked(order.reverse);
    preview_.WaitForCopy();  // of the listing about to change
    const bool ordered = OrderListing();
    if (!ordered) {
        order_->setCurrentIndex(before);
        reverse_->setChecked(reversed);
    }
    previousOrder_ = order_->currentIndex();
    ShowList();
    return ordered;
}

EditSteps QuillaneWindow::CurrentOrder() const {
    EditSteps order;
    const auto key = static_cast<metadata::SortKey>(order_->currentData().toInt());
    if (key != metadata::SortKey::Name || reverse_->isChecked()) {
        order.sort = key;
        order.reverse = reverse_->isChecked();
    }
    return order;
}

void QuillaneWindow::Refilter() {
    ListFilter filter;
    if (!filterRow_->Filter(filter)) return;  // the row says what is wrong
    if (names_->IsEdited() && !MayLoseEdits(QStringLiteral("List again?"), QStringLiteral("List Again"))) {
        filterRow_->Restore();
        return;
    }
    if (!List()) {
        filterRow_->Restore();
        List();
    }
}

void QuillaneWindow::RunReading(const std::function<void(StepMonitor&)>& work) {
    WindowDialog(this, *asker_, *names_, folders_->isChecked(), session_.state().root).RunLong(LongStep::Reading, work);
}

void QuillaneWindow::ShowList() {
    const BatchState& state = session_.state();
    // Copied for the preview while the box takes the text.
    preview_.Prime(state);
    ++generation_;  // a preview under way is of the old list
    setWindowTitle(FolderName(state.root) + QStringLiteral(" \u2014 Quillane"));
    git_->setVisible(OpenWorkTreeIndex(state.root) != nullptr);
    listing_ = true;
    names_->SetList(state.text, state.count);
    listing_ = false;
    transforms_->ForgetRecorded();
    summary_->SetFullText(state.count == 0 ? QStringLiteral("nothing is listed") : QStringLiteral("nothing to change"));
    names_->setFocus();
    ShowCaretStatus();
    UpdateUndoButton();
    const ScanResult& scan = session_.scan();
    QString report;
    if (scan.unreadableFolders > 0)
        report += "The folder '" + Display(scan.firstUnreadable) + "' could not be read" +
                  (scan.unreadableFolders > 1 ? QStringLiteral(", nor %1 more").arg(scan.unreadableFolders - 1) : "") +
                  "; the files in it are not listed.\n";
    if (scan.unlistable > 0)
        report += QString::number(scan.unlistable) +
                  " names hold a line break and cannot be listed; they stay as "
                  "they are.\n";
    if (!report.isEmpty())
        QTimer::singleShot(0, this, [this, report] { asker_->Tell(report.trimmed(), Asker::Kind::Error); });
}

void QuillaneWindow::ShowCaretStatus() {
    const int line = names_->CaretLine();
    const QString text = session_.state().count == 0 ? QString()
                                                     : QStringLiteral("Line %1 of %2: %3")
                                                           .arg(line + 1)
                                                           .arg(session_.state().count)
                                                           .arg(names_->StatusText(line));
    caretStatus_->setText(text);
    // Screen readers announce the names box's description with the line.
    names_->setAccessibleDescription(text);
}

void QuillaneWindow::UpdateUndoButton() { undo_->setEnabled(session_.CanUndo()); }

void QuillaneWindow::StartPreview() {
    if (session_.state().count == 0) return;
    previewWatcher_.setFuture(
        preview_.Start(names_->Text(), names_->EmptiedByTransform(), permanent_->isChecked(), ++generation_));
}

void QuillaneWindow::OnOk() {
    if (!names_->IsEdited()) return accept();
    preview_.WaitForCopy();
    session_.SetListText(names_->Text());
    WindowDialog dialog(this, *asker_, *names_, folders_->isChecked(), session_.state().root);
    Outcome outcome = RunBatch(session_, dialog, Choices());
    const bool applied = outcome.applied;
    const Question question = BatchQuestion(outcome.rows, folders_->isChecked());
    outcomes_.push_back(std::move(outcome));
    if (applied) return ShowBatchDone(outcomes_.back());
    if (outcomes_.back().nothingToDo && question.details.isEmpty()) return accept();  // edited back to what was listed
    if (outcomes_.back().nothingToDo)
        asker_->Tell(question.details + "\n\nNo line can be applied.", Asker::Kind::Information);
    names_->setFocus();
}

BatchChoices QuillaneWindow::Choices() const {
    BatchChoices choices;
    choices.permanent = permanent_->isChecked();
    choices.followGit = git_->isChecked();
    choices.emptiedByTransform = names_->EmptiedByTransform();
    return choices;
}

// The window stays open on what the batch left, over the same root, with
// a bar to undo it.
void QuillaneWindow::ShowBatchDone(const Outcome& outcome) {
    const QString done = DoneText(outcome.rows, outcome.run, folders_->isChecked());
    if (!paths_.empty()) {
        pathsBefore_.push_back(paths_);
        paths_ = session_.PathsAfter(outcome.plan, outcome.run);
    }
    if (pathsBefore_.empty() || !paths_.empty()) {
        List(session_.state().root);
    } else {  // every file picked is gone
        preview_.WaitForCopy();
        session_.ListNothing();
        ShowList();
    }
    messageBar_->Show(done, Undoable(outcome.rows) && session_.CanUndo());
}

void QuillaneWindow::reject() {
    if (names_->IsEdited()) {
        if (!MayLoseEdits(QStringLiteral("Close without applying the edited names?"), QStringLiteral("Close"))) return;
        editsLost_ = true;
    }
    QDialog::reject();
}

bool QuillaneWindow::MayLoseEdits(const QString& question, const QString& action) {
    if (asker_->Ask({QStringLiteral("The names were edited; the edits will be lost."), question, action, false}))
        return true;
    names_->setFocus();
    return false;
}

// The file that the caret's line was listed as, whatever the line says now.
void QuillaneWindow::OnExecuteFile() {
    const int slot = names_->CaretLine() + 1;
    if (slot <= session_.state().count)
        opener_(QFile::decodeName(session_.state().oldPaths[static_cast<std::size_t>(slot)].c_str()));
    names_->setFocus();
}

void QuillaneWindow::OnHelp() { asker_->Tell(kHelpText, Asker::Kind::Information); }

void QuillaneWindow::OnAbout() {
    asker_->Tell(
        QStringLiteral("quil Version 1.0\nQuillane for the Linux desktop, v%1").arg(QStringLiteral(QUIL_VERSION)),
        Asker::Kind::Information);
}

void QuillaneWindow::OnUndo() {
    WindowDialog dialog(this, *asker_, *names_, false, session_.state().root);
    Outcome outcome = RunUndo(session_, dialog, Choices());
    if (outcome.nothingToDo)
        asker_->Tell("The last batch cannot be undone.\n\n" + UndoQuestion(outcome.rows).details,
                     Asker::Kind::Information);
    if (!outcome.applied) return UpdateUndoButton();
    const bool whole = outcome.run.failures.empty() && !outcome.run.stopped;
    outcomes_.push_back(std::move(outcome));
    if (!pathsBefore_.empty()) {
        paths_ = pathsBefore_.back();
        pathsBefore_.pop_back();
    }
    List(session_.state().root);
    messageBar_->Show(
        whole ? QStringLiteral("The last batch was undone.") : QStringLiteral("The last batch was undone in part."),
        false);
}

// Lists again after a switch changed what is listed, once the user has
// said that edits may be lost.
void QuillaneWindow::Relist(QCheckBox* changed) {
    if (names_->IsEdited() && !MayLoseEdits(QStringLiteral("List again?"), QStringLiteral("List Again"))) {
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
