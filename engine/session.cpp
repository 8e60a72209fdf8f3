#include "engine/session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_set>

#include "engine/emptied_folders.h"
#include "engine/index_follower.h"
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
    for (auto it = undo.batch.madeFolders.rbegin(); it != undo.batch.madeFolders.rend(); ++it) {
        bool empty = files.Query(*it) == PathKind::Folder;
        files.ListFolder(*it + separator, [&](const char* name, bool) {
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return true;
            const std::string path = *it + separator + name;
            empty = leaving.count(path) != 0 || gone.count(path) != 0;
            return empty;
        });
        if (empty && gone.insert(*it).second) order.push_back(*it);
    }
    return order;
}

PlanRow RefusedRow(const JournalEntry& entry, const std::string& root, Refusal reason) {
    const bool away = entry.state == JournalEntry::State::Here || entry.state == JournalEntry::State::Lost;
    PlanRow row{0, LineAction::Refuse, Shown(away ? entry.now : entry.original, root), away ? Shown(entry.original, root) : ""};
    row.reason = reason;
    return row;
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

BatchPlan Session::Plan(bool permanent, const std::function<bool(double)>& progress) {
    PlanOptions options;
    options.permanent = permanent;
    options.progress = progress;
    BatchPlan plan = PlanBatch(state_, files_, options);
    if (plan.stopped) return plan;
    plan.folders = FoldersLeftBehind(state_, plan, files_);
    // Emptied folders go after every line, when nothing is left in them.
    int slot = state_.count;
    for (const FileOp& op : plan.ops) slot = std::max(slot, op.slot);
    for (const FolderFate& fate : plan.folders) {
        if (fate.unlisted != 0) continue;
        FileOp removal;
        removal.kind = FileOp::Kind::RemoveFolder;
        removal.slot = ++slot;
        removal.from = fate.folder;
        plan.ops.push_back(std::move(removal));
    }
    return plan;
}

std::vector<PlanRow> Session::Describe(const BatchPlan& plan, bool permanent) const {
    std::vector<PlanRow> rows = DescribePlan(state_, plan, permanent, files_.conventions());
    const char separator = files_.conventions().separator;
    for (const FolderFate& fate : plan.folders) {
        PlanRow row{0, fate.unlisted == 0 ? LineAction::RemoveFolder : LineAction::KeepFolder,
                    Shown(fate.folder, state_.root) + separator, {}};
        row.entries = fate.unlisted;
        rows.push_back(std::move(row));
    }
    return rows;
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

Session::Readiness Session::PrepareBatch(std::string& reason) {
    journal_.reset();
    bool busy = false;
    lock_ = store_.TryLock(LockName(state_.root), busy);
    if (busy) {
        reason = "another batch is being applied in '" + state_.root + "'";
        return Readiness::Busy;
    }
    prepared_ = true;
    std::string cwd;
    if (!files_.CurrentFolder(cwd)) cwd = state_.root;
    if (cwd.back() != files_.conventions().separator) cwd += files_.conventions().separator;
    journal_ = JournalWriter::Start(store_, state_.root, cwd, reason);
    return journal_ ? Readiness::Ready : Readiness::Unjournaled;
}

RunResult Session::Apply(const BatchPlan& plan, bool permanent, RunObserver& observer) {
    if (!prepared_) {
        std::string reason;
        if (PrepareBatch(reason) == Readiness::Busy) {
            RunResult busy;
            busy.failures.push_back({0, state_.root, {}, OpResult::Failure(11, reason)});
            return busy;
        }
    }
    prepared_ = false;
    RunResult result;
    if (journal_) journal_->SetFolders(&state_.folders);
    WorkTreeIndex* index = plan.ops.empty() ? nullptr : Index(state_.root);
    IndexFollower follower(journal_.get());
    if (!plan.ops.empty()) {
        RunOptions options;
        options.trash = permanent ? nullptr : &trash_;
        options.journal = index ? static_cast<RunJournal*>(&follower) : journal_.get();
        options.observer = &observer;
        options.folders = &state_.folders;
        result = RunPlan(plan, files_, nullptr, options);
    }
    if (index) {
        UpdateIndex(*index, follower.edits(), result);
        const std::string saved = SavedRemovals(follower.edits());
        std::string error;
        std::unique_ptr<AppendFile> record;
        if (journal_ && !saved.empty() && (record = store_.Create(IndexRecordOf(journal_->name()), error)))
            record->Append(saved);
    }
    if (journal_) {
        journal_->Finish();
        const std::string name = journal_->name();
        // A batch that did nothing leaves the last one the one to undo.
        if (!journal_->changedAnything()) store_.Remove(name);
        journal_.reset();
        PruneBatches(store_, state_.root, name);
    }
    lock_.reset();
    return result;
}

WorkTreeIndex* Session::Index(const std::string& root) {
    if (!openIndex_) return nullptr;
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

void Session::UpdateIndex(WorkTreeIndex& index, std::vector<IndexEdit>& edits, RunResult& result) {
    if (edits.empty()) return;
    const OpResult updated = index.Update(edits);
    if (!updated.ok) {
        result.indexError = updated.message;
        return;
    }
    // A file that stepped aside for a cycle is one line, not two moves.
    std::unordered_set<int> lines;
    for (const IndexEdit& edit : edits)
        if (edit.followed) lines.insert(edit.line);
    result.indexChanged = static_cast<int>(lines.size());
}

std::vector<BatchJournal> Session::History() { return ListBatches(store_, state_.root, true); }

bool Session::NextToUndo(UndoPlan& undo) {
    // The batches over the root, and those started in it.
    for (BatchJournal& listed : ListBatches(store_, state_.root, false)) {
        if (!listed.didSomething) continue;
        BatchJournal batch;
        if (!ReadBatch(store_, listed.name, batch) || batch.undone) continue;
        SettlePending(batch, files_, trash_);
        BuildUndo(batch, undo);
        // Killed before its first operation was done: nothing to undo.
        if (!undo.rows.empty() || !undo.foldersToRemove.empty() || !undo.foldersToMake.empty()) return true;
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

void Session::BuildUndo(const BatchJournal& batch, UndoPlan& undo) {
    undo = UndoPlan{};
    undo.batch = batch;
    undo.state.root = batch.root;
    undo.ids.push_back(0);
    undo.expected.emplace_back();
    undo.folders.push_back(false);
    const std::string& root = batch.root;
    std::vector<PlanRow> refusedRows;
    for (const JournalEntry& entry : batch.entries) {
        switch (entry.state) {
            case JournalEntry::State::Here: {
                if (entry.now == entry.original) break;
                const PathInfo info = files_.Lookup(entry.now);
                if (info.kind == PathKind::Missing) {
                    refusedRows.push_back(RefusedRow(entry, root, Refusal::SourceMissing));
                } else if (info.kind != (entry.folder ? PathKind::Folder : PathKind::File) ||
                           !entry.identity.Same(info.identity, entry.folder)) {
                    refusedRows.push_back(RefusedRow(entry, root, Refusal::NotMovedByBatch));
                } else {
                    const int slot = ++undo.state.count;
                    undo.state.oldPaths.resize(slot + 1);
                    undo.state.newPaths.resize(slot + 1);
                    undo.state.oldPaths[slot] = entry.now;
                    undo.state.newPaths[slot] = entry.original;
                    undo.ids.push_back(entry.id);
                    undo.expected.push_back(entry.identity);
                    undo.folders.push_back(entry.folder);
                }
                break;
            }
            case JournalEntry::State::Trashed: {
                const PathInfo info = files_.Lookup(entry.now);
                if (info.kind != PathKind::Missing && entry.identity.Same(info.identity, entry.folder)) {
                    undo.restores.push_back(entry);
                } else {
                    undo.dropped.push_back(entry);
                    refusedRows.push_back(RefusedRow(entry, root, Refusal::NotInTrash));
                }
                break;
            }
            case JournalEntry::State::Deleted: refusedRows.push_back(RefusedRow(entry, root, Refusal::DeletedForGood)); break;
            case JournalEntry::State::Lost: refusedRows.push_back(RefusedRow(entry, root, Refusal::Lost)); break;
            case JournalEntry::State::Dropped: break;
        }
    }
    undo.state.newPaths.resize(undo.state.oldPaths.size());
    for (const std::string& folder : batch.removedFolders)
        if (files_.Query(folder) == PathKind::Missing) undo.foldersToMake.push_back(folder);
    std::sort(undo.foldersToMake.begin(), undo.foldersToMake.end(),
              [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    undo.foldersToRemove = FoldersEmptiedBy(undo, files_);
    PlanOptions options;
    options.foldersToRemove = undo.foldersToRemove;
    undo.plan = PlanBatch(undo.state, files_, options);
    undo.rows = DescribePlan(undo.state, undo.plan, false, files_.conventions());

    // A file comes back from the Trash only to a free name: one that is
    // free now, or that the moves back or a folder's removal free.
    std::unordered_set<std::string> freed(undo.foldersToRemove.begin(), undo.foldersToRemove.end());
    for (int slot = 1; slot <= undo.state.count; ++slot) freed.insert(undo.state.oldPaths[slot]);
    for (const JournalEntry& entry : undo.restores) {
        const bool free = files_.Query(entry.original) == PathKind::Missing || freed.count(entry.original) != 0;
        PlanRow row{0, free ? LineAction::Restore : LineAction::Refuse, Shown(entry.original, root), {}};
        row.reason = Refusal::TargetExists;
        undo.rows.push_back(row);
    }
    undo.rows.insert(undo.rows.end(), refusedRows.begin(), refusedRows.end());
    undo.refused = static_cast<int>(std::count_if(undo.rows.begin(), undo.rows.end(),
                                                  [](const PlanRow& row) { return row.action == LineAction::Refuse; }));
}

Session::Readiness Session::PrepareUndo(const UndoPlan& undo, std::string& reason) {
    bool busy = false;
    lock_ = store_.TryLock(LockName(undo.batch.root), busy);
    if (busy) {
        reason = "another batch is being applied in '" + undo.batch.root + "'";
        return Readiness::Busy;
    }
    return Readiness::Ready;
}

// The moves back (the folders the batch made going as soon as they are
// empty), then the folders still left that are empty now, then the files
// from the Trash.
RunResult Session::ApplyUndo(const UndoPlan& undo, RunObserver& observer) {
    std::string error;
    std::unique_ptr<JournalWriter> journal = JournalWriter::Continue(store_, undo.batch, undo.ids, error);
    if (!journal) {
        RunResult failed;
        failed.failures.push_back({0, undo.batch.name, {}, OpResult::Failure(5, "the undo cannot be journaled: " + error)});
        lock_.reset();
        return failed;
    }
    for (const JournalEntry& entry : undo.dropped) journal->Drop(entry.id);
    // The folders the batch emptied and removed, back where they were.
    for (const std::string& folder : undo.foldersToMake) {
        if (files_.Query(folder) != PathKind::Missing) continue;
        journal->MakeFolder(folder);
        if (!files_.MakeFolder(folder).ok) journal->FolderFailed(folder);
    }

    WorkTreeIndex* index = Index(undo.batch.root);
    IndexFollower follower(journal.get());
    std::vector<std::pair<std::string, std::string>> removals;
    if (std::string saved; index && store_.Read(IndexRecordOf(undo.batch.name), saved)) removals = ReadSavedRemovals(saved);
    RunOptions options;
    options.journal = index ? static_cast<RunJournal*>(&follower) : journal.get();
    options.observer = &observer;
    options.expected = &undo.expected;
    options.folders = &undo.folders;
    RunResult result = RunPlan(undo.plan, files_, nullptr, options);
    result.total += static_cast<int>(undo.restores.size());
    if (!result.stopped) {
        for (auto it = undo.batch.madeFolders.rbegin(); it != undo.batch.madeFolders.rend(); ++it) {
            if (files_.Query(*it) != PathKind::Folder) continue;
            journal->RemoveFolder(*it);
            if (!files_.RemoveFolder(*it).ok) journal->FolderFailed(*it);
        }
    }
    for (const JournalEntry& entry : undo.restores) {
        if (result.stopped || observer.StopRequested()) {
            result.stopped = true;
            break;
        }
        if (files_.Query(entry.original) != PathKind::Missing) {
            result.failures.push_back({0, entry.now, entry.original, OpResult::Failure(17, quil::Describe(Refusal::TargetExists))});
            continue;
        }
        if (!journal->Restore(entry.id, entry.now, entry.original))
            result.journalError = "the undo journal could not be written";
        const OpResult restored = trash_.Restore(entry.now, entry.original);
        if (restored.ok) {
            ++result.applied;
            // Back in the index as it was staged, when the batch took it out.
            for (const auto& [path, entries] : removals)
                if (path == entry.original)
                    follower.edits().push_back({IndexEdit::Kind::Restore, {}, path, entries, -entry.id});
        } else {
            journal->RestoreFailed(entry.id);
            result.failures.push_back({0, entry.now, entry.original, restored});
        }
        observer.Progress(result.applied, result.total);
    }

    if (index) UpdateIndex(*index, follower.edits(), result);
    journal->Finish();
    // Undone once nothing is left that a later undo could still bring back.
    BatchJournal after;
    if (!result.stopped && ReadBatch(store_, undo.batch.name, after)) {
        SettlePending(after, files_, trash_);
        UndoPlan left;
        BuildUndo(after, left);
        if (left.state.count == 0 && left.restores.empty()) journal->Undone();
    }
    lock_.reset();
    return result;
}

}  // namespace quil
