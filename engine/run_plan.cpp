#include "engine/run_plan.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "engine/path_rules.h"

namespace quil {

const char kNoLongerListed[] = "no longer the file that was listed";
const char kNotMovedByBatch[] = "not the file this batch moved";
const char kNameNotCleared[] = "a file that had to leave its name first could not";

namespace {

// Chunks grow from a few operations, so that a small batch syncs once, to
// many, so that a large one syncs seldom.
constexpr std::size_t kFirstChunk = 64;
constexpr std::size_t kLargestChunk = 16384;

bool IsFolderOp(const FileOp& op) {
    return op.kind == FileOp::Kind::RemoveFolder || op.kind == FileOp::Kind::MakeFolder;
}

class Runner {
public:
    Runner(const BatchPlan& plan, FileServices& files, WindowHandle owner, const RunOptions& options)
        : plan_(plan),
          files_(files),
          owner_(owner),
          options_(options),
          journal_(options.journal),
          first_(journal_ ? journal_->FirstNumber() : 1),
          nextDynamic_(first_ + static_cast<long>(plan.ops.size())) {}

    RunResult Run() {
        CountLines();
        std::size_t index = 0;
        for (; index < plan_.ops.size(); ++index) {
            // A stop inside a cycle waits for its end, so that no file is
            // left under a name that the user never typed.
            if (aside_.empty() && (journalBroken_ || (options_.observer && options_.observer->StopRequested()))) {
                result_.stopped = true;
                break;
            }
            if (index == chunkEnd_ && !PrepareChunk(index)) {
                result_.stopped = true;
                break;
            }
            RunOne(index);
            if (options_.observer) options_.observer->Progress(result_.applied, result_.total);
        }
        TidyMadeFolders();
        if (journal_) Journaled(journal_->End(Number(index), Number(chunkEnd_) - 1), "end");
        ReadBackSpellings();
        return std::move(result_);
    }

private:
    long Number(std::size_t index) const { return first_ + static_cast<long>(index); }

    void CountLines() {
        int lastSlot = 0;
        for (const FileOp& op : plan_.ops) lastSlot = std::max(lastSlot, op.slot);
        // A line's slot, once, whatever operations it takes (a cycle two).
        std::vector<bool> counted(static_cast<std::size_t>(lastSlot) + 1, false);
        for (const FileOp& op : plan_.ops) {
            if (IsFolderOp(op) || counted[static_cast<std::size_t>(op.slot)]) continue;
            counted[static_cast<std::size_t>(op.slot)] = true;
            ++result_.total;
        }
        stuck_.assign(counted.size(), false);
    }

    bool IsFolder(const FileOp& op) const {
        if (IsFolderOp(op)) return true;
        const auto slot = static_cast<std::size_t>(op.slot);
        return options_.folders && slot < options_.folders->size() && (*options_.folders)[slot];
    }

    const FolderAttributes* AttributesOf(const FileOp& op) const {
        if (!options_.attributes) return nullptr;
        const auto it = options_.attributes->find(op.slot);
        return it == options_.attributes->end() ? nullptr : &it->second;
    }

    // A journal that cannot be written any more ends the run before the
    // next operation, or inside a cycle once the cycle is complete.
    bool Journaled(bool written, const char* what) {
        if (written || journalBroken_) return written;
        journalBroken_ = true;
        result_.journalError = std::string("the undo journal could not be written (") + what + ")";
        return false;
    }

    // Where the next chunk ends: at least a chunk's worth of operations
    // on, and where no file waits under a temporary name, so that a
    // journal that fails at the next chunk leaves none there.
    std::size_t ChunkEnd(std::size_t start) {
        if (!journal_) return start + 1;
        const std::size_t want = std::min(start + chunkSize_, plan_.ops.size());
        chunkSize_ = std::min(chunkSize_ * 2, kLargestChunk);
        std::size_t end = start;
        for (int open = 0; end < plan_.ops.size() && (end < want || open > 0); ++end) {
            const FileOp::Stage stage = plan_.ops[end].stage;
            open += stage == FileOp::Stage::ToTemporary ? 1 : stage == FileOp::Stage::FromTemporary ? -1 : 0;
        }
        return end;
    }

    // What is at each source of the chunk, looked up once: the identity
    // the journal records and the check before each operation.
    bool PrepareChunk(std::size_t start) {
        chunkStart_ = start;
        chunkEnd_ = ChunkEnd(start);
        infos_.assign(chunkEnd_ - start, PathInfo());
        for (std::size_t index = start; index < chunkEnd_; ++index) {
            const FileOp& op = plan_.ops[index];
            if (op.kind != FileOp::Kind::MakeFolder && op.stage != FileOp::Stage::FromTemporary)
                infos_[index - start] = files_.Lookup(op.from);
        }
        if (!journal_) return true;
        std::vector<Announced> announced;
        announced.reserve(chunkEnd_ - start);
        for (std::size_t index = start; index < chunkEnd_; ++index) {
            const FileOp& op = plan_.ops[index];
            const PathInfo& info = infos_[index - start];
            const FileIdentity* identity = &info.identity;
            if (op.stage == FileOp::Stage::FromTemporary) identity = &planned_[op.slot];
            if (op.stage == FileOp::Stage::ToTemporary) planned_[op.slot] = info.identity;
            const FolderAttributes* attributes =
                op.kind == FileOp::Kind::RemoveFolder ? &info.attributes : AttributesOf(op);
            announced.push_back({&op, Number(index), op.kind == FileOp::Kind::MakeFolder ? nullptr : identity, &op.to,
                                 IsFolder(op), options_.trash != nullptr, attributes});
        }
        if (Journaled(journal_->Announce(announced), "announcement")) return true;
        chunkEnd_ = start;  // nothing of it was announced
        return false;
    }

    void Fail(const FileOp& op, std::string source, std::string target, OpResult result) {
        if (IsFolderOp(op)) source = op.kind == FileOp::Kind::MakeFolder ? op.to : op.from, target.clear();
        result_.failures.push_back({op.slot, std::move(source), std::move(target), std::move(result), op.kind});
    }

    // The announced operation did not happen.
    void Skip(std::size_t index) {
        if (journal_) Journaled(journal_->Failed(Number(index)), "failure");
    }

    // The line's own target: a cycle's last step names it.
    std::string TargetOf(const FileOp& op, std::size_t index) const {
        if (op.stage != FileOp::Stage::ToTemporary) return op.to;
        for (std::size_t later = index + 1; later < plan_.ops.size(); ++later)
            if (plan_.ops[later].slot == op.slot) return plan_.ops[later].to;
        return op.to;
    }

    // Why an operation waiting for slot cannot run.
    OpResult WaitedInVain(int slot) const {
        const auto it = folderFailures_.find(slot);
        return it != folderFailures_.end() ? it->second : OpResult::Failure(EEXIST, kNameNotCleared);
    }

    // What is at the source must still be what the line stood for. A
    // source that is simply gone has left its name to the lines waiting
    // for it; another file in its place holds them back.
    bool CheckSource(const FileOp& op, const PathInfo& info, OpResult& refusal, bool& holdsName) {
        holdsName = info.kind != PathKind::Missing;
        if (op.kind == FileOp::Kind::MakeFolder) return true;
        const bool folder = IsFolder(op);
        if (op.stage == FileOp::Stage::FromTemporary) {
            const PathInfo now = files_.Lookup(op.from);
            holdsName = true;  // the line's own name was left long ago
            auto it = asideIdentity_.find(op.slot);
            if (now.kind != PathKind::Missing && (it == asideIdentity_.end() || it->second.Same(now.identity, folder)))
                return true;
            refusal = OpResult::Failure(ENOENT, kNoLongerListed);
            return false;
        }
        if (info.kind != (folder ? PathKind::Folder : PathKind::File)) {
            refusal = OpResult::Failure(info.kind == PathKind::Missing ? ENOENT : EISDIR, kNoLongerListed);
            return false;
        }
        const auto slot = static_cast<std::size_t>(op.slot);
        if (options_.expected && slot < options_.expected->size() &&
            !(*options_.expected)[slot].Same(info.identity, folder)) {
            refusal = OpResult::Failure(EEXIST, kNotMovedByBatch);
            return false;
        }
        return true;
    }

    OpResult Execute(const FileOp& op, std::size_t index) {
        switch (op.kind) {
            case FileOp::Kind::Move: return files_.Move(op.from, op.to, owner_);
            case FileOp::Kind::RemoveFolder: return files_.RemoveFolder(op.from);
            case FileOp::Kind::MakeFolder: return MakeFolder(op);
            case FileOp::Kind::Restore: return options_.trash->Restore(op.from, op.to);
            case FileOp::Kind::Delete:
                if (options_.trash) {
                    std::string trashedAs;
                    OpResult result = options_.trash->MoveToTrash(op.from, trashedAs);
                    if (result.ok && journal_) Journaled(journal_->Trashed(Number(index), trashedAs), "trashed");
                    return result;
                }
                // Only an empty folder is deleted for good; the plan saw to that.
                return IsFolder(op) ? files_.RemoveFolder(op.from) : files_.Delete(op.from, owner_);
        }
        return OpResult::Failure(EINVAL, "unknown operation");
    }

    OpResult MakeFolder(const FileOp& op) {
        OpResult result = files_.MakeFolder(op.to);
        if (const FolderAttributes* attributes = AttributesOf(op); result.ok && attributes)
            files_.SetAttributes(op.to, *attributes, FileServices::Filling::Started);
        return result;
    }

    void RunOne(std::size_t index) {
        const FileOp& op = plan_.ops[index];
        const auto slot = static_cast<std::size_t>(op.slot);
        if (op.stage == FileOp::Stage::FromTemporary && stuck_[slot])
            return Skip(index);  // never left; already reported

        // Moving while a name on the way is still taken would replace a file
        // or go through a link that was to leave: the line is skipped.
        for (int waited : op.waitsFor) {
            if (!stuck_[static_cast<std::size_t>(waited)]) continue;
            Skip(index);
            std::string source = op.from;
            if (op.stage == FileOp::Stage::FromTemporary && PutBack(index)) source = op.restore;
            if (op.kind != FileOp::Kind::MakeFolder) Fail(op, source, TargetOf(op, index), WaitedInVain(waited));
            stuck_[slot] = true;
            if (IsFolderOp(op)) folderFailures_[op.slot] = WaitedInVain(waited);
            return;
        }

        OpResult refusal;
        bool holdsName = true;
        if (!CheckSource(op, infos_[index - chunkStart_], refusal, holdsName)) {
            Skip(index);
            if (op.kind == FileOp::Kind::RemoveFolder && !holdsName) return;  // gone already
            Fail(op, op.from, TargetOf(op, index), refusal);
            if (op.stage == FileOp::Stage::FromTemporary)
                aside_.erase(op.slot);
            else if (holdsName)
                stuck_[slot] = true;
            return;
        }

        const OpResult result = Execute(op, index);
        if (result.ok) return Done(op, index);
        Skip(index);
        if (op.kind == FileOp::Kind::MakeFolder && files_.Query(op.to) == PathKind::Folder) return;  // made meanwhile
        std::string source = op.from;
        if (op.stage == FileOp::Stage::FromTemporary) {
            // The cycle could not finish: the file goes back to its own name
            // if that is free, so that no name the user never typed is left.
            if (PutBack(index)) source = op.restore;
        } else {
            stuck_[slot] = true;
        }
        if (IsFolderOp(op)) folderFailures_[op.slot] = result;
        if (!op.forMoves) Fail(op, source, TargetOf(op, index), result);
    }

    void Done(const FileOp& op, std::size_t index) {
        result_.done.push_back({index, false});
        if (op.kind == FileOp::Kind::MakeFolder) {
            made_.push_back(index);
        } else if (op.stage == FileOp::Stage::ToTemporary) {
            aside_.insert(op.slot);
            asideIdentity_[op.slot] = infos_[index - chunkStart_].identity;
        } else if (op.kind != FileOp::Kind::RemoveFolder) {
            ++result_.applied;
            aside_.erase(op.slot);
            if (op.caseOnly) spellings_.push_back(index);
        }
    }

    // A move of its own, written ahead on its own.
    bool AnnounceAlone(const FileOp& op, const FileIdentity* identity, const std::string* to, long number) {
        if (!journal_) return true;
        return Journaled(journal_->Announce({{&op, number, identity, to, IsFolder(op), false, nullptr}}), "move");
    }

    bool PutBack(std::size_t index) {
        const FileOp& op = plan_.ops[index];
        aside_.erase(op.slot);
        // Back even where the journal fails: the undo finds the file at home.
        const long number = nextDynamic_++;
        AnnounceAlone(op, &asideIdentity_[op.slot], &op.restore, number);
        if (files_.Move(op.from, op.restore, owner_).ok) {
            result_.done.push_back({index, true});
            return true;
        }
        if (journal_) Journaled(journal_->Failed(number), "failure");
        return false;
    }

    // Folders made for moves that then failed, left empty: removed again,
    // innermost first.
    void TidyMadeFolders() {
        if (result_.failures.empty()) return;
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
            const FileOp& made = plan_.ops[*it];
            if (!made.forMoves || !IsEmptyFolder(made.to)) continue;
            FileOp removal;
            removal.kind = FileOp::Kind::RemoveFolder;
            removal.slot = made.slot;
            removal.from = made.to;
            const PathInfo info = files_.Lookup(removal.from);
            const long number = nextDynamic_++;
            if (journal_ && !Journaled(journal_->Announce({{&removal, number, &info.identity, &removal.to, true, false,
                                                            &info.attributes}}),
                                       "folder"))
                return;
            if (!files_.RemoveFolder(removal.from).ok && journal_) Journaled(journal_->Failed(number), "failure");
        }
    }

    bool IsEmptyFolder(const std::string& folder) {
        bool empty = true;
        files_.ListFolder(folder + files_.conventions().separator, [&](const char* name, bool) {
            empty = std::string_view(name) == "." || std::string_view(name) == "..";
            return empty;
        });
        return empty;
    }

    // A change of case that a case-blind file system did not take would
    // otherwise pass for done: each folder is read once, after the run.
    void ReadBackSpellings() {
        const Conventions& conventions = files_.conventions();
        std::map<std::string, std::vector<std::size_t>> byFolder;
        for (std::size_t index : spellings_) {
            const std::string& to = plan_.ops[index].to;
            byFolder[to.substr(0, FolderLength(to, conventions))].push_back(index);
        }
        for (const auto& [folder, indices] : byFolder) {
            std::unordered_set<std::string> names;
            files_.ListFolder(folder, [&](const char* name, bool) {
                names.insert(name);
                return true;
            });
            for (std::size_t index : indices) {
                const FileOp& op = plan_.ops[index];
                if (names.count(op.to.substr(folder.size())) != 0) continue;
                --result_.applied;
                Fail(op, op.restore.empty() ? op.from : op.restore, op.to,
                     OpResult::Failure(EIO, "the file system kept the name in its old case"));
            }
        }
    }

    const BatchPlan& plan_;
    FileServices& files_;
    WindowHandle owner_;
    const RunOptions& options_;
    RunJournal* journal_;
    const long first_;  // the number of the plan's first operation
    long nextDynamic_;  // the next number for an operation not in the plan
    RunResult result_;
    std::size_t chunkStart_ = 0;
    std::size_t chunkEnd_ = 0;
    std::size_t chunkSize_ = kFirstChunk;
    std::vector<PathInfo> infos_;  // what was at each source of the chunk
    // Per slot: the file still holds the name it was to leave (or a folder
    // was not made), so nothing that waited for it may run.
    std::vector<bool> stuck_;
    std::unordered_map<int, OpResult> folderFailures_;  // slot -> why its folder was not made or removed
    std::unordered_set<int> aside_;                     // slots whose file waits under a temporary name
    std::unordered_map<int, FileIdentity> asideIdentity_;
    std::unordered_map<int, FileIdentity> planned_;  // slots set aside in the chunk: the file announced
    std::vector<std::size_t> made_;                  // MakeFolder operations done
    std::vector<std::size_t> spellings_;             // case changes done, to read back
    bool journalBroken_ = false;
};

}  // namespace

RunResult RunPlan(const BatchPlan& plan, FileServices& files, WindowHandle owner, const RunOptions& options) {
    return Runner(plan, files, owner, options).Run();
}

}  // namespace quil
