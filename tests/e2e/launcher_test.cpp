// quil-here.exe under Wine, from a portable copy in a folder with spaces
// and letters outside ASCII: the folder it opens for each way a folder can
// be given, what it says when it cannot, and the verbs it registers for
// the current user and takes away again.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "res/resource.h"
#include "tests/e2e/dialog_driver.h"
#include "tests/e2e/system.h"
#include "tests/platform_helpers.h"

namespace quil::e2e {
namespace {

namespace fs = std::filesystem;

const char* const kVerbs[] = {"Software\\Classes\\Directory\\Background\\shell\\Quillane",
                              "Software\\Classes\\Directory\\shell\\Quillane", "Software\\Classes\\Drive\\shell\\Quillane"};

class Launcher : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = fs::temp_directory_path() / ("quil-launcher-" + std::to_string(GetCurrentProcessId()));
        testing::RemoveTree(base_.u8string());
        copy_ = base_ / fs::u8path("Mes outils \xC3\xA9t\xC3\xA9");
        fs::create_directories(copy_);
        fs::copy_file(PathFromEnvironment("QUIL_EXE"), copy_ / "quil.exe");
        fs::copy_file(PathFromEnvironment("QUIL_HERE"), copy_ / "quil-here.exe");
        launcher_ = "\"" + (copy_ / "quil-here.exe").u8string() + "\"";
    }
    void TearDown() override {
        RunAndWait(launcher_ + " --unregister /quiet");
        testing::RemoveTree(base_.u8string());
    }

    void Write(const fs::path& path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
    }

    fs::path base_;
    fs::path copy_;
    std::string launcher_;
};

TEST_F(Launcher, OpensExactlyTheFolderItWasGivenOrSaysWhyNot) {
    // Q: is a drive of the test bed's own (scripts/wine-session.sh).
    ASSERT_TRUE(fs::exists("Q:\\")) << "the Wine test bed has no drive Q:";
    Write("Q:\\root.txt");
    // A drive's empty root has no "." or "..": FindFirstFile fails on it.
    for (const auto& entry : fs::directory_iterator("Q:\\"))
        if (entry.path().filename() != "root.txt") testing::RemoveTree(entry.path().u8string());
    Write(base_ / "plain" / "a.txt");
    Write(base_ / "Photos" / "neighbour.txt");
    testing::MakeFolderRaw((base_ / "Photos.").u8string());
    Write(base_ / "file.txt");
    Write(base_ / fs::u8path("Mes photos \xC3\xA9t\xC3\xA9") / fs::u8path("\xC3\xA9.txt"));

    struct Row {
        const char* name;
        std::string arguments;
        fs::path folder;    // the working folder
        std::string names;  // the list the dialog shows, or
        std::string said;   // what the launcher says instead
    };
    const std::vector<Row> rows = {
        {"a drive's root, as Explorer passes it", "\"Q:\\\"", {}, "root.txt", ""},
        {"a folder with a final backslash", "\"" + (base_ / "plain").u8string() + "\\\"", {}, "a.txt", ""},
        {"a relative folder", "plain", base_, "a.txt", ""},
        {"spaces and letters beyond ASCII", "\"" + (base_ / fs::u8path("Mes photos \xC3\xA9t\xC3\xA9")).u8string() + "\"",
         {}, "\xC3\xA9.txt", ""},
        {"a folder ending in a dot beside its neighbour", "\"" + (base_ / "Photos.").u8string() + "\"", {}, "",
         "by its name, which ends in a dot or a space"},
        {"a file", "\"" + (base_ / "file.txt").u8string() + "\"", {}, "", "is a file, not a folder"},
        {"a folder that does not exist", "\"C:\\no\\such\\folder\"", {}, "", "does not exist or cannot be read"},
        {"no folder", "", {}, "", "Drop a folder on quil-here.exe"},
    };
    for (const Row& row : rows) {
        const std::string line = launcher_ + (row.arguments.empty() ? "" : " " + row.arguments);
        if (!row.said.empty()) {
            const Shown shown = RunAndReadMessage(line, row.folder.u8string());
            EXPECT_NE(shown.message.find(row.said), std::string::npos) << row.name << ": " << shown.message;
            EXPECT_EQ(shown.exitCode, 1u) << row.name;
            continue;
        }
        Program program(Program::Launched{line, row.folder.u8string()});
        ASSERT_TRUE(program.Started()) << row.name;
        EXPECT_EQ(program.Text(IDC_NAMES), row.names) << row.name;
        program.Close();
        EXPECT_TRUE(program.WaitForExit()) << row.name;
    }
}

TEST_F(Launcher, APortableCopyRegistersItsVerbsAndTakesOnlyThoseAway) {
    const std::string before = UserTree("Software\\Classes");
    const std::string command = launcher_ + " \"%V\"";
    ASSERT_EQ(RunAndWait(launcher_ + " --register /quiet"), 0u);
    for (const char* verb : kVerbs) {
        EXPECT_EQ(UserValue(verb), "Rename files here with Quillane") << verb;
        EXPECT_EQ(UserValue(verb, "Icon"), (copy_ / "quil.exe").u8string()) << verb;
        EXPECT_EQ(UserValue(std::string(verb) + "\\command"), command) << verb;
    }

    // The registered command, run for a folder as Explorer runs it.
    Write(base_ / "photos" / "one.jpg");
    std::string line = UserValue(std::string(kVerbs[0]) + "\\command");
    line.replace(line.find("%V"), 2, (base_ / "photos").u8string());
    {
        Program program(Program::Launched{line, {}});
        ASSERT_TRUE(program.Started()) << line;
        EXPECT_EQ(program.Text(IDC_NAMES), "one.jpg");
        program.Close();
        EXPECT_TRUE(program.WaitForExit());
    }

    // Without /quiet it says what it did; registering again changes nothing.
    const Shown again = RunAndReadMessage(launcher_ + " --register");
    EXPECT_NE(again.message.find("now offers"), std::string::npos) << again.message;
    EXPECT_EQ(again.exitCode, 0u);

    const Shown removed = RunAndReadMessage(launcher_ + " --unregister");
    EXPECT_NE(removed.message.find("have been removed"), std::string::npos) << removed.message;
    EXPECT_EQ(UserTree("Software\\Classes"), before);
}

// Scoop's layout: the copy in apps\quillane\1.1.0, and apps\quillane\current
// a junction to it. Scoop registers through current and runs the uninstall
// hook from 1.1.0: one copy, reached two ways. A copy elsewhere is another.
TEST_F(Launcher, ACopyReachedThroughAJunctionIsTheSameCopy) {
    const fs::path app = base_ / "scoop" / "apps" / "quillane";
    const fs::path version = app / "1.1.0";
    fs::create_directories(version);
    fs::copy_file(PathFromEnvironment("QUIL_EXE"), version / "quil.exe");
    fs::copy_file(PathFromEnvironment("QUIL_HERE"), version / "quil-here.exe");
    const FolderLink current((app / "current").u8string(), version.u8string());
    ASSERT_TRUE(current.Made());
    const std::string throughJunction = "\"" + (app / "current" / "quil-here.exe").u8string() + "\"";
    const std::string inVersion = "\"" + (version / "quil-here.exe").u8string() + "\"";
    const std::string before = UserTree("Software\\Classes");
    const std::string command = std::string(kVerbs[0]) + "\\command";

    struct Row {
        const char* name;
        std::string registers;
        std::string unregisters;
    };
    for (const Row& row : {Row{"Scoop's install and uninstall", throughJunction, inVersion},
                           Row{"the other way round", inVersion, throughJunction}}) {
        ASSERT_EQ(RunAndWait(row.registers + " --register /quiet"), 0u) << row.name;
        ASSERT_EQ(UserValue(command), row.registers + " \"%V\"") << row.name;
        // Registering again by the other path is the same copy's doing.
        EXPECT_EQ(RunAndWait(row.unregisters + " --register /quiet"), 0u) << row.name;
        EXPECT_EQ(UserValue(command), row.unregisters + " \"%V\"") << row.name;
        EXPECT_EQ(RunAndWait(row.registers + " --register /quiet"), 0u) << row.name;

        const Shown elsewhere = RunAndReadMessage(launcher_ + " --unregister");
        EXPECT_EQ(elsewhere.exitCode, 1u) << row.name;
        EXPECT_NE(elsewhere.message.find("not this copy"), std::string::npos) << row.name << ": " << elsewhere.message;
        EXPECT_EQ(UserValue(command), row.registers + " \"%V\"") << row.name;

        const Shown removed = RunAndReadMessage(row.unregisters + " --unregister");
        EXPECT_EQ(removed.exitCode, 0u) << row.name << ": " << removed.message;
        EXPECT_NE(removed.message.find("have been removed"), std::string::npos) << row.name << ": " << removed.message;
        EXPECT_EQ(UserTree("Software\\Classes"), before) << row.name;
    }
}

}  // namespace
}  // namespace quil::e2e
