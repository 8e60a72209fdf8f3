// The flow of the Linux editions over the fake file system: reading an
// edited list back, describing the plan, the Trash, and undo through the
// journal, also after a run that was stopped at any point.
#include <gtest/gtest.h>

#include "engine/session.h"
#include "tests/fake_linux_services.h"

namespace quil {
namespace {

using testing::FakeFileSystem;
using testing::FakeStateStore;
using testing::FakeTrash;
using testing::Stopper;
using Tree = std::map<std::string, std::string>;

class SessionTest : public ::testing::Test {
protected:
    SessionTest() {
        for (const char* name : {"a", "b", "c", "gone", "s/d"}) files.AddFile(std::string("/r/") + name, name);
        files.AddFolder("/trash");
    }

    void Open() {
        ASSERT_EQ(session.Open(testing::Picking({"/r"})).kind, ListProblem::Kind::None);
        session.List();
    }

    // The files below the root: relative path -> content.
    Tree Below(const std::string& root = "/r/") const {
        Tree tree;
        for (const auto& [path, content] : files.Files())
            if (path.compare(0, root.size(), root) == 0) tree[path.substr(root.size())] = content;
        return tree;
    }

    FakeFileSystem files{kPosixConventions, "/home"};
    FakeTrash trash{files, "/trash"};
    FakeStateStore store;
    Session session{files, trash, store};
    const Tree original{{"a", "a"}, {"b", "b"}, {"c", "c"}, {"gone", "gone"}, {"s/d", "s/d"}};
};

TEST_F(SessionTest, ReadBackTakesLineBreaksAsEditorsWriteThem) {
    Open();
    ASSERT_EQ(session.state().text, "a\nb\nc\ngone\ns/d");
    struct Row {
        const char* text;
        bool ok;
        int found;
    };
    for (const Row& row : {Row{"a\nb\nc\ngone\ns/d", true, 5}, Row{"a\nb\nc\ngone\ns/d\n", true, 5},
                           Row{"a\r\nb\r\nc\r\ngone\r\ns/d\r\n", true, 5}, Row{"a\nb\nc\n\n\n", true, 5},
                           Row{"a\nb\nc\ngone\n", false, 4}, Row{"a\nb\nc\ngone\ns/d\n\n", false, 6},
                           Row{"", false, 0}}) {
        int found = -1;
        EXPECT_EQ(session.ReadBack(row.text, found), row.ok) << row.text;
        EXPECT_EQ(found, row.found) << row.text;
    }
    int found;
    ASSERT_TRUE(session.ReadBack("a\nb\nc\n\n\n", found));
    EXPECT_EQ(session.state().newPaths[5], "");
}

TEST_F(SessionTest, ThePlanIsDescribedLineByLine) {
    Open();
    int found;
    ASSERT_TRUE(session.ReadBack("b\na\nc\n\nnew/d\n", found));
    const BatchPlan plan = session.Plan(false);
    std::vector<PlanRow> rows = session.Describe(plan, false);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].action, LineAction::Rename);
    EXPECT_EQ(rows[0].from, "a");
    EXPECT_EQ(rows[0].to, "b");
    EXPECT_EQ(rows[2].action, LineAction::Trash);
    EXPECT_EQ(rows[3].action, LineAction::Move);
    EXPECT_EQ(rows[4].action, LineAction::RemoveFolder);  // s/, left empty
    EXPECT_EQ(rows[4].from, "s/");
    EXPECT_EQ(Summary(rows), "2 renames, 1 move, 1 to the Trash, 1 folder removed");
    EXPECT_EQ(Summary(session.Describe(plan, true)), "2 renames, 1 move, 1 delete, 1 folder removed");

    // Notes go onto their lines' rows; a line that stays gets a row of its
    // own for its note, in line order, before the folders' rows.
    std::vector<PlanRow> noted = rows;
    AddNotes(noted, {"", "two", "three", "", "five"}, session.state());
    std::vector<std::pair<int, std::string>> slotsAndNotes;
    for (const PlanRow& row : noted) slotsAndNotes.emplace_back(row.slot, row.note);
    EXPECT_EQ(slotsAndNotes, (std::vector<std::pair<int, std::string>>{
                                 {1, ""}, {2, "two"}, {3, "three"}, {4, ""}, {5, "five"}, {0, ""}}));
    EXPECT_EQ(noted[2].action, LineAction::Unchanged);
    EXPECT_EQ(noted[2].from, "c");

    ASSERT_TRUE(session.ReadBack("c\nb\nc\ngone\ns/d\n", found));
    rows = session.Describe(session.Plan(false), false);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].action, LineAction::Refuse);
    EXPECT_EQ(Summary(rows), "1 refused");
}

TEST_F(SessionTest, ABatchAndItsUndoGoThereAndBack) {
    Open();
    int found;
    ASSERT_TRUE(session.ReadBack("b\nc\na\n\nnew/deep/d\n", found));
    Stopper observer;
    RunResult result = testing::ApplyNow(session, session.Plan(false), false, observer);
    EXPECT_TRUE(result.failures.empty());
    EXPECT_EQ(result.applied, 5);
    EXPECT_EQ(Below(), (Tree{{"a", "c"}, {"b", "a"}, {"c", "b"}, {"new/deep/d", "s/d"}}));
    EXPECT_EQ(Below("/trash/files/").size(), 1u);

    UndoPlan undo;
    ASSERT_TRUE(session.PlanUndo(undo));
    EXPECT_EQ(Summary(undo.rows), "3 renames, 1 move, 1 from the Trash");
    result = testing::UndoNow(session, undo, observer);
    EXPECT_TRUE(result.failures.empty());
    EXPECT_EQ(Below(), original);
    EXPECT_FALSE(session.CanUndo());  // nothing left to undo
    EXPECT_FALSE(session.PlanUndo(undo));
}

TEST_F(SessionTest, ARunStoppedAnywhereIsUndoneWhole) {
    // A three-cycle, a move into new folders and a file to the Trash: seven
    // operations, stopped before each in turn.
    for (int stopAt = 1; stopAt <= 7; ++stopAt) {
        FakeFileSystem fresh(kPosixConventions, "/home");
        for (const char* name : {"a", "b", "c", "gone", "s/d"}) fresh.AddFile(std::string("/r/") + name, name);
        FakeTrash freshTrash(fresh, "/trash");
        FakeStateStore freshStore;
        Session run(fresh, freshTrash, freshStore);
        ASSERT_EQ(run.Open(testing::Picking({"/r"})).kind, ListProblem::Kind::None);
        run.List();
        int found;
        ASSERT_TRUE(run.ReadBack("b\nc\na\n\nnew/d\n", found));
        Stopper stopper(stopAt);
        testing::ApplyNow(run, run.Plan(false), false, stopper);
        for (const auto& [path, content] : fresh.Files())
            EXPECT_EQ(path.find("quil-swap"), std::string::npos) << stopAt << " left " << path;

        UndoPlan undo;
        Stopper never;
        if (run.PlanUndo(undo)) {
            EXPECT_EQ(undo.refused, 0) << stopAt;
            EXPECT_TRUE(testing::UndoNow(run, undo, never).failures.empty()) << stopAt;
        }
        Tree tree;
        for (const auto& [path, content] : fresh.Files())
            if (path.rfind("/r/", 0) == 0) tree[path.substr(3)] = content;
        EXPECT_EQ(tree, original) << stopAt;
    }
}

TEST_F(SessionTest, TheGitIndexFollowsTheBatchAndItsUndo) {
    testing::FakeIndexState git;
    git.entries = {{"/r/a", "A"}, {"/r/b", "B"}, {"/r/c", "C"}, {"/r/gone", "G"}};
    std::map<std::string, std::string>& index = git.entries;
    bool& fails = git.fails;
    session.UseGit([&](const std::string&) { return std::make_unique<testing::FakeIndex>(git); });
    Open();
    int found;
    // A three-cycle (through a temporary name), a trashed tracked file, an
    // untracked one moved.
    ASSERT_TRUE(session.ReadBack("b\nc\na\n\nnew/d\n", found));
    Stopper observer;
    RunResult result = testing::ApplyNow(session, session.Plan(false), false, observer);
    EXPECT_EQ(result.indexChanged, 4);  // lines, not the cycle's four moves
    EXPECT_EQ(index, (std::map<std::string, std::string>{{"/r/a", "C"}, {"/r/b", "A"}, {"/r/c", "B"}}));

    UndoPlan undo;
    ASSERT_TRUE(session.PlanUndo(undo));
    result = testing::UndoNow(session, undo, observer);
    EXPECT_TRUE(result.indexError.empty());
    EXPECT_EQ(index, (std::map<std::string, std::string>{{"/r/a", "A"}, {"/r/b", "B"}, {"/r/c", "C"}, {"/r/gone", "G"}}));

    // An index that cannot be written: the files are renamed all the same,
    // and the failure is said.
    fails = true;
    Open();
    ASSERT_TRUE(session.ReadBack("x\nb\nc\ngone\ns/d\n", found));
    result = testing::ApplyNow(session, session.Plan(false), false, observer);
    EXPECT_EQ(result.applied, 1);
    EXPECT_EQ(result.indexError, "cannot write the git index");
    EXPECT_EQ(result.indexChanged, 0);
    EXPECT_EQ(Below().count("x"), 1u);
}

TEST_F(SessionTest, UndoRefusesWhatChangedSinceAndKeepsItJournaled) {
    Open();
    int found;
    ASSERT_TRUE(session.ReadBack("x\ny\nc\ngone\ns/d\n", found));
    Stopper observer;
    testing::ApplyNow(session, session.Plan(false), false, observer);
    files.AddFile("/r/a", "new a");  // the name a came back meanwhile
    files.Delete("/r/y", nullptr);  // and y went
    UndoPlan undo;
    ASSERT_TRUE(session.PlanUndo(undo));
    EXPECT_EQ(Summary(undo.rows), "2 refused");
    EXPECT_EQ(undo.refused, 2);
    testing::UndoNow(session, undo, observer);
    EXPECT_EQ(Below(), (Tree{{"a", "new a"}, {"x", "a"}, {"c", "c"}, {"gone", "gone"}, {"s/d", "s/d"}}));
    ASSERT_TRUE(session.PlanUndo(undo));  // still journaled
    EXPECT_EQ(undo.refused, 2);
}

TEST_F(SessionTest, ABatchThatChangesNothingKeepsTheLastOneToUndo) {
    Open();
    int found;
    ASSERT_TRUE(session.ReadBack("x\nb\nc\ngone\ns/d\n", found));
    Stopper observer;
    testing::ApplyNow(session, session.Plan(false), false, observer);
    ASSERT_TRUE(session.ReadBack("a\nb\nc\ngone\ns/d\n", found));  // the list as it was first listed
    EXPECT_TRUE(testing::ApplyNow(session, session.Plan(false), false, observer).failures.empty());
    UndoPlan undo;
    ASSERT_TRUE(session.PlanUndo(undo));
    EXPECT_EQ(Summary(undo.rows), "1 rename");
}

TEST_F(SessionTest, AFileTheTrashCannotTakeIsKeptAndReported) {
    Open();
    int found;
    ASSERT_TRUE(session.ReadBack("a\nb\nc\n\ns/d\n", found));
    trash.FailTrashing(1);
    Stopper observer;
    const RunResult result = testing::ApplyNow(session, session.Plan(false), false, observer);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].from, "/r/gone");
    EXPECT_EQ(Below(), original);
}

TEST_F(SessionTest, OpenNamesThePathThatCannotBeListed) {
    files.FailListing("/r/s/");
    struct Row {
        std::vector<std::string> paths;
        bool folders;
        ListProblem::Kind kind;
        std::string path;
    };
    for (const Row& row : std::vector<Row>{
             {{"/r/a", "/nowhere"}, false, ListProblem::Kind::Missing, "/nowhere"},
             {{"/r/s"}, false, ListProblem::Kind::Unreadable, "/r/s"},
             {{"/r/a"}, true, ListProblem::Kind::NotAFolder, "/r/a"},
             {{"/r/a", "/r/b"}, false, ListProblem::Kind::None, ""},
         }) {
        ListRequest request = testing::Picking(row.paths);
        request.folders = row.folders;
        const ListProblem problem = session.Open(request);
        EXPECT_EQ(problem.kind, row.kind) << row.paths.back();
        EXPECT_EQ(problem.path, row.path);
    }
}

}  // namespace
}  // namespace quil
