// quil in a real git work tree made by the test: the index follows the
// renames, moves and trashings of tracked files as git mv and git rm
// --cached leave it, untracked files stay untracked, undo puts the index
// back, and a locked index or --no-git leaves it alone.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "engine/index_follower.h"
#include "tests/quil_process.h"

namespace quil {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

// What a command prints; the test fails when it fails.
std::string Shell(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    EXPECT_EQ(pclose(pipe), 0) << command;
    return out;
}

class GitTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = fs::temp_directory_path() /
                ("quil-git-" + std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base_);
        for (const char* folder : {"repo", "home", "data", "state"}) fs::create_directories(base_ / folder);
        repo_ = base_ / "repo";
    }
    void TearDown() override { fs::remove_all(base_); }

    std::string Git(const std::string& args) {
        return Shell("git -C '" + repo_.string() + "' -c user.name=t -c user.email=t@t " + args + " 2>&1");
    }

    // tracked are committed (a leading '+' on a content: executable);
    // staged then replace their content in the index only.
    void MakeRepository(const Tree& tracked, const Tree& staged, const Tree& untracked) {
        Git("init -q");
        for (const auto& [path, content] : tracked) {
            const bool executable = !content.empty() && content[0] == '+';
            testing::WriteFiles(repo_, {{path, executable ? content.substr(1) : content}});
            if (executable) fs::permissions(repo_ / path, fs::perms::owner_exec, fs::perm_options::add);
            Git("add '" + path + "'");
        }
        Git("commit -qm start");
        for (const auto& [path, content] : staged) {
            testing::WriteFiles(repo_, {{path, content}});
            Git("add '" + path + "'");
        }
        testing::WriteFiles(repo_, untracked);
    }

    // The index: path -> "MODE content" of its staged blob (a submodule's
    // commit id).
    Tree Index() {
        Tree index;
        std::string listing = Git("ls-files -s");
        for (std::size_t at = 0; at < listing.size();) {
            const std::size_t end = listing.find('\n', at);
            const std::string line = listing.substr(at, end - at);
            at = end + 1;
            const std::string mode = line.substr(0, 6), oid = line.substr(7, 40), path = line.substr(line.find('\t') + 1);
            index[path] = mode + " " + (mode == "160000" ? oid : Git("cat-file blob " + oid));  // a submodule's commit
        }
        return index;
    }

    testing::Outcome Quil(std::vector<std::string> args, const std::string& edited = "") {
        const fs::path list = base_ / "edited";
        std::ofstream(list, std::ios::binary) << edited;
        testing::QuilRun run;
        run.args = std::move(args);
        if (!edited.empty()) run.args.insert(run.args.begin(), {"--apply", list.string()});
        run.args.push_back(repo_.string());
        run.env = {{"HOME", (base_ / "home").string()},
                   {"XDG_DATA_HOME", (base_ / "data").string()},
                   {"XDG_STATE_HOME", (base_ / "state").string()},
                   {"NO_COLOR", "1"}};
        return testing::RunQuil(run);
    }

    // The work tree's files, .git left out.
    Tree WorkTree() const {
        Tree files = testing::FilesBelow(repo_);
        for (auto it = files.begin(); it != files.end();) it = it->first.rfind(".git/", 0) == 0 ? files.erase(it) : std::next(it);
        return files;
    }

    fs::path base_;
    fs::path repo_;
};

struct Row {
    const char* name;
    std::vector<std::string> args;
    std::string edited;  // the list, in the order a, b, c.sh, u, src/d
    Tree index;          // after the batch
    int status;
    std::string err;  // a line the errors hold
    std::string out = "";  // a line the output holds
};

TEST_F(GitTest, TheIndexFollowsTrackedFiles) {
    const Tree before = {{"a", "100644 a staged"}, {"b", "100644 b"}, {"c.sh", "100755 c"}, {"src/d", "100644 d"}};
    const std::vector<Row> rows = {
        {"a swap keeps each staged content, a move keeps the mode, untracked stays so", {"--yes"},
         "b\na\nbin/c.sh\nv\nsrc/d\n",
         {{"a", "100644 b"}, {"b", "100644 a staged"}, {"bin/c.sh", "100755 c"}, {"src/d", "100644 d"}}, 0, "",
         "applied 4 of 4 changes, the git index following 3"},
        {"a moved folder's entries move with it", {"--yes"}, "a\nb\nc.sh\nu\nlib/d\n",
         {{"a", "100644 a staged"}, {"b", "100644 b"}, {"c.sh", "100755 c"}, {"lib/d", "100644 d"}}, 0, ""},
        {"a trashed file leaves the index", {"--yes"}, "a\n\nc.sh\nu\nsrc/d\n",
         {{"a", "100644 a staged"}, {"c.sh", "100755 c"}, {"src/d", "100644 d"}}, 0, ""},
        {"--no-git", {"--yes", "--no-git"}, "x\nb\nc.sh\nu\nsrc/d\n", before, 0, ""},
        {"a locked index: nothing applied", {"--yes", "lock"}, "x\nb\nc.sh\nu\nsrc/d\n", before, 2,
         "the git index is locked by another git command"},
        {"-n says what a locked index would do", {"-n", "lock"}, "x\nb\nc.sh\nu\nsrc/d\n", before, 0,
         "; applying would change nothing until it is done, or with --no-git", "rename  a -> x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        MakeRepository({{"a", "a"}, {"b", "b"}, {"c.sh", "+c"}, {"src/d", "d"}}, {{"a", "a staged"}}, {{"u", "u"}});
        ASSERT_EQ(Index(), before);
        std::vector<std::string> args = row.args;
        if (!args.empty() && args.back() == "lock") {
            args.pop_back();
            std::ofstream(repo_ / ".git/index.lock");
        }
        const Tree files = WorkTree();
        const testing::Outcome outcome = Quil(args, row.edited);
        EXPECT_EQ(outcome.status, row.status) << row.name << "\n" << outcome.out << outcome.err;
        EXPECT_TRUE(testing::Holds(outcome.err, row.err));
        EXPECT_NE(outcome.out.find(row.out), std::string::npos) << row.name << "\n" << outcome.out;
        fs::remove(repo_ / ".git/index.lock");
        EXPECT_EQ(Index(), row.index) << row.name;
        if (row.status == 2) {
            EXPECT_EQ(WorkTree(), files) << row.name;
        }
    }
}

TEST_F(GitTest, UndoPutsTheIndexBack) {
    MakeRepository({{"a", "a"}, {"b", "b"}, {"src/d", "d"}}, {{"b", "b staged"}}, {{"u", "u"}});
    const Tree before = Index();
    const std::string status = Git("status --porcelain");
    // A rename onto a staged file that goes to the Trash, a move into a new
    // folder.
    ASSERT_EQ(Quil({"--yes"}, "b\n\nu\nnew/d\n").status, 0);
    EXPECT_EQ(Index(), (Tree{{"b", "100644 a"}, {"new/d", "100644 d"}}));
    const testing::Outcome undo = Quil({"--undo", "--yes"});
    EXPECT_EQ(undo.status, 0) << undo.out << undo.err;
    EXPECT_EQ(Index(), before);
    EXPECT_EQ(WorkTree().count("b"), 1u);
    EXPECT_EQ(Git("status --porcelain"), status);
}

// A file moved out of the work tree leaves the index; its undo puts the
// entry back as it was staged.
TEST_F(GitTest, UndoOfAMoveOutOfTheWorkTree) {
    MakeRepository({{"a", "a"}, {"b", "b"}}, {{"a", "a staged"}}, {});
    const Tree before = Index();
    const std::string status = Git("status --porcelain");
    ASSERT_EQ(Quil({"--yes"}, "../outside/a\nb\n").status, 0);
    EXPECT_EQ(Index(), (Tree{{"b", "100644 b"}}));
    const testing::Outcome undo = Quil({"--undo", "--yes"});
    EXPECT_EQ(undo.status, 0) << undo.out << undo.err;
    EXPECT_EQ(Index(), before);
    EXPECT_EQ(Git("status --porcelain"), status);
}

// A submodule's folder line, or a folder holding one, is not moved: git
// could not read the repository until the move was undone. To the Trash
// it may go, and come back.
TEST_F(GitTest, SubmodulesAreNotMovedBehindGitsBack) {
    const fs::path source = base_ / "source";
    Shell("git init -q '" + source.string() + "' && cd '" + source.string() +
          "' && echo x > f && git add f && git -c user.name=t -c user.email=t@t commit -qm f 2>&1");
    MakeRepository({{"a", "a"}}, {}, {});
    Git("-c protocol.file.allow=always submodule add -q '" + source.string() + "' libs/sub");
    Git("commit -qm sub");
    const std::string status = Git("status --porcelain");
    const Tree index = Index();
    struct Case {
        const char* name;
        std::string folder;  // listed with -D, below the repository
        std::string edited;
        int status;
    };
    for (const Case& row : {Case{"a folder holding one", "", "lib2\n", 1}, Case{"the submodule", "/libs", "sub2\n", 1},
                            Case{"the submodule to the Trash", "/libs", "\n", 0}}) {
        const fs::path list = base_ / "edited";
        std::ofstream(list, std::ios::binary) << row.edited;
        testing::QuilRun run;
        run.args = {"-D", "--yes", "--apply", list.string(), repo_.string() + row.folder};
        run.env = {{"HOME", (base_ / "home").string()}, {"XDG_DATA_HOME", (base_ / "data").string()},
                   {"XDG_STATE_HOME", (base_ / "state").string()}, {"NO_COLOR", "1"}};
        const testing::Outcome outcome = testing::RunQuil(run);
        EXPECT_EQ(outcome.status, row.status) << row.name << "\n" << outcome.out << outcome.err;
        if (row.status == 1) {
            EXPECT_NE(outcome.out.find("(a git submodule, or a folder holding one: move it with git mv)"), std::string::npos)
                << row.name << "\n" << outcome.out;
        }
        Git("status --porcelain");  // fails the test where git cannot read the repository
        if (row.status != 0) continue;
        run.args = {"--undo", "--yes", repo_.string() + row.folder};
        EXPECT_EQ(testing::RunQuil(run).status, 0) << row.name;
        EXPECT_EQ(Git("status --porcelain"), status) << row.name;
        EXPECT_EQ(Index(), index) << row.name;
    }
}

// The index follows where the files are: each entry's entries from where
// the index had them to where the file is, out for the Trash and back; a
// cycle's file put back is where it was; a saved removal cut short is
// dropped, not misread.
TEST(IndexEditsTest, TheIndexAgreesWithWhereTheFilesAre) {
    BatchPlan plan;
    auto op = [&](FileOp::Kind kind, int slot, std::string from, std::string to, std::string restore = {}) {
        FileOp made;
        made.kind = kind;
        made.slot = slot;
        made.from = std::move(from);
        made.to = std::move(to);
        made.restore = std::move(restore);
        plan.ops.push_back(made);
    };
    op(FileOp::Kind::Move, 1, "/r/a", "/r/b");
    op(FileOp::Kind::Move, 2, "/r/c", "/r/d");  // failed
    op(FileOp::Kind::MakeFolder, 5, "", "/r/new");
    op(FileOp::Kind::Delete, 3, "/r/e", "");
    op(FileOp::Kind::Move, 4, "/r/f", "/r/quil-swap-1");
    op(FileOp::Kind::Move, 4, "/r/quil-swap-1", "/r/g", "/r/f");  // put back
    RunResult result;
    result.done = {{0, false}, {2, false}, {3, false}, {4, false}, {5, true}};
    BatchJournal batch;
    FollowRun(batch, plan, result, {});
    std::vector<IndexEdit> edits = IndexEditsFor(batch, {});
    ASSERT_EQ(edits.size(), 2u);
    EXPECT_EQ(edits[0].from, "/r/a");
    EXPECT_EQ(edits[0].to, "/r/b");
    EXPECT_EQ(edits[1].kind, IndexEdit::Kind::Remove);
    EXPECT_EQ(edits[1].entry, 3);

    edits[1].taken = std::string("100644 0123 \0", 13);
    const std::string record = SavedRemovals(edits);
    const std::map<int, std::string> whole = ReadSavedRemovals(record);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole.at(3), edits[1].taken);
    EXPECT_TRUE(ReadSavedRemovals(record.substr(0, record.size() - 3)).empty());

    // Brought back from the Trash: its entries come back where it is.
    batch.entries[1].indexedAt.clear();
    batch.entries[1].state = JournalEntry::State::Here;
    edits = IndexEditsFor(batch, whole);
    ASSERT_EQ(edits.size(), 2u);
    EXPECT_EQ(edits[1].kind, IndexEdit::Kind::Restore);
    EXPECT_EQ(edits[1].to, "/r/e");
}

}  // namespace
}  // namespace quil
