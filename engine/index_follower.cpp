#include "engine/index_follower.h"

#include <cstdlib>

namespace quil {

std::vector<IndexEdit> IndexEditsOf(const BatchPlan& plan, const RunResult& result) {
    std::vector<IndexEdit> edits;
    for (const DoneOp& done : result.done) {
        const FileOp& op = plan.ops[done.op];
        if (done.putBack) {
            edits.push_back({IndexEdit::Kind::Move, op.from, op.restore, {}, op.slot});
            continue;
        }
        switch (op.kind) {
            case FileOp::Kind::Move: edits.push_back({IndexEdit::Kind::Move, op.from, op.to, {}, op.slot}); break;
            case FileOp::Kind::Delete: edits.push_back({IndexEdit::Kind::Remove, op.from, {}, {}, op.slot}); break;
            case FileOp::Kind::Restore:
            case FileOp::Kind::MakeFolder:
            case FileOp::Kind::RemoveFolder: break;  // the undo puts saved entries back itself
        }
    }
    return edits;
}

std::string SavedRemovals(const std::vector<IndexEdit>& edits) {
    std::string text;
    for (const IndexEdit& edit : edits) {
        if (edit.saved.empty() || edit.kind == IndexEdit::Kind::Restore) continue;
        text += edit.from + '\0' + std::to_string(edit.saved.size()) + '\0' + edit.saved;
    }
    return text;
}

std::vector<std::pair<std::string, std::string>> ReadSavedRemovals(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> removals;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t pathEnd = text.find('\0', at);
        const std::size_t sizeEnd = pathEnd == std::string::npos ? pathEnd : text.find('\0', pathEnd + 1);
        if (sizeEnd == std::string::npos) break;
        const std::size_t size = std::strtoul(text.c_str() + pathEnd + 1, nullptr, 10);
        if (sizeEnd + 1 + size > text.size()) break;  // cut short: the rest is lost, not misread
        removals.emplace_back(text.substr(at, pathEnd - at), text.substr(sizeEnd + 1, size));
        at = sizeEnd + 1 + size;
    }
    return removals;
}

}  // namespace quil
