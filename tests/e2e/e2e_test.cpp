// quil.exe end to end: started in a temporary folder and driven through its
// dialog with window messages and keystrokes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "res/resource.h"
#include "tests/e2e/dialog_driver.h"
#include "tests/platform_helpers.h"

namespace quil::e2e {
namespace {

namespace fs = std::filesystem;

const char kHelpText[] =
    "Edit the names in the text window to rename.\n\nAdd or remove backslashes at the appropriate location to\n"
    "move files in and out of subdirectories.\n\nLeave the first field empty to add the second field to the\n"
    "beginning of all filenames.\n\nLeave a line empty to delete a file.\n\nPress enter on a line to execute that "
    "file.\n";

// ctest hands over the build tree's Unix path; Wine maps / to drive Z:.
std::string BuiltProgram() {
    std::string path = std::getenv("QUIL_EXE") ? std::getenv("QUIL_EXE") : "quil.exe";
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& ch : path)
        if (ch == '/') ch = '\\';
    return path;
}

// A copy of the program whose manifest asks for the code page "UTF-0":
// Windows and Wine ignore a value they do not know, as Windows before 10
// 1903 ignores "UTF-8", and the process keeps the system's legacy code page
// (1252 here). Empty where the manifest asks for no UTF-8 to begin with.
std::string LegacyCodePageCopy(const std::string& program) {
    std::ifstream in(program, std::ios::binary);
    std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string asked = ">UTF-8</activeCodePage>";
    const std::size_t at = image.find(asked);
    if (at == std::string::npos) return {};
    image.replace(at, asked.size(), ">UTF-0</activeCodePage>");
    const fs::path copy =
        fs::temp_directory_path() / ("quil-legacy-code-page-" + std::to_string(GetCurrentProcessId()) + ".exe");
    std::ofstream(copy, std::ios::binary) << image;
    return copy.string();
}

// The program under test: the build's, or with QUIL_CODE_PAGE=legacy its
// copy that runs under the legacy code page. Set by main.
std::string programPath;

std::string ProgramPath() { return programPath; }

// letters CJK letters: three bytes of UTF-8 and one UTF-16 unit each.
std::string Cjk(int letters) {
    std::string text;
    for (int i = 0; i < letters; ++i) text += "\xE6\x96\x87";  // U+6587
    return text;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("quil-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        program_.reset();
        testing::RemoveTree(folder_.u8string());
    }

    // Relative paths in UTF-8.
    void Write(const std::string& relative, const std::string& content = "") {
        fs::path path = folder_ / fs::u8path(relative);
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    std::string Read(const std::string& relative) {
        std::ifstream in(folder_ / fs::u8path(relative), std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }
    bool Exists(const std::string& relative) { return fs::exists(folder_ / fs::u8path(relative)); }
    // Names that Win32 would rewrite, and paths past MAX_PATH.
    std::string Raw(const std::string& relative) const { return folder_.u8string() + "\\" + relative; }

    Program& Start() {
        program_ = std::make_unique<Program>(ProgramPath(), folder_.string());
        EXPECT_TRUE(program_->Started()) << ProgramPath();
        return *program_;
    }

    // OK, then Yes to the question; the program then ends.
    void RunBatch(Program& program) {
        program.Click(IDC_EXECUTE);
        HWND question = program.WaitForBox("Execute renaming batch");
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(Program::BoxText(question), "Are you sure?");
        ASSERT_TRUE(Program::Answer(question, IDYES));
        EXPECT_TRUE(program.WaitForExit());
    }

    fs::path folder_;
    std::unique_ptr<Program> program_;
};

TEST_F(EndToEnd, ListsTheTreeBreadthFirstAndShowsTheBanner) {
    Write("s\\t\\c.txt");
    Write("s\\b.txt");
    Write("a.txt");
    Program& program = Start();
    EXPECT_EQ(program.Text(IDC_NAMES), "a.txt\r\ns\\b.txt\r\ns\\t\\c.txt");
    EXPECT_EQ(program.Text(IDC_BANNER).rfind("Quillane v3.03", 0), 0u) << program.Text(IDC_BANNER);
    // Without edits, the close box (like Cancel) closes at once.
    program.Close();
    EXPECT_TRUE(program.WaitForExit());
}

TEST_F(EndToEnd, HelpShowsItsText) {
    Write("a.txt");
    Program& program = Start();
    program.Click(IDC_HELP_BUTTON);
    HWND help = program.WaitForBox("Quillane");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(Program::BoxText(help), kHelpText);
    EXPECT_FALSE(program.HasBox("About quil"));
    ASSERT_TRUE(Program::Answer(help, IDOK));
}

TEST_F(EndToEnd, TheAboutBoxOpensFromItsSystemMenuItem) {
    Program& program = Start();
    EXPECT_FALSE(program.HasBox("About quil"));
    program.ChooseLastSystemMenuItem();
    HWND about = program.WaitForBox("About quil");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(about, IDOK)), "OK");
    ASSERT_TRUE(Program::Answer(about, IDOK));
    EXPECT_FALSE(program.WaitForExit(200));
}

TEST_F(EndToEnd, EditsThatChangeTheLineCountAreReverted) {
    Write("a.txt");
    Write("b.txt");
    Program& program = Start();
    const std::string listed = program.Text(IDC_NAMES);
    ASSERT_TRUE(program.ReplaceNames(1, 1, "\r\n"));  // split
    EXPECT_EQ(program.Text(IDC_NAMES), listed);
    ASSERT_TRUE(program.ReplaceNames(5, 7, ""));  // join
    EXPECT_EQ(program.Text(IDC_NAMES), listed);
    ASSERT_TRUE(program.ReplaceNames(0, 1, "z"));  // stands
    EXPECT_EQ(program.Text(IDC_NAMES), "z.txt\r\nb.txt");

    // Edited: Cancel asks; No keeps the dialog and the edit.
    program.Click(IDCANCEL);
    HWND question = program.WaitForBox("Cancel = Lose Changes");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(Program::BoxText(question), "Are you sure?");
    ASSERT_TRUE(Program::Answer(question, IDNO));
    EXPECT_FALSE(program.WaitForExit(200));
    EXPECT_EQ(program.Text(IDC_NAMES), "z.txt\r\nb.txt");
    program.Click(IDCANCEL);
    ASSERT_TRUE(Program::Answer(program.WaitForBox("Cancel = Lose Changes"), IDYES));
    EXPECT_TRUE(program.WaitForExit());
    EXPECT_TRUE(Exists("a.txt"));
}

TEST_F(EndToEnd, RenameMoveAndDeleteAfterYes) {
    Write("a.txt", "a");
    Write("b.txt", "b");
    Write("c.txt", "c");
    Program& program = Start();
    ASSERT_EQ(program.Text(IDC_NAMES), "a.txt\r\nb.txt\r\nc.txt");
    ASSERT_TRUE(program.ReplaceNames(0, -1, "renamed.txt\r\nnew\\deeper\\b.txt\r\n"));
    RunBatch(program);
    EXPECT_EQ(Read("renamed.txt"), "a");
    EXPECT_EQ(Read("new\\deeper\\b.txt"), "b");
    EXPECT_FALSE(Exists("a.txt"));
    EXPECT_FALSE(Exists("b.txt"));
    EXPECT_FALSE(Exists("c.txt"));
}

TEST_F(EndToEnd, NoToTheQuestionKeepsEverything) {
    Write("a.txt", "a");
    Program& program = Start();
    ASSERT_TRUE(program.ReplaceNames(0, -1, "x.txt"));
    program.Click(IDC_EXECUTE);
    HWND question = program.WaitForBox("Execute renaming batch");
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(Program::Answer(question, IDNO));
    EXPECT_FALSE(program.WaitForExit(200));
    EXPECT_EQ(program.Text(IDC_NAMES), "x.txt");
    EXPECT_EQ(Read("a.txt"), "a");
    EXPECT_FALSE(Exists("x.txt"));
}

TEST_F(EndToEnd, ReplaceThenCancelClosesWithoutAsking) {
    Write("a.txt");
    Program& program = Start();
    ASSERT_TRUE(program.ReplaceNames(0, 1, "q"));
    program.SetText(IDC_FIND, "txt");
    program.SetText(IDC_WITH, "doc");
    program.Click(IDC_REPLACE);
    program.Click(IDCANCEL);
    EXPECT_TRUE(program.WaitForExit());
    EXPECT_TRUE(Exists("a.txt"));
}

TEST_F(EndToEnd, EscapeAsksOnlyAfterAnEdit) {
    Write("a.txt");
    Program& program = Start();
    program.Type(0, "z");
    for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs && program.Text(IDC_NAMES) != "za.txt";)
        Sleep(20);
    program.PressKey(VK_ESCAPE, IDC_NAMES);
    HWND question = program.WaitForBox("Cancel = Lose Changes");
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(Program::Answer(question, IDNO));
    EXPECT_FALSE(program.WaitForExit(200));
    EXPECT_EQ(program.Text(IDC_NAMES), "za.txt");
    // After a Replace the box counts as unedited: Escape closes at once.
    program.SetText(IDC_FIND, "txt");
    program.SetText(IDC_WITH, "doc");
    program.Click(IDC_REPLACE);
    program.PressKey(VK_ESCAPE, IDC_NAMES);
    EXPECT_TRUE(program.WaitForExit());
    EXPECT_TRUE(Exists("a.txt"));
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return lines;
        start = end + 2;
    }
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i == 0 ? "" : "\r\n") + lines[i];
    return text;
}

// OK and Yes, then the box that lists the refused lines.
HWND AskAndRefuse(Program& program) {
    program.Click(IDC_EXECUTE);
    if (!Program::Answer(program.WaitForBox("Execute renaming batch"), IDYES)) return nullptr;
    return program.WaitForBox("Execute renaming batch");
}

// Win32 strips the trailing dot or space: "x." would reach the folder x and
// its tree, "y " the file y.
TEST_F(EndToEnd, ListedNamesThatWin32RewritesAreRefusedAndKept) {
    Write("x\\keep.txt", "keep");
    Write("y", "y");
    testing::WriteRaw(Raw("x."), "dot");
    testing::WriteRaw(Raw("y "), "space");
    Program& program = Start();
    std::vector<std::string> lines = Lines(program.Text(IDC_NAMES));
    ASSERT_EQ(lines.size(), 4u) << program.Text(IDC_NAMES);
    for (std::string& line : lines) {
        if (line == "x.") line = "";
        if (line == "y ") line = "z";
    }
    ASSERT_TRUE(program.ReplaceNames(0, -1, Joined(lines)));
    HWND refusal = AskAndRefuse(program);
    ASSERT_NE(refusal, nullptr);
    const std::string text = Program::BoxText(refusal);
    EXPECT_NE(text.find("'x.' to '': Windows cannot reach this file by its name"), std::string::npos) << text;
    EXPECT_NE(text.find("'y ' to 'z': Windows cannot reach this file by its name"), std::string::npos) << text;
    ASSERT_TRUE(Program::Answer(refusal, IDYES));
    EXPECT_TRUE(program.WaitForExit());
    EXPECT_EQ(Read("x\\keep.txt"), "keep");
    EXPECT_EQ(Read("y"), "y");
    EXPECT_TRUE(testing::ExistsRaw(Raw("x.")));
    EXPECT_TRUE(testing::ExistsRaw(Raw("y ")));
    EXPECT_FALSE(Exists("z"));
}

// The ANSI calls do not see a file past MAX_PATH that the file operation
// would replace.
TEST_F(EndToEnd, AMoveOntoAPathPastMaxPathIsRefused) {
    Write("a.txt", "a");
    const std::string longName(250, 'l');
    ASSERT_GE(Raw(longName).size(), 260u);
    testing::WriteRaw(Raw(longName), "long");
    Program& program = Start();
    std::vector<std::string> lines = Lines(program.Text(IDC_NAMES));
    ASSERT_EQ(lines.size(), 2u);
    for (std::string& line : lines)
        if (line == "a.txt") line = longName;
    ASSERT_TRUE(program.ReplaceNames(0, -1, Joined(lines)));
    HWND refusal = AskAndRefuse(program);
    ASSERT_NE(refusal, nullptr);
    EXPECT_NE(Program::BoxText(refusal).find("': the path is too long"), std::string::npos) << Program::BoxText(refusal);
    ASSERT_TRUE(Program::Answer(refusal, IDNO));
    EXPECT_FALSE(program.WaitForExit(200));
    program.Click(IDCANCEL);
    ASSERT_TRUE(Program::Answer(program.WaitForBox("Cancel = Lose Changes"), IDYES));
    EXPECT_TRUE(program.WaitForExit());
    EXPECT_EQ(Read("a.txt"), "a");
    EXPECT_TRUE(testing::ExistsRaw(Raw(longName)));
}

// Lengths count as Windows counts them, in UTF-16 units: folders and names
// of CJK letters (3 bytes, 1 unit each) that a count of UTF-8 bytes would
// refuse, on the test bed's own drive Q: (a root as short as a path gets).
// Under Wine every name is a Unix name, of 255 bytes at most (85 such
// letters; Wine cuts a longer one short when it renames, and says it
// succeeded), so a root of 248 letters is three folders here, and a long
// name 80 letters; Windows takes names of 255 units.
TEST_F(EndToEnd, PathsCountInUtf16UnitsAsWindowsCountsThem) {
    ASSERT_TRUE(fs::exists("Q:\\")) << "the Wine test bed has no drive Q:";
    auto cjk = Cjk;
    auto fresh = [](const std::string& root, const std::vector<std::string>& files) {
        for (const std::string& file : files) {
            const fs::path path = fs::u8path(root + "\\" + file);
            fs::create_directories(path.parent_path());
            std::ofstream(path, std::ios::binary) << file;
        }
    };
    auto exists = [](const std::string& path) { return fs::exists(fs::u8path(path)); };

    // A folder of 85 letters: 255 bytes, 85 units.
    std::string root = "Q:\\" + cjk(85);
    fresh(root, {"a.txt", "b.txt"});
    {
        Program program(ProgramPath(), root);
        ASSERT_TRUE(program.Started());
        ASSERT_EQ(program.Text(IDC_NAMES), "a.txt\r\nb.txt");
        ASSERT_TRUE(program.ReplaceNames(0, -1, cjk(80) + ".txt\r\nsub\\b.txt"));
        RunBatch(program);
    }
    EXPECT_TRUE(exists(root + "\\" + cjk(80) + ".txt"));
    EXPECT_TRUE(exists(root + "\\sub\\b.txt"));
    testing::RemoveTree(root);

    // 248 letters in three folders: the root with its backslash takes 254
    // of the 259 units a path may have; 259 go, 260 are refused.
    root = "Q:\\" + cjk(83) + "\\" + cjk(83) + "\\" + cjk(82);
    fresh(root, {"a.txt", "b.txt"});
    {
        Program program(ProgramPath(), root);
        ASSERT_TRUE(program.Started());
        ASSERT_EQ(program.Text(IDC_NAMES), "a.txt\r\nb.txt");
        ASSERT_TRUE(program.ReplaceNames(0, -1, "c.txt\r\nab.txt"));
        HWND refusal = AskAndRefuse(program);
        ASSERT_NE(refusal, nullptr);
        EXPECT_NE(Program::BoxText(refusal).find("'b.txt' to 'ab.txt': the path is too long"), std::string::npos)
            << Program::BoxText(refusal);
        ASSERT_TRUE(Program::Answer(refusal, IDYES));
        EXPECT_TRUE(program.WaitForExit());
    }
    EXPECT_TRUE(exists(root + "\\c.txt"));
    EXPECT_TRUE(exists(root + "\\b.txt"));
    testing::RemoveTree("Q:\\" + cjk(83));

    // A long name, listed, renamed and moved.
    root = "Q:\\x";
    fresh(root, {cjk(80) + ".txt"});
    {
        Program program(ProgramPath(), root);
        ASSERT_TRUE(program.Started());
        ASSERT_EQ(program.Text(IDC_NAMES), cjk(80) + ".txt");
        ASSERT_TRUE(program.ReplaceNames(0, -1, "sub\\" + cjk(79) + "X.txt"));
        RunBatch(program);
    }
    EXPECT_TRUE(exists(root + "\\sub\\" + cjk(79) + "X.txt"));
    EXPECT_FALSE(exists(root + "\\" + cjk(80) + ".txt"));
    testing::RemoveTree(root);
}

TEST_F(EndToEnd, ReplacingTheBackslashMovesAFileOutOfItsFolder) {
    Write("s\\b.txt", "b");
    Program& program = Start();
    program.SetText(IDC_FIND, "\\");
    program.SetText(IDC_WITH, "_");
    program.Click(IDC_REPLACE);
    RunBatch(program);
    EXPECT_EQ(Read("s_b.txt"), "b");
    EXPECT_FALSE(Exists("s\\b.txt"));
    EXPECT_TRUE(fs::is_directory(folder_ / "s"));
}

TEST_F(EndToEnd, ASwapExchangesContents) {
    Write("a.txt", "first");
    Write("b.txt", "second");
    Program& program = Start();
    ASSERT_EQ(program.Text(IDC_NAMES), "a.txt\r\nb.txt");
    ASSERT_TRUE(program.ReplaceNames(0, -1, "b.txt\r\na.txt"));
    RunBatch(program);
    EXPECT_EQ(Read("a.txt"), "second");
    EXPECT_EQ(Read("b.txt"), "first");
}

TEST_F(EndToEnd, AFailedDeleteIsReportedAndTheFileKept) {
    // The file operation refuses to delete a read-only file.
    Write("locked.txt", "keep");
    Write("other.txt", "o");
    SetFileAttributesA((folder_ / "locked.txt").string().c_str(), FILE_ATTRIBUTE_READONLY);
    Program& program = Start();
    ASSERT_EQ(program.Text(IDC_NAMES), "locked.txt\r\nother.txt");
    ASSERT_TRUE(program.ReplaceNames(0, -1, "\r\nrenamed.txt"));
    program.Click(IDC_EXECUTE);
    ASSERT_TRUE(Program::Answer(program.WaitForBox("Execute renaming batch"), IDYES));
    HWND report = program.WaitForBox("Execute renaming batch");
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(Program::BoxText(report).rfind("Error renaming\n\n'", 0), 0u) << Program::BoxText(report);
    EXPECT_NE(Program::BoxText(report).find("locked.txt'\n\nto\n\n''"), std::string::npos);
    ASSERT_TRUE(Program::Answer(report, IDOK));
    EXPECT_TRUE(program.WaitForExit());
    EXPECT_EQ(Read("locked.txt"), "keep");
    EXPECT_EQ(Read("renamed.txt"), "o");
    SetFileAttributesA((folder_ / "locked.txt").string().c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(EndToEnd, AnEmptyFolderShowsAnEmptyBoxThatStaysEmpty) {
    Program& program = Start();
    EXPECT_EQ(program.Text(IDC_NAMES), "");
    ASSERT_TRUE(program.ReplaceNames(0, 0, "typed"));
    EXPECT_EQ(program.Text(IDC_NAMES), "");
    // Whether the box still counts as edited after the revert is the
    // platform's (Wine: it does); either way Cancel ends the program.
    program.Click(IDCANCEL);
    for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs && !program.WaitForExit(20);) {
        if (program.HasBox("Cancel = Lose Changes"))
            Program::Answer(program.WaitForBox("Cancel = Lose Changes"), IDYES);
    }
    EXPECT_TRUE(program.WaitForExit(0));
}

TEST_F(EndToEnd, TenThousandFilesListTheFirst9999AndSaySo) {
    // Also the list in which typing must still work: past the edit
    // control's default text limit.
    for (int folder = 0; folder < 99; ++folder)
        for (int file = 0; file < 102 && folder * 102 + file < 10000; ++file)
            Write("folder" + std::to_string(folder) + "\\file" + std::to_string(file) + ".dat");
    Program& program = Start();
    std::cout << "[ time to ready ] " << program.millisecondsToReady() << " ms for 9999 files" << std::endl;
    HWND report = program.WaitForBox("Quillane");
    ASSERT_NE(report, nullptr);
    EXPECT_NE(Program::BoxText(report).find("Only the first 9999 files"), std::string::npos);
    ASSERT_TRUE(Program::Answer(report, IDOK));

    std::string text = program.Text(IDC_NAMES);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 9998);
    ASSERT_EQ(text.rfind("folder", 0), 0u);
    program.Type(0, "xy");
    for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(20)) {
        text = program.Text(IDC_NAMES);
        if (text.rfind("xy", 0) == 0) break;
    }
    EXPECT_EQ(text.rfind("xyfolder", 0), 0u) << text.substr(0, 40);
}

TEST_F(EndToEnd, NamesOutsideTheLegacyCodePagesAreListedAndRenamed) {
    const std::string cafe = "caf\xC3\xA9.txt", japan = "\xE6\x97\xA5\xE6\x9C\xAC.txt";  // café, 日本
    const std::string summer = "\xC3\xA9t\xC3\xA9.txt", tokyo = "\xE6\x9D\xB1\xE4\xBA\xAC.txt";  // été, 東京
    Write(cafe, "c");
    Write(japan, "j");
    Program& program = Start();
    std::vector<std::string> lines = Lines(program.Text(IDC_NAMES));
    std::sort(lines.begin(), lines.end());
    ASSERT_EQ(lines, (std::vector<std::string>{cafe, japan}));
    std::string edited = program.Text(IDC_NAMES);
    edited.replace(edited.find(cafe), cafe.size(), summer);
    edited.replace(edited.find(japan), japan.size(), tokyo);
    ASSERT_TRUE(program.ReplaceNames(0, -1, edited));
    RunBatch(program);
    EXPECT_EQ(Read(summer), "c");
    EXPECT_EQ(Read(tokyo), "j");
    EXPECT_FALSE(Exists(cafe));
    EXPECT_FALSE(Exists(japan));
}

// What is typed is what is applied: a legacy code page (1252) has only best
// fits for Ł and α, a real backslash for the full-width one, and "?" for
// 日本, which GetWindowTextA would hand over without a word.
TEST_F(EndToEnd, TypedNamesAreAppliedExactlyAndARefusalQuotesThemAsTyped) {
    struct Row {
        const char* name;
        std::string typed;
        bool refused;
    };
    const std::vector<Row> rows = {
        {"letters 1252 has best fits for", "\xC5\x81\xC3\xB3\x64\xC5\xBA.txt", false},  // Łódź.txt
        {"Greek", "\xCE\xB1\xCE\xB2.txt", false},                                       // αβ.txt
        {"a full-width backslash, no separator", "\xEF\xBD\x81\xEF\xBC\xBC\xEF\xBD\x82.txt", false},  // ａ＼ｂ.txt
        {"CJK", "\xE6\x97\xA5\xE6\x9C\xAC.txt", false},                                 // 日本.txt
        {"a refused name", "\xCE\xB1|\xE6\x97\xA5.txt", true},                           // α|日.txt
    };
    for (std::size_t i = 0; i < rows.size(); ++i) Write(std::to_string(i + 1) + ".txt", std::to_string(i + 1));
    Program& program = Start();
    ASSERT_EQ(Lines(program.Text(IDC_NAMES)).size(), rows.size()) << program.Text(IDC_NAMES);
    for (std::size_t i = 0; i < rows.size(); ++i)
        ASSERT_TRUE(program.TypeLine(static_cast<int>(i), rows[i].typed))
            << rows[i].name << ": " << program.Text(IDC_NAMES);
    HWND refusal = AskAndRefuse(program);
    ASSERT_NE(refusal, nullptr);
    const std::string question = Program::BoxText(refusal);
    EXPECT_NE(question.find("'5.txt' to '" + rows[4].typed + "': "), std::string::npos) << question;
    ASSERT_TRUE(Program::Answer(refusal, IDYES));
    EXPECT_TRUE(program.WaitForExit());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string listed = std::to_string(i + 1) + ".txt";
        EXPECT_EQ(Read(rows[i].refused ? listed : rows[i].typed), std::to_string(i + 1)) << rows[i].name;
        EXPECT_EQ(Exists(listed), rows[i].refused) << rows[i].name;
    }
    EXPECT_FALSE(Exists("a")) << "the full-width backslash made a folder";
}

// The fields take 255 characters as Windows counts them, in UTF-16 units:
// 255 CJK letters (765 bytes of UTF-8), and the 256th is cut.
TEST_F(EndToEnd, TheFieldsTake255CharactersAsWindowsCountsThem) {
    Write("a.txt");
    Program& program = Start();
    struct Row {
        const char* name;
        std::string names, find, with, replaced;
    };
    const std::vector<Row> rows = {
        {"find", Cjk(256) + ".txt", Cjk(256), "x", "x" + Cjk(1) + ".txt"},
        {"replacement", "a.txt", "a", Cjk(256), Cjk(255) + ".txt"},
        {"prefix", "a.txt", "", Cjk(256), Cjk(255) + "a.txt"},
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(program.ReplaceNames(0, -1, row.names));
        program.SetText(IDC_FIND, row.find);
        program.SetText(IDC_WITH, row.with);
        program.Click(IDC_REPLACE);
        std::string names = row.names;
        for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs && names == row.names; Sleep(20))
            names = program.Text(IDC_NAMES);
        EXPECT_EQ(names, row.replaced) << row.name;
    }
    program.Click(IDCANCEL);  // after a Replace, without asking
    EXPECT_TRUE(program.WaitForExit());
    EXPECT_TRUE(Exists("a.txt"));
}

// Another program (a sync client) puts a file at a line's target after the
// plan, here while the refusal question waits: the line is reported as not
// moved, and nothing is replaced.
TEST_F(EndToEnd, ATargetThatAppearsAfterThePlanIsNeverReplaced) {
    const std::string target = "\xC5\x81\xC3\xB3\x64\xC5\xBA.txt";  // Łódź.txt
    Write("a.txt", "listed");
    Write("b.txt", "b");
    Program& program = Start();
    ASSERT_TRUE(program.ReplaceNames(0, -1, target + "\r\nb|.txt"));
    HWND refusal = AskAndRefuse(program);
    ASSERT_NE(refusal, nullptr);
    Write(target, "appeared");
    ASSERT_TRUE(Program::Answer(refusal, IDYES));
    HWND report = program.WaitForBox("Execute renaming batch");
    ASSERT_NE(report, nullptr);
    const std::string text = Program::BoxText(report);
    EXPECT_EQ(text.rfind("Error renaming\n\n'", 0), 0u) << text;
    EXPECT_NE(text.find("\\" + target + "'\n("), std::string::npos) << text;
    EXPECT_NE(text.find("nothing was replaced, and the file was not moved"), std::string::npos) << text;
    ASSERT_TRUE(Program::Answer(report, IDOK));
    EXPECT_TRUE(program.WaitForExit());
    EXPECT_EQ(Read(target), "appeared");
    EXPECT_EQ(Read("a.txt"), "listed");
    EXPECT_EQ(Read("b.txt"), "b");
}

// Files of this type open with this test program itself (see main), which
// writes the path it was given to this log.
const char kOpenType[] = ".quilopen";

}  // namespace

fs::path OpenLog() { return fs::temp_directory_path() / "quil-e2e-open.log"; }

namespace {

void RegisterOpenLogger() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string command = "\"" + std::string(self) + "\" --log-open \"%1\"";
    EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, kOpenType, REG_SZ, "quilopenfile", 0), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "quilopenfile\\shell\\open\\command", REG_SZ, command.c_str(), 0),
              ERROR_SUCCESS);
}

TEST_F(EndToEnd, EnterOpensTheListedFileOfTheCaretLinePastTheSixteenBitMark) {
    RegisterOpenLogger();
    fs::remove(OpenLog());
    // About 95,000 characters of list, so that the caret's position needs
    // more than 16 bits.
    for (int file = 0; file < 3000; ++file)
        Write("folder" + std::to_string(file / 100) + "\\a-long-file-name-" + std::to_string(file) + kOpenType);
    Program& program = Start();
    const std::string text = program.Text(IDC_NAMES);
    std::size_t lineStart = 0;
    int line = 0;
    while (lineStart < 70000) {
        lineStart = text.find("\r\n", lineStart) + 2;
        ++line;
    }
    const std::string listed = text.substr(lineStart, text.find("\r\n", lineStart) - lineStart);
    // Editing the line does not change which file it opens.
    ASSERT_TRUE(program.ReplaceNames(static_cast<int>(lineStart), static_cast<int>(lineStart) + 1, "Z"));
    ASSERT_TRUE(program.ReplaceNames(static_cast<int>(lineStart) + 3, static_cast<int>(lineStart) + 3, ""));
    program.PressKey(VK_RETURN, IDC_NAMES, static_cast<int>(lineStart) + 3);
    std::string logged;
    for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs && logged.empty(); Sleep(50)) {
        std::ifstream log(OpenLog());
        std::getline(log, logged);
    }
    EXPECT_EQ(fs::path(logged).filename().string(), fs::path(listed).filename().string()) << "line " << line;
    EXPECT_FALSE(program.WaitForExit(100));  // Execute File never closes
}

}  // namespace
}  // namespace quil::e2e

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--log-open") {
        std::ofstream(quil::e2e::OpenLog(), std::ios::app) << argv[2] << "\n";
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    using namespace quil::e2e;
    programPath = BuiltProgram();
    const char* codePage = std::getenv("QUIL_CODE_PAGE");
    const bool legacy = codePage != nullptr && std::string(codePage) == "legacy";
    if (legacy) {
        programPath = LegacyCodePageCopy(programPath);
        if (programPath.empty()) {
            std::cerr << BuiltProgram() << ": its manifest asks for no UTF-8 code page to ignore\n";
            return 1;
        }
    }
    const int status = RUN_ALL_TESTS();
    if (legacy) std::filesystem::remove(programPath);
    return status;
}
