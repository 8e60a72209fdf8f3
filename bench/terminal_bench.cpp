#include "bench/terminal_bench.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/fixtures.h"
#include "bench/harness.h"
#include "engine/batch_plan.h"
#include "engine/list_text.h"

namespace quil::bench {
namespace {

constexpr int kRuns = 3;

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
}

// A million files: 1,000 folders of 1,000.
void MakeMillion(const std::string& root) {
    for (int folder = 0; folder < 1000; ++folder) {
        const std::string path = root + "d" + std::to_string(folder) + "/";
        MakeFlatFolder(path, NumberedNames("f", 1000));
    }
}

double Lstats(const std::vector<std::string>& paths) {
    return MedianMs(kRuns, [&] {
        struct stat info;
        int missing = 0;
        for (const std::string& path : paths) missing += lstat(path.c_str(), &info) != 0;
        if (missing != static_cast<int>(paths.size())) std::fprintf(stderr, "lstat found files\n");
    });
}

// Runs argv[0] with its output thrown away, not through a shell: a start
// of a few milliseconds is measured, not sh's.
void Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        std::fprintf(stderr, "cannot run %s\n", argv[0]);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
}

}  // namespace

void BenchStartAndPathLists() {
    const std::string quil = QUIL_TERMINAL_PATH;
    // A start: quil listing a folder of 10 files, beside mmv renaming one
    // file there (and back), 40 runs each.
    const std::string small = MakeTempFolder("start");
    MakeFlatFolder(small, NumberedNames("f", 10));
    const std::string from = small + NumberedNames("f", 10)[0], to = small + "moved";
    constexpr int kStarts = 40;
    const double start = MedianMs(kRuns, [&] {
        for (int run = 0; run < kStarts; ++run) Spawn({quil, "--list", small});
    }) / kStarts;
    const double mmv = MedianMs(kRuns, [&] {
        for (int run = 0; run < kStarts / 2; ++run) {
            Spawn({"mmv", from, to});
            Spawn({"mmv", to, from});
        }
    }) / kStarts;
    PrintRow("quil --list, a folder of 10 files (process)", start, "mmv renaming one file there", mmv, "<= 2x");
    RemoveTree(small);

    // --from: 100,000 paths in 100 folders, beside listing the same tree.
    const std::string tree = MakeTempFolder("from");
    std::string list;
    for (int folder = 0; folder < 100; ++folder) {
        const std::string path = tree + "d" + std::to_string(folder) + "/";
        const std::vector<std::string> names = NumberedNames("f", 1000);
        MakeFlatFolder(path, names);
        for (const std::string& name : names) list += path + name + "\n";
    }
    const std::string listFile = MakeTempFolder("from-list") + "paths";
    std::ofstream(listFile) << list;
    const double fromList = MedianMs(kRuns, [&] { Spawn({quil, "--from", listFile, "--list"}); });
    const double listed = MedianMs(kRuns, [&] { Spawn({quil, "--list", tree}); });
    PrintRow("quil --from, 100,000 paths in 100 folders (process)", fromList, "quil --list of that tree", listed,
             "<= 1.3x");
    RemoveTree(tree);
}

void BenchTerminal() {
    const std::string quil = QUIL_TERMINAL_PATH;
    const std::string state = MakeTempFolder("state");
    const std::string env = "XDG_STATE_HOME='" + state + "' XDG_DATA_HOME='" + state + "' ";

    // --apply: 100,000 renames in one folder, against readdir + rename(2).
    const std::string folder = MakeTempFolder("apply");
    const std::string work = folder + "work";
    const std::vector<std::string> names = NumberedNames("f", 100000);
    std::string edited;
    for (const std::string& name : names) edited += name + ".renamed\n";
    std::ofstream(folder + "edited") << edited;
    auto rebuild = [&] {
        RemoveTree(work + "/");
        MakeFlatFolder(work + "/", names);
    };
    const double ours = MedianMs(kRuns, rebuild, [&] {
        Run(env + "'" + quil + "' --apply '" + folder + "edited' --yes '" + work + "' >/dev/null");
    });
    const double raw = MedianMs(kRuns, rebuild, [&] { Run("'" QUIL_RAW_RENAME_PATH "' '" + work + "' .renamed"); });
    PrintRow("quil --apply --yes, 100,000 renames in one folder (process)", ours, "readdir + rename(2) program", raw,
             "<= 1.3x");

    // --list: a million files, against find -type f.
    const std::string tree = MakeTempFolder("million");
    MakeMillion(tree);
    Run("find '" + tree + "' -type f >/dev/null");  // warm the caches
    const double list = MedianMs(kRuns, [&] { Run(env + "'" + quil + "' --list '" + tree + "' >/dev/null"); });
    const double find = MedianMs(kRuns, [&] { Run("find '" + tree + "' -type f >/dev/null"); });
    PrintRow("quil --list, 1,000,000 files (process)", list, "`find -type f`", find, "<= 1.3x");

    // --apply: the million renamed, each run taken back untimed by the
    // baseline program (it takes the suffix off).
    const std::string listed = folder + "million-list", renamed = folder + "million-edited",
                      peak = folder + "peak-kb";
    Run(env + "'" + quil + "' --list '" + tree + "' > '" + listed + "'");
    Run("sed 's/$/.r/' '" + listed + "' > '" + renamed + "'");
    const std::string takeBack = "'" QUIL_RAW_RENAME_PATH "' '" + tree + "' '' .r";
    const double million = MedianMs(kRuns, [&] { Run(takeBack); }, [&] {
        Run(env + "/usr/bin/time -f %M -o '" + peak + "' '" + quil + "' --apply '" + renamed + "' --yes '" + tree +
            "' >/dev/null");
    });
    long peakKb = 0;
    std::ifstream(peak) >> peakKb;
    const double rawMillion =
        MedianMs(kRuns, [&] { Run(takeBack); }, [&] { Run("'" QUIL_RAW_RENAME_PATH "' '" + tree + "' .r"); });
    struct stat text {};
    stat(listed.c_str(), &text);
    PrintRow("quil --apply --yes, 1,000,000 renames in 1,000 folders (process)", million,
             "readdir + rename(2) program", rawMillion, "<= 1.3x");
    std::printf("| quil --apply, 1,000,000 renames: peak memory %ld MB, the list text %ld MB: %ld bytes per file beyond "
                "it | | | | | <= 300 |\n",
                peakKb / 1024, static_cast<long>(text.st_size) >> 20,
                (peakKb * 1024 - static_cast<long>(text.st_size)) / 1000000);
    RemoveTree(tree);
    RemoveTree(folder);
    RemoveTree(state);
}

// Planning a million changed lines to free names in one existing folder:
// the planner's own file-system cost is one lstat per target.
void BenchPlanAtScale(FileServices& posix) {
    const std::string folder = MakeTempFolder("plan-million");
    BatchState state(kUnlimited);
    state.root = folder;
    const std::vector<std::string> names = NumberedNames("f", 1000000);
    state.oldPaths.resize(names.size() + 1);
    state.newPaths.resize(names.size() + 1);
    std::vector<std::string> targets;
    for (const std::string& name : names) {
        state.oldPaths[++state.count] = folder + name;
        state.newPaths[state.count] = folder + name + ".new";
        targets.push_back(state.newPaths[state.count]);
    }
    std::size_t ops = 0;
    const double plan = MedianMs(kRuns, [&] { ops = PlanBatch(state, posix).ops.size(); });
    if (ops != names.size()) std::fprintf(stderr, "plan has %zu operations\n", ops);
    PrintRow("plan, 1,000,000 lines to free names", plan, "one lstat per target", Lstats(targets), "<= 2x");
    RemoveTree(folder);
}

}  // namespace quil::bench
