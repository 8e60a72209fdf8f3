// quil's batches, selections, undo and questions, run for real (the
// fixture is in terminal_fixture.h).
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "tests/terminal_fixture.h"

extern char** environ;

namespace quil {
namespace {

const Tree ab = {{"a", "1"}, {"b", "2"}};

TEST_F(TerminalTest, Batches) {
    RunRows({
        {"rename", ab, "x\nb\n", {"--yes"}, {{"x", "1"}, {"b", "2"}}, 0, "rename  a -> x", ""},
        {"swap", ab, "b\na\n", {"--yes"}, {{"a", "2"}, {"b", "1"}}, 0, "2 renames", ""},
        {"cycle", {{"a", "1"}, {"b", "2"}, {"c", "3"}}, "b\nc\na\n", {"--yes"}, {{"a", "3"}, {"b", "1"}, {"c", "2"}},
         0, "applied 3 of 3 changes", ""},
        {"move into new folders", ab, "new/deep/a\nb", {"--yes"}, {{"new/deep/a", "1"}, {"b", "2"}}, 0,
         "move    a -> new/deep/a", ""},
        {"trash", ab, "\nb\n", {"--yes"}, {{"b", "2"}}, 0, "trash   a", ""},
        {"permanent delete", ab, "\nb\n", {"--yes", "--permanent"}, {{"b", "2"}}, 0, "delete  a", ""},
        {"refused collision", ab, "b\nb\n", {"--yes"}, ab, 1, "refuse  a -> b  (a file with that name exists)", ""},
        {"line-count mismatch", ab, "a\n", {"--yes"}, ab, 2, "", "quil: expected 2 lines, one per file, but found 1"},
        {"dry run", ab, "x\nb\n", {"--dry-run"}, ab, 0, "rename  a -> x", ""},
        {"sorted, hidden left out", {{"b", "2"}, {"a", "1"}, {".h", "3"}}, "sed:s/^a$/z/", {"--yes"},
         {{"z", "1"}, {"b", "2"}, {".h", "3"}}, 0, "rename  a -> z", ""},
        {"hidden with --all", {{"a", "1"}, {".h", "3"}}, "sed:s/^.h$/h/", {"--yes", "--all"}, {{"a", "1"}, {"h", "3"}},
         0, "rename  .h -> h", ""},
        {"no terminal without --yes", ab, "x\nb\n", {}, ab, 2, "", "pass --yes"},
        {"the editor fails", ab, "exit:1", {"--yes"}, ab, 2, "", "did not end successfully; nothing changed"},
        {"nothing changed", ab, "a\nb\n", {}, ab, 0, "nothing to change", ""},
        {"a byte-order mark is no part of a name", ab, "\xEF\xBB\xBF" "a\nb\n", {}, ab, 0, "nothing to change", ""},
        {"a name ending in a space is quoted", ab, "a \nb\n", {"--yes"}, {{"a ", "1"}, {"b", "2"}}, 0,
         "rename  a -> 'a '", ""},
        {"invisible characters are shown", ab, "a\xE2\x80\x8B\n\xC2\xA0\n", {"--dry-run"}, ab, 0,
         "rename  a -> a\\u{200B}\nrename  b -> \\u{00A0}", ""},
    });
}

TEST_F(TerminalTest, ReplaceCaseAndFilter) {
    RunRows({
        // --replace and --filter edit the list instead of the editor, which
        // fails here if it is opened.
        {"replace with a group and a counter per folder", {{"IMG_7.jpg", "1"}, {"IMG_8.jpg", "2"}, {"s/IMG_9.jpg", "3"}},
         "exit:1", {"--yes", "--replace", "IMG_(\\d)", "h{n:2}-$1", "--per-folder"},
         {{"h01-7.jpg", "1"}, {"h02-8.jpg", "2"}, {"s/h01-9.jpg", "3"}}, 0, "3 renames", ""},
        {"replaces in order, the counter's start and step", {{"a.txt", "1"}, {"b.txt", "2"}}, "exit:1",
         {"--yes", "--replace", "^", "x", "--replace", "^x(.)", "{n}_\\1", "--start", "10", "--step", "5"},
         {{"10_a.txt", "1"}, {"15_b.txt", "2"}}, 0, "2 renames", ""},
        {"the extension, without case", {{"a.TXT", "1"}, {"txt.md", "2"}}, "exit:1",
         {"--yes", "--scope", "ext", "-i", "--replace", "txt", "text"}, {{"a.text", "1"}, {"txt.md", "2"}}, 0,
         "rename  a.TXT -> a.text", ""},
        {"the folders of a path", {{"s/a", "1"}, {"b", "2"}}, "exit:1", {"--yes", "--scope", "path", "--replace", "^s/", "t/"},
         {{"t/a", "1"}, {"b", "2"}}, 0, "move    s/a -> t/a", ""},
        {"a filter", ab, "exit:1", {"--yes", "--filter", "sed 's/^a$/z/'"}, {{"z", "1"}, {"b", "2"}}, 0, "rename  a -> z", ""},
        {"a filter that drops a line", ab, "exit:1", {"--yes", "--filter", "head -n 1"}, ab, 2, "",
         "expected 2 lines, one per file, but found 1"},
        {"a filter that fails", ab, "exit:1", {"--yes", "--filter", "exit 3"}, ab, 2, "", "did not end successfully"},
        {"an invalid expression", ab, "exit:1", {"--yes", "--replace", "a(", "x"}, ab, 2, "",
         "the expression 'a(': missing closing parenthesis at character 3; nothing changed"},
        {"an invalid counter", ab, "exit:1", {"--yes", "--replace", "a", "{n:x}"}, ab, 2, "", "the replacement '{n:x}'"},
        // Only a line the user empties goes to the Trash: one a transform
        // empties is refused, and so is a filter that only reorders.
        {"a replace that empties a name", {{"IMG_", "1"}, {"IMG_2", "2"}}, "exit:1",
         {"--yes", "--scope", "full", "--replace", "^IMG_", ""}, {{"IMG_", "1"}, {"2", "2"}}, 1,
         "refuse  IMG_  (the transform left no name)", ""},
        {"a replace that empties every path", ab, "exit:1", {"--yes", "--scope", "path", "--replace", ".*", ""}, ab, 1,
         "2 refused", ""},
        {"a filter that empties a line", ab, "exit:1", {"--yes", "--filter", "sed 's/^a$//'"}, ab, 1,
         "refuse  a  (the transform left no name)", ""},
        {"a replacement with a line break", ab, "exit:1", {"--yes", "--replace", "a", "x\ny"}, ab, 2, "",
         "a name cannot hold a line break at character 2; nothing changed"},
        {"a filter that only reorders", ab, "exit:1", {"--yes", "--filter", "sort -r"}, ab, 2, "",
         "the filter only changed the order of the lines"},
        {"case by full Unicode mapping", {{"stra\xC3\x9F" "e.txt", "1"}, {"\xC7\x86 a.md", "2"}}, "exit:1",
         {"--yes", "--case", "upper", "--scope", "full"}, {{"STRASSE.TXT", "1"}, {"\xC7\x84 A.MD", "2"}}, 0, "2 renames", ""},
        {"title case of a name", {{"\xC7\x86ungla photo.jpg", "1"}}, "exit:1", {"--yes", "--case", "title"},
         {{"\xC7\x85ungla Photo.jpg", "1"}}, 0, "1 rename", ""},
        {"a bad case", ab, "exit:1", {"--yes", "--case", "shouty"}, ab, 2, "",
         "--case takes upper, lower, title or sentence, not 'shouty'"},
    });
}

TEST_F(TerminalTest, JsonAndColours) {
    RunRows({
        // JSON for scripts: a byte that is not UTF-8 as a lone surrogate,
        // quotes and controls escaped, the counts after the changes.
        {"the plan as JSON", {{"caf\xE9", "1"}, {"q\"t", "2"}, {"z", "3"}}, "kaf\xE9\nq\"t\x01\n\n", {"-n", "--json"},
         {{"caf\xE9", "1"}, {"q\"t", "2"}, {"z", "3"}}, 0,
         "\"changes\": [\n  {\"action\": \"rename\", \"old\": \"caf\\udce9\", \"new\": \"kaf\\udce9\"},\n"
         "  {\"action\": \"rename\", \"old\": \"q\\\"t\", \"new\": \"q\\\"t\\u0001\"},\n"
         "  {\"action\": \"trash\", \"old\": \"z\", \"new\": null}\n],\n"
         " \"counts\": {\"renames\": 2, \"moves\": 0, \"trashed\": 1,", ""},
        {"a refusal in JSON", ab, "b\nb\n", {"-n", "--json"}, ab, 1,
         "{\"action\": \"refuse\", \"old\": \"a\", \"new\": \"b\", \"reason\": \"a file with that name exists\"}", ""},
        {"--json only with -n", ab, "x\nb\n", {"--json", "--yes"}, ab, 2, "", "--json goes with -n or --history"},
        // Colours: never with NO_COLOR or off a terminal, unless asked for.
        {"no colour off a terminal", ab, "x\nb\n", {"-n"}, ab, 0, "rename  a -> x", ""},
        {"colour when asked for", ab, "x\nb\n", {"-n", "--color=always"}, ab, 0, "\033[32mrename \033[0m a -> x", ""},
        {"a bad colour", ab, "x\nb\n", {"-n", "--color=sometimes"}, ab, 2, "", "--color takes auto, always or never"},
    });
}

// What the user picks: paths as a shell's glob gives them, a list on
// standard input, folder lines; the folders a batch empties; natural order.
// quil runs in the tree, as from a shell there.
TEST_F(TerminalTest, Selections) {
    struct Row {
        const char* name;
        Tree files;
        std::vector<std::string> args;
        std::string input;   // standard input
        std::string edited;  // what the editor saves; empty: the editor fails
        Tree after;          // empty: as before
        int status;
        std::string out;  // a part of the output
        std::string err;
    };
    const Tree jpgs = {{"p/img1.jpg", "1"}, {"p/img10.jpg", "10"}, {"q/b.jpg", "b"}, {"q/c.txt", "c"}, {"top.txt", "t"}};
    const Tree folders = {{"a/1", "1"}, {"a/.h", "h"}, {"b/2", "2"}, {"b/.g", "g"}};
    const std::vector<Row> rows = {
        {"a glob in several folders", jpgs, {"--list", "p/img10.jpg", "p/img1.jpg", "q/b.jpg"}, "", "", {}, 0,
         "p/img1.jpg\np/img10.jpg\nq/b.jpg\n", ""},
        {"a file and a folder", jpgs, {"--list", "top.txt", "q"}, "", "", {}, 0, "top.txt\nq/b.jpg\nq/c.txt\n", ""},
        {"twice, and below a folder given", jpgs, {"--list", "q", "q/b.jpg", "q"}, "", "", {}, 0, "b.jpg\nc.txt\n", ""},
        {"a list on standard input", jpgs, {"--list", "--from", "-"}, "p/img10.jpg\r\n\nq/b.jpg\n", "", {}, 0,
         "p/img10.jpg\nq/b.jpg\n", ""},
        {"a NUL-separated list", {{"a b.txt", "1"}, {"line\nbreak", "2"}, {"c", "3"}}, {"--list", "-0", "--from", "-"},
         std::string("a b.txt\0line\nbreak\0", 20), "", {}, 0, "a b.txt\n", "1 names hold a line break"},
        {"renamed from a list, the editor on the terminal", jpgs, {"--yes", "--from", "-"}, "q/b.jpg\n", "x.jpg\n",
         {{"p/img1.jpg", "1"}, {"p/img10.jpg", "10"}, {"q/x.jpg", "b"}, {"q/c.txt", "c"}, {"top.txt", "t"}}, 0,
         "rename  b.jpg -> x.jpg", ""},
        {"a path that does not exist", jpgs, {"--list", "top.txt", "nothere"}, "", "", {}, 2, "",
         "'nothere' does not exist; nothing changed"},
        {"folder lines renamed", folders, {"-D", "--yes"}, "", "x\nb\n",
         {{"x/1", "1"}, {"x/.h", "h"}, {"b/2", "2"}, {"b/.g", "g"}}, 0, "rename  a -> x", ""},
        {"folder lines swapped, hidden files inside", folders, {"-D", "--yes"}, "", "b\na\n",
         {{"b/1", "1"}, {"b/.h", "h"}, {"a/2", "2"}, {"a/.g", "g"}}, 0, "2 renames", ""},
        {"a folder to the Trash", folders, {"-D", "--yes"}, "", "\nb\n", {{"b/2", "2"}, {"b/.g", "g"}}, 0, "trash   a", ""},
        {"a full folder is not deleted for good", folders, {"-D", "--yes", "--permanent"}, "", "\nb\n", {}, 1,
         "not empty: it can only go to the Trash", ""},
        {"a folder into itself", folders, {"-D", "--yes"}, "", "a/in\nb\n", {}, 1, "a folder cannot move into itself", ""},
        {"a file given to -D", folders, {"-D", "--list", "a/1"}, "", "", {}, 2, "", "is not a folder"},
        {"an emptied folder is removed", {{"old/deep/a", "a"}, {"keep/b", "b"}}, {"--yes"}, "", "keep/b\nnew/a\n",
         {{"new/a", "a"}, {"keep/b", "b"}}, 0, "remove  old/deep/ (emptied)\nremove  old/ (emptied)", ""},
        {"a folder with an unlisted file is kept", {{"old/a", "a"}, {"old/.h", "h"}}, {"--yes"}, "", "new/a\n",
         {{"new/a", "a"}, {"old/.h", "h"}}, 0, "keep    old/ (1 entry not listed)", ""},
        {"natural order", {{"img10", ""}, {"IMG3", ""}, {"img2", ""}, {"img1", ""}}, {"--list"}, "", "", {}, 0,
         "img1\nimg2\nIMG3\nimg10\n", ""},
        {"letters without case first", {{"c", ""}, {"B", ""}, {"a", ""}, {"file", ""}, {"File", ""}}, {"--list"}, "", "", {}, 0,
         "a\nB\nc\nFile\nfile\n", ""},
        // A final slash means what the path leads to, as in ls link/.
        {"a link to a folder, with a final slash", {{"real/f", "1"}, {"ln", "-> real"}}, {"--yes", "ln/"}, "", "g\n",
         {{"real/g", "1"}, {"ln", "-> real"}}, 0, "rename  f -> g", ""},
        {"a link to a folder, without one", {{"real/f", "1"}, {"ln", "-> real"}}, {"--list", "ln"}, "", "", {}, 0, "ln\n", ""},
        {"one folder of a glob, for folder lines", {{"p/a/1", "1"}, {"p/b/2", "2"}}, {"-D", "--yes", "p/"}, "", "q\n",
         {{"q/a/1", "1"}, {"q/b/2", "2"}}, 0, "rename  p -> q", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        Write(row.files);
        QuilRun run;
        run.args = row.args;
        run.env = Environment(row.edited.empty() ? "false" : EditorSaving(row.edited));
        run.input = row.input;
        run.folder = tree_;
        const Outcome outcome = testing::RunQuil(run);
        EXPECT_EQ(outcome.status, row.status) << row.name << "\n" << outcome.out << outcome.err;
        EXPECT_EQ(Files(tree_), row.after.empty() ? row.files : row.after) << row.name;
        EXPECT_NE(outcome.out.find(row.out), std::string::npos) << row.name << "\n" << outcome.out;
        EXPECT_TRUE(testing::Holds(outcome.err, row.err));
        if (row.status != 0 || row.after.empty()) continue;
        // quil --undo in the same folder, with no path, takes the batch back
        // (the Trash included) and makes the emptied folders again.
        QuilRun undo = run;
        undo.args = {"--undo", "--yes"};
        undo.input.clear();
        const Outcome undone = testing::RunQuil(undo);
        EXPECT_EQ(undone.status, 0) << row.name << "\n" << undone.out << undone.err;
        EXPECT_EQ(Files(tree_), row.files) << row.name;
    }
}

// The undo of a batch given the paths it renamed away takes that folder's
// history, and says which batch it takes.
TEST_F(TerminalTest, UndoGivenTheOriginalPaths) {
    Write({{"a.txt", "1"}, {"s/b.txt", "2"}});
    QuilRun run;
    run.args = {"--yes", "a.txt", "s/b.txt"};
    run.env = Environment(EditorSaving("x.txt\ns/y.txt\n"));
    run.folder = tree_;
    ASSERT_EQ(testing::RunQuil(run).status, 0);
    ASSERT_EQ(Files(tree_), (Tree{{"x.txt", "1"}, {"s/y.txt", "2"}}));
    run.args = {"--undo", "--yes", "a.txt", "s/b.txt"};
    const Outcome undo = testing::RunQuil(run);
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_NE(undo.out.find("undo the batch of "), std::string::npos) << undo.out;
    EXPECT_NE(undo.out.find(" in '" + tree_.string() + "/' (2 renames)"), std::string::npos) << undo.out;
    EXPECT_EQ(Files(tree_), (Tree{{"a.txt", "1"}, {"s/b.txt", "2"}}));
}

// A sync client deletes a file of a cycle between the listing and the
// run: its line is reported, the rest of the cycle finishes, and no file
// is left under a name nobody typed.
TEST_F(TerminalTest, ACycleThroughAFileThatVanishedFinishes) {
    Write({{"foo", "foo"}, {"bar", "bar"}, {"baz", "baz"}, {"qux", "qux"}, {"quux", "quux"}});
    // Listed bar baz foo quux qux: foo and bar swap; qux -> quux -> baz -> qux.
    const std::string editor = "rm '" + (tree_ / "quux").string() + "'; " + EditorSaving("foo\nqux\nbar\nbaz\nquux\n");
    const Outcome outcome = Run({"--yes", tree_.string()}, editor);
    EXPECT_EQ(outcome.status, 1) << outcome.err;
    EXPECT_NE(outcome.err.find("cannot move 'quux' to 'baz': no longer the file that was listed"), std::string::npos)
        << outcome.err;
    EXPECT_EQ(Files(tree_), (Tree{{"bar", "foo"}, {"foo", "bar"}, {"quux", "qux"}, {"qux", "baz"}}));
}

// A file moved into a folder of its own name, and back by the undo.
TEST_F(TerminalTest, AMoveIntoAFolderOfTheFilesOwnNameIsUndone) {
    Write({{"a", "A"}});
    ASSERT_EQ(Run({"--apply", "-", "--yes", tree_.string()}, "false", "a/f\n").status, 0);
    ASSERT_EQ(Files(tree_), (Tree{{"a/f", "A"}}));
    const Outcome undo = Run({"--undo", "--yes", tree_.string()});
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(Files(tree_), (Tree{{"a", "A"}}));
}

// A folder the batch emptied and removed comes back with its mode, its
// owner (quil runs as root in CI) and its times.
TEST_F(TerminalTest, AnEmptiedFolderComesBackAsItWas) {
    Write({{"private/a", "1"}, {"b", "2"}});
    const fs::path folder = tree_ / "private";
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(folder.c_str(), 1234, 5678), 0);
    }
    ASSERT_EQ(chmod(folder.c_str(), 0710), 0);
    const timespec times[2] = {{1000000000, 5}, {1100000000, 7}};
    ASSERT_EQ(utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
    ASSERT_EQ(Run({"--yes", tree_.string()}, EditorSaving("a\nb\n")).status, 0);
    ASSERT_FALSE(fs::exists(folder));
    const Outcome undo = Run({"--undo", "--yes", tree_.string()});
    ASSERT_EQ(undo.status, 0) << undo.err;
    struct stat info {};
    ASSERT_EQ(lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0710u);
    if (root) {
        EXPECT_EQ(info.st_uid, 1234u);
        EXPECT_EQ(info.st_gid, 5678u);
    }
    EXPECT_EQ(info.st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(info.st_mtim.tv_nsec, 7);
    EXPECT_EQ(Files(tree_), (Tree{{"private/a", "1"}, {"b", "2"}}));
}

TEST_F(TerminalTest, TheTrashHoldsWhatWasEmptiedAndUndoBringsItBack) {
    Write({{"a", "1"}, {"b", "2"}, {"s/c", "3"}});
    const Outcome batch = Run({"--yes", tree_.string()}, EditorSaving("b\n\nt/c\n"));
    ASSERT_EQ(batch.status, 0) << batch.err;
    EXPECT_EQ(Files(tree_), (Tree{{"b", "1"}, {"t/c", "3"}}));
    EXPECT_EQ(Trashed(), (Tree{{"b", "2"}}));
    EXPECT_EQ(Files(base_ / "data/Trash/info").size(), 1u);

    const Outcome undo = Run({"--undo", "--yes", tree_.string()});
    EXPECT_EQ(undo.status, 0) << undo.out << undo.err;
    EXPECT_NE(undo.out.find("restore b"), std::string::npos) << undo.out;
    EXPECT_EQ(Files(tree_), (Tree{{"a", "1"}, {"b", "2"}, {"s/c", "3"}}));
    EXPECT_TRUE(Trashed().empty());
    EXPECT_EQ(Run({"--undo", "--yes", tree_.string()}).status, 2);  // nothing left to undo
}

TEST_F(TerminalTest, TheListTheApplyFileAndBadInput) {
    Write({{"b", "2"}, {"a", "1"}, {"s/c", "3"}, {"line\nbreak", "4"}});
    const Outcome list = Run({"--list", tree_.string()});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "a\nb\ns/c\n");
    EXPECT_NE(list.err.find("1 names hold a line break"), std::string::npos) << list.err;

    const Outcome depth = Run({"--list", "-d", "0", tree_.string()});
    EXPECT_EQ(depth.out, "a\nb\n");

    const Outcome apply = Run({"--apply", "-", "--yes", tree_.string()}, "false", "a\r\nz\r\ns/c\r\n");
    EXPECT_EQ(apply.status, 0) << apply.err;
    EXPECT_TRUE(fs::exists(tree_ / "z"));

    EXPECT_EQ(Run({(base_ / "nowhere").string()}).status, 2);
    EXPECT_NE(Run({(base_ / "nowhere").string()}).err.find("does not exist"), std::string::npos);
    EXPECT_EQ(Run({"--apply", (base_ / "missing").string(), tree_.string()}).status, 2);
    EXPECT_EQ(Run({"--frobnicate"}).status, 2);
    EXPECT_EQ(Run({"-d", "x"}).status, 2);
    EXPECT_EQ(Run({"--help"}).status, 0);
}

// Emptying one line, with the Trash in every state it can be found in:
// the file listed goes to the Trash as itself, or stays where it is with
// a failure said at once; nothing is made outside the Trash.
TEST_F(TerminalTest, TheTrashTakesTheListedFileOrSaysWhyNot) {
    struct Row {
        const char* name;
        std::string file;                          // the line emptied
        std::function<void(const fs::path&)> prepare;  // given the base folder
        std::map<std::string, std::string> env;    // over the usual
        bool unprivileged;
        const char* trash;  // where the file goes, below the base folder; null: it stays
        const char* err;
    };
    const std::string longName(246, 'n');
    auto writeFile = [](const fs::path& path) { std::ofstream(path) << "x"; };
    const std::vector<Row> rows = {
        {"a name too long for its info file", longName, nullptr, {}, false, nullptr, "too long"},
        {"info is a file", "a", [&](const fs::path& base) { fs::create_directories(base / "data/Trash"); writeFile(base / "data/Trash/info"); },
         {}, false, nullptr, "cannot trash"},
        {"files is a file", "a", [&](const fs::path& base) { fs::create_directories(base / "data/Trash/info"); writeFile(base / "data/Trash/files"); },
         {}, false, nullptr, "cannot trash"},
        {"info is read-only", "a",
         [](const fs::path& base) {
             fs::create_directories(base / "data/Trash/files");
             fs::create_directories(base / "data/Trash/info");
             fs::permissions(base / "data/Trash/info", fs::perms::owner_read | fs::perms::owner_exec);
         },
         {}, true, nullptr, "cannot trash"},
        {"XDG_DATA_HOME a file", "a", [&](const fs::path& base) { writeFile(base / "datafile"); }, {{"XDG_DATA_HOME", "@datafile"}}, false,
         nullptr, "cannot trash"},
        {"XDG_DATA_HOME relative: ignored", "a", nullptr, {{"XDG_DATA_HOME", "reldata"}}, false, "home/.local/share/Trash/files/a", ""},
        {"no ~/.local/share: made", "a", nullptr, {{"XDG_DATA_HOME", ""}}, false, "home/.local/share/Trash/files/a", ""},
        {"a name that is not UTF-8, beside its look-alike", "caf\xE9", nullptr, {}, false, "data/Trash/files/caf\xE9", ""},
        {"a link to a file", "link", [](const fs::path& base) { fs::create_symlink("keep", base / "tree/link"); }, {}, false,
         "data/Trash/files/link", ""},
        {"a link to a folder", "link", [](const fs::path& base) { fs::create_symlink("/", base / "tree/link"); }, {}, false,
         "data/Trash/files/link", ""},
        {"a dangling link", "link", [](const fs::path& base) { fs::create_symlink("nowhere", base / "tree/link"); }, {}, false,
         "data/Trash/files/link", ""},
        {"a looping link", "link", [](const fs::path& base) { fs::create_symlink("link", base / "tree/link"); }, {}, false,
         "data/Trash/files/link", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        Write({{"keep", "k"}, {"caf\xEF\xBF\xBD", "look-alike"}});
        if (row.file != "link") Write({{row.file, "the file"}});
        fs::create_directories(base_ / "cwd");
        if (row.prepare) row.prepare(base_);
        const Tree before = Files(tree_);

        QuilRun list;
        list.args = {"--list", tree_.string()};
        list.env = Environment("false");
        std::string edited;
        std::istringstream lines(testing::RunQuil(list).out);
        for (std::string line; std::getline(lines, line);) edited += (line == row.file ? "" : line) + "\n";

        QuilRun run;
        run.args = {"--apply", "-", "--yes", tree_.string()};
        run.env = Environment("false");
        for (const auto& [name, value] : row.env)
            run.env[name] = value.rfind('@', 0) == 0 ? (base_ / value.substr(1)).string() : value;
        run.input = edited;
        run.folder = base_ / "cwd";
        run.unprivileged = row.unprivileged;
        const Outcome outcome = testing::RunQuil(run);

        Tree expected = before;
        if (row.trash) {
            EXPECT_EQ(outcome.status, 0) << row.name << "\n" << outcome.err;
            expected.erase(row.file);
            std::error_code error;
            EXPECT_TRUE(fs::exists(fs::symlink_status(base_ / row.trash, error))) << row.name;
        } else {
            EXPECT_EQ(outcome.status, 1) << row.name << "\n" << outcome.err;
            EXPECT_TRUE(testing::Holds(outcome.err, row.err));
        }
        EXPECT_EQ(Files(tree_), expected) << row.name;
        EXPECT_TRUE(fs::is_empty(base_ / "cwd")) << row.name;
        if (!row.trash) continue;
        if (row.env.count("XDG_DATA_HOME") && row.env.at("XDG_DATA_HOME").empty()) {
            EXPECT_EQ(fs::status(base_ / "home/.local/share").permissions() & fs::perms::all, fs::perms::owner_all) << row.name;
        }
        QuilRun undo = run;
        undo.args = {"--undo", "--yes", tree_.string()};
        const Outcome undone = testing::RunQuil(undo);
        EXPECT_EQ(undone.status, 0) << row.name << "\n" << undone.err;
        EXPECT_EQ(Files(tree_), before) << row.name;
    }
}

TEST_F(TerminalTest, AFolderThatTookAListedFilesNameMeanwhileIsLeftAlone) {
    Write({{"a", "1"}, {"b", "2"}});
    // While the list is being edited, a becomes a folder.
    const std::string editor = "sh -c 'rm \"$0\"/a && mkdir \"$0\"/a && echo in > \"$0\"/a/inside && "
                               "printf \"\\nc\\n\" > \"$1\"' '" + tree_.string() + "'";
    const Outcome outcome = Run({"--yes", tree_.string()}, editor);
    EXPECT_EQ(outcome.status, 1) << outcome.err;
    EXPECT_NE(outcome.err.find("no longer the file that was listed"), std::string::npos) << outcome.err;
    EXPECT_EQ(Files(tree_), (Tree{{"a/inside", "in\n"}, {"c", "2"}}));
    EXPECT_TRUE(Trashed().empty());
}

// The link d/l is to leave, but its folder is read-only; x, whose target
// passes through d/l, must not follow the link into t.
TEST_F(TerminalTest, AMoveNeverGoesThroughALinkThatCouldNotLeave) {
    Write({{"x", "x"}, {"t/keep", "k"}});
    fs::create_directories(tree_ / "d");
    fs::create_symlink("../t", tree_ / "d/l");
    fs::permissions(tree_ / "d", fs::perms::owner_read | fs::perms::owner_exec);
    QuilRun run;
    run.args = {"--apply", "-", "--yes", tree_.string()};
    run.env = Environment("false");
    run.input = "d/l/x\ne\nt/keep\n";  // x -> d/l/x, d/l -> e
    run.unprivileged = true;
    const Outcome outcome = testing::RunQuil(run);
    EXPECT_EQ(outcome.status, 1) << outcome.out << outcome.err;
    EXPECT_NE(outcome.err.find("had to leave its name first could not"), std::string::npos) << outcome.err;
    EXPECT_EQ(Files(tree_), (Tree{{"d/l", "-> ../t"}, {"t/keep", "k"}, {"x", "x"}}));
}

TEST_F(TerminalTest, HistoryUndoWalksBackAndOneBatchAtATime) {
    Write({{"a", "1"}});
    for (const char* name : {"b", "c", "d"}) ASSERT_EQ(Run({"--yes", tree_.string()}, EditorSaving(std::string(name) + "\n")).status, 0);
    const Outcome history = Run({"--history", tree_.string()});
    EXPECT_EQ(history.status, 0);
    EXPECT_EQ(std::count(history.out.begin(), history.out.end(), '\n'), 3) << history.out;
    EXPECT_NE(history.out.find("1 rename"), std::string::npos) << history.out;
    const Outcome json = Run({"--history", "--json", tree_.string()});
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '{'), 7) << json.out;  // the whole, 3 batches, 3 counts
    EXPECT_NE(json.out.find("\"undone\": false, \"counts\": {\"renames\": 1, \"moves\": 0"), std::string::npos) << json.out;
    const Outcome undoPlan = Run({"--undo", "-n", "--json", tree_.string()});
    EXPECT_NE(undoPlan.out.find("[\n  {\"action\": \"rename\", \"old\": \"d\", \"new\": \"c\"}\n]"), std::string::npos)
        << undoPlan.out;

    // While another quil holds the folder's lock, nothing is applied.
    std::vector<int> held;
    for (const auto& entry : fs::directory_iterator(base_ / "state/quillane"))
        if (entry.path().extension() == ".lock") {
            held.push_back(open(entry.path().c_str(), O_RDWR | O_CLOEXEC));
            flock(held.back(), LOCK_EX);
        }
    ASSERT_EQ(held.size(), 1u);
    const Outcome busy = Run({"--yes", tree_.string()}, EditorSaving("z\n"));
    EXPECT_EQ(busy.status, 2);
    EXPECT_NE(busy.err.find("another batch is being applied"), std::string::npos) << busy.err;
    EXPECT_EQ(Run({"--undo", "--yes", tree_.string()}).status, 2);
    EXPECT_EQ(Files(tree_), (Tree{{"d", "1"}}));
    for (int fd : held) close(fd);

    for (const char* name : {"c", "b", "a"}) {
        const Outcome undo = Run({"--undo", "--yes", tree_.string()});
        EXPECT_EQ(undo.status, 0) << undo.err;
        EXPECT_EQ(Files(tree_), (Tree{{name, "1"}}));
    }
    EXPECT_EQ(Run({"--undo", "--yes", tree_.string()}).status, 2);
    const Outcome after = Run({"--history", tree_.string()});
    EXPECT_EQ(std::count(after.out.begin(), after.out.end(), '\n'), 3) << after.out;
    EXPECT_NE(after.out.find("(undone)"), std::string::npos) << after.out;
}

// Ended anywhere by a signal, SIGKILL included, a batch is undone whole:
// nothing is lost and every file goes back to its name.
TEST_F(TerminalTest, ABatchEndedByASignalIsUndoneWhole) {
    for (const int signal : {SIGKILL, SIGTERM, SIGHUP, SIGINT}) {
        TearDown();
        SetUp();
        Tree files;
        std::string edited;
        for (int i = 0; i < 20000; ++i) {
            files["f" + std::to_string(100000 + i)] = std::to_string(i);
            // Swap neighbours, so that the batch is all cycles.
            edited += "f" + std::to_string(100000 + (i ^ 1)) + "\n";
        }
        Write(files);
        QuilRun run;
        run.args = {"--apply", "-", "--yes", tree_.string()};
        run.env = Environment("false");
        run.input = edited;
        run.meanwhile = [&](pid_t pid) {
            // Once the first renames are journaled, a moment into the batch.
            for (int waited = 0; waited < 20000; ++waited) {
                const std::vector<fs::path> journals = Journals();
                std::error_code error;
                if (!journals.empty() && fs::file_size(journals[0], error) > 4096) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            kill(pid, signal);
        };
        const Outcome batch = testing::RunQuil(run);
        ASSERT_TRUE(batch.status == 128 + signal || batch.status == 0) << signal << ": " << batch.status << batch.err;
        if (signal != SIGKILL && batch.status != 0) {
            EXPECT_NE(batch.err.find("quil: stopped; applied "), std::string::npos) << batch.err;
        }
        const Outcome undo = Run({"--undo", "--yes", tree_.string()});
        EXPECT_EQ(undo.status, 0) << signal << ": " << undo.err;
        EXPECT_EQ(Files(tree_), files) << signal;
        std::cout << "[ signal " << signal << " ] "
                  << (batch.status == 0 ? std::string("finished before the signal") : batch.err) << std::endl;
    }
}

// The questions come on the terminal itself, answered through a
// pseudo-terminal; a batch that could not be undone is said first.
TEST_F(TerminalTest, TheQuestionsAreAskedOnTheTerminal) {
    Write({{"a", "1"}});
    const Outcome applied = OnTerminal({tree_.string()}, Environment(EditorSaving("x\n")), {{"Apply? [y/N/e] ", "y"}});
    EXPECT_EQ(applied.status, 0) << applied.out;
    EXPECT_EQ(Files(tree_), (Tree{{"x", "1"}}));

    std::ofstream(base_ / "not-a-folder") << "";
    std::map<std::string, std::string> env = Environment(EditorSaving("y\n"));
    env["XDG_STATE_HOME"] = (base_ / "not-a-folder").string();
    const Outcome refused = OnTerminal({tree_.string()}, env,
                                       {{"Apply? [y/N/e] ", "y"}, {"cannot be undone (", "n"}});
    EXPECT_EQ(refused.status, 2) << refused.out;
    EXPECT_NE(refused.out.find("This batch cannot be undone ("), std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find("Apply anyway? [y/N] "), std::string::npos) << refused.out;
    EXPECT_EQ(Files(tree_), (Tree{{"x", "1"}}));

    // A list of paths on standard input: the editor still gets the terminal.
    const std::string saved = (base_ / "edited-tty").string();
    std::ofstream(saved) << "w\n";
    const std::string ttyEditor = "sh -c 'test -t 0 && test -t 1 && cp \"" + saved + "\" \"$1\"' -";
    const Outcome piped = OnTerminal({"--from", "-"}, Environment(ttyEditor), {{"Apply? [y/N/e] ", "y"}},
                                     (tree_ / "x").string() + "\n");
    EXPECT_EQ(piped.status, 0) << piped.out;
    EXPECT_EQ(Files(tree_), (Tree{{"w", "1"}}));
    Write({{"x", "1"}});
    fs::remove(tree_ / "w");

    // With --yes it is applied, and said on standard error.
    const Outcome warned = Run({"--yes", tree_.string()}, EditorSaving("y\n"));
    EXPECT_EQ(warned.status, 0);
    QuilRun run;
    run.args = {"--yes", tree_.string()};
    run.env = Environment(EditorSaving("z\n"));
    run.env["XDG_STATE_HOME"] = (base_ / "not-a-folder").string();
    const Outcome unjournaled = testing::RunQuil(run);
    EXPECT_EQ(unjournaled.status, 0) << unjournaled.err;
    EXPECT_NE(unjournaled.err.find("warning: this batch cannot be undone ("), std::string::npos) << unjournaled.err;
    EXPECT_EQ(Files(tree_), (Tree{{"z", "1"}}));
}

}  // namespace
}  // namespace quil
