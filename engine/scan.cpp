#include "engine/scan.h"

#include <cstring>

namespace quil {

RootStatus CaptureRoot(BatchState& state, FileServices& files) {
    state.root.fill(0);
    std::string folder;
    if (!files.CurrentFolder(folder) || folder.empty()) return RootStatus::Unavailable;
    const char separator = files.conventions().separator;
    if (folder.back() != separator) folder += separator;
    if (folder.size() >= state.root.size()) return RootStatus::TooLong;  // and its terminating zero
    std::memcpy(state.root.data(), folder.data(), folder.size());
    return RootStatus::Captured;
}

ScanResult ScanTree(std::vector<std::string>& oldPaths, const std::string& root, int capacity,
                    FileServices& files) {
    const char separator = files.conventions().separator;
    std::vector<std::string> queue(capacity);
    queue[0] = root;
    int last = 0;
    ScanResult result;
    bool tableFull = false;

    for (int current = 0; current <= last && !tableFull; ++current) {
        const std::string& folder = queue[current];
        const bool complete = files.ListFolder(folder, [&](const char* name, bool isFolder) {
            if (name[0] == '\0') return false;
            // A byte compare gives the same answer as a multi-byte one here:
            // no lead byte is a dot.
            if (isFolder && (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)) return true;
            // A name holding a line break cannot stand on one line of the list.
            if (std::strpbrk(name, "\r\n") != nullptr) {
                ++result.unlistable;
                return true;
            }
            if (isFolder) {
                if (last == capacity - 1) {
                    result.cutShort = true;
                    return true;
                }
                queue[++last].assign(folder).append(name) += separator;
                return true;
            }
            if (result.count == capacity - 1) {
                result.cutShort = tableFull = true;
                return false;
            }
            oldPaths[++result.count].assign(folder).append(name);
            return true;
        });
        if (!complete && !tableFull) ++result.unreadableFolders;
    }
    return result;
}

}  // namespace quil
