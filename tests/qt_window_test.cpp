// The desktop window driven through key and mouse events on the offscreen
// platform, over a real temporary folder, with the Trash and the journal in
// temporary folders and the questions answered through the window's seam.
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>
#include <deque>

#include "platform/file_services.h"
#include "platform/state_store.h"
#include "platform/trash.h"
#include "ui/qt/quillane_window.h"

namespace quil::qt {
namespace {

class ScriptedAsker final : public Asker {
public:
    bool AskYesNo(const QString& text, const QString& caption) override {
        asked.push_back(caption + ": " + text);
        if (answers.empty()) return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Tell(const QString& text, const QString& caption) override { told.push_back(caption + ": " + text); }

    std::deque<bool> answers;
    QStringList asked;
    QStringList told;
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
    std::unique_ptr<StateStore> unjournaled_;
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
    void Open() {
        window_ = std::make_unique<QuillaneWindow>(*files_, *trash_, *store_);
        window_->SetAsker(&asker_);
        window_->SetOpener([this](const QString& path) { opened_ << path; });
        QVERIFY(window_->Load({QFile::encodeName(tree_).toStdString()}));
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    NamesEdit* names() { return window_->names(); }
    // Puts the caret at the start of line (0-based) of the names box.
    void CaretTo(int line, int column = 0) {
        QTextCursor cursor(names()->document()->findBlockByNumber(line));
        cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column);
        names()->setTextCursor(cursor);
        names()->setFocus();
    }
    // Replaces line (0-based) by text through the keyboard.
    void RetypeLine(int line, const QString& text) {
        CaretTo(line);
        QTest::keyClick(names(), Qt::Key_End, Qt::ShiftModifier);
        if (names()->textCursor().hasSelection()) QTest::keyClick(names(), Qt::Key_Delete);
        QTest::keyClicks(names(), text);
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
        QDir().mkpath(base_.path() + "/data");
        store_ = MakeSystemStateStore();
    }
    void init() {
        tree_ = base_.path() + "/tree-" + QString::number(QRandomGenerator::global()->generate());
        QDir().mkpath(tree_);
        Write("a.txt", "a");
        Write("b.txt", "b");
        Write("s/c.txt", "c");
        Write(".hidden", "h");
        asker_ = ScriptedAsker();
        opened_.clear();
    }
    void cleanup() { window_.reset(); }

    void listsSortedWithoutHiddenFiles() {
        Open();
        QCOMPARE(names()->toPlainText(), QString("a.txt\nb.txt\ns/c.txt"));
        window_->hiddenBox()->setChecked(true);
        QCOMPARE(names()->toPlainText(), QString(".hidden\na.txt\nb.txt\ns/c.txt"));
    }

    void editsThatChangeTheLineCountAreUndone() {
        Open();
        const QString listed = names()->toPlainText();
        CaretTo(1);
        QTest::keyClick(names(), Qt::Key_Backspace);  // would join two lines
        QCOMPARE(names()->toPlainText(), listed);
        QGuiApplication::clipboard()->setText("x\ny");
        CaretTo(0, 1);
        QTest::keyClick(names(), Qt::Key_V, Qt::ControlModifier);  // would add a line
        QCOMPARE(names()->toPlainText(), listed);
        QTest::keyClick(names(), Qt::Key_Return);  // opens, adds nothing
        QCOMPARE(names()->toPlainText(), listed);
        QCOMPARE(opened_, QStringList{tree_ + "/a.txt"});
        QTest::keyClicks(names(), "z");  // stands
        QCOMPARE(names()->toPlainText(), QString("az.txt\nb.txt\ns/c.txt"));
    }

    void replaceAndPrefix() {
        Open();
        QTest::keyClicks(window_->findField(), "txt");
        QTest::keyClicks(window_->withField(), "md");
        QTest::mouseClick(window_->button("Replace"), Qt::LeftButton);
        QCOMPARE(names()->toPlainText(), QString("a.md\nb.md\ns/c.md"));
        QVERIFY(!names()->document()->isModified());
        RetypeLine(1, "");
        window_->findField()->clear();
        window_->withField()->setText("p_");
        QTest::mouseClick(window_->button("Replace"), Qt::LeftButton);
        QCOMPARE(names()->toPlainText(), QString("p_a.md\n\np_s/c.md"));  // the emptied line stays empty
    }

    void thePreviewFollowsTheText() {
        Open();
        RetypeLine(0, "renamed.txt");
        RetypeLine(1, "");
        RetypeLine(2, ".hidden");  // onto a file that stays (unlisted): refused
        QTRY_COMPARE(window_->summary()->text(), QString("1 rename, 1 to the Trash, 1 refused"));
        const std::vector<LineStatus>& statuses = names()->statuses();
        QCOMPARE(statuses.size(), std::size_t{3});
        QCOMPARE(statuses[0].action, LineAction::Rename);
        QCOMPARE(statuses[1].action, LineAction::Trash);
        QCOMPARE(statuses[2].action, LineAction::Refuse);
        QCOMPARE(statuses[2].reason, QString("a file with that name exists"));
        QTest::mouseClick(window_->permanentBox(), Qt::LeftButton, {}, QPoint(5, 5));
        QTRY_COMPARE(window_->summary()->text(), QString("1 rename, 1 delete, 1 refused"));
    }

    void okAsksShowsRefusalsAndApplies() {
        Open();
        RetypeLine(0, "b.txt");  // refused: b.txt stays
        RetypeLine(2, "t/c.txt");
        asker_.answers = {false};
        QTest::mouseClick(window_->button("OK"), Qt::LeftButton);
        QCOMPARE(asker_.asked.size(), 1);
        QVERIFY(window_->isVisible());
        asker_.answers = {true, false};
        QTest::mouseClick(window_->button("OK"), Qt::LeftButton);
        QCOMPARE(asker_.asked.size(), 3);
        QVERIFY(asker_.asked[2].contains("'a.txt' to 'b.txt': a file with that name exists"));
        QVERIFY(window_->isVisible());
        QCOMPARE(Read("s/c.txt"), QByteArray("c"));
        asker_.answers = {true, true};
        QTest::mouseClick(window_->button("OK"), Qt::LeftButton);
        QVERIFY(!window_->isVisible());
        QCOMPARE(window_->result(), int(QDialog::Accepted));
        QCOMPARE(Read("a.txt"), QByteArray("a"));
        QCOMPARE(Read("t/c.txt"), QByteArray("c"));
        QVERIFY(asker_.told.isEmpty());
    }

    void cancelAsksOnlyAfterAnEdit() {
        Open();
        QTest::keyClick(window_.get(), Qt::Key_Escape);
        QVERIFY(!window_->isVisible());
        QVERIFY(asker_.asked.isEmpty());
        Open();
        RetypeLine(0, "x.txt");
        asker_.answers = {false};
        QTest::mouseClick(window_->button("Cancel"), Qt::LeftButton);
        QVERIFY(window_->isVisible());
        QCOMPARE(asker_.asked.value(0), QString("Cancel = Lose Changes: Are you sure?"));
        asker_.answers = {true};
        QTest::mouseClick(window_->button("Cancel"), Qt::LeftButton);
        QVERIFY(!window_->isVisible());
        QCOMPARE(Read("a.txt"), QByteArray("a"));
    }

    void theTrashAndUndoGoThereAndBack() {
        Open();
        QVERIFY(!window_->button("Undo last batch")->isEnabled());
        RetypeLine(0, "");
        RetypeLine(1, "s/b.txt");
        QTest::mouseClick(window_->button("OK"), Qt::LeftButton);
        QVERIFY(!window_->isVisible());
        QVERIFY(!QFile::exists(tree_ + "/a.txt"));
        QCOMPARE(Read("s/b.txt"), QByteArray("b"));
        QVERIFY(QFile::exists(base_.path() + "/data/Trash/files/a.txt"));

        Open();
        QPushButton* undo = window_->button("Undo last batch");
        QVERIFY(undo->isEnabled());
        QTest::mouseClick(undo, Qt::LeftButton);
        QVERIFY(asker_.asked.last().contains("restore a.txt"));
        QCOMPARE(Read("a.txt"), QByteArray("a"));
        QCOMPARE(Read("b.txt"), QByteArray("b"));
        QCOMPARE(names()->toPlainText(), QString("a.txt\nb.txt\ns/c.txt"));
        QVERIFY(!undo->isEnabled());
    }

    void aBatchThatCannotBeUndoneIsSaidFirst() {
        QFile stateFile(base_.path() + "/state-file");
        QVERIFY(stateFile.open(QIODevice::WriteOnly));
        qputenv("XDG_STATE_HOME", stateFile.fileName().toUtf8());
        unjournaled_ = MakeSystemStateStore();
        qputenv("XDG_STATE_HOME", (base_.path() + "/state").toUtf8());
        window_ = std::make_unique<QuillaneWindow>(*files_, *trash_, *unjournaled_);
        window_->SetAsker(&asker_);
        QVERIFY(window_->Load({QFile::encodeName(tree_).toStdString()}));
        window_->show();
        RetypeLine(0, "x.txt");
        asker_.answers = {true, false};
        QTest::mouseClick(window_->button("OK"), Qt::LeftButton);
        QCOMPARE(asker_.asked.size(), 2);
        QVERIFY(asker_.asked[1].contains("This batch cannot be undone ("));
        QVERIFY(asker_.asked[1].endsWith("Apply anyway?"));
        QVERIFY(window_->isVisible());
        QCOMPARE(Read("a.txt"), QByteArray("a"));
    }

    void aSelectionOfFilesListsOnlyThem() {
        window_ = std::make_unique<QuillaneWindow>(*files_, *trash_, *store_);
        window_->SetAsker(&asker_);
        QVERIFY(window_->Load({QFile::encodeName(tree_ + "/s/c.txt").toStdString(),
                               QFile::encodeName(tree_ + "/a.txt").toStdString()}));
        QCOMPARE(names()->toPlainText(), QString("a.txt\ns/c.txt"));
    }

    void theFoldersSwitchListsFoldersAndMovesThemWhole() {
        Open();
        window_->foldersBox()->setChecked(true);
        QCOMPARE(names()->toPlainText(), QString("s"));
        RetypeLine(0, "t");
        asker_.answers = {true};
        QTest::mouseClick(window_->button("OK"), Qt::LeftButton);
        QCOMPARE(Read("t/c.txt"), QByteArray("c"));
        QVERIFY(!QFile::exists(tree_ + "/s"));
    }

    void enterOpensTheListedFileOfTheCaretLine() {
        Open();
        RetypeLine(1, "edited.txt");
        QTest::keyClick(names(), Qt::Key_Return);
        QCOMPARE(opened_, QStringList{tree_ + "/b.txt"});
    }
};

}  // namespace quil::qt

QTEST_MAIN(quil::qt::WindowTest)
#include "qt_window_test.moc"
