#include "engine/index_follower.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace quil {

void FollowRun(BatchJournal& batch, const BatchPlan& plan, const RunResult& result, const std::vector<int>& ids) {
    // Each entry by its id, found at once: a batch of 100,000 lines looked
    // through its entries for each operation took most of its time.
    std::unordered_map<int, std::size_t> byId;
    byId.reserve(batch.entries.size() + result.done.size());
    if (batch.entries.empty()) batch.entries.reserve(result.done.size());
    for (std::size_t at = 0; at < batch.entries.size(); ++at) byId.emplace(batch.entries[at].id, at);
    auto entryOf = [&](const FileOp& op) -> JournalEntry& {
        const int id = ids.empty() ? op.slot : ids[static_cast<std::size_t>(op.slot)];
        const auto [found, isNew] = byId.emplace(id, batch.entries.size());
        if (!isNew) return batch.entries[found->second];
        JournalEntry& entry = batch.entries.emplace_back();
        entry.id = id;
        entry.original = entry.now = entry.indexedAt = op.from;
        return entry;
    };
    for (const DoneOp& done : result.done) {
        const FileOp& op = plan.ops[done.op];
        if (op.kind == FileOp::Kind::MakeFolder || op.kind == FileOp::Kind::RemoveFolder) continue;
        JournalEntry& entry = entryOf(op);
        if (done.putBack) {
            entry.now = op.restore;
        } else if (op.kind == FileOp::Kind::Delete) {
            entry.state = JournalEntry::State::Trashed;
        } else {
            entry.now = op.to;
            entry.state = JournalEntry::State::Here;
        }
    }
}

std::vector<IndexEdit> IndexEditsFor(const BatchJournal& batch, const std::map<int, std::string>& saved) {
    std::vector<IndexEdit> edits;
    for (const JournalEntry& entry : batch.entries) {
        const bool taken = entry.indexedAt.empty();
        switch (entry.state) {
            case JournalEntry::State::Here: {
                // Taken out before (to the Trash, or out of the work tree):
                // put back as they were staged.
                const auto kept = saved.find(entry.id);
                const std::string putBack = kept == saved.end() ? std::string() : kept->second;
                if (taken) {
                    if (!putBack.empty()) edits.push_back({IndexEdit::Kind::Restore, {}, entry.now, putBack, {}, entry.id});
                } else if (entry.indexedAt != entry.now) {
                    edits.push_back({IndexEdit::Kind::Move, entry.indexedAt, entry.now, putBack, {}, entry.id});
                }
                break;
            }
            case JournalEntry::State::Trashed:
            case JournalEntry::State::Deleted:
                if (!taken) edits.push_back({IndexEdit::Kind::Remove, entry.indexedAt, {}, {}, {}, entry.id});
                break;
            case JournalEntry::State::Lost:
            case JournalEntry::State::Dropped: break;
        }
    }
    return edits;
}

std::string SavedRemovals(const std::vector<IndexEdit>& edits) {
    std::string text;
    for (const IndexEdit& edit : edits) {
        if (edit.taken.empty()) continue;
        text += std::to_string(edit.entry) + '\0' + std::to_string(edit.taken.size()) + '\0' + edit.taken;
    }
    return text;
}

std::map<int, std::string> ReadSavedRemovals(const std::string& text) {
    std::map<int, std::string> removals;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t idEnd = text.find('\0', at);
        const std::size_t sizeEnd = idEnd == std::string::npos ? idEnd : text.find('\0', idEnd + 1);
        if (sizeEnd == std::string::npos) break;
        const std::size_t size = std::strtoul(text.c_str() + idEnd + 1, nullptr, 10);
        if (sizeEnd + 1 + size > text.size()) break;  // cut short: the rest is lost, not misread
        removals[std::atoi(text.c_str() + at)] = text.substr(sizeEnd + 1, size);
        at = sizeEnd + 1 + size;
    }
    return removals;
}

}  // namespace quil
