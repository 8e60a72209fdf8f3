// The record the whole engine works on: the root, the table of files found
// by the scan, the table of their targets and the working list text.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quil {

// The Windows dialog's tables: slot 0 is never used, so they hold 9999 files.
constexpr int kTableSlots = 10000;
// A capacity that lets the tables grow with the scan (the Linux editions).
constexpr int kUnlimited = 0;
// The dialog's root buffer, its terminating zero included.
constexpr std::size_t kRootChars = 256;

struct BatchState {
    explicit BatchState(int capacity = kTableSlots)
        : capacity(capacity), oldPaths(capacity == kUnlimited ? 1 : capacity), newPaths(oldPaths.size()) {}

    int capacity;  // slots of each table, slot 0 included, or kUnlimited
    int count = 0;
    std::vector<std::string> oldPaths;
    std::vector<std::string> newPaths;
    std::string text;
    std::string root;  // ends in the separator once captured
    int replaced = 0;
    // Per slot, true where the line stands for a folder, moved with all it
    // holds by one rename (the Linux editions' folder lines); empty: files.
    std::vector<bool> folders;

    // Set while the line-count rule reverts an edit: the undo raises another
    // change notification, which must not revert again.
    bool reverting = false;
};

}  // namespace quil
