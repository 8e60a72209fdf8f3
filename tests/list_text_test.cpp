// Building, checking and parsing the list text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/list_text.h"
#include "engine/printable.h"
#include "tests/fake_dialog.h"

namespace quil {
namespace {

using testing::FakeDialog;

BatchState StateWith(const std::string& root, const std::vector<std::string>& relative) {
    BatchState state;
    state.root = root;
    for (const std::string& path : relative) state.oldPaths[++state.count] = root + path;
    return state;
}

TEST(BuildListText, OneRelativePathPerLineWithoutATrailingBreak) {
    BatchState state = StateWith("C:\\r\\", {"a", "s\\b", "s\\t\\c"});
    BuildListText(state, kWindowsConventions);
    EXPECT_EQ(state.text, "a\r\ns\\b\r\ns\\t\\c");

    BatchState posix = StateWith("/r/", {"a", "s/b"});
    BuildListText(posix, kPosixConventions);
    EXPECT_EQ(posix.text, "a\ns/b");

    BatchState empty = StateWith("C:\\", {});
    BuildListText(empty, kWindowsConventions);
    EXPECT_EQ(empty.text, "");
}

TEST(ParseListText, FillsTargetsLineByLine) {
    struct Row {
        const char* name;
        std::string text;
        std::vector<std::string> targets;
    };
    const std::string r = "C:\\r\\";
    const Row rows[] = {
        {"unchanged", "a\r\ns\\b\r\ns\\t\\c", {r + "a", r + "s\\b", r + "s\\t\\c"}},
        {"empty line deletes", "a\r\n\r\nc", {r + "a", "", r + "c"}},
        {"blanks are a name", "a\r\n  \r\nc", {r + "a", r + "  ", r + "c"}},
        {"lone breaks are characters", "a\rx\r\nb\ny\r\nc", {r + "a\rx", r + "b\ny", r + "c"}},
        {"text after the last line is not read", "a\r\nb\r\nc\r\nd", {r + "a", r + "b", r + "c"}},
        {"a short text keeps the missing slots", "x\r\ny", {r + "x", r + "y", r + "s\\t\\c"}},
        {"a trailing break ends in an empty line", "x\r\ny\r\n", {r + "x", r + "y", ""}},
        {"a long line is taken whole", std::string(2000, 'n') + "\r\nb\r\nc", {r + std::string(2000, 'n'), r + "b", r + "c"}},
    };
    for (const Row& row : rows) {
        BatchState state = StateWith(r, {"a", "s\\b", "s\\t\\c"});
        state.text = row.text;
        ParseListText(state, kWindowsConventions);
        EXPECT_EQ(std::vector<std::string>(state.newPaths.begin() + 1, state.newPaths.begin() + 4), row.targets)
            << row.name;
        EXPECT_EQ(state.newPaths[0], "") << row.name;
    }
}

TEST(ParseListText, PosixLinesEndAtALineFeed) {
    BatchState state = StateWith("/r/", {"a", "b"});
    state.text = "x\r\ny";
    ParseListText(state, kPosixConventions);
    EXPECT_EQ(state.newPaths[1], "/r/x\r");
    EXPECT_EQ(state.newPaths[2], "/r/y");
}

// Only the lines between the first and the last changed byte are read
// again; the others keep what they held (marked here to show it), and the
// result is what a full parse gives.
TEST(ReparseChangedLines, ReadsAgainOnlyTheLinesThatChanged) {
    struct Row {
        const char* name;
        std::string before;
        std::string after;
        std::vector<int> reread;  // slots
    };
    const std::string big = "aaaaaaaaaa/" + std::string(5000, 'n');  // lines longer than a block compared at once
    const std::vector<Row> rows = {
        {"the same text", "a\nb\nc\nd", "a\nb\nc\nd", {}},
        {"the first line", "a\nb\nc\nd", "x\nb\nc\nd", {1}},
        {"the last line", "a\nb\nc\nd", "a\nb\nc\ndz", {4}},
        {"a line emptied", "a\nb\nc\nd", "a\n\nc\nd", {2}},
        {"two lines apart", "a\nb\nc\nd", "a\nB\nc\nD", {2, 3, 4}},
        {"a line's start", "a\nbb\nc\nd", "a\nxbb\nc\nd", {2}},
        {"long lines", big + "1\n" + big + "2\n" + big + "3\nd", big + "1\n" + big + "X\n" + big + "3\nd", {2}},
        {"a line break moved", "a\nb\nc\nd", "a\nbc\n\nd", {2, 3}},
        {"a line fewer: all read", "a\nb\nc\nd", "a\nb\nc", {1, 2, 3, 4}},
    };
    for (const Row& row : rows) {
        BatchState state = StateWith("/r/", {"a", "b", "c", "d"});
        state.text = row.before;
        ParseListText(state, kPosixConventions);
        for (int slot = 1; slot <= 4; ++slot) state.newPaths[slot] += "#";  // as parsed before
        state.text = row.after;
        ReparseChangedLines(state, row.before, kPosixConventions);
        BatchState full = StateWith("/r/", {"a", "b", "c", "d"});
        full.text = row.after;
        ParseListText(full, kPosixConventions);
        for (int slot = 1; slot <= 4; ++slot) {
            const bool reread = std::find(row.reread.begin(), row.reread.end(), slot) != row.reread.end();
            std::string expected = full.newPaths[slot];
            if (!reread) expected += "#";
            EXPECT_EQ(state.newPaths[slot], expected) << row.name << ", slot " << slot;
        }
    }
}

class CheckLineCountTest : public ::testing::Test {
protected:
    void SetUp() override {
        state = StateWith("C:\\r\\", {"a", "b", "c"});
        BuildListText(state, kWindowsConventions);
        box.SetText(state.text);
        box.onChange = [this] { CheckLineCount(state, box); };
    }
    BatchState state;
    FakeDialog box;
};

TEST_F(CheckLineCountTest, EditsThatChangeTheLineCountAreReverted) {
    for (const std::string& edit : {std::string("a\r\nb\r\nc\r\nd"),  // split
                                    std::string("ab\r\nc"),            // join
                                    std::string("b\r\nc"),             // a line deleted with its break
                                    std::string("a\r\nx\r\ny\r\nz\r\nc")}) {  // paste with more breaks
        box.Type(edit);
        EXPECT_EQ(box.text(), "a\r\nb\r\nc") << edit;
    }
    EXPECT_EQ(box.undos, 4);
}

TEST_F(CheckLineCountTest, EditsThatKeepTheCountStand) {
    box.Type("a\r\n\r\nc");
    EXPECT_EQ(box.text(), "a\r\n\r\nc");
    // A selection over one break replaced by text with one break.
    box.Type("a\r\nx\r\ny");
    EXPECT_EQ(box.text(), "a\r\nx\r\ny");
    EXPECT_EQ(box.undos, 0);
}

TEST_F(CheckLineCountTest, TheRevertCannotBeUndoneAgain) {
    box.Type("a\r\nb\r\nc\r\nd");
    box.UndoNames();  // the user's undo: the buffer was emptied
    EXPECT_EQ(box.text(), "a\r\nb\r\nc");
}

TEST(CheckLineCount, NoFilesMeansOneRevertAndNoLoop) {
    BatchState state;
    FakeDialog box;
    box.onChange = [&] { CheckLineCount(state, box); };
    box.Type("typed");  // the fake throws if the notifications recurse
    EXPECT_EQ(box.text(), "");
    EXPECT_EQ(box.undos, 1);
    EXPECT_FALSE(state.reverting);
}

// Names as the plan shows them: two different names never look alike.
TEST(Printable, NamesThatWouldLookLikeOthersAreEscapedOrQuoted) {
    struct Row {
        const char* name;
        const char* shown;
    };
    for (const Row& row : std::vector<Row>{
             {"plain name.txt", "plain name.txt"},
             {"\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC", "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC"},
             {" a", "' a'"},
             {"a ", "'a '"},
             {"tab\there", "tab\\x09here"},
             {"esc\x1B[31m", "esc\\x1B[31m"},
             {"caf\xE9", "caf\\xE9"},                          // Latin-1, not UTF-8
             {"over\xC0\xAFlong", "over\\xC0\\xAFlong"},        // an overlong "/"
             {"nb\xC2\xA0sp", "nb\\u{00A0}sp"},
             {"c1\xC2\x85", "c1\\u{0085}"},
             {"zero\xE2\x80\x8Bwidth", "zero\\u{200B}width"},
             {"\xEF\xBB\xBF" "bom", "\\u{FEFF}bom"},
             {"rtl\xE2\x80\xAEgpj.exe", "rtl\\u{202E}gpj.exe"},
             {"line\xE2\x80\xA8sep", "line\\u{2028}sep"},
         })
        EXPECT_EQ(Printable(row.name), row.shown) << row.name;
}

}  // namespace
}  // namespace quil
