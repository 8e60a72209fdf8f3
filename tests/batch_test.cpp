// Planning and running a batch against the fake file system, and the OK
// command through the fake dialog.
#include <gtest/gtest.h>

#include "tests/batch_support.h"
#include "tests/fake_dialog.h"

namespace quil {
namespace {

using testing::BatchFixture;
using testing::FakeDialog;
using Tree = std::map<std::string, std::string>;

struct Row {
    const char* name;
    std::vector<std::string> files;  // in listing order; content is the name
    std::vector<std::string> lines;  // the edited list text
    Tree after;
    std::vector<int> refused;
};

void RunRows(const std::vector<Row>& rows, const Conventions& conventions) {
    for (const Row& row : rows) {
        BatchFixture fixture(conventions, row.files);
        const BatchPlan plan = fixture.Plan(row.lines);
        EXPECT_EQ(fixture.RefusedSlots(plan), row.refused) << row.name;
        EXPECT_TRUE(RunPlan(plan, fixture.files, nullptr).empty()) << row.name;
        EXPECT_EQ(fixture.Tree(), row.after) << row.name;
    }
}

const std::string kLong(1100, 'n');

TEST(PlanBatch, WindowsRows) {
    RunRows(
        {
            {"unchanged lines are skipped", {"a", "b"}, {"a", "b"}, {{"a", "a"}, {"b", "b"}}, {}},
            {"case-only rename", {"a.txt"}, {"A.txt"}, {{"A.txt", "a.txt"}}, {}},
            {"an emptied line deletes", {"a", "b"}, {"", "b"}, {{"b", "b"}}, {}},
            {"move into a new folder", {"a.txt"}, {"new\\deeper\\a.txt"}, {{"new\\deeper\\a.txt", "a.txt"}}, {}},
            {"move out of a folder", {"s\\a.txt"}, {"a.txt"}, {{"a.txt", "s\\a.txt"}}, {}},
            {"swap", {"a", "b"}, {"b", "a"}, {{"a", "b"}, {"b", "a"}}, {}},
            {"swap by case only", {"a", "B"}, {"b", "A"}, {{"A", "B"}, {"b", "a"}}, {}},
            {"three-cycle", {"a", "b", "c"}, {"b", "c", "a"}, {{"a", "c"}, {"b", "a"}, {"c", "b"}}, {}},
            {"chain runs back to front", {"a", "b"}, {"b", "c"}, {{"b", "a"}, {"c", "b"}}, {}},
            {"cycle listed from its middle", {"x", "a", "b"}, {"a", "b", "x"}, {{"a", "x"}, {"b", "a"}, {"x", "b"}}, {}},
            {"two lines to one target", {"a", "b", "c"}, {"x", "x", "c"}, {{"a", "a"}, {"b", "b"}, {"c", "c"}}, {1, 2}},
            {"targets differing in case are one", {"a", "b"}, {"X", "x"}, {{"a", "a"}, {"b", "b"}}, {1, 2}},
            {"target exists outside the batch", {"a", "c"}, {"c", "c"}, {{"a", "a"}, {"c", "c"}}, {1}},
            {"target is a folder", {"a", "s\\b"}, {"s", "s\\b"}, {{"a", "a"}, {"s\\b", "s\\b"}}, {1}},
            {"target freed by a delete", {"a", "b"}, {"b", ""}, {{"b", "a"}}, {}},
            {"a refusal blocks the chain behind it", {"a", "b", "c"}, {"b", "c", "c"},
             {{"a", "a"}, {"b", "b"}, {"c", "c"}}, {1, 2}},
            {"too long", {"a", "b"}, {kLong, "c"}, {{"a", "a"}, {"c", "b"}}, {1}},
            {"wildcards", {"a", "b"}, {"a*b", "b?"}, {{"a", "a"}, {"b", "b"}}, {1, 2}},
            {"empty name parts", {"a", "b", "c"}, {"\\a", "x\\\\b", "c\\"}, {{"a", "a"}, {"b", "b"}, {"c", "c"}},
             {1, 2, 3}},
            {"names Win32 would change", {"a", "b", "c"}, {"a.", "b ", "con.txt"}, {{"a", "a"}, {"b", "b"}, {"c", "c"}},
             {1, 2, 3}},
            {"a stream name", {"a"}, {"a:evil"}, {{"a", "a"}}, {1}},
            {"dot parts name the same target", {"a", "b"}, {"s\\..\\x", "x"}, {{"a", "a"}, {"b", "b"}}, {1, 2}},
            {"blanks are a name", {"a"}, {"  x"}, {{"  x", "a"}}, {}},
        },
        kWindowsConventions);
}

TEST(PlanBatch, PosixRows) {
    RunRows(
        {
            {"case differs: two files", {"a", "A"}, {"A", "A"}, {{"a", "a"}, {"A", "A"}}, {1}},
            {"case swap", {"a", "A"}, {"A", "a"}, {{"a", "A"}, {"A", "a"}}, {}},
            {"backslash is a name character", {"a"}, {"x\\y"}, {{"x\\y", "a"}}, {}},
            {"no Win32 name rules", {"a"}, {"a:b?"}, {{"a:b?", "a"}}, {}},
        },
        kPosixConventions);
}

TEST(PlanBatch, ACycleStepsAsideToAFreeTemporaryName) {
    BatchFixture fixture(kWindowsConventions, {"a", "b", "a.quil-swap"});
    const BatchPlan plan = fixture.Plan({"b", "a", "a.quil-swap"});
    ASSERT_EQ(plan.ops.size(), 3u);
    EXPECT_EQ(plan.ops[0].to, fixture.Full("a.quil-swap-2"));
    EXPECT_EQ(plan.ops[2].from, fixture.Full("a.quil-swap-2"));
}

TEST(RunPlan, ACollisionThePlanCannotSeeReplacesNothing) {
    // The plan compares these targets by their bytes, the volume without
    // case: the second move finds the name taken and fails.
    BatchFixture fixture(kPosixConventions, {"a", "b"});
    fixture.files.FoldCase();
    const BatchPlan plan = fixture.Plan({"X", "x"});
    EXPECT_TRUE(plan.refused.empty());
    const std::vector<OpFailure> failures = RunPlan(plan, fixture.files, nullptr);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].from, fixture.Full("b"));
    EXPECT_EQ(fixture.Tree(), (Tree{{"X", "a"}, {"b", "b"}}));
}

TEST(RunPlan, AFailedStepLosesNoFileAndIsReported) {
    // Every operation of a three-cycle, a chain and a delete, failed in turn.
    const std::vector<std::string> files = {"a", "b", "c", "x", "y", "gone"};
    const std::vector<std::string> lines = {"b", "c", "a", "y", "z", ""};
    for (int failing = 1; failing <= 7; ++failing) {
        BatchFixture fixture(kWindowsConventions, files);
        const BatchPlan plan = fixture.Plan(lines);
        ASSERT_EQ(plan.ops.size(), 7u);
        fixture.files.FailOperation(failing);
        const std::vector<OpFailure> failures = RunPlan(plan, fixture.files, nullptr);
        ASSERT_FALSE(failures.empty()) << failing;

        std::map<std::string, int> contents;
        for (const auto& [path, content] : fixture.Tree()) ++contents[content];
        for (const char* file : {"a", "b", "c", "x", "y"}) EXPECT_EQ(contents[file], 1) << failing << file;

        // A file left under its temporary name is named in the report.
        for (const auto& [path, content] : fixture.Tree()) {
            if (path.find(".quil-swap") == std::string::npos) continue;
            bool named = false;
            for (const OpFailure& failure : failures) named |= failure.from == fixture.Full(path);
            EXPECT_TRUE(named) << failing;
        }
    }
}

class ExecuteBatchTest : public ::testing::Test {
protected:
    BatchFixture fixture{kWindowsConventions, {"a", "b", "c"}};
    FakeDialog dialog;

    void SetUp() override { dialog.SetText(fixture.state.text); }
    void Execute() { ExecuteBatch(fixture.state, dialog, fixture.files); }
    Tree Untouched() const { return {{"a", "a"}, {"b", "b"}, {"c", "c"}}; }
};

TEST_F(ExecuteBatchTest, NothingToDoClosesWithoutAsking) {
    Execute();
    EXPECT_TRUE(dialog.closed);
    EXPECT_TRUE(dialog.questions.empty());
    EXPECT_EQ(fixture.files.operations(), 0);
}

TEST_F(ExecuteBatchTest, NoKeepsTheTextAndTheFiles) {
    dialog.Type(fixture.Edited({"x", "", "c"}));
    dialog.answers = {kAnswerNo};
    Execute();
    EXPECT_FALSE(dialog.closed);
    EXPECT_EQ(dialog.focused, 1);
    EXPECT_EQ(dialog.questions, std::vector<std::string>{"Are you sure?"});
    EXPECT_EQ(dialog.text(), fixture.Edited({"x", "", "c"}));
    EXPECT_EQ(fixture.Tree(), Untouched());
}

TEST_F(ExecuteBatchTest, YesAppliesAndCloses) {
    dialog.Type(fixture.Edited({"new\\x", "", "c"}));
    Execute();
    EXPECT_TRUE(dialog.closed);
    EXPECT_TRUE(dialog.told.empty());
    EXPECT_EQ(fixture.Tree(), (Tree{{"new\\x", "a"}, {"c", "c"}}));
}

TEST_F(ExecuteBatchTest, AReplaceThatChangedNothingStillAsks) {
    fixture.state.replaced = 1;
    Execute();
    EXPECT_EQ(dialog.questions.size(), 1u);
    EXPECT_TRUE(dialog.closed);
    EXPECT_EQ(fixture.files.operations(), 0);
}

TEST_F(ExecuteBatchTest, RefusedLinesAreListedAndNoKeepsEverything) {
    dialog.Type(fixture.Edited({"c", "b2", "c"}));
    dialog.answers = {kAnswerYes, kAnswerNo};
    Execute();
    ASSERT_EQ(dialog.questions.size(), 2u);
    EXPECT_NE(dialog.questions[1].find("'a' to 'c': a file with that name exists"), std::string::npos);
    EXPECT_FALSE(dialog.closed);
    EXPECT_EQ(dialog.text(), fixture.Edited({"c", "b2", "c"}));
    EXPECT_EQ(fixture.Tree(), Untouched());
}

TEST_F(ExecuteBatchTest, RefusedLinesAndYesAppliesTheRest) {
    dialog.Type(fixture.Edited({"c", "b2", "c"}));
    Execute();
    EXPECT_TRUE(dialog.closed);
    EXPECT_EQ(fixture.Tree(), (Tree{{"a", "a"}, {"b2", "b"}, {"c", "c"}}));
}

TEST_F(ExecuteBatchTest, ALongTargetIsShownCut) {
    dialog.Type(fixture.Edited({std::string(1100, 'n'), "b", "c"}));
    dialog.answers = {kAnswerYes, kAnswerNo};
    Execute();
    ASSERT_EQ(dialog.questions.size(), 2u);
    EXPECT_NE(dialog.questions[1].find("'a' to '" + std::string(50, 'n') + "..." + std::string(50, 'n') + "': the path is too long"),
              std::string::npos);
}

TEST_F(ExecuteBatchTest, ALongRefusalListIsCut) {
    BatchFixture many(kWindowsConventions, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "t"});
    dialog.SetText(many.state.text);
    dialog.Type(many.Edited({"t", "t", "t", "t", "t", "t", "t", "t", "t", "t", "t", "t", "t"}));
    dialog.answers = {kAnswerYes, kAnswerNo};
    ExecuteBatch(many.state, dialog, many.files);
    EXPECT_NE(dialog.questions[1].find("and 2 more"), std::string::npos);
}

TEST_F(ExecuteBatchTest, FailuresAreReportedBeforeClosing) {
    dialog.Type(fixture.Edited({"x", "y", "c"}));
    fixture.files.FailOperation(1);
    Execute();
    ASSERT_EQ(dialog.told.size(), 1u);
    EXPECT_EQ(dialog.told[0].rfind("Error renaming\n\n'" + fixture.Full("a") + "'\n\nto\n\n'" + fixture.Full("x") + "'", 0),
              0u);
    EXPECT_TRUE(dialog.closed);
    EXPECT_EQ(fixture.Tree(), (Tree{{"a", "a"}, {"y", "b"}, {"c", "c"}}));
}

}  // namespace
}  // namespace quil
