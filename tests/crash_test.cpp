// Crash safety, proven at every system call: quil is killed by strace at
// each call its batch makes, one run per call; its journal is cut back to
// what its last fdatasync made durable, as a power cut would; its journal
// writes fail with ENOSPC and EIO; and its undo is killed at each of its own
// calls. After each, quil --undo must put the tree back as it was (names,
// inode numbers, contents, folder modes, the git index), or name each path
// it cannot and exit 1. The runs go in parallel, one work folder each.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "tests/quil_process.h"

namespace quil {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;
using testing::Outcome;

// A system call by its name and its number among the calls of that name
// (strace counts each thread's calls apart).
struct CallPoint {
    std::string name;
    int ordinal;
};

struct Scenario {
    const char* name;
    Tree files;
    std::map<std::string, mode_t> folderModes;  // set after the files are written
    std::vector<std::string> args;              // before the list and the tree
    std::string edited;
    bool git;
};

std::string Run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    pclose(pipe);
    return out;
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// The calls of a trace (strace -f -o), in order, each with its ordinal in
// its thread; a resumed call is the call it began.
std::vector<CallPoint> CallsOf(const fs::path& trace) {
    std::vector<CallPoint> calls;
    std::map<std::pair<std::string, std::string>, int> counts;  // thread, name -> calls so far
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
        const std::size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        const std::string thread = line.substr(0, space);
        const std::string rest = line.substr(line.find_first_not_of(' ', space));
        const std::size_t paren = rest.find('(');
        if (rest.empty() || !std::isalpha(static_cast<unsigned char>(rest[0])) || paren == std::string::npos) continue;
        const std::string name = rest.substr(0, paren);
        calls.push_back({name, ++counts[{thread, name}]});
    }
    return calls;
}

// The length each journal had at its last fdatasync, from a trace made
// with -y (each descriptor with its path). A call another thread split in
// two ("<unfinished ...>", then "resumed") is joined again.
std::map<std::string, std::size_t> SyncedLengths(const fs::path& trace) {
    std::map<std::string, std::size_t> written, synced;
    std::map<std::string, std::string> unfinished;  // thread -> the first half of its call
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
        const std::string thread = line.substr(0, line.find(' '));
        if (line.find("<unfinished ...>") != std::string::npos) {
            unfinished[thread] = line;
            continue;
        }
        if (line.find(" resumed>") != std::string::npos) line = unfinished[thread] + line;
        const std::size_t open = line.find("</"), close = line.find('>', open);
        if (open == std::string::npos || close == std::string::npos) continue;
        const std::string path = line.substr(open + 1, close - open - 1);
        if (path.find(".journal") == std::string::npos) continue;
        const std::size_t equals = line.rfind(" = ");
        if (equals == std::string::npos || !std::isdigit(static_cast<unsigned char>(line[equals + 3]))) continue;
        if (line.find(" write(") != std::string::npos)
            written[path] += std::strtoul(line.c_str() + equals + 3, nullptr, 10);
        else if (line.find(" fdatasync(") != std::string::npos && line.compare(equals, 4, " = 0") == 0)
            synced[path] = written[path];
    }
    for (const auto& [path, length] : written) synced.try_emplace(path, 0);
    return synced;
}

// One work folder: the tree, and the homes quil keeps its Trash and
// journals in, copied afresh from the scenario's template for each run.
class Lab {
public:
    Lab(fs::path base, const Scenario& scenario) : base_(std::move(base)), scenario_(scenario) {}

    const fs::path& base() const { return base_; }
    fs::path tree() const { return base_ / "tree"; }

    // A copy: the same names, contents and modes, other inode numbers.
    void CopyFrom(const fs::path& from) {
        fs::remove_all(base_);
        fs::copy(from, base_, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }

    void Make() {
        fs::remove_all(base_);
        for (const char* folder : {"tree", "home", "data", "state"}) fs::create_directories(base_ / folder);
        testing::WriteFiles(tree(), scenario_.files);
        std::ofstream(base_ / "edited", std::ios::binary) << scenario_.edited;
        if (scenario_.git)
            Run("cd " + Quoted(tree()) + " && git init -q && git add -A && git -c user.name=t -c user.email=t@t commit -qm start");
        for (const auto& [folder, mode] : scenario_.folderModes) chmod((tree() / folder).c_str(), mode);
    }

    Outcome Quil(std::vector<std::string> args, std::vector<std::string> wrapper = {}) const {
        testing::QuilRun run;
        run.args = std::move(args);
        run.args.push_back(tree().string());
        run.env = {{"HOME", (base_ / "home").string()},
                   {"XDG_DATA_HOME", (base_ / "data").string()},
                   {"XDG_STATE_HOME", (base_ / "state").string()},
                   {"NO_COLOR", "1"}};
        run.wrapper = std::move(wrapper);
        return testing::RunQuil(run);
    }

    std::vector<std::string> BatchArgs() const {
        std::vector<std::string> args = scenario_.args;
        args.insert(args.end(), {"--apply", (base_ / "edited").string(), "--yes"});
        return args;
    }

    // path -> what identifies it: a file's inode and content, a folder's
    // mode; and the git index, unless given (every copy starts with one).
    Tree Snapshot(const std::string* index = nullptr) const {
        Tree snapshot;
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(tree(), error); it != fs::recursive_directory_iterator(); ++it) {
            const std::string relative = it->path().lexically_relative(tree()).string();
            if (relative == ".git") {
                it.disable_recursion_pending();
                continue;
            }
            struct stat info {};
            lstat(it->path().c_str(), &info);
            std::ostringstream what;
            if (S_ISDIR(info.st_mode)) {
                what << "folder " << std::oct << (info.st_mode & 07777);
            } else {
                std::ifstream in(it->path(), std::ios::binary);
                std::ostringstream content;
                content << in.rdbuf();
                what << "file " << info.st_ino << " " << std::hash<std::string>()(content.str());
            }
            snapshot[relative] = what.str();
        }
        if (scenario_.git) snapshot[".git index"] = index ? *index : Run("git -C " + Quoted(tree()) + " ls-files -s");
        return snapshot;
    }

    std::vector<fs::path> Journals() const {
        std::vector<fs::path> journals;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(base_ / "state/quillane", ignored))
            if (entry.path().extension() == ".journal") journals.push_back(entry.path());
        return journals;
    }

private:
    fs::path base_;
    const Scenario& scenario_;
};

std::vector<std::string> Strace(const fs::path& trace, const std::string& inject = {}) {
    std::vector<std::string> command = {"/usr/bin/strace", "-f", "-qq", "-s", "0", "-y", "-o", trace.string()};
    if (!inject.empty()) command.insert(command.end(), {"-e", "inject=" + inject});
    return command;
}

// What went wrong after one run, or empty: the tree is as it was, or the
// undo named each path it could not put back and said so by its status.
std::string Verdict(const Tree& before, const Tree& after, const Outcome& undo) {
    std::vector<std::string> differing;
    for (const auto& [path, what] : before)
        if (after.count(path) == 0 || after.at(path) != what) differing.push_back(path);
    for (const auto& [path, what] : after)
        if (before.count(path) == 0) differing.push_back(path);
    if (differing.empty()) return {};
    bool named = undo.status == 1;
    for (const std::string& path : differing) named = named && undo.err.find(path) != std::string::npos;
    if (named) return {};
    std::string verdict = "undo status " + std::to_string(undo.status) + ", " + undo.err + "; not put back:";
    for (const std::string& path : differing)
        verdict += "\n  " + path + ": " + (before.count(path) ? before.at(path) : "(none)") + " -> " +
                   (after.count(path) ? after.at(path) : "(none)");
    return verdict;
}

class CrashTest : public ::testing::TestWithParam<Scenario> {
protected:
    void SetUp() override {
        base_ = fs::temp_directory_path() / ("quil-crash-" + std::to_string(getpid()) + "-" + GetParam().name);
        fs::remove_all(base_);
        Lab model(base_ / "template", GetParam());
        model.Make();
        index_ = model.Snapshot()[".git index"];
        // The batch once, untouched, for its calls and its journal's writes.
        Lab traced(base_ / "traced", GetParam());
        traced.CopyFrom(model.base());
        const Outcome outcome = traced.Quil(traced.BatchArgs(), Strace(base_ / "batch.trace"));
        ASSERT_EQ(outcome.status, 0) << outcome.out << outcome.err;
        const Outcome undo = traced.Quil({"--undo", "--yes"}, Strace(base_ / "undo.trace"));
        ASSERT_EQ(undo.status, 0) << undo.out << undo.err;
    }
    void TearDown() override { fs::remove_all(base_); }

    // Runs each point on its own copy of the template, the machine's cores
    // in parallel; a point's check returns what went wrong, or empty.
    template <typename Point>
    void ForEach(const std::vector<Point>& points, const std::function<std::string(Lab&, const Point&)>& check) {
        std::atomic<std::size_t> next{0};
        std::mutex mutex;
        std::vector<std::string> failures;
        std::vector<std::thread> workers;
        const unsigned count = std::max(2u, std::thread::hardware_concurrency());
        for (unsigned worker = 0; worker < count; ++worker) {
            workers.emplace_back([&, worker] {
                Lab lab(base_ / ("work-" + std::to_string(worker)), GetParam());
                for (std::size_t index; (index = next++) < points.size();) {
                    lab.CopyFrom(base_ / "template");
                    const std::string failure = check(lab, points[index]);
                    if (failure.empty()) continue;
                    std::lock_guard<std::mutex> lock(mutex);
                    failures.push_back(failure);
                }
            });
        }
        for (std::thread& worker : workers) worker.join();
        for (const std::string& failure : failures) ADD_FAILURE() << failure;
    }

    // The batch, changed by inject; then what a power cut would have left
    // of the journal where cut; then the undo.
    std::string BatchThenUndo(Lab& lab, const std::string& inject, bool cut) {
        const Tree before = lab.Snapshot(&index_);
        const bool locked = fs::exists(lab.tree() / ".git/index.lock");
        const fs::path trace = lab.base() / "trace";
        const Outcome batch = lab.Quil(lab.BatchArgs(), Strace(trace, inject));
        // Said before anything happened: the batch cannot be undone.
        if (batch.err.find("cannot be undone") != std::string::npos) return {};
        if (cut)
            for (const auto& [journal, length] : SyncedLengths(trace)) fs::resize_file(journal, length);
        // git's own rule for a writer killed mid-write: its lock is removed.
        if (!locked) fs::remove(lab.tree() / ".git/index.lock");
        const Outcome undo = lab.Quil({"--undo", "--yes"});
        const std::string verdict = Verdict(before, lab.Snapshot(), undo);
        return verdict.empty() ? verdict : inject + (cut ? " (journal cut back)" : "") + ": " + verdict;
    }

    fs::path base_;
    std::string index_;  // the template's git index
};

TEST_P(CrashTest, KilledAtEveryCallOfTheBatchTheUndoPutsAllBack) {
    const std::vector<CallPoint> calls = CallsOf(base_ / "batch.trace");
    ASSERT_GT(calls.size(), 100u);
    ForEach<CallPoint>(calls, [this](Lab& lab, const CallPoint& call) {
        return BatchThenUndo(lab, call.name + ":signal=KILL:when=" + std::to_string(call.ordinal), false);
    });
}

TEST_P(CrashTest, APowerCutAtEveryCallOfTheBatchLeavesWhatTheUndoNeeds) {
    const std::vector<CallPoint> calls = CallsOf(base_ / "batch.trace");
    ForEach<CallPoint>(calls, [this](Lab& lab, const CallPoint& call) {
        return BatchThenUndo(lab, call.name + ":signal=KILL:when=" + std::to_string(call.ordinal), true);
    });
}

// Each write to the journal fails in turn (its ordinal among all writes).
TEST_P(CrashTest, AJournalWriteThatFailsLeavesABatchThatCanBeUndone) {
    std::vector<std::string> injections;
    int writes = 0;
    std::ifstream in(base_ / "batch.trace");
    for (std::string line; std::getline(in, line);) {
        if (line.find(" write(") == std::string::npos) continue;
        ++writes;
        if (line.find(".journal>") == std::string::npos) continue;
        for (const char* error : {"ENOSPC", "EIO"}) injections.push_back("write:error=" + std::string(error) + ":when=" + std::to_string(writes));
    }
    ASSERT_GE(injections.size(), 4u);
    ForEach<std::string>(injections, [this](Lab& lab, const std::string& inject) { return BatchThenUndo(lab, inject, false); });
}

TEST_P(CrashTest, AnUndoKilledAtEveryCallIsFinishedByTheNext) {
    const std::vector<CallPoint> calls = CallsOf(base_ / "undo.trace");
    ASSERT_GT(calls.size(), 100u);
    ForEach<CallPoint>(calls, [this](Lab& lab, const CallPoint& call) -> std::string {
        const Tree before = lab.Snapshot(&index_);
        const Outcome batch = lab.Quil(lab.BatchArgs());
        if (batch.status != 0) return "the batch failed: " + batch.err;
        const std::string inject = call.name + ":signal=KILL:when=" + std::to_string(call.ordinal);
        lab.Quil({"--undo", "--yes"}, Strace(lab.base() / "trace", inject));
        fs::remove(lab.tree() / ".git/index.lock");
        const Outcome undo = lab.Quil({"--undo", "--yes"});
        const std::string verdict = Verdict(before, lab.Snapshot(), undo);
        return verdict.empty() ? verdict : "the undo killed at " + inject + ": " + verdict;
    });
}

// A three-cycle, a swap, two moves into new folders, two trashes and a
// private folder emptied, in a git work tree; and folder lines.
const Scenario kScenarios[] = {
    {"files",
     {{"a", "a"}, {"b", "b"}, {"c", "c"}, {"m", "m"}, {"n", "n"}, {"t1", "t1"}, {"t2", "t2"}, {"x", "x"}, {"y", "y"},
      {"e/only", "only"}, {"priv/z", "z"}},
     {{"priv", 0700}},
     {},
     "b\nc\na\nnew/deep/m\nnew/n2\n\n\ny\nx\nonly\nz\n",
     true},
    {"folders",
     {{"d1/f", "f"}, {"d2/g", "g"}, {"d3/h", "h"}, {"d4/i", "i"}},
     {{"d2", 0750}},
     {"-D"},
     "d1r\nsub/d2\n\nd4\n",
     false},
};

INSTANTIATE_TEST_SUITE_P(Batches, CrashTest, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quil
