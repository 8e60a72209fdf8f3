// quil run for real on temporary trees, with EDITOR set to small scripts,
// HOME, the Trash and the journal in temporary folders: the fixture of the
// terminal tests, and their rows.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/quil_process.h"

namespace quil {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;
using testing::OnTerminal;
using testing::Outcome;
using testing::QuilRun;

struct Row;

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = fs::temp_directory_path() /
                ("quil-terminal-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base_);
        fs::create_directories(tree_ = base_ / "tree");
        fs::create_directories(base_ / "home");
        fs::create_directories(base_ / "data");
        fs::create_directories(base_ / "state");
    }
    void TearDown() override {
        std::error_code ignored;
        for (auto it = fs::recursive_directory_iterator(base_, ignored); it != fs::recursive_directory_iterator(); ++it)
            if (fs::is_directory(it->symlink_status(ignored)))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(base_, ignored);
    }

    void Write(const Tree& files) { testing::WriteFiles(tree_, files); }
    Tree Files(const fs::path& folder) const { return testing::FilesBelow(folder); }
    Tree Trashed() const { return Files(base_ / "data/Trash/files"); }

    // An editor that saves text as the edited list.
    std::string EditorSaving(const std::string& text) {
        const fs::path saved = base_ / ("edited-" + std::to_string(++edits_));
        std::ofstream(saved, std::ios::binary) << text;
        return "cp '" + saved.string() + "'";
    }

    std::map<std::string, std::string> Environment(const std::string& editor) const {
        return {{"EDITOR", editor},
                {"VISUAL", ""},
                {"HOME", (base_ / "home").string()},
                {"XDG_DATA_HOME", (base_ / "data").string()},
                {"XDG_STATE_HOME", (base_ / "state").string()},
                {"XDG_CONFIG_HOME", (base_ / "config").string()},
                {"NO_COLOR", "1"}};
    }

    // Runs quil in a session of its own, without a controlling terminal.
    Outcome Run(std::vector<std::string> args, const std::string& editor = "false", const std::string& input = "") {
        QuilRun run;
        run.args = std::move(args);
        run.env = Environment(editor);
        run.input = input;
        return testing::RunQuil(run);
    }

    // The journals of the batches, in the state folder.
    std::vector<fs::path> Journals() const {
        std::vector<fs::path> journals;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(base_ / "state/quillane", ignored))
            if (entry.path().extension() == ".journal") journals.push_back(entry.path());
        return journals;
    }

    void RunRows(const std::vector<Row>& rows);

    fs::path base_;
    fs::path tree_;
    int edits_ = 0;
};

struct Row {
    const char* name;
    Tree files;
    std::string edited;  // what the editor saves, or a sed script after "sed:"
    std::vector<std::string> args;
    Tree after;
    int status;
    std::string out;  // a line the output holds
    std::string err;  // a line the errors hold; empty: nothing on standard error
};

// Each row run on a tree of its own: the editor saves the row's list (or
// runs sed on it, or fails), and quil runs on the tree.
inline void TerminalTest::RunRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        Write(row.files);
        std::string editor = row.edited.rfind("sed:", 0) == 0 ? "sed -i -e '" + row.edited.substr(4) + "'"
                             : row.edited.rfind("exit:", 0) == 0 ? "false"
                                                                 : EditorSaving(row.edited);
        std::vector<std::string> args = row.args;
        args.push_back(tree_.string());
        const Outcome outcome = Run(args, editor);
        EXPECT_EQ(outcome.status, row.status) << outcome.out << outcome.err;
        EXPECT_EQ(Files(tree_), row.after);
        EXPECT_NE(outcome.out.find(row.out), std::string::npos) << outcome.out;
        EXPECT_TRUE(testing::Holds(outcome.err, row.err));
    }
}

}  // namespace quil
