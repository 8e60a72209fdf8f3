// Planning and running a batch against the fake file system, and the OK
// command through the fake dialog.
#include <gtest/gtest.h>

#include <algorithm>

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
        if (conventions.windowsNames) fixture.files.RewritePathsLikeWin32();
        const BatchPlan plan = fixture.Plan(row.lines);
        EXPECT_EQ(fixture.RefusedSlots(plan), row.refused) << row.name;
        EXPECT_TRUE(RunPlan(plan, fixture.files, nullptr).failures.empty()) << row.name;
        EXPECT_EQ(fixture.Tree(), row.after) << row.name;
    }
}

const std::string kLong(1100, 'n');

// letters CJK letters of 3 bytes and one UTF-16 unit each.
std::string Cjk(int letters) {
    std::string text;
    for (int i = 0; i < letters; ++i) text += "\xE6\x96\x87";
    return text;
}

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
            {"device names in every form", {"a", "b", "c", "d", "e", "f"},
             {"COM\xC2\xB9", "lpt\xC2\xB3.txt", "CONIN$", "conout$.log", "CON .txt", "com1.tar.gz"},
             {{"a", "a"}, {"b", "b"}, {"c", "c"}, {"d", "d"}, {"e", "e"}, {"f", "f"}}, {1, 2, 3, 4, 5, 6}},
            {"names that only look like devices", {"a", "b", "c"}, {"COM10", "CONSOLE", "NULL.txt"},
             {{"COM10", "a"}, {"CONSOLE", "b"}, {"NULL.txt", "c"}}, {}},
            // Win32 would reach "x" (here a folder with its tree) and "y".
            {"listed names that Win32 rewrites", {"x.", "y", "y ", "nul", "x\\keep", "z.\\f"},
             {"", "y", "w", "n", "x\\keep", "z.\\g"},
             {{"x\\keep", "x\\keep"}, {"x.", "x."}, {"y", "y"}, {"y ", "y "}, {"z.\\f", "z.\\f"}, {"nul", "nul"}},
             {1, 3, 4, 6}},
            {"a full path of 260 is too long, 259 fits", {"a", "b"},
             {"s\\" + std::string(253, 'n'), "s\\" + std::string(252, 'm')},
             {{"a", "a"}, {"s\\" + std::string(252, 'm'), "b"}}, {1}},
            {"a listed path of 260 cannot be reached", {"dd\\" + std::string(252, 'n')}, {"x"},
             {{"dd\\" + std::string(252, 'n'), "dd\\" + std::string(252, 'n')}}, {1}},
            // Windows counts UTF-16 units: 85 letters of 3 bytes fit a name
            // of 255, and a path of 259 units may hold 700 bytes.
            {"lengths in UTF-16 units", {"a", "b"}, {Cjk(85), "s\\" + Cjk(220) + "\\" + Cjk(29)},
             {{Cjk(85), "a"}, {"s\\" + Cjk(220) + "\\" + Cjk(29), "b"}}, {}},
            {"a name of 256 units is too long", {"a"}, {Cjk(256)}, {{"a", "a"}}, {1}},
            {"a slash is a separator", {"a.txt", "b.txt"}, {"sub/x.txt", "new/deeper/b.txt"},
             {{"sub\\x.txt", "a.txt"}, {"new\\deeper\\b.txt", "b.txt"}}, {}},
            {"case-only rename beyond ASCII", {"\xC3\xA9t\xC3\xA9.txt"}, {"\xC3\x89t\xC3\xA9.txt"},
             {{"\xC3\x89t\xC3\xA9.txt", "\xC3\xA9t\xC3\xA9.txt"}}, {}},
            {"targets differing in case beyond ASCII are one", {"a", "b"}, {"\xC3\x89mile.txt", "\xC3\xA9mile.txt"},
             {{"a", "a"}, {"b", "b"}}, {1, 2}},
            {"a target of the file itself is no change", {"a", "s\\b"}, {".\\a", "s\\..\\s\\b"},
             {{"a", "a"}, {"s\\b", "s\\b"}}, {}},
            {"a move into a folder named like a leaving file", {"z", "x"}, {"x\\z", "y"},
             {{"x\\z", "z"}, {"y", "x"}}, {}},
            {"a file's name becomes its folder", {"x"}, {"x\\x"}, {{"x\\x", "x"}}, {}},
            {"a folder through a file that stays", {"a", "x"}, {"x\\a", "x"}, {{"a", "a"}, {"x", "x"}}, {1}},
            {"a folder through a file that a refused line keeps", {"z", "x", "y"}, {"x\\z", "y", "y"},
             {{"z", "z"}, {"x", "x"}, {"y", "y"}}, {1, 2}},
            {"a name that another line needs as a folder", {"a", "b"}, {"m\\a", "m"}, {{"m\\a", "a"}, {"b", "b"}},
             {2}},
            {"a folder and a file trade names", {"x", "y\\f"}, {"y", "x\\f"}, {{"x", "x"}, {"y\\f", "y\\f"}}, {1, 2}},
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
            {"dot-dot through a folder that does not exist", {"a", "b"}, {"a", "m/../a"}, {{"a", "a"}, {"b", "b"}},
             {2}},
            {"a dot part is the same file", {"a"}, {"./a"}, {{"a", "a"}}, {}},
            {"a name part over 255 bytes", {"a"}, {std::string(256, 'n')}, {{"a", "a"}}, {1}},
            {"a swap of 250-byte names", {std::string(250, 'a'), std::string(250, 'b')},
             {std::string(250, 'b'), std::string(250, 'a')},
             {{std::string(250, 'a'), std::string(250, 'b')}, {std::string(250, 'b'), std::string(250, 'a')}}, {}},
            {"temporary names stay clear of folders the batch makes", {"a", "b", "c", "d"},
             {"b", "a", "a.quil-swap/z", "quil-swap-1/z"},
             {{"a", "b"}, {"b", "a"}, {"a.quil-swap\\z", "c"}, {"quil-swap-1\\z", "d"}}, {}},
        },
        kPosixConventions);
}

TEST(PlanBatch, ASeparatorByteInsideADoubleByteCharacterIsPartOfTheName) {
    // Shift-JIS: 0x95 0x5C is one character whose second byte is "\".
    Conventions shiftJis = kWindowsConventions;
    shiftJis.isLeadByte = [](unsigned char byte) { return byte >= 0x81 && byte <= 0x9F; };
    BatchFixture fixture(shiftJis, {"a", "b"});
    const BatchPlan plan = fixture.Plan({"\x95\x5C", "s\\\x95\x5C.txt"});
    EXPECT_TRUE(plan.refused.empty());
    ASSERT_EQ(plan.ops.size(), 3u);  // the folder s is made before the move into it
    EXPECT_EQ(plan.ops[0].to, fixture.Full("\x95\x5C"));
    EXPECT_EQ(plan.ops[1].kind, FileOp::Kind::MakeFolder);
    EXPECT_EQ(plan.ops[1].to, fixture.Full("s"));
}

TEST(PlanBatch, ACycleStepsAsideToAFreeTemporaryName) {
    BatchFixture fixture(kWindowsConventions, {"a", "b", "quil-swap-1"});
    const BatchPlan plan = fixture.Plan({"b", "a", "quil-swap-1"});
    ASSERT_EQ(plan.ops.size(), 3u);
    EXPECT_EQ(plan.ops[0].to, fixture.Full("quil-swap-2"));
    EXPECT_EQ(plan.ops[2].from, fixture.Full("quil-swap-2"));
}

TEST(PlanBatch, WhereAFolderFoldsCaseTargetsThatFoldToOneAreRefused) {
    // POSIX names, on a volume that ignores case (exFAT on a card): the
    // planner learns it from the folder, not from the platform's rule.
    BatchFixture fixture(kPosixConventions, {"a", "b", "c"});
    fixture.files.FoldCase();
    const BatchPlan plan = fixture.Plan({"X", "x", "C"});
    EXPECT_EQ(fixture.RefusedSlots(plan), (std::vector<int>{1, 2}));
    // The change of case goes through a temporary name, and is read back.
    ASSERT_EQ(plan.ops.size(), 2u);
    EXPECT_EQ(plan.ops[0].stage, FileOp::Stage::ToTemporary);
    EXPECT_TRUE(plan.ops[1].caseOnly);
    EXPECT_TRUE(RunPlan(plan, fixture.files, nullptr).failures.empty());
    EXPECT_EQ(fixture.Tree(), (Tree{{"a", "a"}, {"b", "b"}, {"C", "c"}}));
}

TEST(PlanBatch, ProgressGoesForwardAndAStopPlansNothing) {
    std::vector<std::string> files, lines;
    for (int i = 0; i < 9000; ++i) {
        files.push_back("f" + std::to_string(i));
        lines.push_back("g" + std::to_string(i));
    }
    BatchFixture fixture(kPosixConventions, files);
    fixture.state.text = fixture.Edited(lines);
    ParseListText(fixture.state, kPosixConventions);
    for (const int stopAt : {-1, 0, 5}) {
        std::vector<double> seen;
        PlanOptions options;
        options.progress = [&](double fraction) {
            seen.push_back(fraction);
            return static_cast<int>(seen.size()) != stopAt + 1;
        };
        const BatchPlan plan = PlanBatch(fixture.state, fixture.files, options);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << stopAt;
        if (stopAt < 0) {
            EXPECT_FALSE(plan.stopped);
            EXPECT_EQ(plan.ops.size(), files.size());
            EXPECT_GT(seen.size(), 6u);
            EXPECT_LE(seen.back(), 1.0);
        } else {
            EXPECT_TRUE(plan.stopped) << stopAt;
            EXPECT_TRUE(plan.ops.empty()) << stopAt;
            EXPECT_EQ(static_cast<int>(seen.size()), stopAt + 1);  // asked no more after it said stop
        }
    }
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
        const std::vector<OpFailure> failures = RunPlan(plan, fixture.files, nullptr).failures;
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

TEST(RunPlan, AFileThatSteppedAsideGoesBackWhenItsCycleCannotFinish) {
    // a -> b -> c -> a, with the move of c failing (held open elsewhere):
    // a's file waits under a temporary name, and a is free again.
    BatchFixture fixture(kWindowsConventions, {"a", "b", "c"});
    const BatchPlan plan = fixture.Plan({"b", "c", "a"});
    ASSERT_EQ(plan.ops.size(), 4u);
    ASSERT_EQ(plan.ops[1].from, fixture.Full("c"));
    fixture.files.FailOperation(2);
    const std::vector<OpFailure> failures = RunPlan(plan, fixture.files, nullptr).failures;
    EXPECT_EQ(fixture.Tree(), (Tree{{"a", "a"}, {"b", "b"}, {"c", "c"}}));
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_EQ(failures[2].from, fixture.Full("a"));
    EXPECT_EQ(failures[2].to, fixture.Full("b"));
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

// Cut in the middle, between whole letters: half of one has no form in a
// message box.
TEST(ExecuteBatch, ALongTargetIsShownCutBetweenWholeLetters) {
    struct Row {
        const char* name;
        std::string typed;
        std::string shown;
    };
    for (const Row& row : {Row{"ASCII", std::string(1100, 'n'), std::string(50, 'n') + "..." + std::string(50, 'n')},
                           Row{"CJK letters of three bytes", Cjk(400), Cjk(16) + "..." + Cjk(16)}}) {
        BatchFixture fixture(kWindowsConventions, {"a", "b", "c"});
        FakeDialog dialog;
        dialog.SetText(fixture.state.text);
        dialog.Type(fixture.Edited({row.typed, "b", "c"}));
        dialog.answers = {kAnswerYes, kAnswerNo};
        ExecuteBatch(fixture.state, dialog, fixture.files);
        ASSERT_EQ(dialog.questions.size(), 2u) << row.name;
        EXPECT_NE(dialog.questions[1].find("'a' to '" + row.shown + "': the path is too long"), std::string::npos)
            << row.name << ": " << dialog.questions[1];
    }
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
