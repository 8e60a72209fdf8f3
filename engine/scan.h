// Capturing the root and scanning the tree below it into the file table.
#pragma once

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

struct ScanResult {
    int count = 0;              // files put into slots 1..count
    bool cutShort = false;      // the table or the folder queue was full
    int unlistable = 0;         // names left out because they hold a line break
    int unreadableFolders = 0;  // folders whose listing failed or broke off
};

// Breadth-first: the root's files in listing order, then each queued folder's
// in the order the folders were met. Uses slots 1..capacity-1 of oldPaths and
// a folder queue of capacity entries.
ScanResult ScanTree(std::vector<std::string>& oldPaths, const std::string& root, int capacity,
                    FileServices& files);

}  // namespace quil
