// The desktop window driven through key and mouse events on the offscreen
// platform, over a real temporary folder, with the Trash and the journal in
// temporary folders and the questions answered through the window's seam.
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <cstdio>
#include <deque>
#include <filesystem>

#include "platform/config_store.h"
#include "platform/file_services.h"
#include "platform/state_store.h"
#include "platform/trash.h"
#include "tests/media_fixtures.h"
#include "ui/qt/busy_task.h"
#include "ui/qt/quillane_window.h"
#include "ui/qt/start_paths.h"

namespace quil::qt {
namespace {

class ScriptedAsker final : public Asker {
public:
    bool Ask(const Question& question) override {
        asked.push_back(question);
        if (answers.empty()) return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Tell(const QString& text, Kind kind) override {
        told.push_back(text);
        errors += kind == Kind::Error;
    }
    QString AskText(const QString& question, const QString&) override {
        asked.push_back({{}, question, {}});
        return texts.empty() ? QString() : texts.takeFirst();
    }
    QString AskFile(const QString&) override { return texts.empty() ? QString() : texts.takeFirst(); }

    QStringList texts;  // AskText's and AskFile's answers, in turn

    std::deque<bool> answers;
    std::vector<Question> asked;
    QStringList told;
    int errors = 0;
};

// The system's file services, but one folder cannot be listed (root reads
// every folder, so permissions cannot make one).
class OneFolderUnreadable final : public FileServices {
public:
    OneFolderUnreadable(FileServices& files, std::string folder) : files_(files), folder_(std::move(folder)) {}
    const Conventions& conventions() const override { return files_.conventions(); }
    bool CurrentFolder(std::string& folder) override { return files_.CurrentFolder(folder); }
    bool AbsolutePath(const std::string& path, std::string& absolute) override {
        return files_.AbsolutePath(path, absolute);
    }
    bool ListFolder(const std::string& folder, const EntryVisitor& visit, int* unshown = nullptr) override {
        return folder != folder_ && files_.ListFolder(folder, visit, unshown);
    }
    OpResult Move(const std::string& from, const std::string& to, WindowHandle owner) override {
        return files_.Move(from, to, owner);
    }
    OpResult Delete(const std::string& path, WindowHandle owner) override { return files_.Delete(path, owner); }
    void Open(const std::string& path, WindowHandle owner) override { files_.Open(path, owner); }
    PathInfo Lookup(const std::string& path) override { return files_.Lookup(path); }
    bool FoldsCase(const std::string& folder) override { return files_.FoldsCase(folder); }
    OpResult MakeFolder(const std::string& path) override { return files_.MakeFolder(path); }
    OpResult RemoveFolder(const std::string& path) override { return files_.RemoveFolder(path); }

private:
    FileServices& files_;
    std::string folder_;
};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir base_;
    QString tree_;
    std::unique_ptr<FileServices> files_ = MakeSystemFileServices();
    std::unique_ptr<TrashService> trash_ = MakeSystemTrash(*files_);
    std::unique_ptr<StateStore> store_;
    std::unique_ptr<ConfigStore> config_ = MakeSystemConfigStore();
    std::unique_ptr<QuillaneWindow> window_;
    ScriptedAsker asker_;
    QStringList opened_;

    void Write(const QString& relative, const QByteArray& content) {
        QDir().mkpath(QFileInfo(tree_ + "/" + relative).path());
        QFile file(tree_ + "/" + relative);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray Read(const QString& relative) {
        QFile file(tree_ + "/" + relative);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    void Open(std::vector<std::string> paths = {}, FileServices* files = nullptr) {
        if (paths.empty()) paths = {QFile::encodeName(tree_).toStdString()};
        window_ = std::make_unique<QuillaneWindow>(files ? *files : *files_, *trash_, *store_, *config_);
        window_->SetAsker(&asker_);
        window_->SetOpener([this](const QString& path) { opened_ << path; });
        QVERIFY(window_->Load(paths));
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    NamesEditor* names() { return window_->names(); }
    QString Text() { return names()->text(); }
    void CaretTo(int line, int column = 0) {
        names()->setFocus();
        names()->setCursorPosition(line, column);
        names()->SendScintilla(QsciScintillaBase::SCI_CHOOSECARETX);  // as a click does, for moves up and down
    }
    // Replaces line (0-based) by text through the keyboard.
    void RetypeLine(int line, const QString& text) {
        CaretTo(line);
        QTest::keyClick(names(), Qt::Key_End, Qt::ShiftModifier);
        if (names()->hasSelectedText()) QTest::keyClick(names(), Qt::Key_Delete);
        QTest::keyClicks(names(), text);
    }
    void Click(const QString& button) { QTest::mouseClick(window_->button(button), Qt::LeftButton); }
    QString LastQuestion() {
        if (asker_.asked.empty()) return {};
        const Question& question = asker_.asked.back();
        return question.details.isEmpty() ? question.text : question.details + "\n\n" + question.text;
    }

    QAction* RecipeAction(const QString& text) {
        QMenu* menu = window_->recipes()->menu();
        emit menu->aboutToShow();  // the menu reads the recipes as it opens
        for (QAction* action : menu->actions())
            if (action->text() == text) return action;
        return nullptr;
    }
    void Undo() {
        names()->setFocus();
        QTest::keyClick(names(), Qt::Key_Z, Qt::ControlModifier);
    }

private slots:
    void initTestCase() {
        QVERIFY(base_.isValid());
        // GIO puts a file in the home trash only where it is on the home's
        // file system.
        qputenv("HOME", (base_.path() + "/home").toUtf8());
        QDir().mkpath(base_.path() + "/home");
        qputenv("XDG_DATA_HOME", (base_.path() + "/data").toUtf8());
        qputenv("XDG_STATE_HOME", (base_.path() + "/state").toUtf8());
        qputenv("XDG_CONFIG_HOME", (base_.path() + "/config").toUtf8());
        QDir().mkpath(base_.path() + "/data");
        store_ = MakeSystemStateStore();
    }
    void init() {
        tree_ = base_.path() + "/photos-" + QString::number(QRandomGenerator::global()->generate());
        QDir().mkpath(tree_);
        Write("a.txt", "a");
        Write("b.txt", "b");
        Write("s/c.txt", "c");
        Write(".hidden", "h");
        asker_ = ScriptedAsker();
        opened_.clear();
    }
    void cleanup() { window_.reset(); }

    void listsSortedWithoutHiddenFilesUnderTheFoldersName() {
        Open();
        QCOMPARE(Text(), QString("a.txt\nb.txt\ns/c.txt"));
        QCOMPARE(window_->windowTitle(), QFileInfo(tree_).fileName() + QString::fromUtf8(" \u2014 Quillane"));
        window_->hiddenBox()->setChecked(true);
        QCOMPARE(Text(), QString(".hidden\na.txt\nb.txt\ns/c.txt"));
    }

    void editsThatChangeTheLineCountAreNotTaken() {
        Open();
        CaretTo(0, 1);
        QTest::keyClicks(names(), "xy");  // typing, joined into one undo step
        const QString typed = Text();
        CaretTo(1);
        QTest::keyClick(names(), Qt::Key_Backspace);               // would join two lines
        QCOMPARE(Text(), typed);                                   // and the typing before it stays
        QTest::keyClick(names(), Qt::Key_Y, Qt::ControlModifier);  // nor comes back by redo
        QCOMPARE(Text(), typed);
        QGuiApplication::clipboard()->setText("x\ny");
        CaretTo(0, 1);
        QTest::keyClick(names(), Qt::Key_V, Qt::ControlModifier);  // would add a line
        QCOMPARE(Text(), typed);
        names()->setSelection(0, 2, 1, 1);
        QTest::keyClick(names(), Qt::Key_Delete);  // a selection over two lines
        QCOMPARE(Text(), typed);
        QTest::keyClick(names(), Qt::Key_Return, Qt::ShiftModifier);  // opens, adds nothing
        QCOMPARE(Text(), typed);
        QTest::keyClick(names(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Text(), QString("a.txt\nb.txt\ns/c.txt"));
        QCOMPARE(names()->lines(), 3);
    }

    void aColumnIsTypedIntoAndPastedInto() {
        Open();
        CaretTo(0);
        QTest::keyClick(names(), Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier);
        QTest::keyClick(names(), Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier);
        QTest::keyClicks(names(), "x");
        QCOMPARE(Text(), QString("xa.txt\nxb.txt\nxs/c.txt"));
        // A column of carets after the x: a paste of three lines fills it.
        QGuiApplication::clipboard()->setText("1\n2\n3\n");
        QTest::keyClick(names(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(Text(), QString("x1a.txt\nx2b.txt\nx3s/c.txt"));
        QGuiApplication::clipboard()->setText("1\n2");  // not as many lines: not taken
        QTest::keyClick(names(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(names()->lines(), 3);
    }

    void tabMovesOnAndEnterInAFieldReplaces() {
        Open();
        names()->setFocus();
        QTest::keyClick(names(), Qt::Key_Tab);
        QVERIFY(!names()->hasFocus());
        QCOMPARE(Text(), QString("a.txt\nb.txt\ns/c.txt"));
        CaretTo(0);
        QTest::keyClick(names(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(Text(), QString("\ta.txt\nb.txt\ns/c.txt"));
        QTest::keyClick(names(), Qt::Key_Z, Qt::ControlModifier);
        window_->findField()->setFocus();
        QTest::keyClicks(window_->findField(), "txt");
        QTest::keyClicks(window_->withField(), "md");
        QTest::keyClick(window_->withField(), Qt::Key_Return);
        QCOMPARE(Text(), QString("a.md\nb.md\ns/c.md"));
        QVERIFY(opened_.isEmpty());
        // Every button, switch and field label has its own mnemonic (Cancel
        // has Escape, Help F1, Recipes Ctrl+R; Insert field is the next Tab
        // from its field).
        QSet<QChar> keys;
        auto mnemonic = [&keys](const QString& text) {
            const int amp = text.indexOf('&');
            QVERIFY2(amp >= 0, qPrintable(text));
            QVERIFY2(!keys.contains(text[amp + 1].toLower()), qPrintable(text));
            keys.insert(text[amp + 1].toLower());
        };
        for (QAbstractButton* button : window_->findChildren<QAbstractButton*>())
            if (button->isVisible() && !button->text().isEmpty() && button->text() != "Cancel" &&
                button->text() != "Help" && button->text() != "Insert field" && button->text() != "Recipes")
                mnemonic(button->text());
        for (QLabel* label : window_->findChildren<QLabel*>())
            if (label->buddy() != nullptr) mnemonic(label->text());
    }

    void replaceAndPrefixAreOneUndoableEdit() {
        Open();
        QTest::keyClicks(window_->findField(), "txt");
        QTest::keyClicks(window_->withField(), "md");
        Click("Replace");
        QCOMPARE(Text(), QString("a.md\nb.md\ns/c.md"));
        QVERIFY(names()->IsEdited());
        RetypeLine(1, "");
        window_->findField()->clear();
        window_->withField()->setText("p_");
        Click("Replace");
        // Before the file's name, not its folders; an emptied line stays empty.
        QCOMPARE(Text(), QString("p_a.md\n\ns/p_c.md"));
        names()->setFocus();
        QTest::keyClick(names(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Text(), QString("a.md\n\ns/c.md"));
        asker_.answers = {false};
        QTest::keyClick(window_.get(), Qt::Key_Escape);
        QVERIFY(window_->isVisible());
        QCOMPARE(asker_.asked.back().action, QString("Close"));
    }

    void transformsActOnTheSelectionAsOneUndoStep() {
        Open();
        names()->setSelection(0, 0, 1, 3);
        window_->transforms()->regexBox()->setChecked(true);
        window_->findField()->setText("^(.)");
        window_->withField()->setText("{n:2}_$1");
        Click("Replace");
        QCOMPARE(Text(), QString("01_a.txt\n02_b.txt\ns/c.txt"));
        QTRY_COMPARE(window_->summary()->fullText(), QString("2 renames"));  // the preview follows
        QTest::keyClick(names(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Text(), QString("a.txt\nb.txt\ns/c.txt"));
        QVERIFY(!names()->IsEdited());

        names()->selectAll();
        window_->transforms()->scopeBox()->setCurrentIndex(1);  // the extension
        Click("UPPER");
        QCOMPARE(Text(), QString("a.TXT\nb.TXT\ns/c.TXT"));
        window_->transforms()->scopeBox()->setCurrentIndex(3);  // the whole line
        Click("Title Case");
        QCOMPARE(Text(), QString("A.Txt\nB.Txt\nS/C.Txt"));
    }

    // Only a line the user empties goes to the Trash: one a transform
    // empties is refused, in the preview and by OK, until typed on.
    void aLineATransformEmptiesIsRefused() {
        Open();
        names()->setSelection(1, 0, 1, 3);
        window_->transforms()->regexBox()->setChecked(true);
        window_->transforms()->scopeBox()->setCurrentIndex(3);  // the whole line
        window_->findField()->setText(".*");
        window_->withField()->setText("");
        Click("Replace");
        QCOMPARE(Text(), QString("a.txt\n\ns/c.txt"));
        QTRY_COMPARE(window_->summary()->fullText(), QString("1 refused"));
        QCOMPARE(names()->statuses()[1].reason, QString("the transform left no name"));
        asker_.answers = {true};
        Click("OK");
        QCOMPARE(Read("b.txt"), QByteArray("b"));
        // Typed on and emptied again by hand: now it means the Trash.
        RetypeLine(1, "x");
        RetypeLine(1, "");
        QTRY_COMPARE(window_->summary()->fullText(), QString("1 to the Trash"));
    }

    void numberPutsTheCounterAtEachCaretOfAColumn() {
        for (int i = 0; i < 9; ++i) Write(QString("m%1").arg(i), "m");
        Open();
        CaretTo(0, 1);
        for (int i = 0; i < 9; ++i) QTest::keyClick(names(), Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier);
        window_->transforms()->startBox()->setValue(5);
        Click("Number");
        QCOMPARE(names()->Lines(0, 1), (std::vector<std::string>{"a05.txt", "b06.txt"}));
        QCOMPARE(names()->Lines(9, 9), (std::vector<std::string>{"m147"}));
        QTest::keyClick(names(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(names()->Lines(0, 0), (std::vector<std::string>{"a.txt"}));
    }

    void aWrongExpressionIsShownAndChangesNothing() {
        Open();
        window_->transforms()->regexBox()->setChecked(true);
        QTest::keyClicks(window_->findField(), "a(");
        QCOMPARE(window_->transforms()->errorLabel()->text(),
                 QString("Invalid expression: missing closing parenthesis (at character 3)"));
        window_->withField()->setText("x");
        Click("Replace");
        QCOMPARE(Text(), QString("a.txt\nb.txt\ns/c.txt"));
        QVERIFY(!names()->IsEdited());
        window_->findField()->setText("a");
        QVERIFY(window_->transforms()->errorLabel()->text().isEmpty());
    }

    // Insert field writes the token where the caret is; Replace reads the
    // files, as one Ctrl+Z, and the line it could not name says why.
    void insertFieldReadsTheFilesAsOneUndoStep() {
        QVERIFY(!testing::MediaFixtureFolder().empty());
        Write("a.txt", QByteArray::fromStdString(testing::MediaFixture("photo.jpg")));  // a photo by its bytes
        Open();
        window_->transforms()->regexBox()->setChecked(true);
        window_->findField()->setText(".*");
        window_->withField()->setText("IMG_");
        QMenu* menu = window_->transforms()->insertFieldButton()->menu();
        QAction* taken = nullptr;
        for (QAction* action : menu->actions())
            if (action->text().startsWith("Date taken\t")) taken = action;
        QVERIFY(taken != nullptr);
        taken->trigger();
        QCOMPARE(window_->withField()->text(), QString("IMG_{taken}"));
        Click("Replace");
        QCOMPARE(Text(), QString("IMG_20240714_093012.txt\nb.txt\ns/c.txt"));
        QTRY_COMPARE(window_->summary()->fullText(), QString("1 rename"));
        CaretTo(1);
        QTRY_COMPARE(window_->caretStatus()->text(),
                     QString("Line 2 of 3: unchanged (no date taken: not a photo or video format that is read)"));
        names()->setFocus();
        QTest::keyClick(names(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Text(), QString("a.txt\nb.txt\ns/c.txt"));
        CaretTo(1);
        QTRY_COMPARE(window_->caretStatus()->text(),
                     QString("Line 2 of 3: unchanged"));  // the note went with its transform
        window_->transforms()->zoneField()->setText("Paris");
        Click("Replace");
        QCOMPARE(Text(), QString("a.txt\nb.txt\ns/c.txt"));
        QVERIFY(window_->transforms()->errorLabel()->text().startsWith("Movie time zone"));
    }

    // Order by lists each folder's files again in its order; on an edited
    // list it asks first, and a No keeps the edits and the order.
    void orderByReordersAndAsksFirstWhenEdited() {
        Write("a.txt", "aaa");
        Write("b.txt", "b");
        Write("s/d.txt", "dd");
        Open();
        QComboBox* order = window_->orderBox();
        order->setCurrentIndex(order->findText("Size"));
        emit order->activated(order->currentIndex());
        QCOMPARE(Text(), QString("b.txt\na.txt\ns/c.txt\ns/d.txt"));
        QVERIFY(!names()->IsEdited());
        window_->reverseBox()->setChecked(true);
        QCOMPARE(Text(), QString("a.txt\nb.txt\ns/d.txt\ns/c.txt"));
        // {n} counts in the order shown.
        window_->findField()->setText("");
        window_->withField()->setText("{n}_");
        Click("Replace");
        QCOMPARE(Text(), QString("1_a.txt\n2_b.txt\ns/3_d.txt\ns/4_c.txt"));
        asker_.answers = {false};
        order->setCurrentIndex(order->findText("Name"));
        emit order->activated(order->currentIndex());
        QCOMPARE(asker_.asked.back().action, QString("Order Again"));
        QCOMPARE(order->currentText(), QString("Size"));
        QCOMPARE(Text(), QString("1_a.txt\n2_b.txt\ns/3_d.txt\ns/4_c.txt"));
        asker_.answers = {true};
        window_->reverseBox()->setChecked(false);
        QCOMPARE(Text(), QString("b.txt\na.txt\ns/c.txt\ns/d.txt"));
    }

    // Make unique: against the other lines and a file that is not listed,
    // as one Ctrl+Z; the preview sees it as typing.
    void makeUniqueIsOneUndoStep() {
        Write("same.txt", "not listed");
        Open({QFile::encodeName(tree_ + "/a.txt").toStdString(), QFile::encodeName(tree_ + "/b.txt").toStdString()});
        RetypeLine(0, "same.txt");
        RetypeLine(1, "same.txt");
        QTRY_COMPARE(window_->summary()->fullText(), QString("2 refused"));
        Click("Make unique");
        QCOMPARE(Text(), QString("same-1.txt\nsame-2.txt"));
        QTRY_COMPARE(window_->summary()->fullText(), QString("2 renames"));
        names()->setFocus();
        QTest::keyClick(names(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Text(), QString("same.txt\nsame.txt"));
    }

    // The transforms applied are saved as a recipe, in the file quil reads;
    // from the Recipes menu it applies as one Ctrl+Z.
    void recipesSaveTheStepsAppliedAndApplyAsOneUndoStep() {
        Open();
        window_->findField()->setText(".txt");
        window_->withField()->setText("_\\1.md");  // as typed: not a group, the Regular expression switch is off
        Click("Replace");
        Click("UPPER");
        QCOMPARE(Text(), QString("A_\\1.md\nB_\\1.md\ns/C_\\1.md"));
        asker_.texts = {"shout"};
        RecipeAction("Save steps as recipe...")->trigger();
        QFile saved(base_.path() + "/config/quillane/recipes");
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(),
                 QByteArray("[shout]\n--literal --scope path --replace .txt '_\\\\1.md'\n--case upper\n"));

        Open();
        QAction* shout = RecipeAction("shout");
        QVERIFY(shout != nullptr);
        shout->trigger();
        QCOMPARE(Text(), QString("A_\\1.md\nB_\\1.md\ns/C_\\1.md"));
        Undo();
        QCOMPARE(Text(), QString("a.txt\nb.txt\ns/c.txt"));
        // The Ctrl+Z took the recipe back: nothing is left to save.
        QCoreApplication::processEvents();
        RecipeAction("Save steps as recipe...")->trigger();
        QVERIFY(!asker_.told.isEmpty() && asker_.told.back().startsWith("No transform was applied"));
    }

    // Names from a CSV: the rows that cannot be used are shown with their
    // numbers and the rest go on when the user says so, as one Ctrl+Z.
    void renameFromAListShowsTheRefusedRows() {
        const QString csv = base_.path() + "/names.csv";
        QFile file(csv);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old,new\na.txt,x.txt\nzz,y.txt\ns/c.txt,s/z.txt\n");
        file.close();
        Open();
        asker_.texts = {csv};
        asker_.answers = {false};
        RecipeAction("Rename from list...")->trigger();
        QCOMPARE(asker_.asked.back().details, QString("Row 3: 'zz' is not listed"));
        QCOMPARE(Text(), QString("a.txt\nb.txt\ns/c.txt"));
        asker_.texts = {csv};
        RecipeAction("Rename from list...")->trigger();
        QCOMPARE(Text(), QString("x.txt\nb.txt\ns/z.txt"));
        Undo();
        QCOMPARE(Text(), QString("a.txt\nb.txt\ns/c.txt"));
    }

    // A folder's own recipe is asked about once listed, and taken only as
    // an edit: nothing is renamed before OK.
    void aFoldersRecipeIsOfferedAndTakenOnlyAsAnEdit() {
        Write(".quillane-recipe", "--case upper\n");
        asker_.answers = {false};
        Open();
        QTRY_VERIFY(!asker_.asked.empty());
        QCOMPARE(asker_.asked.back().text, QString("This folder has a recipe: Apply it?"));
        QCOMPARE(Text(), QString("a.txt\nb.txt\ns/c.txt"));
        asker_.answers = {true};
        Open();
        QTRY_COMPARE(Text(), QString("A.txt\nB.txt\ns/C.txt"));
        QCOMPARE(Read("a.txt"), QByteArray("a"));
    }

    // The filter row lists only what it keeps and says how many of how
    // many; edits are asked about first, and a wrong size is said.
    void theFilterRowNarrowsTheList() {
        Write("p.jpg", "jpg");
        Open();
        FilterRow* row = window_->filterRow();
        row->kindBox()->setCurrentIndex(row->kindBox()->findText("Images"));
        emit row->kindBox()->activated(row->kindBox()->currentIndex());
        QCOMPARE(Text(), QString("p.jpg"));
        QCOMPARE(row->countLabel()->text(), QString("showing 1 of 4"));
        RetypeLine(0, "q.jpg");
        asker_.answers = {false};
        row->kindBox()->setCurrentIndex(0);
        emit row->kindBox()->activated(0);
        QCOMPARE(asker_.asked.back().action, QString("List Again"));
        QCOMPARE(row->kindBox()->currentText(), QString("Images"));
        QCOMPARE(Text(), QString("q.jpg"));
        row->largerField()->setText("ten");
        emit row->largerField()->editingFinished();
        QVERIFY(row->countLabel()->text().startsWith("Larger than"));
        QCOMPARE(Text(), QString("q.jpg"));
    }

    void thePreviewFollowsTheTextAndTheCaretLineSaysIt() {
        Open();
        RetypeLine(0, "renamed.txt");
        RetypeLine(1, "");
        RetypeLine(2, ".hidden");  // onto a file that stays (unlisted): refused
        QTRY_COMPARE(window_->summary()->fullText(), QString("1 rename, 1 to the Trash, 1 refused"));
        const std::vector<LineStatus>& statuses = names()->statuses();
        QCOMPARE(statuses.size(), std::size_t{3});
        QCOMPARE(statuses[0].action, LineAction::Rename);
        QCOMPARE(statuses[1].action, LineAction::Trash);
        QCOMPARE(statuses[2].action, LineAction::Refuse);
        QCOMPARE(window_->caretStatus()->text(), QString("Line 3 of 3: refused: a file with that name exists"));
        QCOMPARE(names()->accessibleDescription(), window_->caretStatus()->text());
        QTest::keyClick(names(), Qt::Key_Up);
        QCOMPARE(window_->caretStatus()->text(), QString("Line 2 of 3: trash"));
        QTest::mouseClick(window_->permanentBox(), Qt::LeftButton, {}, QPoint(5, 5));
        QTRY_COMPARE(window_->summary()->fullText(), QString("1 rename, 1 delete, 1 refused"));
    }

    void theFieldsAndTheNamesHaveAccessibleNames() {
        Open();
        QCOMPARE(QAccessible::queryAccessibleInterface(names())->text(QAccessible::Name), QString("Names"));
        QCOMPARE(QAccessible::queryAccessibleInterface(window_->findField())->text(QAccessible::Name), QString("Find"));
        QCOMPARE(QAccessible::queryAccessibleInterface(window_->withField())->text(QAccessible::Name),
                 QString("Replace with"));
        QCOMPARE(window_->transforms()->scopeBox()->accessibleName(), QString("Part of each line"));
        QCOMPARE(window_->transforms()->startBox()->accessibleName(), QString("Counter start"));
    }

    void theStatusColumnIsBesideTheTextAndTheSummaryNeverWidens() {
        for (int i = 0; i < 200; ++i) Write(QString("many/f%1").arg(i), "");
        Open();
        QScrollBar* bar = names()->verticalScrollBar();
        QTRY_VERIFY(bar->isVisible());
        const QRect column = names()->StatusColumnRect();
        QVERIFY(!column.intersects(QRect(bar->mapTo(names(), QPoint(0, 0)), bar->size())));
        QVERIFY(column.right() < names()->width() / 2);  // on the left, where the text begins
        const int width = window_->width();
        window_->summary()->SetFullText(QString("1 rename, ").repeated(200));
        QApplication::processEvents();
        QCOMPARE(window_->width(), width);
        QVERIFY(window_->summary()->text().endsWith(QChar(0x2026)));
    }

    void okAsksOnceCountingAndNamingThenStaysOpen() {
        Write("d.txt", "d");
        Open();
        RetypeLine(0, ".hidden");  // refused: .hidden stays
        RetypeLine(1, "b2.txt");
        RetypeLine(2, "d2.txt");
        RetypeLine(3, "s/t/c.txt");
        asker_.answers = {false};
        window_->findField()->setFocus();
        QTest::keyClick(window_->findField(), Qt::Key_Return, Qt::ControlModifier);  // Ctrl+Return is OK
        QCOMPARE(asker_.asked.size(), std::size_t{1});
        QCOMPARE(LastQuestion(), QString("1 line is refused and stays as it is:\n"
                                         "'a.txt' to '.hidden': a file with that name exists\n\n"
                                         "Rename 2 files and move 1?"));
        QCOMPARE(asker_.asked[0].action, QString("Rename"));
        QVERIFY(!asker_.asked[0].warning);
        QCOMPARE(Read("a.txt"), QByteArray("a"));
        Click("OK");
        QVERIFY(window_->isVisible());
        QCOMPARE(Read("b2.txt"), QByteArray("b"));
        QCOMPARE(Read("s/t/c.txt"), QByteArray("c"));
        QCOMPARE(Text(), QString("a.txt\nb2.txt\nd2.txt\ns/t/c.txt"));  // listed again
        QVERIFY(!names()->IsEdited());
        QVERIFY(window_->messageBar()->isVisible());
        QCOMPARE(window_->messageBar()->label()->text(), QString("Renamed 2 files and moved 1."));
        QTest::mouseClick(window_->messageBar()->undoButton(), Qt::LeftButton);
        QCOMPARE(Read("b.txt"), QByteArray("b"));
        QCOMPARE(Read("d.txt"), QByteArray("d"));
        QCOMPARE(Text(), QString("a.txt\nb.txt\nd.txt\ns/c.txt"));
        Click("Cancel");
        QCOMPARE(window_->ExitStatus(), 1);  // a line was refused
    }

    void deletingForGoodIsAWarning() {
        Open();
        window_->permanentBox()->setChecked(true);
        RetypeLine(0, "");
        RetypeLine(1, "");
        asker_.answers = {false};
        Click("OK");
        QCOMPARE(LastQuestion(), QString("Delete 2 files permanently?"));
        QCOMPARE(asker_.asked.back().action, QString("Delete"));
        QVERIFY(asker_.asked.back().warning);
        asker_.answers = {true};
        Click("OK");
        QVERIFY(!QFile::exists(tree_ + "/a.txt"));
        QCOMPARE(window_->messageBar()->label()->text(), QString("Deleted 2 files permanently."));
        QVERIFY(window_->messageBar()->undoButton()->isHidden());  // nothing of it can come back
    }

    void cancelAsksOnlyAfterAnEditAndTheExitStatusTells() {
        Open();
        QTest::keyClick(window_.get(), Qt::Key_Escape);
        QVERIFY(!window_->isVisible());
        QVERIFY(asker_.asked.empty());
        QCOMPARE(window_->ExitStatus(), 0);
        Open();
        RetypeLine(0, "x.txt");
        asker_.answers = {false};
        Click("Cancel");
        QVERIFY(window_->isVisible());
        QCOMPARE(asker_.asked.back().text, QString("Close without applying the edited names?"));
        asker_.answers = {true};
        Click("Cancel");
        QVERIFY(!window_->isVisible());
        QCOMPARE(Read("a.txt"), QByteArray("a"));
        QCOMPARE(window_->ExitStatus(), 2);
        Open();
        RetypeLine(0, "x.txt");
        Click("OK");
        Click("Cancel");
        QCOMPARE(window_->ExitStatus(), 0);

        window_ = std::make_unique<QuillaneWindow>(*files_, *trash_, *store_, *config_);
        window_->SetAsker(&asker_);
        QVERIFY(!window_->Load({QFile::encodeName(tree_ + "/gone").toStdString()}));
        QVERIFY(asker_.told.last().contains("does not exist"));
        QCOMPARE(window_->ExitStatus(), 2);
    }

    void theTrashAndUndoGoThereAndBack() {
        Open();
        QVERIFY(!window_->button("Undo last batch")->isEnabled());
        RetypeLine(0, "");
        RetypeLine(1, "s/b.txt");
        Click("OK");
        QCOMPARE(LastQuestion(), QString("Move 1 file and put 1 in the Trash?"));
        QVERIFY(!QFile::exists(tree_ + "/a.txt"));
        QCOMPARE(Read("s/b.txt"), QByteArray("b"));
        QVERIFY(QFile::exists(base_.path() + "/data/Trash/files/a.txt"));
        QCOMPARE(window_->messageBar()->label()->text(), QString("Moved 1 file and put 1 in the Trash."));

        Open();
        QPushButton* undo = window_->button("Undo last batch");
        QVERIFY(undo->isEnabled());
        Click("Undo last batch");
        QVERIFY(LastQuestion().startsWith("Undo the last batch: restore 2 files"));
        QCOMPARE(Read("a.txt"), QByteArray("a"));
        QCOMPARE(Read("b.txt"), QByteArray("b"));
        QCOMPARE(Text(), QString("a.txt\nb.txt\ns/c.txt"));
        QVERIFY(!undo->isEnabled());
    }

    // In a git work tree the switch shows, the index follows a rename, and
    // a locked index is asked about; switched off, the index stays.
    void theGitSwitchStagesRenamesAndALockIsAskedAbout() {
        const QString git = "git -C '" + tree_ + "' -c user.name=t -c user.email=t@t ";
        auto run = [](const QString& command) {
            QProcess shell;
            shell.start("sh", {"-c", command});
            shell.waitForFinished();
            return QString::fromUtf8(shell.readAllStandardOutput());
        };
        Open();
        QVERIFY(window_->gitBox()->isHidden());
        run(git + "init -q && " + git + "add a.txt b.txt && " + git + "commit -qm start");
        Open();
        QVERIFY(!window_->gitBox()->isHidden());
        QVERIFY(window_->gitBox()->isChecked());
        RetypeLine(0, "x.txt");
        Click("OK");
        QCOMPARE(run(git + "ls-files"), QString("b.txt\nx.txt\n"));

        QFile(tree_ + "/.git/index.lock").open(QIODevice::WriteOnly);
        RetypeLine(0, "y.txt");          // b.txt, listed first now
        asker_.answers = {true, false};  // the batch yes, applying without git no
        Click("OK");
        QVERIFY(LastQuestion().contains("Apply without staging the renames in git?"));
        QCOMPARE(Read("b.txt"), QByteArray("b"));
        asker_.answers = {true, true};
        Click("OK");
        QCOMPARE(Read("y.txt"), QByteArray("b"));
        QVERIFY(window_->gitBox()->isChecked());  // without git for that batch only
        QFile::remove(tree_ + "/.git/index.lock");
        QCOMPARE(run(git + "ls-files"), QString("b.txt\nx.txt\n"));
    }

    void anUndoThatWouldBeRefusedWholeAsksNothing() {
        Open();
        RetypeLine(0, "x.txt");
        Click("OK");
        Write("a.txt", "new");  // the old name is taken again
        const std::size_t asked = asker_.asked.size();
        QTest::mouseClick(window_->messageBar()->undoButton(), Qt::LeftButton);
        QCOMPARE(asker_.asked.size(), asked);
        QVERIFY(asker_.told.last().startsWith("The last batch cannot be undone."));
        QVERIFY(asker_.told.last().contains("'x.txt' to 'a.txt'"));
        QCOMPARE(Read("x.txt"), QByteArray("a"));
    }

    void aSelectionOfFilesIsListedAndFollowed() {
        Open({QFile::encodeName(tree_ + "/s/c.txt").toStdString(), QFile::encodeName(tree_ + "/a.txt").toStdString()});
        QCOMPARE(Text(), QString("a.txt\ns/c.txt"));
        RetypeLine(0, "z.txt");
        Click("OK");
        QCOMPARE(Text(), QString("z.txt\ns/c.txt"));  // the picked files, under their new names
        RetypeLine(0, "");
        RetypeLine(1, "");
        Click("OK");
        QCOMPARE(Text(), QString());  // all gone
        QTest::mouseClick(window_->messageBar()->undoButton(), Qt::LeftButton);
        QCOMPARE(Text(), QString("z.txt\ns/c.txt"));
    }

    void theFoldersSwitchListsFoldersAndMovesThemWhole() {
        Open();
        window_->foldersBox()->setChecked(true);
        QCOMPARE(Text(), QString("s"));
        RetypeLine(0, "t");
        Click("OK");
        QCOMPARE(LastQuestion(), QString("Rename 1 folder?"));
        QCOMPARE(Read("t/c.txt"), QByteArray("c"));
        QVERIFY(!QFile::exists(tree_ + "/s"));
    }

    void enterOpensTheListedFileOfTheCaretLine() {
        Open();
        RetypeLine(1, "edited.txt");
        QTest::keyClick(names(), Qt::Key_Return);
        QCOMPARE(opened_, QStringList{tree_ + "/b.txt"});
        QCOMPARE(Text(), QString("a.txt\nedited.txt\ns/c.txt"));
    }

    void aFolderThatCannotBeReadIsNamedAsAnError() {
        OneFolderUnreadable files(*files_, QFile::encodeName(tree_ + "/s/").toStdString());
        Open({}, &files);
        QCOMPARE(Text(), QString("a.txt\nb.txt"));
        QTRY_COMPARE(asker_.errors, 1);
        QCOMPARE(asker_.told.last(),
                 "The folder '" + tree_ + "/s/' could not be read; the files in it are not listed.");
    }

    void aNameThatIsNotUtf8KeepsItsBytes() {
        const std::string odd = QFile::encodeName(tree_).toStdString() + "/caf\xe9.txt";
        QCOMPARE(::rename(QFile::encodeName(tree_ + "/b.txt").constData(), odd.c_str()), 0);
        Open();
        RetypeLine(0, "z.txt");
        Click("OK");
        QCOMPARE(Read("z.txt"), QByteArray("a"));
        QVERIFY(std::filesystem::exists(odd));
        std::filesystem::remove(odd);  // a name QTemporaryDir could not remove
    }

    void aLongTaskShowsItsProgressAndCancelStopsIt() {
        QWidget parent;
        parent.show();
        QString label;
        QTimer::singleShot(800, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QProgressDialog*>(widget); dialog && dialog->isVisible()) {
                    label = dialog->labelText();
                    QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
                }
        });
        bool sawCancel = false;
        const bool finished = RunBusy(
            &parent, [](long done, long total) { return QString("Working... %1 of %2").arg(done).arg(total); },
            [&](TaskProgress& progress) {
                progress.done = 3;
                progress.total = 7;
                QElapsedTimer waited;
                waited.start();
                while (!progress.cancelled && waited.elapsed() < 10000) QThread::msleep(5);
                sawCancel = progress.cancelled;
            });
        QVERIFY(!finished);
        QVERIFY(sawCancel);
        QCOMPARE(label, QString("Working... 3 of 7"));
        QVERIFY(RunBusy(
            &parent, [](long, long) { return QString(); }, [](TaskProgress&) {}));
    }

    // quillane a.txt b.txt, both moved into s/: the window stays over the
    // folder whose batch it can undo.
    void aBatchThatMovesTheFilesPickedKeepsItsRootAndItsUndo() {
        Open({QFile::encodeName(tree_ + "/a.txt").toStdString(), QFile::encodeName(tree_ + "/b.txt").toStdString()});
        RetypeLine(0, "s/a.txt");
        RetypeLine(1, "s/b.txt");
        asker_.answers = {true};
        Click("OK");
        QCOMPARE(Text(), QString("s/a.txt\ns/b.txt"));
        QVERIFY(window_->messageBar()->undoButton()->isVisible());
        QVERIFY(window_->button("Undo last batch")->isEnabled());
        QTest::mouseClick(window_->messageBar()->undoButton(), Qt::LeftButton);
        QCOMPARE(Read("a.txt"), QByteArray("a"));
        QCOMPARE(Text(), QString("a.txt\nb.txt"));
    }

    // What the bar and the expression's error say reaches a screen reader;
    // the fields have labels with mnemonics and take the window's width.
    void theMessagesAndFieldsSpeakToScreenReaders() {
        Open();
        auto spoken = [](QWidget* widget) {
            return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
        };
        window_->transforms()->regexBox()->setChecked(true);
        QTest::keyClicks(window_->findField(), "a(");
        QCOMPARE(spoken(window_->transforms()->errorLabel()), window_->transforms()->errorLabel()->text());
        window_->findField()->clear();
        RetypeLine(0, "z.txt");
        asker_.answers = {true};
        Click("OK");
        QCOMPARE(spoken(window_->messageBar()->label()), QString("Renamed 1 file."));
        QVERIFY(window_->messageBar()->undoButton()->text().contains('&'));
        for (QLineEdit* field : {window_->findField(), window_->withField()}) {
            bool labelled = false;
            for (QLabel* label : window_->findChildren<QLabel*>())
                labelled |= label->buddy() == field && label->text().contains('&');
            QVERIFY(labelled);
            QVERIFY(field->width() > window_->width() / 3);
        }
    }

    // Escape in the names box does what it does in every other field.
    void escapeInTheNamesBoxClosesOrAsks() {
        Open();
        names()->setFocus();
        QTest::keyClick(names(), Qt::Key_Escape);
        QVERIFY(!window_->isVisible());
        Open();
        RetypeLine(0, "z.txt");
        asker_.answers = {false};
        QTest::keyClick(names(), Qt::Key_Escape);
        QVERIFY(window_->isVisible());
        QCOMPARE(asker_.asked.back().action, QString("Close"));
    }

    // Typing into a column is one undo step, as on one line; a column past
    // the end of a shorter line types at that line's own end.
    void aColumnTakesTypingAsOneStepAndShortLinesAtTheirEnd() {
        Write("a-long-name.txt", "l");
        Open();  // a-long-name.txt a.txt b.txt s/c.txt
        CaretTo(0);
        QTest::keyClick(names(), Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier);
        QTest::keyClicks(names(), "xyz");
        QCOMPARE(names()->Lines(0, 1), (std::vector<std::string>{"xyza-long-name.txt", "xyza.txt"}));
        QTest::keyClick(names(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(names()->Lines(0, 1), (std::vector<std::string>{"a-long-name.txt", "a.txt"}));
        CaretTo(0);
        QTest::keyClick(names(), Qt::Key_End);
        QTest::keyClick(names(), Qt::Key_Down, Qt::AltModifier | Qt::ShiftModifier);
        QTest::keyClicks(names(), "_1");
        QCOMPARE(Text(), QString("a-long-name.txt_1\na.txt_1\nb.txt\ns/c.txt"));
    }

    void withNoFolderTheMenuStartAsksForOne() {
        int asked = 0;
        const auto choose = [&] { return ++asked, QString("/chosen"); };
        QVERIFY(StartPaths({}, false, choose) == std::vector<std::string>{"/chosen"});
        QVERIFY(StartPaths({}, true, choose) == std::vector<std::string>{});  // the current folder
        QVERIFY(StartPaths({"x"}, false, choose) == std::vector<std::string>{"x"});
        QCOMPARE(asked, 1);
        QVERIFY(!StartPaths({}, false, [] { return QString(); }));  // cancelled: nothing to list
    }
};

}  // namespace quil::qt

QTEST_MAIN(quil::qt::WindowTest)
#include "qt_window_test.moc"
