#include "engine/index_follower.h"

#include <cstdlib>

namespace quil {

bool IndexFollower::Announced(bool written, int slot, IndexEdit edit) {
    if (written) {
        edit.line = slot;
        edits_.push_back(std::move(edit));
        lastSlot_ = slot;
    }
    return written;
}

bool IndexFollower::Move(int slot, const FileIdentity& identity, const std::string& from, const std::string& to) {
    return Announced(!journal_ || journal_->Move(slot, identity, from, to), slot, {IndexEdit::Kind::Move, from, to, {}});
}

bool IndexFollower::Trash(int slot, const FileIdentity& identity, const std::string& path) {
    return Announced(!journal_ || journal_->Trash(slot, identity, path), slot, {IndexEdit::Kind::Remove, path, {}, {}});
}

bool IndexFollower::Trashed(int slot, const std::string& trashedAs) {
    return !journal_ || journal_->Trashed(slot, trashedAs);
}

bool IndexFollower::Delete(int slot, const FileIdentity& identity, const std::string& path) {
    return Announced(!journal_ || journal_->Delete(slot, identity, path), slot, {IndexEdit::Kind::Remove, path, {}, {}});
}

bool IndexFollower::Failed(int slot) {
    if (slot == lastSlot_ && !edits_.empty()) {
        edits_.pop_back();
        lastSlot_ = -1;
    }
    return !journal_ || journal_->Failed(slot);
}

std::string SavedRemovals(const std::vector<IndexEdit>& edits) {
    std::string text;
    for (const IndexEdit& edit : edits) {
        if (edit.kind != IndexEdit::Kind::Remove || edit.saved.empty()) continue;
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
