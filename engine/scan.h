// Capturing the root and scanning the tree below it into the file table.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/batch_state.h"
#include "platform/file_services.h"

namespace quil {

enum class RootStatus {
    Captured,
    Unavailable,  // the platform could not give the working folder
    TooLong,      // the folder with its separator does not fit the root buffer
};

RootStatus CaptureRoot(BatchState& state, FileServices& files);

struct ScanOptions {
    int capacity = kTableSlots;  // slots of the table and the folder queue, or kUnlimited
    bool naturalOrder = false;   // each folder's entries as file managers show them (CompareNatural)
    bool skipHidden = false;     // leave out files and folders whose name begins with "."
    int maxDepth = -1;           // folder levels below the root to enter; -1: all
    // With natural order: threads that read folders ahead of the one being
    // taken (0: none). The file services must then be safe to call from
    // several threads at once, as the POSIX ones are.
    int threads = 0;
    // Called with the number of files found, once per folder listed;
    // returning false stops the scan there.
    std::function<bool(int files)> progress;
};

struct ScanResult {
    int count = 0;              // files put into slots 1..count
    bool cutShort = false;      // the table or the folder queue was full
    int unlistable = 0;         // names left out because they hold a line break
    int unshown = 0;            // names left out because the program's text cannot hold them
    int unreadableFolders = 0;  // folders whose listing failed or broke off
    int filteredFrom = 0;       // the files listed before a filter narrowed them; 0: no filter
    std::string firstUnreadable;  // the path of the first of them, to name it
};

// Breadth-first: the root's files, then each queued folder's in the order
// the folders were met; within a folder in listing order, or sorted. With a
// capacity, uses slots 1..capacity-1 of oldPaths and a queue of capacity
// entries; unlimited, oldPaths grows.
ScanResult ScanTree(std::vector<std::string>& oldPaths, const std::string& root, const ScanOptions& options,
                    FileServices& files);

inline ScanResult ScanTree(std::vector<std::string>& oldPaths, const std::string& root, int capacity,
                           FileServices& files) {
    ScanOptions options;
    options.capacity = capacity;
    return ScanTree(oldPaths, root, options, files);
}

}  // namespace quil
