#include "bench/peers_bench.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/fixtures.h"
#include "bench/harness.h"

namespace quil::bench {
namespace {

constexpr int kRuns = 3;
constexpr int kLimitSeconds = 60;

struct Tool {
    const char* name;
    std::string command;  // run by sh in the folder
};

struct Figure {
    double ms = 0;      // the median; 0 when a run took more than the limit, -1 when it did not do the job
    long peakKb = 0;    // the largest of the runs
};

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// text as one word of sh.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char ch : text) quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return quoted + "'";
}

// Median time and peak memory of command over kRuns, reset between runs
// (untimed); stops at the first run past the limit.
Figure Measure(const std::string& folder, const std::string& command, const std::string& reset) {
    std::vector<double> times;
    Figure figure;
    const std::string memory = folder + "../peak-kb";
    for (int run = 0; run < kRuns; ++run) {
        if (std::system(reset.c_str()) != 0) std::fprintf(stderr, "reset failed\n");
        const std::string timed = "cd " + Quoted(folder) + " && timeout " + std::to_string(kLimitSeconds) +
                                  " /usr/bin/time -f %M -o " + Quoted(memory) + " sh -c " + Quoted(command) +
                                  " >/dev/null 2>&1 </dev/null";
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(timed.c_str());
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (ms >= kLimitSeconds * 1000.0 || (WIFEXITED(status) && WEXITSTATUS(status) == 124)) return {};
        if (!Exists(folder + "name-0.dat") || Exists(folder + "name-0.txt")) return {-1, 0};
        long kb = 0;
        std::ifstream(memory) >> kb;
        figure.peakKb = std::max(figure.peakKb, kb);
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    figure.ms = times[times.size() / 2];
    return figure;
}

std::string Shown(const Figure& figure) {
    if (figure.ms == 0) return "> 60 s";
    if (figure.ms < 0) return "did not rename";
    char text[64];
    std::snprintf(text, sizeof text, "%.0f ms, %.0f MB", figure.ms, figure.peakKb / 1024.0);
    return text;
}

}  // namespace

// Its own table, after the main one: each tool at both sizes, with quil's
// time divided by the tool's (below 1: quil is faster).
void BenchPeers() {
    const std::string base = MakeTempFolder("peers");
    const std::string folder = base + "work/";
    const std::string editor = base + "edit";
    std::ofstream(editor) << "#!/bin/sh\nexec sed -i 's/\\.txt$/.dat/' \"$@\"\n";
    chmod(editor.c_str(), 0755);
    const std::string state = "XDG_STATE_HOME=" + Quoted(base + "state") + " XDG_DATA_HOME=" + Quoted(base + "state");
    const std::vector<Tool> tools = {
        {"quil --filter \"sed ...\" --yes", state + " " + Quoted(QUIL_TERMINAL_PATH) + " --yes --filter " +
                                            Quoted("sed 's/\\.txt$/.dat/'") + " ."},
        {"quil, the editor a sed script", state + " EDITOR=" + Quoted(editor) + " " + Quoted(QUIL_TERMINAL_PATH) + " --yes ."},
        {"readdir + rename(2) program", Quoted(QUIL_RAW_RENAME_PATH) + " . .dat .txt"},
        {"vidir (moreutils)", "EDITOR=" + Quoted(editor) + " vidir ."},
        {"qmv -f do (renameutils)", "EDITOR=" + Quoted(editor) + " qmv -f do ."},
        {"mmv", "mmv '*.txt' '#1.dat'"},
        {"rename (Perl)", "printf '%s\\n' *.txt | rename 's/\\.txt$/.dat/'"},
    };
    const int sizes[] = {10000, 100000};
    std::vector<std::vector<Figure>> figures(tools.size());
    for (const int files : sizes) {
        std::vector<std::string> names;
        for (int i = 0; i < files; ++i) names.push_back("name-" + std::to_string(i) + ".txt");
        RemoveTree(folder);
        MakeFlatFolder(folder, names);
        // Back to .txt between runs, untimed.
        const std::string reset = Quoted(QUIL_RAW_RENAME_PATH) + " " + Quoted(folder) + " .txt .dat";
        for (std::size_t tool = 0; tool < tools.size(); ++tool)
            figures[tool].push_back(Measure(folder, tools[tool].command, reset));
    }
    std::printf("\n| renaming every NAME.txt of one folder to NAME.dat | 10,000 files | quil / it | 100,000 files | quil / it |\n");
    std::printf("|---|---:|---:|---:|---:|\n");
    for (std::size_t tool = 0; tool < tools.size(); ++tool) {
        std::printf("| %s", tools[tool].name);
        for (std::size_t size = 0; size < figures[tool].size(); ++size) {
            const Figure& ours = figures[0][size];
            const Figure& it = figures[tool][size];
            if (tool == 0 || ours.ms <= 0 || it.ms <= 0)
                std::printf(" | %s | ", Shown(it).c_str());
            else
                std::printf(" | %s | %.2fx", Shown(it).c_str(), ours.ms / it.ms);
        }
        std::printf(" |\n");
    }
    std::fflush(stdout);
    RemoveTree(base);
}

}  // namespace quil::bench
