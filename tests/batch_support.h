// Shared set-up for the batch tests: a fake tree scanned into a state, the
// edited list text, and the tree as relative path -> content afterwards.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/batch_execute.h"
#include "engine/list_text.h"
#include "engine/scan.h"
#include "tests/fake_file_system.h"

namespace quil::testing {

class BatchFixture {
public:
    BatchFixture(const Conventions& conventions, const std::vector<std::string>& relativeFiles)
        : conventions_(conventions),
          root_(conventions.windowsNames ? "C:\\r\\" : "/r/"),
          files(conventions, root_.substr(0, root_.size() - 1)) {
        for (const std::string& path : relativeFiles) files.AddFile(Full(path), path);
        CaptureRoot(state, files);
        state.count = ScanTree(state.oldPaths, root_, kTableSlots, files).count;
        BuildListText(state, conventions_);
    }

    std::string Full(std::string relative) const {
        for (char& ch : relative)
            if (ch == '\\' || ch == '/') ch = conventions_.separator;
        return root_ + relative;
    }

    // The list text with each line replaced; "\\" stands for the separator.
    std::string Edited(const std::vector<std::string>& lines) const {
        std::string text;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i > 0) text += conventions_.lineBreak;
            std::string line = lines[i];
            for (char& ch : line)
                if (ch == '\\') ch = conventions_.separator;
            text += line;
        }
        return text;
    }

    BatchPlan Plan(const std::vector<std::string>& lines) {
        state.text = Edited(lines);
        ParseListText(state, conventions_);
        return PlanBatch(state, files);
    }

    // The path below the root, with "\\" for the separator.
    std::string Relative(const std::string& full) const {
        std::string relative = full.substr(root_.size());
        for (char& ch : relative)
            if (ch == conventions_.separator) ch = '\\';
        return relative;
    }

    // Relative path -> content, for every file under the root.
    std::map<std::string, std::string> Tree() const {
        std::map<std::string, std::string> tree;
        for (const auto& [path, content] : files.Files())
            if (path.compare(0, root_.size(), root_) == 0) tree[Relative(path)] = content;
        return tree;
    }

    std::vector<int> RefusedSlots(const BatchPlan& plan) const {
        std::vector<int> slots;
        for (const RefusedLine& line : plan.refused) slots.push_back(line.slot);
        return slots;
    }

    const Conventions& conventions_;
    const std::string root_;
    FakeFileSystem files;
    BatchState state;
};

}  // namespace quil::testing
