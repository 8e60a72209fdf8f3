// quil run for real on temporary trees, with EDITOR set to small scripts,
// the Trash and the journal in temporary folders.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

extern char** environ;

namespace quil {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Slurp(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR);)
        if (got > 0) text.append(buffer, static_cast<std::size_t>(got));
    return text;
}

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = fs::temp_directory_path() /
                ("quil-terminal-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base_);
        fs::create_directories(tree_ = base_ / "tree");
        fs::create_directories(base_ / "data");
        fs::create_directories(base_ / "state");
    }
    void TearDown() override { fs::remove_all(base_); }

    void Write(const Tree& files) {
        for (const auto& [path, content] : files) {
            fs::create_directories((tree_ / path).parent_path());
            std::ofstream(tree_ / path, std::ios::binary) << content;
        }
    }
    Tree Files(const fs::path& folder) const {
        Tree files;
        if (!fs::exists(folder)) return files;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream content;
            content << in.rdbuf();
            files[fs::relative(entry.path(), folder).string()] = content.str();
        }
        return files;
    }
    Tree Trashed() const { return Files(base_ / "data/Trash/files"); }

    // An editor that saves text as the edited list.
    std::string EditorSaving(const std::string& text) {
        const fs::path saved = base_ / ("edited-" + std::to_string(++edits_));
        std::ofstream(saved, std::ios::binary) << text;
        return "cp '" + saved.string() + "'";
    }

    std::vector<std::string> Environment(const std::string& editor) const {
        std::vector<std::string> env;
        for (char** entry = environ; *entry; ++entry) {
            const std::string variable = *entry;
            for (const char* dropped : {"EDITOR=", "VISUAL=", "XDG_DATA_HOME=", "XDG_STATE_HOME=", "NO_COLOR="})
                if (variable.rfind(dropped, 0) == 0) goto next;
            env.push_back(variable);
        next:;
        }
        env.push_back("EDITOR=" + editor);
        env.push_back("XDG_DATA_HOME=" + (base_ / "data").string());
        env.push_back("XDG_STATE_HOME=" + (base_ / "state").string());
        env.push_back("NO_COLOR=1");
        return env;
    }

    // Runs quil in a session of its own, without a controlling terminal.
    // With interrupt, Ctrl-C comes soon after the batch has begun (its
    // journal exists).
    Outcome Run(std::vector<std::string> args, const std::string& editor = "false", const std::string& input = "",
                bool interrupt = false) {
        args.insert(args.begin(), Program());
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<std::string> env = Environment(editor);
        std::vector<char*> envp;
        for (std::string& entry : env) envp.push_back(entry.data());
        envp.push_back(nullptr);

        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return {};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        pid_t pid;
        const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        close(in[0]);
        close(out[1]);
        close(err[1]);
        Outcome outcome;
        if (spawned != 0) return outcome;
        std::thread feeder([&] {
            if (!input.empty()) (void)!write(in[1], input.data(), input.size());
            close(in[1]);
        });
        std::thread interrupter;
        if (interrupt)
            interrupter = std::thread([&] {
                const fs::path journals = base_ / "state/quillane";
                for (int waited = 0; waited < 20000; ++waited) {
                    std::error_code error;
                    if (fs::exists(journals, error) && !fs::is_empty(journals, error)) break;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(30));  // into the batch
                kill(pid, SIGINT);
            });
        std::string errText;
        std::thread errReader([&] { errText = Slurp(err[0]); });
        outcome.out = Slurp(out[0]);
        errReader.join();
        feeder.join();
        int status = 0;
        waitpid(pid, &status, 0);
        if (interrupter.joinable()) interrupter.join();
        close(out[0]);
        close(err[0]);
        outcome.err = errText;
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return outcome;
    }

    static std::string Program() {
        const char* program = std::getenv("QUIL_TERMINAL");
        return program ? program : "quil";
    }

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
    std::string err;  // a line the errors hold
};

TEST_F(TerminalTest, Batches) {
    const Tree ab = {{"a", "1"}, {"b", "2"}};
    const std::vector<Row> rows = {
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
    };
    for (const Row& row : rows) {
        TearDown();
        SetUp();
        Write(row.files);
        std::string editor = row.edited.rfind("sed:", 0) == 0 ? "sed -i -e '" + row.edited.substr(4) + "'"
                             : row.edited.rfind("exit:", 0) == 0 ? "false"
                                                                 : EditorSaving(row.edited);
        std::vector<std::string> args = row.args;
        args.push_back(tree_.string());
        const Outcome outcome = Run(args, editor);
        EXPECT_EQ(outcome.status, row.status) << row.name << "\n" << outcome.out << outcome.err;
        EXPECT_EQ(Files(tree_), row.after) << row.name;
        EXPECT_NE(outcome.out.find(row.out), std::string::npos) << row.name << "\n" << outcome.out;
        EXPECT_NE(outcome.err.find(row.err), std::string::npos) << row.name << "\n" << outcome.err;
    }
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

// Interrupted anywhere, a batch is undone whole: nothing is lost and every
// file goes back to its name.
TEST_F(TerminalTest, AnInterruptedBatchIsUndoneWhole) {
    Tree files;
    std::string edited;
    for (int i = 0; i < 20000; ++i) {
        files["f" + std::to_string(100000 + i)] = std::to_string(i);
        // Swap neighbours, so that the batch is all cycles.
        edited += "f" + std::to_string(100000 + (i ^ 1)) + "\n";
    }
    Write(files);
    const Outcome batch = Run({"--apply", "-", "--yes", tree_.string()}, "false", edited, true);
    ASSERT_TRUE(batch.status == 130 || batch.status == 0) << batch.status << batch.err;
    if (batch.status == 130) {
        EXPECT_NE(batch.err.find("quil: stopped; applied "), std::string::npos) << batch.err;
    }
    const Outcome undo = Run({"--undo", "--yes", tree_.string()});
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(Files(tree_), files);
    std::cout << "[ interrupted ] " << (batch.status == 130 ? batch.err : "finished before the interrupt") << std::endl;
}

// The question comes on the terminal itself, answered through a
// pseudo-terminal.
TEST_F(TerminalTest, TheQuestionIsAskedOnTheTerminal) {
    Write({{"a", "1"}});
    const std::string editor = EditorSaving("x\n");
    int master;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::vector<std::string> env = Environment(editor);
        std::vector<char*> envp;
        for (std::string& entry : env) envp.push_back(entry.data());
        envp.push_back(nullptr);
        const std::string program = Program(), folder = tree_.string();
        execve(program.c_str(), std::vector<char*>{const_cast<char*>(program.c_str()), const_cast<char*>(folder.c_str()), nullptr}.data(),
               envp.data());
        _exit(127);
    }
    std::string seen;
    bool answered = false;
    for (auto start = std::chrono::steady_clock::now(); std::chrono::steady_clock::now() - start < std::chrono::seconds(20);) {
        pollfd poller{master, POLLIN, 0};
        if (poll(&poller, 1, 100) <= 0) continue;
        char buffer[256];
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) break;  // the program ended
        seen.append(buffer, static_cast<std::size_t>(got));
        if (!answered && seen.find("Apply? [y/N/e] ") != std::string::npos) {
            ASSERT_EQ(write(master, "y\n", 2), 2);
            answered = true;
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    EXPECT_TRUE(answered) << seen;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen;
    EXPECT_EQ(Files(tree_), (Tree{{"x", "1"}}));
}

}  // namespace
}  // namespace quil
