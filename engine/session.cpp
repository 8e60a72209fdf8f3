#include "engine/session.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_set>

#include "engine/edited_plan.h"
#include "engine/emptied_folders.h"
#include "engine/index_follower.h"
#include "engine/list_order.h"
#include "engine/list_text.h"
#include "engine/path_rules.h"

namespace quil {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

void DropByteOrderMark(std::string& text) {
    if (text.compare(0, 3, kByteOrderMark) == 0) text.erase(0, 3);
}

// The folders a batch made that hold nothing once the undo has moved its
// files out of them, deepest first.
std::vector<std::string> FoldersEmptiedBy(const UndoPlan& undo, FileServices& files) {
    std::unordered_set<std::string> leaving(undo.state.oldPaths.begin() + 1, undo.state.oldPaths.begin() + 1 + undo.state.count);
    std::unordered_set<std::string> gone;
    std::vector<std::string> order;
    const char separator = files.conventions().separator;
    std::vector<std::string> made = undo.batch.madeFolders;
    std::stable_sort(made.begin(), made.end(), [separator](const std::string& a, const std::string& b) {
        return std::count(a.begin(), a.end(), separator) > std::count(b.begin(), b.end(), separator);
    });
    for (const std::string& folder : made) {
        bool empty = files.Query(folder) == PathKind::Folder;
        files.ListFolder(folder + separator, [&](const char* name, bool) {
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return true;
            const std::string path = folder + separator + name;
            empty = leaving.count(path) != 0 || gone.count(path) != 0;
            return empty;
        });
        if (empty && gone.insert(folder).second) order.push_back(folder);
    }
    return order;
}

// The folders the batch emptied and removed that the undo makes again:
// those missing now, or whose name a file the undo moves away holds;
// outermost first.
std::vector<std::string> FoldersToMakeAgain(const UndoPlan& undo, FileServices& files) {
    std::unordered_set<std::string> leaving(undo.state.oldPaths.begin() + 1, undo.state.oldPaths.begin() + 1 + undo.state.count);
    std::vector<std::string> folders;
    for (const RemovedFolder& folder : undo.batch.removedFolders)
        if (files.Query(folder.path) == PathKind::Missing || leaving.count(folder.path) != 0) folders.push_back(folder.path);
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    return folders;
}

// A folder made again is the batch's to keep, with what it had.
void GiveBackAttributes(UndoPlan& undo) {
    for (FileOp& op : undo.plan.ops) {
        if (op.kind != FileOp::Kind::MakeFolder) continue;
        for (const RemovedFolder& folder : undo.batch.removedFolders) {
            if (folder.path != op.to) continue;
            op.forMoves = false;
            undo.attributes[op.slot] = folder.attributes;
        }
    }
}

PlanRow RefusedRow(const JournalEntry& entry, const std::string& root, Refusal reason) {
    const bool away = entry.state == JournalEntry::State::Here || entry.state == JournalEntry::State::Lost;
    PlanRow row{0, LineAction::Refuse, Shown(away ? entry.now : entry.original, root), away ? Shown(entry.original, root) : ""};
    row.reason = reason;
    return row;
}

// Each entry: moved back through the planner, brought back from the Trash,
// or refused with the reason.
void SortEntries(UndoPlan& undo, FileServices& files, std::vector<const JournalEntry*>& restores,
                 std::vector<PlanRow>& refusedRows) {
    const std::string& root = undo.batch.root;
    for (const JournalEntry& entry : undo.batch.entries) {
        switch (entry.state) {
            case JournalEntry::State::Here: {
                if (entry.now == entry.original) break;
                const PathInfo info = files.Lookup(entry.now);
                if (info.kind == PathKind::Missing) {
                    refusedRows.push_back(RefusedRow(entry, root, Refusal::SourceMissing));
                } else if (info.kind != (entry.folder ? PathKind::Folder : PathKind::File) ||
                           !entry.identity.Same(info.identity, entry.folder)) {
                    refusedRows.push_back(RefusedRow(entry, root, Refusal::NotMovedByBatch));
                } else {
                    const int slot = ++undo.state.count;
                    undo.state.oldPaths.resize(slot + 1);
                    undo.state.oldPaths[slot] = entry.now;
                    undo.state.newPaths.resize(slot + 1);
                    undo.state.newPaths[slot] = entry.original;
                    undo.ids.push_back(entry.id);
                    undo.expected.push_back(entry.identity);
                    undo.folders.push_back(entry.folder);
                }
                break;
            }
            case JournalEntry::State::Trashed: {
                const PathInfo info = files.Lookup(entry.now);
                if (info.kind != PathKind::Missing && entry.identity.Same(info.identity, entry.folder)) {
                    restores.push_back(&entry);
                } else {
                    undo.dropped.push_back(entry.id);
                    refusedRows.push_back(RefusedRow(entry, root, Refusal::NotInTrash));
                }
                break;
            }
            case JournalEntry::State::Deleted: refusedRows.push_back(RefusedRow(entry, root, Refusal::DeletedForGood)); break;
            case JournalEntry::State::Lost: refusedRows.push_back(RefusedRow(entry, root, Refusal::Lost)); break;
            case JournalEntry::State::Dropped: break;
        }
    }
}

// Files come back from the Trash last, each only to a free name: one that
// is free now, or that the moves back or a folder's removal free.
void AddRestores(UndoPlan& undo, FileServices& files, const std::vector<const JournalEntry*>& restores,
                 const std::vector<std::string>& foldersRemoved) {
    std::unordered_set<std::string> freed(foldersRemoved.begin(), foldersRemoved.end());
    for (int slot = 1; slot <= undo.state.count; ++slot) freed.insert(undo.state.oldPaths[static_cast<std::size_t>(slot)]);
    int slot = undo.state.count;
    for (const FileOp& op : undo.plan.ops) slot = std::max(slot, op.slot);
    for (const JournalEntry* entry : restores) {
        const bool free = files.Query(entry->original) == PathKind::Missing || freed.count(entry->original) != 0;
        PlanRow row{0, free ? LineAction::Restore : LineAction::Refuse, Shown(entry->original, undo.batch.root), {}};
        row.reason = Refusal::TargetExists;
        undo.rows.push_back(row);
        if (!free) continue;
        FileOp op;
        op.kind = FileOp::Kind::Restore;
        op.slot = ++slot;
        op.from = entry->now;
        op.to = entry->original;
        undo.plan.ops.push_back(std::move(op));
        undo.ids.resize(static_cast<std::size_t>(slot) + 1, 0);
        undo.ids[static_cast<std::size_t>(slot)] = entry->id;
        undo.expected.resize(static_cast<std::size_t>(slot) + 1);
        undo.expected[static_cast<std::size_t>(slot)] = entry->identity;
        undo.folders.resize(static_cast<std::size_t>(slot) + 1, false);
        undo.folders[static_cast<std::size_t>(slot)] = entry->folder;
    }
}

}  // namespace

ListProblem Session::Open(const ListRequest& request) {
    request_ = request;
    const ListProblem problem = ResolveSelection(request, files_, selection_);
    state_ = BatchState(kUnlimited);
    state_.root = selection_.root;
    return problem;
}

void Session::List(const std::function<bool(int files)>& progress) {
    if (progress) request_.scan.progress = progress;
    scan_ = ListSelection(request_, selection_, files_, state_.oldPaths, state_.folders);
    state_.count = scan_.count;
    state_.newPaths.assign(state_.oldPaths.size(), std::string());
    BuildListText(state_, files_.conventions());
}

void Session::Reorder(const std::vector<std::optional<std::string>>& keys, bool reverse) {
    OrderWithinFolders(state_, keys, reverse, files_.conventions());
}

void Session::Keep(const std::vector<bool>& keep) {
    if (scan_.filteredFrom == 0) scan_.filteredFrom = state_.count;
    std::size_t kept = 1;
    for (std::size_t slot = 1; slot <= static_cast<std::size_t>(state_.count); ++slot) {
        if (slot >= keep.size() || !keep[slot]) continue;
        if (kept != slot) {  // a string moved onto itself is emptied
            state_.oldPaths[kept] = std::move(state_.oldPaths[slot]);
            if (slot < state_.folders.size()) state_.folders[kept] = state_.folders[slot];
        }
        ++kept;
    }
    state_.oldPaths.resize(kept);
    if (state_.folders.size() > kept) state_.folders.resize(kept);
    state_.count = scan_.count = static_cast<int>(kept) - 1;
    state_.newPaths.assign(kept, std::string());
    state_.text.clear();
    BuildListText(state_, files_.conventions());
}

void Session::ListNothing() {
    scan_ = ScanResult();
    const std::string root = state_.root;
    state_ = BatchState(kUnlimited);
    state_.root = root;
}

std::vector<std::string> Session::PathsAfter(const BatchPlan& plan, const RunResult& result) const {
    std::vector<std::string> paths;
    if (request_.paths.empty()) return paths;
    std::unordered_set<int> applied;
    for (const FileOp& op : plan.ops) applied.insert(op.slot);
    for (const OpFailure& failure : result.failures) applied.erase(failure.slot);
    std::map<std::string_view, int> slots;
    for (int slot = 1; slot <= state_.count; ++slot) slots.emplace(state_.oldPaths[static_cast<std::size_t>(slot)], slot);
    for (const Selection::Given& given : selection_.given) {
        const auto line = selection_.listsContent ? slots.end() : slots.find(given.path);
        if (line != slots.end() && applied.count(line->second) != 0) {
            const std::string& target = state_.newPaths[static_cast<std::size_t>(line->second)];
            if (!target.empty() && files_.Query(target) != PathKind::Missing) {
                paths.push_back(target);
                continue;
            }
        }
        if (files_.Query(given.path) != PathKind::Missing) paths.push_back(given.path);
    }
    return paths;
}

BatchPlan Session::Plan(bool permanent, const std::vector<int>& emptiedByTransform,
                        const std::function<bool(double)>& progress) {
    PlanOptions options;
    options.permanent = permanent;
    options.progress = progress;
    for (int slot : emptiedByTransform) options.refusals.push_back({slot, Refusal::TransformLeftNoName});
    RefuseSubmodules(options.refusals);
    std::sort(options.refusals.begin(), options.refusals.end(),
              [](const RefusedLine& a, const RefusedLine& b) { return a.slot < b.slot; });
    return PlanEditedList(state_, files_, options);
}

// git mv rewrites a submodule's link and .gitmodules; a rename alone
// would leave the repository unreadable to git until it is undone. (To
// the Trash it may go: git reads the repository without it.)
void Session::RefuseSubmodules(std::vector<RefusedLine>& refusals) {
    WorkTreeIndex* index = Index(state_.root);
    if (index == nullptr || state_.folders.empty()) return;
    const std::vector<std::string> submodules = index->Submodules();
    if (submodules.empty()) return;
    const char separator = files_.conventions().separator;
    for (int slot = 1; slot <= state_.count; ++slot) {
        const std::string& from = state_.oldPaths[static_cast<std::size_t>(slot)];
        const std::string& to = state_.newPaths[static_cast<std::size_t>(slot)];
        if (!state_.folders[static_cast<std::size_t>(slot)] || to.empty() || from == to) continue;
        for (const std::string& submodule : submodules) {
            if (submodule.compare(0, from.size(), from) != 0) continue;
            if (submodule.size() == from.size() || submodule[from.size()] == separator) {
                refusals.push_back({slot, Refusal::Submodule});
                break;
            }
        }
    }
}

std::vector<PlanRow> Session::Describe(const BatchPlan& plan, bool permanent) const {
    return DescribeEditedList(state_, plan, permanent, files_.conventions());
}

bool Session::ReadBack(std::string text, int& found) {
    DropByteOrderMark(text);
    // "\r\n" as "\n", in one pass.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) text[kept++] = text[i];
    text.resize(kept);
    found = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    if (!text.empty() && text.back() == '\n')
        text.pop_back();  // it ends the last line
    else if (!text.empty())
        ++found;
    if (found != state_.count) return false;
    state_.text = std::move(text);
    ParseListText(state_, files_.conventions());
    return true;
}

void Session::SetListText(std::string text) {
    DropByteOrderMark(text);
    state_.text = std::move(text);
    ParseListText(state_, files_.conventions());
}

std::string Session::LockName(const std::string& root) {
    // FNV-1a: a stable name for any path, whatever characters it holds.
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char ch : root) hash = (hash ^ ch) * 1099511628211ull;
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.lock", static_cast<unsigned long long>(hash));
    return name;
}

Session::Readiness Session::PrepareBatch(Prepared& prepared, std::string& reason) {
    bool busy = false;
    prepared = Prepared{};
    prepared.lock = store_.TryLock(LockName(state_.root), busy);
    if (busy) {
        reason = "another batch is being applied in '" + state_.root + "'";
        return Readiness::Busy;
    }
    std::string cwd;
    if (!files_.CurrentFolder(cwd)) cwd = state_.root;
    if (cwd.back() != files_.conventions().separator) cwd += files_.conventions().separator;
    prepared.journal = JournalWriter::Start(store_, state_.root, cwd, reason);
    return prepared.journal ? Readiness::Ready : Readiness::Unjournaled;
}

RunResult Session::Apply(Prepared prepared, const BatchPlan& plan, bool permanent, RunObserver& observer) {
    RunResult result;
    JournalWriter* journal = prepared.journal.get();
    if (journal) journal->SetFolders(&state_.folders);
    if (!plan.ops.empty()) {
        RunOptions options;
        options.trash = permanent ? nullptr : &trash_;
        options.journal = journal;
        options.observer = &observer;
        options.folders = &state_.folders;
        result = RunPlan(plan, files_, nullptr, options);
        // Only a work tree's index needs the run told entry by entry: outside
        // one, that table would be the largest thing a big batch holds.
        if (Index(state_.root) != nullptr) {
            BatchJournal done;
            done.name = journal ? journal->name() : std::string();
            FollowRun(done, plan, result, {});
            MakeIndexAgree(state_.root, done, journal, result);
        }
    }
    if (journal) {
        const std::string name = journal->name();
        // A batch that did nothing leaves the last one the one to undo.
        if (!journal->changedAnything()) {
            store_.Remove(name);
            store_.Remove(IndexRecordOf(name));
        }
        prepared.journal.reset();
        PruneBatches(store_, state_.root, name);
    }
    return result;
}

WorkTreeIndex* Session::Index(const std::string& root) {
    if (!openIndex_ || !followGit_) return nullptr;
    if (!indexOpened_ || indexRoot_ != root) {
        index_ = openIndex_(root);
        indexRoot_ = root;
        indexOpened_ = true;
    }
    return index_.get();
}

std::string Session::HeldIndexLock(const std::string& root) {
    WorkTreeIndex* index = Index(root);
    return index ? index->HeldLock() : std::string();
}

void Session::MakeIndexAgree(const std::string& root, const BatchJournal& batch, JournalWriter* journal,
                             RunResult& result) {
    WorkTreeIndex* index = Index(root);
    if (index == nullptr) return;
    // A journal that failed cannot say what the index agrees with: the
    // index is left for the undo to put right from the files themselves.
    if (!result.journalError.empty()) {
        result.indexError = "the undo journal could not be written";
        return;
    }
    std::map<int, std::string> saved;
    if (std::string record; !batch.name.empty() && store_.Read(IndexRecordOf(batch.name), record))
        saved = ReadSavedRemovals(record);
    std::vector<IndexEdit> edits = IndexEditsFor(batch, saved);
    if (edits.empty()) return;
    long number = 0;
    if (journal && (number = journal->IndexFollows(index->File(), files_.Lookup(index->File()).identity)) == 0) {
        result.indexError = "the undo journal could not be written";
        return;
    }
    // What leaves the index is kept beside the journal before the index is
    // written: a kill in between loses nothing.
    const OpResult updated = index->Update(edits, [&] {
        const std::string removals = SavedRemovals(edits);
        if (removals.empty() || batch.name.empty()) return true;
        std::string error;
        const std::string name = IndexRecordOf(batch.name);
        std::unique_ptr<AppendFile> record = store_.Create(name, error);
        if (!record) record = store_.Reopen(name, error);
        return record && record->Append(removals) && record->Sync();
    });
    if (!updated.ok) {
        if (journal) journal->Failed(number);
        result.indexError = updated.message;
        return;
    }
    if (journal) journal->IndexFollowed(number);
    std::unordered_set<int> followed;
    for (const IndexEdit& edit : edits)
        if (edit.followed) followed.insert(edit.entry);
    result.indexChanged = static_cast<int>(followed.size());
}

std::vector<BatchJournal> Session::History() { return ListBatches(store_, state_.root, true); }

bool Session::NextToUndo(UndoPlan& undo) {
    // The batches over the root, and those started in it.
    for (BatchJournal& listed : ListBatches(store_, state_.root, false)) {
        if (!listed.didSomething) continue;
        BatchJournal batch;
        if (!ReadBatch(store_, listed.name, batch) || batch.undone) continue;
        std::vector<Settlement> settled = SettleOpen(batch, files_, trash_);
        BuildUndo(batch, undo);
        undo.settled = std::move(settled);
        // Killed before its first operation was done: nothing to undo.
        if (undo.DoesSomething() || !undo.rows.empty()) return true;
    }
    return false;
}

bool Session::CanUndo() {
    for (BatchJournal& listed : ListBatches(store_, state_.root, false)) {
        if (!listed.didSomething) continue;
        BatchJournal batch;
        if (ReadBatch(store_, listed.name, batch) && !batch.undone) return true;
    }
    return false;
}

bool Session::PlanUndo(UndoPlan& undo) { return NextToUndo(undo); }

// The undo, as named steps: what becomes of each entry, the folders the
// batch made that the undo empties and those it removed, the moves back
// through the planner, then the restores from the Trash, and the rows.
void Session::BuildUndo(const BatchJournal& batch, UndoPlan& undo) {
    undo = UndoPlan{};
    undo.batch = batch;
    undo.state.root = batch.root;
    undo.ids.push_back(0);
    undo.expected.emplace_back();
    undo.folders.push_back(false);
    std::vector<const JournalEntry*> restores;
    std::vector<PlanRow> refusedRows;
    SortEntries(undo, files_, restores, refusedRows);
    PlanOptions options;
    options.foldersToRemove = FoldersEmptiedBy(undo, files_);
    options.foldersToMake = FoldersToMakeAgain(undo, files_);
    undo.plan = PlanBatch(undo.state, files_, options);
    GiveBackAttributes(undo);
    for (const RemovedFolder& folder : batch.remadeFolders)
        if (files_.Query(folder.path) == PathKind::Folder) undo.foldersToFinish.push_back(folder);
    undo.rows = DescribePlan(undo.state, undo.plan, false, files_.conventions());
    AddRestores(undo, files_, restores, options.foldersToRemove);
    undo.rows.insert(undo.rows.end(), refusedRows.begin(), refusedRows.end());
    undo.refused = static_cast<int>(std::count_if(undo.rows.begin(), undo.rows.end(),
                                                  [](const PlanRow& row) { return row.action == LineAction::Refuse; }));
    // Only what no undo can bring back (deleted, lost, replaced by hand)
    // may be left over when the batch is called undone.
    undo.complete = undo.plan.refused.empty() &&
                    std::none_of(undo.rows.begin(), undo.rows.end(), [](const PlanRow& row) {
                        return row.action == LineAction::Refuse && row.reason == Refusal::TargetExists;
                    });
}

Session::Readiness Session::PrepareUndo(const UndoPlan& undo, Prepared& prepared, std::string& reason) {
    bool busy = false;
    prepared = Prepared{};
    prepared.lock = store_.TryLock(LockName(undo.batch.root), busy);
    if (!busy) return Readiness::Ready;
    reason = "another batch is being applied in '" + undo.batch.root + "'";
    return Readiness::Busy;
}

// Their permissions and times, now that they hold what they held.
void Session::FinishFoldersMadeAgain(const UndoPlan& undo, const RunResult& result) {
    std::vector<RemovedFolder> folders = undo.foldersToFinish;
    for (const DoneOp& done : result.done) {
        const FileOp& op = undo.plan.ops[done.op];
        if (op.kind != FileOp::Kind::MakeFolder) continue;
        if (const auto it = undo.attributes.find(op.slot); it != undo.attributes.end()) folders.push_back({op.to, it->second});
    }
    for (const RemovedFolder& folder : folders) files_.SetAttributes(folder.path, folder.attributes, FileServices::Filling::Done);
}

RunResult Session::ApplyUndo(Prepared prepared, const UndoPlan& undo, RunObserver& observer) {
    std::string error;
    std::unique_ptr<JournalWriter> journal =
        JournalWriter::Continue(store_, undo.batch, undo.ids, undo.settled, undo.dropped, error);
    if (!journal) {
        RunResult failed;
        failed.journalError = "the undo cannot be journaled: " + error;
        return failed;
    }
    RunOptions options;
    options.trash = &trash_;
    options.journal = journal.get();
    options.observer = &observer;
    options.expected = &undo.expected;
    options.folders = &undo.folders;
    options.attributes = &undo.attributes;
    RunResult result = RunPlan(undo.plan, files_, nullptr, options);
    FinishFoldersMadeAgain(undo, result);
    BatchJournal batch = undo.batch;
    FollowRun(batch, undo.plan, result, undo.ids);
    MakeIndexAgree(batch.root, batch, journal.get(), result);
    if (undo.complete && !result.stopped && result.failures.empty() && result.journalError.empty()) journal->Undone();
    prepared.lock.reset();  // the folder is free for the next batch
    return result;
}

}  // namespace quil
