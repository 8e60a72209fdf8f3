// Engine benchmarks on Linux with the POSIX services. Each figure is printed
// beside its baseline measured in the same run.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/fixtures.h"
#include "bench/harness.h"
#include "bench/journal_bench.h"
#include "bench/metadata_bench.h"
#include "bench/peers_bench.h"
#include "bench/terminal_bench.h"
#include "bench/transforms_bench.h"
#include "engine/batch_execute.h"
#include "engine/list_text.h"
#include "engine/replace.h"
#include "engine/scan.h"

namespace quil::bench {
namespace {

constexpr int kFiles = kTableSlots - 1;
constexpr int kRepetitions = 9;

// The practical limit of a scan: breadth-first opendir/readdir that keeps
// each file's full path, and nothing else.
std::vector<std::string> RawScan(const std::string& root) {
    std::vector<std::string> files, queue{root};
    files.reserve(kFiles);
    for (std::size_t current = 0; current < queue.size(); ++current) {
        DIR* dir = opendir(queue[current].c_str());
        if (dir == nullptr) continue;
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_type == DT_DIR) {
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    queue.push_back(queue[current] + entry->d_name + "/");
            } else {
                files.push_back(queue[current] + entry->d_name);
            }
        }
        closedir(dir);
    }
    return files;
}

std::vector<std::string> FindProcess(const std::string& root) {
    std::vector<std::string> files;
    FILE* pipe = popen(("find '" + root + "' -type f").c_str(), "r");
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) files.emplace_back(line, std::strlen(line) - 1);
    pclose(pipe);
    return files;
}

void BenchScan(FileServices& posix, int files, const std::string& label) {
    const std::string root = MakeTempFolder("scan");
    MakeTree(root, files);
    const int capacity = files + 1;
    std::vector<std::string> table;
    int found = 0;
    RawScan(root);  // warm the caches
    const double ours = MedianMs(
        kRepetitions, [&] { table.assign(capacity, std::string()); },
        [&] { found = ScanTree(table, root, capacity, posix).count; });
    const double raw = MedianMs(kRepetitions, [&] { RawScan(root); });
    const double find = MedianMs(kRepetitions, [&] { FindProcess(root); });
    if (found != files) std::fprintf(stderr, "scan found %d of %d files\n", found, files);
    PrintRow("scan, " + label, ours, "readdir loop", raw, files == kFiles ? "<= 1.2x" : "growth");
    PrintRow("scan, " + label, ours, "`find -type f` process", find, "");
    RemoveTree(root);
}

void BenchListText(FileServices& posix) {
    const std::string root = MakeTempFolder("list");
    MakeTree(root, kFiles);
    BatchState state;
    state.root = root;
    state.count = ScanTree(state.oldPaths, root, kTableSlots, posix).count;
    const double build = MedianMs(kRepetitions, [&] { state.text.clear(); }, [&] { BuildListText(state, kPosixConventions); });
    const double parse = MedianMs(kRepetitions, [&] { ParseListText(state, kPosixConventions); });
    PrintRow("list text: build, 9,999 lines", build, "", 0, "");
    PrintRow("list text: parse, 9,999 lines", parse, "", 0, "");
    RemoveTree(root);
}

std::string ListOf(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        if (i > 0) text += '\n';
        text += "level1-" + std::to_string(i % 9) + "/level2-" + std::to_string(i % 10) + "/file-" +
                std::to_string(i) + ".dat";
    }
    return text;
}

void BenchReplace() {
    const std::string small = ListOf(10000), medium = ListOf(100000), large = ListOf(1000000);
    BatchState state;
    auto replaceAll = [&](const std::string& text) {
        return MedianMs(kRepetitions, [&] { state.text = text; },
                        [&] { ApplyReplace(state, "file", "document", kPosixConventions); });
    };
    auto prefix = [&](const std::string& text) {
        return MedianMs(kRepetitions, [&] { state.text = text; }, [&] { ApplyReplace(state, "", "x_", kPosixConventions); });
    };
    // What any rewrite of the list into new memory costs at least.
    auto copy = [&](const std::string& text) {
        return MedianMs(kRepetitions, [&] {
            std::string fresh;
            fresh.reserve(text.size() + text.size() / 8);
            fresh.append(text);
        });
    };
    const double replaceSmall = replaceAll(small), replaceMedium = replaceAll(medium), replaceLarge = replaceAll(large);
    const double prefixSmall = prefix(small), prefixMedium = prefix(medium), prefixLarge = prefix(large);
    PrintRow("replace-all, 1,000,000 lines", replaceLarge, "same, 10,000 lines", replaceSmall, "<= 200x");
    PrintRow("replace-all, 1,000,000 lines", replaceLarge, "same, 100,000 lines", replaceMedium, "growth (10x data)");
    PrintRow("replace-all, 1,000,000 lines", replaceLarge, "copy of the text to new memory", copy(large), "");
    PrintRow("copy to new memory, 1,000,000 lines", copy(large), "same, 10,000 lines", copy(small), "");
    PrintRow("prefix, 1,000,000 lines", prefixLarge, "same, 10,000 lines", prefixSmall, "<= 200x");
    PrintRow("prefix, 1,000,000 lines", prefixLarge, "same, 100,000 lines", prefixMedium, "growth (10x data)");
}

// The whole OK command after its question: parse, plan, run, close.
class YesDialog final : public DialogOps {
public:
    explicit YesDialog(const std::string& text) : text_(text) {}
    int NamesLineCount() override { return 0; }
    void UndoNames() override {}
    void EmptyNamesUndo() override {}
    bool NamesModified() override { return true; }
    std::string NamesText() override { return text_; }
    void FocusNames() override {}
    int AskYesNo(const std::string&, const std::string&) override { return kAnswerYes; }
    void Tell(const std::string& text, const std::string&) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void CloseWithOk() override {}
    WindowHandle Owner() override { return nullptr; }

private:
    const std::string& text_;
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? "\n" : "") + lines[i];
    return text;
}

BatchState StateFor(const std::string& folder, const std::vector<std::string>& names) {
    BatchState state;
    state.root = folder;
    for (const std::string& name : names) state.oldPaths[++state.count] = folder + name;
    return state;
}

void BenchPlan(FileServices& posix) {
    const std::string folder = MakeTempFolder("plan");
    const std::vector<std::string> names = NumberedNames("f", kFiles);
    MakeFlatFolder(folder, names);
    // 1,000 swapped pairs, chains of ten, and plain renames to new names.
    std::vector<std::string> lines = names;
    for (int i = 0; i < 2000; i += 2) std::swap(lines[i], lines[i + 1]);
    for (int i = 2000; i < 4000; ++i) lines[i] = (i % 10 == 9) ? names[i] + ".end" : names[i + 1];
    for (int i = 4000; i < kFiles; ++i) lines[i] = names[i] + ".new";
    BatchState state = StateFor(folder, names);
    state.text = Joined(lines);
    ParseListText(state, kPosixConventions);
    std::size_t ops = 0;
    const double plan = MedianMs(kRepetitions, [&] { ops = PlanBatch(state, posix).ops.size(); });
    if (ops < static_cast<std::size_t>(kFiles)) std::fprintf(stderr, "plan has %zu operations\n", ops);
    // The planner's own file-system cost: one lstat per target.
    const double lstats = MedianMs(kRepetitions, [&] {
        struct stat info;
        for (int slot = 1; slot <= state.count; ++slot) lstat(state.newPaths[slot].c_str(), &info);
    });
    PrintRow("plan, 9,999 slots with 1,000 swaps and chains", plan, "one lstat per target", lstats, "<= 2x");
    RemoveTree(folder);
}

void RawRenames(const std::vector<std::string>& from, const std::vector<std::string>& to) {
    for (std::size_t i = 0; i < from.size(); ++i) {
        if (rename(from[i].c_str(), to[i].c_str()) == 0) continue;
        if (errno != ENOENT) continue;
        mkdir(to[i].substr(0, to[i].rfind('/')).c_str(), 0755);  // one new level
        rename(from[i].c_str(), to[i].c_str());
    }
}

void BenchExecute(FileServices& posix, const std::string& label, const std::vector<std::string>& targets) {
    const std::string folder = MakeTempFolder("execute");
    const std::string work = folder + "work/";
    const std::vector<std::string> names = NumberedNames("f", kFiles);
    std::vector<std::string> from, to;
    for (int i = 0; i < kFiles; ++i) {
        from.push_back(work + names[i]);
        to.push_back(work + targets[i]);
    }
    const std::string text = Joined(targets);
    auto rebuild = [&] {
        RemoveTree(work);
        MakeFlatFolder(work, names);
    };
    BatchState state;
    const double ours = MedianMs(
        kRepetitions,
        [&] {
            rebuild();
            state = StateFor(work, names);
        },
        [&] {
            YesDialog dialog(text);
            ExecuteBatch(state, dialog, posix);
        });
    const double raw = MedianMs(kRepetitions, rebuild, [&] { RawRenames(from, to); });
    PrintRow("execute, " + label, ours, "rename(2) loop", raw, "<= 1.3x");

    if (label.find("in place") != std::string::npos && system("command -v vidir >/dev/null 2>&1") == 0) {
        // vidir hands its list to $EDITOR; sed appends the same suffix.
        const std::string command = "EDITOR='sed -i s/$/.renamed/' vidir '" + work + "' >/dev/null 2>&1";
        const double vidir = MedianMs(kRepetitions, rebuild, [&] {
            if (system(command.c_str()) != 0) std::fprintf(stderr, "vidir failed\n");
        });
        PrintRow("execute, " + label, ours, "vidir (peer)", vidir, "");
    }
    RemoveTree(folder);
}

}  // namespace
}  // namespace quil::bench

int main(int argc, char** argv) {
    using namespace quil::bench;
    if (argc == 3 && std::strcmp(argv[1], "metadata-probe") == 0) return ReadTakenOfFolder(argv[2]);
    // Optional arguments pick sections: scan list replace plan execute terminal startup journal transforms metadata
    // peers.
    auto wanted = [&](const char* section) {
        if (argc < 2) return true;
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], section) == 0) return true;
        return false;
    };
    auto posix = quil::MakeSystemFileServices();
    PrintHeader();
    if (wanted("scan")) {
        BenchScan(*posix, kFiles, "9,999 files in 99 folders");
        BenchScan(*posix, 200000, "200,000 files (capacity raised)");
    }
    if (wanted("list")) BenchListText(*posix);
    if (wanted("replace")) BenchReplace();
    if (wanted("plan")) {
        BenchPlan(*posix);
        BenchPlanAtScale(*posix);
    }
    if (wanted("execute")) {
        std::vector<std::string> renamed, moved;
        for (const std::string& name : NumberedNames("f", kFiles)) {
            renamed.push_back(name + ".renamed");
            moved.push_back("new-" + name.substr(1, 2) + "/" + name);
        }
        BenchExecute(*posix, "9,999 renames in place", renamed);
        BenchExecute(*posix, "9,999 moves into 100 new folders", moved);
    }
    if (wanted("terminal")) BenchTerminal();
    if (wanted("startup")) BenchStartAndPathLists();
    if (wanted("journal")) BenchJournal(100000);
    if (wanted("transforms")) BenchTransforms(1000000);
    if (wanted("metadata")) BenchMetadata();
    if (wanted("peers")) BenchPeers();
    return 0;
}
