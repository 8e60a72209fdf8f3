#include "engine/emptied_folders.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "engine/path_rules.h"

namespace quil {
namespace {

class Survey {
public:
    Survey(const BatchState& state, const BatchPlan& plan, FileServices& files)
        : state_(state), files_(files), conventions_(files.conventions()),
          top_(state.root.substr(0, state.root.size() - 1)) {
        for (const RefusedLine& line : plan.refused) refused_.insert(line.slot);
    }

    std::vector<FolderFate> Run() {
        ReadLines();
        std::vector<FolderFate> fates;
        // Deepest first, so that a folder knows which of its folders go.
        while (!candidates_.empty()) {
            const std::string folder = candidates_.begin()->second;
            candidates_.erase(candidates_.begin());
            if (receiving_.count(folder) != 0) continue;  // lines move into it
            int remaining = 0, listed = 0;
            files_.ListFolder(folder + conventions_.separator, [&](const char* name, bool) {
                if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return true;
                const std::string path = folder + conventions_.separator + name;
                if (leaving_[folder].count(name) != 0 || emptied_.count(path) != 0) return true;
                ++remaining;
                listed += holding_.count(path) != 0;
                return true;
            });
            listed += staying_[folder];
            if (remaining == 0) {
                fates.push_back({folder, 0});
                emptied_.insert(folder);
                Leave(folder);
            } else if (listed == 0) {
                fates.push_back({folder, remaining});
            }
        }
        return fates;
    }

private:
    std::string FolderOf(const std::string& path) const {
        const std::size_t length = FolderLength(path, conventions_);
        return length == 0 ? std::string() : path.substr(0, length - 1);
    }

    bool BelowRoot(const std::string& folder) const {
        return folder.size() > top_.size() && folder.compare(0, top_.size(), top_) == 0 &&
               folder[top_.size()] == conventions_.separator;
    }

    // path leaves its folder: that folder may end up empty.
    void Leave(const std::string& path) {
        const std::string folder = FolderOf(path);
        if (!BelowRoot(folder)) return;
        leaving_[folder].insert(path.substr(folder.size() + 1));
        candidates_.insert({-Depth(folder), folder});
    }

    static int Depth(const std::string& folder) { return static_cast<int>(std::count(folder.begin(), folder.end(), '/') + std::count(folder.begin(), folder.end(), '\\')); }

    void ReadLines() {
        for (int slot = 1; slot <= state_.count; ++slot) {
            const std::string& from = state_.oldPaths[slot];
            const std::string& to = state_.newPaths[slot];
            if (from == to || refused_.count(slot) != 0) {
                // A listed entry that stays keeps its folders, and is no
                // stranger to them.
                const std::string folder = FolderOf(from);
                ++staying_[folder];
                for (std::string up = folder; BelowRoot(up) && holding_.insert(up).second;) up = FolderOf(up);
                continue;
            }
            if (to.empty() || FolderOf(to) != FolderOf(from)) Leave(from);
            if (to.empty()) continue;
            for (std::string up = FolderOf(to); BelowRoot(up) && receiving_.insert(up).second;) up = FolderOf(up);
        }
    }

    const BatchState& state_;
    FileServices& files_;
    const Conventions& conventions_;
    const std::string top_;  // the root without its separator
    std::unordered_set<int> refused_;
    std::unordered_map<std::string, std::unordered_set<std::string>> leaving_;  // folder -> names leaving it
    std::unordered_map<std::string, int> staying_;                             // folder -> listed entries staying
    std::unordered_set<std::string> holding_;    // folders holding listed entries that stay
    std::unordered_set<std::string> receiving_;  // folders lines move into
    std::unordered_set<std::string> emptied_;
    std::set<std::pair<int, std::string>> candidates_;  // by depth, deepest first
};

}  // namespace

std::vector<FolderFate> FoldersLeftBehind(const BatchState& state, const BatchPlan& plan, FileServices& files) {
    return Survey(state, plan, files).Run();
}

}  // namespace quil
