// The record the whole engine works on: the root, the table of files found
// by the scan, the table of their targets and the working list text.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace quil {

// Slot 0 of each table is never used, so a table holds 9999 files.
constexpr int kTableSlots = 10000;
constexpr std::size_t kRootChars = 256;

struct BatchState {
    int count = 0;
    std::vector<std::string> oldPaths = std::vector<std::string>(kTableSlots);
    std::vector<std::string> newPaths = std::vector<std::string>(kTableSlots);
    std::string text;
    std::array<char, kRootChars> root{};  // ends in the separator once captured
    int replaced = 0;

    // Set while the line-count rule reverts an edit: the undo raises another
    // change notification, which must not revert again.
    bool reverting = false;
};

}  // namespace quil
