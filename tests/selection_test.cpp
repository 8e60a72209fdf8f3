// What the Linux editions list for the paths a user picks, folder lines,
// and the folders a batch leaves behind, over the fake file system.
#include <gtest/gtest.h>

#include "engine/session.h"
#include "tests/fake_linux_services.h"

namespace quil {
namespace {

using testing::FakeFileSystem;
using testing::FakeStateStore;
using testing::FakeTrash;
using testing::Picking;
using Tree = std::map<std::string, std::string>;

class Never final : public RunObserver {
    void Progress(int, int) override {}
    bool StopRequested() override { return false; }
};

struct Picked {
    explicit Picked(const std::vector<std::string>& files) {
        for (const std::string& file : files) fs.AddFile("/w/" + file, file);
        fs.AddFolder("/trash");
    }

    // Opens and lists; the lines, relative to the root.
    std::vector<std::string> List(ListRequest request) {
        const ListProblem problem = session.Open(request);
        EXPECT_FALSE(problem) << problem.path;
        session.List();
        std::vector<std::string> lines;
        for (int slot = 1; slot <= session.state().count; ++slot)
            lines.push_back(session.state().oldPaths[slot].substr(session.state().root.size()));
        return lines;
    }

    RunResult Apply(const std::string& edited, bool permanent = false) {
        int found = 0;
        EXPECT_TRUE(session.ReadBack(edited, found)) << found;
        Never never;
        return testing::ApplyNow(session, session.Plan(permanent), permanent, never);
    }

    bool Undo() {
        UndoPlan undo;
        if (!session.PlanUndo(undo)) return false;
        Never never;
        testing::UndoNow(session, undo, never);
        return true;
    }

    Tree Below() const {
        Tree tree;
        for (const auto& [path, content] : fs.Files())
            if (path.rfind("/w/", 0) == 0) tree[path.substr(3)] = content;
        return tree;
    }

    FakeFileSystem fs{kPosixConventions, "/w"};
    FakeTrash trash{fs, "/trash"};
    FakeStateStore store;
    Session session{fs, trash, store};
};

TEST(Selection, PathsListedOnceUnderTheDeepestFolderHoldingThemAll) {
    const std::vector<std::string> files = {"p/img10.jpg", "p/img2.jpg", "p/IMG3.jpg", "p/img1.jpg", "p/s/a.txt",
                                            "q/b.txt",     "q/.hidden",  "top.txt"};
    struct Row {
        const char* name;
        std::vector<std::string> paths;
        std::string root;
        std::vector<std::string> lines;
    };
    const std::vector<Row> rows = {
        {"no path: the current folder", {}, "/w/",
         {"top.txt", "p/img1.jpg", "p/img2.jpg", "p/IMG3.jpg", "p/img10.jpg", "q/b.txt", "p/s/a.txt"}},
        {"one folder: its files", {"p"}, "/w/p/", {"img1.jpg", "img2.jpg", "IMG3.jpg", "img10.jpg", "s/a.txt"}},
        {"a glob of files", {"p/img10.jpg", "p/img2.jpg", "p/img1.jpg"}, "/w/p/", {"img1.jpg", "img2.jpg", "img10.jpg"}},
        {"files in several folders", {"q/b.txt", "p/s/a.txt", "top.txt"}, "/w/", {"top.txt", "q/b.txt", "p/s/a.txt"}},
        {"a file and a folder", {"top.txt", "q"}, "/w/", {"top.txt", "q/b.txt"}},
        {"twice, and below a folder given", {"p/s/a.txt", "p/s", "p/s/a.txt"}, "/w/p/s/", {"a.txt"}},
        {"one file: its folder", {"q/b.txt"}, "/w/q/", {"b.txt"}},
        {"absolute and relative alike", {"/w/q/b.txt", "q/../top.txt"}, "/w/", {"top.txt", "q/b.txt"}},
    };
    for (const Row& row : rows) {
        Picked picked(files);
        EXPECT_EQ(picked.List(Picking(row.paths)), row.lines) << row.name;
        EXPECT_EQ(picked.session.state().root, row.root) << row.name;
    }
}

// The root is a whole folder all paths share, never part of a name: "p/s"
// and "p/sx" are in "p", whichever comes first.
TEST(Selection, TheRootEndsAtAWholeFolder) {
    const std::vector<std::string> files = {"p/s/a.txt", "p/sx/c.txt", "p/img1.jpg", "pq/d.txt"};
    struct Row {
        const char* name;
        std::vector<std::string> paths;
        std::string root;
    };
    const std::vector<Row> rows = {
        {"folders whose names begin alike", {"p/s/a.txt", "p/sx/c.txt"}, "/w/p/"},
        {"the longer name first", {"p/sx/c.txt", "p/s/a.txt"}, "/w/p/"},
        {"a folder beside one whose name holds it", {"p/img1.jpg", "pq/d.txt"}, "/w/"},
        {"the deeper path first", {"p/s/a.txt", "p/img1.jpg"}, "/w/p/"},
        {"a path and the folder above it", {"p/s/a.txt", "p/s"}, "/w/p/s/"},
        {"the top of the file system", {"/w/p/img1.jpg", "/"}, "/"},
    };
    for (const Row& row : rows) {
        Picked picked(files);
        picked.List(Picking(row.paths));
        EXPECT_EQ(picked.session.state().root, row.root) << row.name;
    }
}

// A list of many paths in one folder is checked against one listing of the
// folder, not a look at each path: the same lines and the same refusals,
// and where the folder cannot be listed, a look at each path still.
TEST(Selection, ManyPathsOfOneFolderAsEachPathAlone) {
    std::vector<std::string> files, given;
    for (int i = 1; i <= 40; ++i) files.push_back("many/f" + std::to_string(i) + ".txt");
    files.push_back("many/sub/inner.txt");
    for (const std::string& file : files)
        if (file != "many/sub/inner.txt") given.push_back(file);
    struct Row {
        const char* name;
        std::vector<std::string> extra;  // paths given beside the 40 files
        bool unlistable;                 // the folder cannot be listed (entered, not read)
        std::string missing;             // the path said not to exist, or none
    };
    const Row rows[] = {
        {"files only", {}, false, ""},
        {"a folder among them", {"many/sub"}, false, ""},
        {"one that does not exist", {"many/gone.txt"}, false, "many/gone.txt"},
        {"the folder unlistable", {"many/sub"}, true, ""},
        {"unlistable, one missing", {"many/gone.txt"}, true, "many/gone.txt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Picked picked(files);
        if (row.unlistable) picked.fs.FailListing("/w/many/");
        std::vector<std::string> paths = given;
        paths.insert(paths.end(), row.extra.begin(), row.extra.end());
        const ListProblem problem = picked.session.Open(Picking(paths));
        if (!row.missing.empty()) {
            EXPECT_EQ(problem.kind, ListProblem::Kind::Missing);
            EXPECT_EQ(problem.path, row.missing);
            continue;
        }
        ASSERT_FALSE(problem) << problem.path;
        picked.session.List();
        std::vector<std::string> lines;
        for (int slot = 1; slot <= picked.session.state().count; ++slot)
            lines.push_back(picked.session.state().oldPaths[slot].substr(picked.session.state().root.size()));
        std::vector<std::string> expected;
        for (int i = 1; i <= 40; ++i) expected.push_back("f" + std::to_string(i) + ".txt");
        if (!row.extra.empty()) expected.push_back("sub/inner.txt");
        EXPECT_EQ(lines, expected);
    }
}

TEST(Selection, FolderLinesListFoldersAndMoveThemWhole) {
    const std::vector<std::string> files = {"a/1", "a/.hidden", "b/2", "c/sub/3", ".dot/4", "f.txt"};
    {
        Picked picked(files);
        ListRequest request = Picking({});
        request.folders = true;
        EXPECT_EQ(picked.List(request), (std::vector<std::string>{"a", "b", "c"}));
        // A swap of two folders, a rename, everything inside going along.
        picked.Apply("b\na\nd\n");
        EXPECT_EQ(picked.Below(), (Tree{{"a/2", "b/2"}, {"b/1", "a/1"}, {"b/.hidden", "a/.hidden"}, {"d/sub/3", "c/sub/3"},
                                        {".dot/4", ".dot/4"}, {"f.txt", "f.txt"}}));
        ASSERT_TRUE(picked.Undo());
        Tree original;
        for (const std::string& file : files) original[file] = file;
        EXPECT_EQ(picked.Below(), original);
    }
    {
        // Several folders given: listed themselves; into itself, refused.
        Picked picked(files);
        ListRequest request = Picking({"/w/a", "/w/c"});
        request.folders = true;
        EXPECT_EQ(picked.List(request), (std::vector<std::string>{"a", "c"}));
        int found;
        ASSERT_TRUE(picked.session.ReadBack("a/inner/a\nc\n", found));
        const BatchPlan plan = picked.session.Plan(false);
        ASSERT_EQ(plan.refused.size(), 1u);
        EXPECT_EQ(plan.refused[0].reason, Refusal::IntoItself);
    }
    {
        // Emptied: to the Trash whole; deleted for good only when empty.
        Picked picked(files);
        picked.fs.AddFolder("/w/empty");
        ListRequest request = Picking({});
        request.folders = true;
        request.scan.skipHidden = false;
        EXPECT_EQ(picked.List(request), (std::vector<std::string>{".dot", "a", "b", "c", "empty"}));
        int found;
        ASSERT_TRUE(picked.session.ReadBack(".dot\n\nb\nc\n\n", found));
        const BatchPlan permanent = picked.session.Plan(true);
        ASSERT_EQ(permanent.refused.size(), 1u);
        EXPECT_EQ(permanent.refused[0].reason, Refusal::NotEmpty);
        const RunResult result = picked.Apply(".dot\n\nb\nc\n\n");
        EXPECT_TRUE(result.failures.empty());
        EXPECT_EQ(picked.fs.Query("/w/a"), PathKind::Missing);
        EXPECT_EQ(picked.fs.Query("/w/empty"), PathKind::Missing);
        ASSERT_TRUE(picked.Undo());
        EXPECT_EQ(picked.fs.Content("/w/a/.hidden"), "a/.hidden");
        EXPECT_EQ(picked.fs.Query("/w/empty"), PathKind::Folder);
    }
    {
        // A folder above one that moves is not moved in the same batch.
        Picked picked(files);
        ListRequest request = Picking({"/w/c", "/w/c/sub"});
        request.folders = true;
        EXPECT_EQ(picked.List(request), (std::vector<std::string>{"c", "c/sub"}));
        int found;
        ASSERT_TRUE(picked.session.ReadBack("x\nc/y\n", found));
        const BatchPlan plan = picked.session.Plan(false);
        ASSERT_EQ(plan.refused.size(), 1u);
        EXPECT_EQ(plan.refused[0].slot, 2);
        EXPECT_EQ(plan.refused[0].reason, Refusal::InsideMovedFolder);
    }
}

TEST(Selection, FoldersTheBatchEmptiesGoAndComeBackWithTheUndo) {
    Picked picked({"old/deep/a", "old/b", "kept/c", "kept/.hidden", "stays/d", "stays/e", "top"});
    picked.fs.AddFolder("/w/was-empty");
    EXPECT_EQ(picked.List(Picking({})),
              (std::vector<std::string>{"top", "kept/c", "old/b", "stays/d", "stays/e", "old/deep/a"}));
    int found;
    ASSERT_TRUE(picked.session.ReadBack("top\nnew/c\n\nnew/d\nstays/e\nnew/a\n", found));
    const BatchPlan plan = picked.session.Plan(false);
    const std::vector<PlanRow> rows = picked.session.Describe(plan, false);
    std::vector<std::string> folders;
    for (const PlanRow& row : rows)
        if (row.action == LineAction::RemoveFolder) folders.push_back("remove " + row.from);
        else if (row.action == LineAction::KeepFolder) folders.push_back("keep " + row.from + " " + std::to_string(row.entries));
    // old/deep then old emptied; kept keeps its hidden file; stays keeps e,
    // which is listed; was-empty is nobody's business.
    EXPECT_EQ(folders, (std::vector<std::string>{"remove old/deep/", "keep kept/ 1", "remove old/"}));
    Never never;
    EXPECT_TRUE(testing::ApplyNow(picked.session, plan, false, never).failures.empty());
    EXPECT_EQ(picked.fs.Query("/w/old"), PathKind::Missing);
    EXPECT_EQ(picked.fs.Query("/w/kept"), PathKind::Folder);
    EXPECT_EQ(picked.fs.Query("/w/was-empty"), PathKind::Folder);
    ASSERT_TRUE(picked.Undo());
    EXPECT_EQ(picked.Below(), (Tree{{"old/deep/a", "old/deep/a"}, {"old/b", "old/b"}, {"kept/c", "kept/c"},
                                    {"kept/.hidden", "kept/.hidden"}, {"stays/d", "stays/d"}, {"stays/e", "stays/e"},
                                    {"top", "top"}}));
    EXPECT_EQ(picked.fs.Query("/w/new"), PathKind::Missing);
}

TEST(Selection, UndoFindsTheBatchWhereItWasStarted) {
    Picked picked({"p/a.jpg", "p/b.jpg", "q/c.txt"});
    picked.List(Picking({"p/a.jpg", "p/b.jpg"}));  // root /w/p/, started in /w
    picked.Apply("x.jpg\nb.jpg\n");
    Picked& same = picked;
    same.session.Open(Picking({}));  // --undo in /w, with no path
    ASSERT_TRUE(same.Undo());
    EXPECT_EQ(picked.fs.Content("/w/p/a.jpg"), "p/a.jpg");
}

}  // namespace
}  // namespace quil
