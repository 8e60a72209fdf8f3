#include "engine/scan.h"

#include "engine/natural_order.h"
#include "engine/path_rules.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quil {

RootStatus CaptureRoot(BatchState& state, FileServices& files) {
    state.root.clear();
    std::string folder;
    if (!files.CurrentFolder(folder) || folder.empty()) return RootStatus::Unavailable;
    const char separator = files.conventions().separator;
    if (folder.back() != separator) folder += separator;
    // The buffer holds characters as the platform counts them, and the zero.
    if (PathLength(folder, files.conventions()) >= kRootChars) return RootStatus::TooLong;
    state.root = folder;
    return RootStatus::Captured;
}

namespace {

struct SortedEntry {
    std::size_t name;  // offsets in the folder's name buffer
    std::size_t key;
    std::size_t keyLength;
    bool isFolder;
};

struct QueuedFolder {
    std::string path;  // ends in the separator
    int depth;         // 0 for the root
};

class Scanner {
public:
    Scanner(std::vector<std::string>& oldPaths, const ScanOptions& options, FileServices& files)
        : oldPaths_(oldPaths), options_(options), files_(files), separator_(files.conventions().separator) {}

    ScanResult Run(const std::string& root) {
        queue_.push_back({root, 0});
        for (std::size_t current = 0; current < queue_.size() && !tableFull_; ++current) {
            // The queue may grow while a folder is listed: work on a copy.
            const QueuedFolder folder = queue_[current];
            bool complete;
            if (options_.naturalOrder) {
                // Each name and its natural key side by side in one buffer,
                // and small records to sort by memcmp of the keys: no
                // allocation per name.
                std::string names;
                std::vector<SortedEntry> entries;
                complete = files_.ListFolder(folder.path, [&](const char* name, bool isFolder) {
                    const std::size_t length = std::strlen(name);
                    SortedEntry& entry = entries.emplace_back();
                    entry.name = names.size();
                    entry.isFolder = isFolder;
                    names.append(name, length + 1);
                    entry.key = names.size();
                    AppendNaturalKey(std::string_view(name, length), names);
                    entry.keyLength = names.size() - entry.key;
                    return true;
                });
                const char* base = names.data();
                std::sort(entries.begin(), entries.end(), [base](const SortedEntry& a, const SortedEntry& b) {
                    const int order = std::memcmp(base + a.key, base + b.key, std::min(a.keyLength, b.keyLength));
                    return order != 0 ? order < 0 : a.keyLength < b.keyLength;
                });
                for (const SortedEntry& entry : entries)
                    if (!Take(folder, names.c_str() + entry.name, entry.isFolder)) break;
            } else {
                complete = files_.ListFolder(
                    folder.path, [&](const char* name, bool isFolder) { return Take(folder, name, isFolder); });
            }
            if (!complete && !tableFull_ && result_.unreadableFolders++ == 0) result_.firstUnreadable = folder.path;
            if (options_.progress && !options_.progress(result_.count)) {
                result_.cutShort = true;
                break;
            }
        }
        return result_;
    }

private:
    bool Limited() const { return options_.capacity != kUnlimited; }

    // One entry of a listing; false ends the listing.
    bool Take(const QueuedFolder& folder, const char* name, bool isFolder) {
        if (name[0] == '\0') return false;
        // A byte compare gives the same answer as a multi-byte one here: no
        // lead byte is a dot.
        if (isFolder && (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)) return true;
        if (options_.skipHidden && name[0] == '.') return true;
        // A name holding a line break cannot stand on one line of the list.
        if (std::strpbrk(name, "\r\n") != nullptr) {
            ++result_.unlistable;
            return true;
        }
        if (isFolder) {
            if (options_.maxDepth >= 0 && folder.depth >= options_.maxDepth) return true;
            if (Limited() && queue_.size() == static_cast<std::size_t>(options_.capacity)) {
                result_.cutShort = true;
                return true;
            }
            queue_.push_back({folder.path + name + separator_, folder.depth + 1});
            return true;
        }
        if (Limited() && result_.count == options_.capacity - 1) {
            result_.cutShort = tableFull_ = true;
            return false;
        }
        if (static_cast<std::size_t>(result_.count) + 1 >= oldPaths_.size()) oldPaths_.resize(result_.count + 2);
        oldPaths_[++result_.count].assign(folder.path).append(name);
        return true;
    }

    std::vector<std::string>& oldPaths_;
    const ScanOptions& options_;
    FileServices& files_;
    const char separator_;
    std::vector<QueuedFolder> queue_;
    ScanResult result_;
    bool tableFull_ = false;
};

}  // namespace

ScanResult ScanTree(std::vector<std::string>& oldPaths, const std::string& root, const ScanOptions& options,
                    FileServices& files) {
    return Scanner(oldPaths, options, files).Run(root);
}

}  // namespace quil
