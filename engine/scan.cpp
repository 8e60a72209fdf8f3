#include "engine/scan.h"

#include "engine/natural_order.h"
#include "engine/path_rules.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
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

// One folder's entries in natural order: each name and its natural key side
// by side in one buffer, and small records sorted by memcmp of the keys; no
// allocation per name.
struct Listing {
    std::string names;
    std::vector<SortedEntry> entries;
    bool complete = false;
    int unshown = 0;
};

Listing ReadSorted(FileServices& files, const std::string& path) {
    Listing listing;
    std::string& names = listing.names;
    listing.complete = files.ListFolder(path, [&](const char* name, bool isFolder) {
        const std::size_t length = std::strlen(name);
        SortedEntry& entry = listing.entries.emplace_back();
        entry.name = names.size();
        entry.isFolder = isFolder;
        names.append(name, length + 1);
        entry.key = names.size();
        AppendNaturalKey(std::string_view(name, length), names);
        entry.keyLength = names.size() - entry.key;
        return true;
    }, &listing.unshown);
    const char* base = names.data();
    std::sort(listing.entries.begin(), listing.entries.end(), [base](const SortedEntry& a, const SortedEntry& b) {
        const int order = std::memcmp(base + a.key, base + b.key, std::min(a.keyLength, b.keyLength));
        return order != 0 ? order < 0 : a.keyLength < b.keyLength;
    });
    return listing;
}

// Reads and sorts the queued folders on threads of its own, a bounded way
// ahead of the one whose entries are being taken, which keeps the order of
// the queue. Reading a folder is mostly the kernel's work: on two cores,
// two folders read at once take little more than one.
class ReadAhead {
public:
    ReadAhead(FileServices& files, int threads) : files_(files) {
        for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
    }
    ~ReadAhead() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        work_.notify_all();
        for (std::thread& thread : threads_) thread.join();
    }
    void Add(const std::string& path) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            paths_.push_back(path);
        }
        work_.notify_one();
    }
    // The listing of the index-th folder added, once it is read.
    Listing Take(std::size_t index) {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return read_.count(index) != 0; });
        Listing listing = std::move(read_[index]);
        read_.erase(index);
        taken_ = index + 1;
        lock.unlock();
        work_.notify_all();
        return listing;
    }

private:
    static constexpr std::size_t kAhead = 64;  // folders read and not yet taken, at most

    void Work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            work_.wait(lock, [&] { return stopping_ || (next_ < paths_.size() && next_ < taken_ + kAhead); });
            if (stopping_) return;
            const std::size_t index = next_++;
            const std::string path = paths_[index];
            lock.unlock();
            Listing listing = ReadSorted(files_, path);
            lock.lock();
            read_.emplace(index, std::move(listing));
            ready_.notify_all();
        }
    }

    FileServices& files_;
    std::mutex mutex_;
    std::condition_variable work_, ready_;
    std::deque<std::string> paths_;
    std::unordered_map<std::size_t, Listing> read_;
    std::size_t next_ = 0, taken_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
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
        std::unique_ptr<ReadAhead> readAhead;
        if (options_.naturalOrder && options_.threads > 0) readAhead = std::make_unique<ReadAhead>(files_, options_.threads);
        queue_.push_back({root, 0});
        if (readAhead) readAhead->Add(root);
        for (std::size_t current = 0; current < queue_.size() && !tableFull_; ++current) {
            // The queue may grow while a folder is listed: work on a copy.
            const QueuedFolder folder = queue_[current];
            const std::size_t queued = queue_.size();
            bool complete;
            if (options_.naturalOrder) {
                const Listing listing = readAhead ? readAhead->Take(current) : ReadSorted(files_, folder.path);
                complete = listing.complete;
                result_.unshown += listing.unshown;
                for (const SortedEntry& entry : listing.entries)
                    if (!Take(folder, listing.names.c_str() + entry.name, entry.isFolder)) break;
            } else {
                complete = files_.ListFolder(
                    folder.path, [&](const char* name, bool isFolder) { return Take(folder, name, isFolder); },
                    &result_.unshown);
            }
            if (readAhead)
                for (std::size_t added = queued; added < queue_.size(); ++added) readAhead->Add(queue_[added].path);
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
        // Made at its length: appended to the folder's, a path took twice
        // the memory it needs (a million of them 60 MB, not 30).
        std::string& path = oldPaths_[++result_.count];
        path.reserve(folder.path.size() + std::strlen(name));
        path.assign(folder.path).append(name);
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
