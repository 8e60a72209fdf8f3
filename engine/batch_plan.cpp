#include "engine/batch_plan.h"

#include "engine/folder_snapshot.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include <boost/container_hash/hash.hpp>
#include <boost/unordered/unordered_flat_set.hpp>

namespace quil {
namespace {

constexpr std::size_t npos = std::string::npos;

// The lines that have a name as their source and as their target.
struct NameUse {
    std::string_view key;
    std::size_t source = npos;
    std::size_t target = npos;
};

// The table of names holds the number of each name's uses, hashed and
// compared by the name: four bytes a slot where a view and a number took
// twenty-four, for the two million names of a million renames.
struct NameHash {
    using is_transparent = void;
    const std::vector<NameUse>* uses;
    std::size_t operator()(std::string_view key) const { return boost::hash<std::string_view>()(key); }
    std::size_t operator()(std::uint32_t use) const { return (*this)((*uses)[use].key); }
};

struct NameEqual {
    using is_transparent = void;
    const std::vector<NameUse>* uses;
    bool operator()(std::uint32_t one, std::uint32_t other) const { return one == other; }
    bool operator()(std::string_view key, std::uint32_t use) const { return key == (*uses)[use].key; }
    bool operator()(std::uint32_t use, std::string_view key) const { return key == (*uses)[use].key; }
};

// A missing folder on the way to a target, made before the first move
// into it: where a listed file leaves that name, after it has left.
struct FolderToMake {
    std::string path;
    std::string_view key;
    std::size_t leaving = npos;  // the line whose file leaves the name
};

struct Line {
    int slot = 0;
    bool remove = false;
    bool active = true;
    bool caseOnly = false;       // the same name in another case, where names fold
    bool removesFolder = false;  // not a line: an empty folder to remove, sourceKey its name
    Refusal reason = Refusal::TargetExists;
    // How the file system tells the names apart: views of the paths
    // themselves where names keep their case, else of folded copies.
    std::string_view sourceKey;
    std::string_view targetKey;
    std::size_t target = npos;  // the uses of the target name, in uses_
};

// A run of line numbers, in one of LineLinks' tables.
struct LineRun {
    const std::size_t* first = nullptr;
    const std::size_t* last = nullptr;
    const std::size_t* begin() const { return first; }
    const std::size_t* end() const { return last; }
    std::size_t size() const { return static_cast<std::size_t>(last - first); }
    std::size_t operator[](std::size_t at) const { return first[at]; }
};

// Which lines wait for which: collected while the lines are checked, then
// indexed both ways at once. Two vectors in each line cost more than the
// line itself, and most lines of a large batch wait for none.
class LineLinks {
public:
    // Line waits until the file of blocker has left its name.
    void Add(std::size_t blocker, std::size_t line) { pairs_.push_back({blocker, line}); }

    // After the last Add.
    void Index(std::size_t lines) {
        blockers_.Fill(lines, pairs_, false);
        dependents_.Fill(lines, pairs_, true);
        pairs_ = {};
    }

    // Lines whose files must leave first, in the order added.
    LineRun BlockersOf(std::size_t line) const { return blockers_.Of(line); }
    // Lines that wait for this file to leave, in the order added.
    LineRun DependentsOf(std::size_t line) const { return dependents_.Of(line); }

private:
    // Each line's links, grouped by line (a stable counting sort).
    struct Grouped {
        std::vector<std::uint32_t> starts;  // empty where there are no links at all
        std::vector<std::size_t> items;

        void Fill(std::size_t lines, const std::vector<std::pair<std::size_t, std::size_t>>& pairs, bool byBlocker) {
            if (pairs.empty()) return;
            starts.assign(lines + 1, 0);
            for (const auto& pair : pairs) ++starts[(byBlocker ? pair.first : pair.second) + 1];
            for (std::size_t line = 0; line < lines; ++line) starts[line + 1] += starts[line];
            std::vector<std::uint32_t> next(starts.begin(), starts.end() - 1);
            items.resize(pairs.size());
            for (const auto& pair : pairs)
                items[next[byBlocker ? pair.first : pair.second]++] = byBlocker ? pair.second : pair.first;
        }

        LineRun Of(std::size_t line) const {
            if (starts.empty()) return {};
            return {items.data() + starts[line], items.data() + starts[line + 1]};
        }
    };

    std::vector<std::pair<std::size_t, std::size_t>> pairs_;  // blocker, line
    Grouped blockers_;
    Grouped dependents_;
};

FileOp Op(FileOp::Kind kind, FileOp::Stage stage, int slot, std::string from, std::string to,
          std::string restore = {}) {
    FileOp op;
    op.kind = kind;
    op.stage = stage;
    op.slot = slot;
    op.from = std::move(from);
    op.to = std::move(to);
    op.restore = std::move(restore);
    return op;
}

class Planner {
public:
    Planner(const BatchState& state, FileServices& files, const PlanOptions& options)
        : state_(state), files_(files), conventions_(files.conventions()), root_(state.root), options_(options) {}

    BatchPlan Run() {
        for (void (Planner::*step)() :
             {&Planner::CollectChangedLines, &Planner::CheckFolderLines, &Planner::AddFolderRemovals,
              &Planner::CheckTargetPaths, &Planner::RefuseSharedTargets, &Planner::CheckFoldersOnTheWay,
              &Planner::CheckTargetNames, &Planner::IndexLinks, &Planner::PropagateRefusals,
              &Planner::OrderOperations}) {
            (this->*step)();
            if (stopped_) {
                BatchPlan stopped;
                stopped.stopped = true;
                return stopped;
            }
        }
        for (const Line& line : lines_)
            if (!line.active && !line.removesFolder) plan_.refused.push_back({line.slot, line.reason});
        return std::move(plan_);
    }

private:
    // The steps that go over every line, for progress.
    static constexpr int kLongSteps = 6;

    // Tells the caller how far planning is, every few thousand lines of
    // the step under way (of kLongSteps); false once asked to stop.
    bool Going(std::size_t done, std::size_t total) {
        if ((done & 4095) != 0 || !options_.progress) return true;
        if (done == 0) ++step_;
        const double fraction =
            (step_ - 1 + static_cast<double>(done) / static_cast<double>(std::max<std::size_t>(total, 1))) / kLongSteps;
        stopped_ = stopped_ || !options_.progress(std::min(fraction, 1.0));
        return !stopped_;
    }

    const std::string& From(std::size_t index) const { return state_.oldPaths[lines_[index].slot]; }
    const std::string& To(std::size_t index) const { return state_.newPaths[lines_[index].slot]; }
    // A move, or a folder removal, still to order.
    bool IsActiveStep(std::size_t index) const { return lines_[index].active && !lines_[index].remove; }
    bool IsActiveMove(std::size_t index) const { return IsActiveStep(index) && !lines_[index].removesFolder; }

    void Refuse(std::size_t index, Refusal reason) {
        if (!lines_[index].active) return;
        lines_[index].active = false;
        lines_[index].reason = reason;
        worklist_.push_back(index);
    }

    // Line waits until the file of blocker has left its name.
    void Link(std::size_t blocker, std::size_t line) { links_.Add(blocker, line); }

    // Every link is made by now.
    void IndexLinks() { links_.Index(lines_.size()); }

    // Where the name parts below the root begin; for a target above the
    // root, below the drive or the top.
    std::size_t Below(const std::string& path) const {
        if (path.compare(0, root_.size(), root_) == 0) return root_.size();
        const std::size_t first = FindSeparator(path, conventions_.separator, 0, conventions_.isLeadByte);
        return first == npos ? 0 : first + 1;
    }

    // Positions of the separators of path, first to last.
    std::vector<std::size_t> Separators(const std::string& path) const {
        std::vector<std::size_t> positions;
        for (std::size_t at = FindSeparator(path, conventions_.separator, 0, conventions_.isLeadByte); at != npos;
             at = FindSeparator(path, conventions_.separator, at + 1, conventions_.isLeadByte))
            positions.push_back(at);
        return positions;
    }

    // Where the last name of path begins.
    std::size_t FolderEnd(const std::string& path) const { return FolderLength(path, conventions_); }

    // The uses of a name, made on its first use.
    NameUse& Use(std::string_view key) {
        if (const auto it = names_.find(key); it != names_.end()) return uses_[*it];
        uses_.push_back({key});
        names_.insert(static_cast<std::uint32_t>(uses_.size() - 1));
        return uses_.back();
    }

    std::size_t SourceNamed(std::string_view key) const {
        const auto it = names_.find(key);
        return it == names_.end() ? npos : uses_[*it].source;
    }

    const PathInfo& QueryFolder(const std::string& folder, const std::string& key) {
        auto [it, added] = folderInfos_.try_emplace(key);
        if (added) it->second = files_.Lookup(folder);
        return it->second;
    }

    // Whether the folder holding path's last name takes names without case:
    // the platform's rule, or learnt folder by folder where it differs
    // (case-blind volumes mounted on Linux, case-folding folders). Paths
    // come folder by folder, so the last answer is kept at hand.
    bool FoldsAt(const std::string& path) {
        if (conventions_.caseInsensitive) return true;
        const std::string_view folder(path.data(), FolderEnd(path));
        if (folder == lastFolder_) return lastFolds_;
        const std::string key(folder);
        auto it = folds_.find(key);
        if (it == folds_.end()) it = folds_.emplace(key, files_.FoldsCase(key)).first;
        lastFolder_ = it->first;
        lastFolds_ = it->second;
        return lastFolds_;
    }

    // The key of a path as the file system tells it apart.
    std::string KeyString(const std::string& path) { return FoldsAt(path) ? UpperCaseName(path) : path; }

    // The key of path; a folded copy is kept where the folder ignores case.
    std::string_view KeyOf(const std::string& path) {
        if (!FoldsAt(path)) return path;
        return foldedKeys_.emplace_back(UpperCaseName(path));
    }

    void CollectChangedLines() {
        std::size_t changed = 0;
        for (int slot = 1; slot <= state_.count; ++slot) changed += state_.oldPaths[slot] != state_.newPaths[slot];
        lines_.reserve(changed);
        names_.reserve(2 * changed);
        uses_.reserve(2 * changed);
        auto refusal = options_.refusals.begin();  // in slot order
        for (int slot = 1; slot <= state_.count; ++slot) {
            if (!Going(static_cast<std::size_t>(slot - 1), static_cast<std::size_t>(state_.count))) return;
            const std::string& source = state_.oldPaths[slot];
            if (source == state_.newPaths[slot]) continue;
            const std::size_t index = lines_.size();
            Line& line = lines_.emplace_back();
            line.slot = slot;
            line.remove = state_.newPaths[slot].empty();
            line.sourceKey = KeyOf(source);
            Use(line.sourceKey).source = index;
            // Win32 would rewrite such a path on its way to the file system
            // and reach another file, or a folder, or nothing.
            if (PathLength(source, conventions_) > conventions_.maxPath)
                Refuse(index, Refusal::TooLong);
            else if (HasWindowsUnsafePart(source, Below(source), conventions_))
                Refuse(index, Refusal::SourceUnreachable);
            while (refusal != options_.refusals.end() && refusal->slot < slot) ++refusal;
            if (refusal != options_.refusals.end() && refusal->slot == slot) Refuse(index, refusal->reason);
        }
    }

    bool IsFolderLine(std::size_t index) const {
        const auto slot = static_cast<std::size_t>(lines_[index].slot);
        return slot < state_.folders.size() && state_.folders[slot];
    }

    // A folder line moves the folder with everything in it: never into
    // itself; never while a folder above it moves too (the rename of one
    // would take the other's source away); and deleted for good only when
    // it is empty.
    void CheckFolderLines() {
        if (state_.folders.empty()) return;
        std::unordered_set<std::string_view> moving;
        for (std::size_t i = 0; i < lines_.size(); ++i)
            if (IsFolderLine(i)) moving.insert(lines_[i].sourceKey);
        if (moving.empty()) return;
        const char separator = conventions_.separator;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            const std::string_view source = lines_[i].sourceKey;
            for (std::size_t end = source.rfind(separator); end != npos && end > root_.size();
                 end = source.rfind(separator, end - 1))
                if (moving.count(source.substr(0, end)) != 0) {
                    Refuse(i, Refusal::InsideMovedFolder);
                    break;
                }
            if (!IsFolderLine(i) || !lines_[i].active) continue;
            if (lines_[i].remove) {
                if (options_.permanent && !IsEmptyFolder(From(i))) Refuse(i, Refusal::NotEmpty);
                continue;
            }
            const std::string target = KeyString(To(i));
            if (target.size() > source.size() && target.compare(0, source.size(), source) == 0 &&
                target[source.size()] == separator)
                Refuse(i, Refusal::IntoItself);
        }
    }

    bool IsEmptyFolder(const std::string& folder) {
        bool empty = true;
        files_.ListFolder(folder + conventions_.separator, [&](const char* name, bool) {
            empty = std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
            return empty;
        });
        return empty;
    }

    // Folders that go while the batch runs (those an undo's batch made):
    // each waits for the files inside it to leave, and a move to its name
    // waits for it, as it would for a file leaving that name.
    void AddFolderRemovals() {
        const char separator = conventions_.separator;
        for (const std::string& folder : options_.foldersToRemove) {
            if (files_.Query(folder) != PathKind::Folder) continue;
            const std::size_t index = lines_.size();
            Line& removal = lines_.emplace_back();
            removal.slot = state_.count + static_cast<int>(index) + 1;
            removal.removesFolder = true;
            removal.sourceKey = KeyOf(folder);
            Use(removal.sourceKey).source = index;
            removedFolders_.insert(removal.sourceKey);
            const std::string inside = std::string(removal.sourceKey) + separator;
            for (std::size_t i = 0; i < index; ++i)
                if (lines_[i].sourceKey.compare(0, inside.size(), inside) == 0) Link(i, index);
        }
    }

    void CheckTargetPaths() {
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (!Going(i, lines_.size())) return;
            if (!IsActiveMove(i)) continue;
            if (auto refusal = CheckTargetPath(To(i), Below(To(i)), conventions_)) {
                Refuse(i, *refusal);
                continue;
            }
            lines_[i].targetKey = KeyOf(To(i));
        }
    }

    void RefuseSharedTargets() {
        std::vector<std::size_t> shared;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (!Going(i, lines_.size())) return;
            if (!IsActiveMove(i)) continue;
            NameUse& use = Use(lines_[i].targetKey);
            lines_[i].target = static_cast<std::size_t>(&use - uses_.data());
            if (use.target == npos) {
                use.target = i;
                continue;
            }
            shared.push_back(use.target);
            shared.push_back(i);
        }
        for (std::size_t i : shared) Refuse(i, Refusal::SharedTarget);
    }

    // Every folder on the way to a target must be a folder when the move
    // runs: one that exists, one the move creates, or one whose name a
    // listed file of the batch leaves first. A file that stays there makes
    // the move impossible. A move between file systems would be a copy
    // that rename(2) refuses halfway: it is refused here.
    void CheckFoldersOnTheWay() {
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (!Going(i, lines_.size())) return;
            if (!IsActiveMove(i)) continue;
            const std::string& target = To(i);
            // A rename in place: the folder holds the source.
            const std::size_t folderEnd = FolderEnd(target);
            if (FolderEnd(From(i)) == folderEnd && From(i).compare(0, folderEnd, target, 0, folderEnd) == 0) continue;
            const std::vector<std::size_t> separators = Separators(target);
            std::uint64_t targetDevice = 0;
            for (std::size_t k = separators.size(); k-- > 0 && separators[k] > 0;) {
                const std::string folder = target.substr(0, separators[k]);
                if (folder.find(conventions_.separator) == npos) break;  // a drive, "C:": never made
                const std::string key = KeyString(folder);
                if (const std::size_t leaving = SourceNamed(key); leaving != npos) {
                    Link(leaving, i);
                    AddFolderToCreate(i, folder, key, leaving);
                    continue;  // made where that file was: in the folder above
                }
                const PathInfo& info = QueryFolder(folder, key);
                if (info.kind == PathKind::Folder) {
                    targetDevice = info.device;
                    break;
                }
                if (info.kind == PathKind::File) {
                    Refuse(i, Refusal::ParentIsFile);
                    break;
                }
                AddFolderToCreate(i, folder, key, npos);
            }
            if (targetDevice == 0 || !lines_[i].active) continue;  // a platform that does not say
            if (const std::uint64_t sourceDevice = SourceDevice(From(i));
                sourceDevice != 0 && sourceDevice != targetDevice)
                Refuse(i, Refusal::OtherFileSystem);
        }
    }

    std::uint64_t SourceDevice(const std::string& source) {
        const std::string folder = source.substr(0, FolderEnd(source) - 1);
        return QueryFolder(folder, KeyString(folder)).device;
    }

    // Folders are met innermost first; they are made outermost first.
    void AddFolderToCreate(std::size_t line, const std::string& folder, const std::string& key, std::size_t leaving) {
        auto it = foldersToCreate_.find(key);
        if (it == foldersToCreate_.end()) it = foldersToCreate_.insert(folderKeys_.emplace_back(key)).first;
        std::vector<FolderToMake>& folders = makes_[line];
        folders.insert(folders.begin(), {folder, *it, leaving});
    }

    // Folders that many targets go into are read whole instead of looked up
    // name by name (POSIX only: the Windows dialog keeps its own lookups).
    static constexpr int kTargetsToReadAFolder = 64;

    void CountTargetsPerFolder() {
        if (conventions_.windowsNames) return;
        std::string_view last;
        int* count = nullptr;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (!IsActiveMove(i)) continue;
            const std::string_view folder(To(i).data(), FolderEnd(To(i)));
            if (count == nullptr || folder != last) count = &targetsIn_[std::string(folder)].targets;
            last = folder;
            ++*count;
        }
    }

    PathKind TargetKind(const std::string& target) {
        const std::size_t nameAt = FolderEnd(target);
        const auto it = targetsIn_.find(target.substr(0, nameAt));
        if (it == targetsIn_.end() || it->second.targets < kTargetsToReadAFolder) return files_.Query(target);
        FolderTargets& folder = it->second;
        if (!folder.read) {
            folder.read = true;
            folder.snapshot = std::make_unique<FolderSnapshot>();
            if (!folder.snapshot->Read(files_, it->first, FoldsAt(target))) folder.snapshot.reset();
        }
        if (!folder.snapshot) return files_.Query(target);
        return folder.snapshot->KindOf(std::string_view(target).substr(nameAt));
    }

    void CheckTargetNames() {
        CountTargetsPerFolder();
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (!Going(i, lines_.size())) return;
            if (!IsActiveMove(i)) continue;
            const Line& line = lines_[i];
            if (!foldersToCreate_.empty() && foldersToCreate_.count(line.targetKey) != 0) {
                Refuse(i, Refusal::FolderForAnotherLine);
                continue;
            }
            if (line.targetKey == line.sourceKey) {
                // The same name spelt otherwise. Where the platform's own
                // move does not see to it, the change of case goes through
                // a temporary name, which case-blind volumes need.
                const std::size_t nameAt = FolderEnd(To(i));
                if (From(i).compare(FolderEnd(From(i)), npos, To(i), nameAt, npos) == 0)
                    Refuse(i, Refusal::FolderCaseOnly);
                else if (!conventions_.caseInsensitive)
                    lines_[i].caseOnly = true;
                continue;
            }
            if (uses_[line.target].source != npos) {
                Link(uses_[line.target].source, i);
                continue;
            }
            switch (TargetKind(To(i))) {
                case PathKind::Missing: break;
                case PathKind::Folder: Refuse(i, Refusal::TargetIsFolder); break;
                case PathKind::File: Refuse(i, Refusal::TargetExists); break;
            }
        }
        targetsIn_.clear();  // the folders read: not needed past this step
    }

    // A refused line keeps its file, so a move onto its name would replace
    // it, and a move below its name cannot make the folder: refuse those
    // too, and so on down the lines that wait for them.
    void PropagateRefusals() {
        while (!worklist_.empty()) {
            const std::size_t kept = worklist_.back();
            worklist_.pop_back();
            for (std::size_t waiting : links_.DependentsOf(kept))
                Refuse(waiting, lines_[kept].removesFolder                            ? Refusal::TargetIsFolder
                                : lines_[waiting].targetKey == lines_[kept].sourceKey ? Refusal::TargetExists
                                                                                      : Refusal::ParentIsFile);
        }
    }

    // A free name in the folder of source, short so that it fits where the
    // file's own name does, and unknown to the file system and to every
    // name and folder that the batch uses.
    std::string TemporaryName(const std::string& source) {
        const std::string folder = OutsideRemovedFolders(source.substr(0, FolderEnd(source)));
        // Numbers already given out in this folder are not tried again.
        for (int& n = temporaryNumbers_[KeyString(folder)];;) {
            ++n;
            std::string name = folder + "quil-swap-" + std::to_string(n);
            if (PathLength(name, conventions_) > conventions_.maxPath) name = folder + "~" + std::to_string(n);
            const std::string key = KeyString(name);
            if (names_.count(std::string_view(key)) == 0 && foldersToCreate_.count(key) == 0 &&
                files_.Query(name) == PathKind::Missing)
                return name;
        }
    }

    // The folder itself, or above the outermost folder that the plan
    // removes around it: a file set aside there would keep it from going.
    std::string OutsideRemovedFolders(std::string folder) {
        if (removedFolders_.empty()) return folder;
        std::string outside = folder;
        for (std::string up = folder; up.size() > Below(up);) {
            up.pop_back();  // its separator
            if (removedFolders_.count(KeyString(up)) != 0) outside = up.substr(0, FolderEnd(up));
            up.resize(FolderEnd(up));
        }
        return outside;
    }

    void StepAside(std::size_t index) {
        temporaries_[index] = TemporaryName(From(index));
        plan_.ops.push_back(
            Op(FileOp::Kind::Move, FileOp::Stage::ToTemporary, lines_[index].slot, From(index), temporaries_[index]));
    }

    void Emit(std::size_t index) {
        const Line& line = lines_[index];
        if (line.removesFolder) {
            FileOp op =
                Op(FileOp::Kind::RemoveFolder, FileOp::Stage::Direct, line.slot, std::string(line.sourceKey), {});
            for (std::size_t blocker : links_.BlockersOf(index)) op.waitsFor.push_back(lines_[blocker].slot);
            plan_.ops.push_back(std::move(op));
            return;
        }
        if (line.caseOnly && temporaries_.count(index) == 0) StepAside(index);
        const auto aside = temporaries_.find(index);
        FileOp op = aside == temporaries_.end()
                        ? Op(FileOp::Kind::Move, FileOp::Stage::Direct, line.slot, From(index), To(index))
                        : Op(FileOp::Kind::Move, FileOp::Stage::FromTemporary, line.slot, aside->second, To(index),
                             From(index));
        op.caseOnly = line.caseOnly;
        const LineRun blockers = links_.BlockersOf(index);
        op.waitsFor.reserve(blockers.size());
        for (std::size_t blocker : blockers) op.waitsFor.push_back(lines_[blocker].slot);
        if (const auto folders = makes_.find(index); folders != makes_.end())
            for (const FolderToMake& folder : folders->second) op.waitsFor.push_back(MakeFolderOnce(folder));
        plan_.ops.push_back(std::move(op));
    }

    // The slot of the operation that makes folder, emitted before its first
    // use; slots past every line and folder removal.
    int MakeFolderOnce(const FolderToMake& folder) {
        const auto [it, added] = folderOps_.try_emplace(folder.key, 0);
        if (!added) return it->second;
        it->second = state_.count + static_cast<int>(lines_.size() + folderOps_.size());
        FileOp op = Op(FileOp::Kind::MakeFolder, FileOp::Stage::Direct, it->second, {}, folder.path);
        op.forMoves = true;
        if (folder.leaving != npos) op.waitsFor.push_back(lines_[folder.leaving].slot);
        plan_.ops.push_back(std::move(op));
        return it->second;
    }

    void OrderOperations() {
        plan_.ops.reserve(lines_.size() + 16);
        // Deletes first: they only free names.
        for (std::size_t i = 0; i < lines_.size(); ++i)
            if (lines_[i].active && lines_[i].remove)
                plan_.ops.push_back(Op(FileOp::Kind::Delete, FileOp::Stage::Direct, lines_[i].slot, From(i), {}));

        // Depth first along the blockers, each move after everything it
        // waits for. A blocker met again on the current path closes a cycle:
        // it steps aside to a temporary name at once, which frees its name
        // for the path, and takes its target when its own turn comes.
        enum Mark : char { Unseen, OnPath, Done };
        std::vector<Mark> marks(lines_.size(), Unseen);
        std::vector<std::pair<std::size_t, std::size_t>> stack;  // line, next blocker to look at
        for (std::size_t start = 0; start < lines_.size(); ++start) {
            if (!Going(start, lines_.size())) return;
            if (!IsActiveStep(start) || marks[start] != Unseen) continue;
            marks[start] = OnPath;
            stack.push_back({start, 0});
            while (!stack.empty()) {
                const std::size_t line = stack.back().first;
                const LineRun blockers = links_.BlockersOf(line);
                bool descended = false;
                while (!descended && stack.back().second < blockers.size()) {
                    const std::size_t blocker = blockers[stack.back().second++];
                    if (!IsActiveStep(blocker)) continue;
                    if (marks[blocker] == Unseen) {
                        marks[blocker] = OnPath;
                        stack.push_back({blocker, 0});
                        descended = true;
                    } else if (marks[blocker] == OnPath) {
                        // A folder cannot step aside: the move that waits
                        // for it does, which lets the files inside it go.
                        const std::size_t aside = lines_[blocker].removesFolder ? line : blocker;
                        if (temporaries_.count(aside) == 0) StepAside(aside);
                    }
                }
                if (descended) continue;
                Emit(line);
                marks[line] = Done;
                stack.pop_back();
            }
        }
        MakeFoldersAgain();
    }

    // The folders no move goes into are made last, each after the line
    // whose file leaves its name.
    void MakeFoldersAgain() {
        for (const std::string& folder : options_.foldersToMake) {
            const std::string_view key = folderKeys_.emplace_back(KeyString(folder));
            if (folderOps_.count(key) != 0) continue;
            const std::size_t leaving = SourceNamed(key);
            MakeFolderOnce({folder, key, leaving != npos && lines_[leaving].active ? leaving : npos});
        }
    }

    const BatchState& state_;
    FileServices& files_;
    const Conventions& conventions_;
    const std::string& root_;
    const PlanOptions& options_;
    std::vector<Line> lines_;
    LineLinks links_;
    // One entry per name the batch uses, in an open-addressing table: a
    // million names stay a million small slots, not a million nodes.
    std::vector<NameUse> uses_;
    boost::unordered_flat_set<std::uint32_t, NameHash, NameEqual> names_{0, NameHash{&uses_}, NameEqual{&uses_}};
    std::deque<std::string> foldedKeys_;  // what the keys view where case is folded
    std::deque<std::string> folderKeys_;  // what foldersToCreate_ views
    std::unordered_set<std::string_view> foldersToCreate_;
    std::unordered_map<std::size_t, std::vector<FolderToMake>> makes_;  // line -> its folders to make
    std::unordered_map<std::string_view, int> folderOps_;               // folder key -> slot of the op that makes it
    std::unordered_set<std::string_view> removedFolders_;               // keys of the folders the plan removes
    std::unordered_map<std::string, PathInfo> folderInfos_;
    struct FolderTargets {
        int targets = 0;
        bool read = false;
        std::unique_ptr<FolderSnapshot> snapshot;  // null where it could not be read
    };
    std::unordered_map<std::string, FolderTargets> targetsIn_;
    std::unordered_map<std::string, bool> folds_;  // folder -> whether it folds case
    std::string_view lastFolder_;
    bool lastFolds_ = false;
    std::unordered_map<std::string, int> temporaryNumbers_;  // folder key -> last number tried
    // The lines that step aside, and the temporary names they take.
    std::unordered_map<std::size_t, std::string> temporaries_;
    std::vector<std::size_t> worklist_;
    BatchPlan plan_;
    int step_ = 0;  // of the long steps, the one under way (1-based)
    bool stopped_ = false;
};

}  // namespace

BatchPlan PlanBatch(const BatchState& state, FileServices& files, const PlanOptions& options) {
    return Planner(state, files, options).Run();
}

}  // namespace quil
