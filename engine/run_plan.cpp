#include "engine/run_plan.h"

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

class Runner {
public:
    Runner(const BatchPlan& plan, FileServices& files, WindowHandle owner, const RunOptions& options)
        : plan_(plan), files_(files), owner_(owner), options_(options) {}

    RunResult Run() {
        int lastSlot = 0;
        std::unordered_set<int> slots;
        for (const FileOp& op : plan_.ops) {
            if (op.kind != FileOp::Kind::RemoveFolder) slots.insert(op.slot);
            lastSlot = std::max(lastSlot, op.slot);
        }
        result_.total = static_cast<int>(slots.size());
        stuck_.assign(static_cast<std::size_t>(lastSlot) + 1, false);
        for (std::size_t index = 0; index < plan_.ops.size(); ++index) {
            // A stop inside a cycle waits for its end, so that no file is
            // left under a name that the user never typed.
            if (aside_.empty() && (journalBroken_ || (options_.observer && options_.observer->StopRequested()))) {
                result_.stopped = true;
                break;
            }
            RunOne(plan_.ops[index], index);
            if (options_.observer) options_.observer->Progress(result_.applied, result_.total);
        }
        ReadBackSpellings();
        return std::move(result_);
    }

private:
    bool IsFolder(const FileOp& op) const {
        const int slot = op.slot;
        if (op.kind == FileOp::Kind::RemoveFolder) return true;
        return options_.folders && static_cast<std::size_t>(slot) < options_.folders->size() &&
               (*options_.folders)[static_cast<std::size_t>(slot)];
    }

    // Records ahead of an operation. A journal that cannot be written any
    // more ends the run before the operation, or inside a cycle once the
    // cycle is complete: no file is left under a temporary name.
    bool Journaled(bool written, const char* what) {
        if (written || journalBroken_) return true;
        journalBroken_ = true;
        result_.journalError = std::string("the undo journal could not be written (") + what + ")";
        return !aside_.empty();
    }

    void Fail(const FileOp& op, std::string source, std::string target, OpResult result) {
        result_.failures.push_back({op.slot, std::move(source), std::move(target), std::move(result)});
    }

    // The line's own target: a cycle's last step names it.
    std::string TargetOf(const FileOp& op, std::size_t index) const {
        if (op.stage != FileOp::Stage::ToTemporary) return op.to;
        for (std::size_t later = index + 1; later < plan_.ops.size(); ++later)
            if (plan_.ops[later].slot == op.slot) return plan_.ops[later].to;
        return op.to;
    }

    // What is at the source must still be what the line stood for.
    bool CheckSource(const FileOp& op, FileIdentity& identity, OpResult& refusal) {
        const PathInfo info = files_.Lookup(op.from);
        identity = info.identity;
        const bool folder = IsFolder(op);
        if (op.stage == FileOp::Stage::FromTemporary) {
            auto it = asideIdentity_.find(op.slot);
            if (info.kind != PathKind::Missing && (it == asideIdentity_.end() || it->second.Same(identity, folder)))
                return true;
            refusal = OpResult::Failure(ENOENT, kNoLongerListed);
            return false;
        }
        if (info.kind != (folder ? PathKind::Folder : PathKind::File)) {
            refusal = OpResult::Failure(info.kind == PathKind::Missing ? ENOENT : EISDIR, kNoLongerListed);
            return false;
        }
        const auto slot = static_cast<std::size_t>(op.slot);
        if (options_.expected && slot < options_.expected->size() && !(*options_.expected)[slot].Same(identity, folder)) {
            refusal = OpResult::Failure(EEXIST, kNotMovedByBatch);
            return false;
        }
        return true;
    }

    void RunOne(const FileOp& op, std::size_t index) {
        const auto slot = static_cast<std::size_t>(op.slot);
        if (op.stage == FileOp::Stage::FromTemporary && stuck_[slot]) return;  // never left; already reported
        RunJournal* journal = options_.journal;

        // Moving while a name on the way is still taken would replace a file
        // or go through a link that was to leave: the line is skipped.
        for (int waited : op.waitsFor) {
            if (!stuck_[static_cast<std::size_t>(waited)]) continue;
            std::string source = op.from;
            if (op.stage == FileOp::Stage::FromTemporary && PutBack(op)) source = op.restore;
            Fail(op, source, TargetOf(op, index), OpResult::Failure(EEXIST, kNameNotCleared));
            stuck_[slot] = true;
            return;
        }

        FileIdentity identity;
        OpResult refusal;
        if (!CheckSource(op, identity, refusal)) {
            Fail(op, op.from, TargetOf(op, index), refusal);
            if (op.stage != FileOp::Stage::FromTemporary) stuck_[slot] = true;
            else aside_.erase(op.slot);
            return;
        }

        OpResult result;
        std::string trashedAs;
        std::vector<std::string> made;
        if (op.kind == FileOp::Kind::RemoveFolder) {
            if (journal && !Journaled(journal->RemoveFolder(op.from), "folder")) return;
            result = files_.RemoveFolder(op.from);
            if (!result.ok) {
                if (journal) Journaled(journal->FolderFailed(op.from), "failure");
                stuck_[slot] = true;
            }
            return;
        }
        if (op.kind == FileOp::Kind::Delete) {
            if (options_.trash) {
                if (journal && !Journaled(journal->Trash(op.slot, identity, op.from), "trash")) return;
                result = options_.trash->MoveToTrash(op.from, trashedAs);
                if (result.ok && journal) Journaled(journal->Trashed(op.slot, trashedAs), "trashed");
            } else {
                if (journal && !Journaled(journal->Delete(op.slot, identity, op.from), "delete")) return;
                // Only an empty folder is deleted for good; the plan saw to that.
                result = IsFolder(op) ? files_.RemoveFolder(op.from) : files_.Delete(op.from, owner_);
            }
        } else {
            if (journal && !Journaled(journal->Move(op.slot, identity, op.from, op.to), "move")) return;
            if (!op.makesFolders || MakeFolders(op.to, made, result)) result = files_.Move(op.from, op.to, owner_);
        }

        if (result.ok) {
            if (op.stage == FileOp::Stage::ToTemporary) {
                aside_.insert(op.slot);
                asideIdentity_[op.slot] = identity;
            } else {
                ++result_.applied;
                aside_.erase(op.slot);
                if (op.caseOnly) spellings_.push_back(index);
            }
            return;
        }
        if (journal) Journaled(journal->Failed(op.slot), "failure");
        RemoveFolders(made);
        std::string source = op.from;
        if (op.stage == FileOp::Stage::FromTemporary) {
            // The cycle could not finish: the file goes back to its own name
            // if that is free, so that no name the user never typed is left.
            if (PutBack(op)) source = op.restore;
        } else {
            stuck_[slot] = true;
        }
        Fail(op, source, TargetOf(op, index), result);
    }

    bool PutBack(const FileOp& op) {
        aside_.erase(op.slot);
        const FileIdentity identity = asideIdentity_[op.slot];
        if (options_.journal) Journaled(options_.journal->Move(op.slot, identity, op.from, op.restore), "move");
        if (files_.Move(op.from, op.restore, owner_).ok) return true;
        if (options_.journal) Journaled(options_.journal->Failed(op.slot), "failure");
        return false;
    }

    // The missing folders on the way to target, outermost first, each
    // journaled before it is made.
    bool MakeFolders(const std::string& target, std::vector<std::string>& made, OpResult& failure) {
        const Conventions& conventions = files_.conventions();
        std::vector<std::string> missing;
        for (std::string folder = target.substr(0, FolderLength(target, conventions));;) {
            if (folder.size() < 2) break;
            folder.pop_back();  // its separator
            if (folder.find(conventions.separator) == std::string::npos) break;  // "C:" or the top
            const PathKind kind = files_.Query(folder);
            if (kind == PathKind::Folder) break;
            if (kind == PathKind::File) {
                failure = OpResult::Failure(ENOTDIR, "a file has the name of a folder on the path");
                return false;
            }
            missing.push_back(folder);
            folder.resize(FolderLength(folder, conventions));
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            if (options_.journal && !Journaled(options_.journal->MakeFolder(*it), "folder")) {
                failure = OpResult::Failure(EIO, result_.journalError);
                return false;
            }
            failure = files_.MakeFolder(*it);
            if (!failure.ok) {
                if (options_.journal) Journaled(options_.journal->FolderFailed(*it), "failure");
                return false;
            }
            made.push_back(*it);
        }
        return true;
    }

    // Only folders still empty go: what a failed move made for itself.
    void RemoveFolders(const std::vector<std::string>& made) {
        for (auto it = made.rbegin(); it != made.rend(); ++it) {
            if (options_.journal) Journaled(options_.journal->RemoveFolder(*it), "folder");
            if (!files_.RemoveFolder(*it).ok && options_.journal) Journaled(options_.journal->FolderFailed(*it), "failure");
        }
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
    RunResult result_;
    // Per slot: the file still holds the name it was to leave, so nothing
    // that waited for that name may run.
    std::vector<bool> stuck_;
    std::unordered_set<int> aside_;  // slots whose file waits under a temporary name
    std::unordered_map<int, FileIdentity> asideIdentity_;
    std::vector<std::size_t> spellings_;  // case changes done, to read back
    bool journalBroken_ = false;
};

}  // namespace

RunResult RunPlan(const BatchPlan& plan, FileServices& files, WindowHandle owner, const RunOptions& options) {
    return Runner(plan, files, owner, options).Run();
}

}  // namespace quil
