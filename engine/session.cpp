#include "engine/session.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "engine/list_text.h"

namespace quil {
namespace {

// Passes each finished operation to the journal and everything to the
// front end's observer.
class JournalingObserver final : public RunObserver {
public:
    JournalingObserver(JournalWriter& journal, RunObserver& next) : journal_(journal), next_(next) {}
    void Done(const FileOp& op, const std::string& trashedAs) override {
        journal_.Record(op, trashedAs);
        next_.Done(op, trashedAs);
    }
    void Progress(int applied, int total) override { next_.Progress(applied, total); }
    bool StopRequested() override { return next_.StopRequested(); }

private:
    JournalWriter& journal_;
    RunObserver& next_;
};

// Notes which lines of an undo reached their target.
class UndoObserver final : public RunObserver {
public:
    explicit UndoObserver(RunObserver& next) : next_(next) {}
    void Done(const FileOp& op, const std::string& trashedAs) override {
        if (op.stage != FileOp::Stage::ToTemporary) undone.insert(op.slot);
        next_.Done(op, trashedAs);
    }
    void Progress(int applied, int total) override { next_.Progress(applied, total); }
    bool StopRequested() override { return next_.StopRequested(); }

    std::unordered_set<int> undone;

private:
    RunObserver& next_;
};

}  // namespace

Session::OpenStatus Session::Open(const std::string& folder) {
    std::string absolute;
    if (!files_.AbsolutePath(folder, absolute)) return OpenStatus::Missing;
    if (files_.Query(absolute) != PathKind::Folder) return OpenStatus::NotAFolder;
    const char separator = files_.conventions().separator;
    if (absolute.back() != separator) absolute += separator;
    if (!files_.ListFolder(absolute, [](const char*, bool) { return false; })) return OpenStatus::Unreadable;
    state_ = BatchState(kUnlimited);
    state_.root = absolute;
    return OpenStatus::Opened;
}

void Session::List(const ScanOptions& options) {
    ScanOptions unlimited = options;
    unlimited.capacity = kUnlimited;
    scan_ = ScanTree(state_.oldPaths, state_.root, unlimited, files_);
    state_.count = scan_.count;
    state_.newPaths.assign(state_.oldPaths.size(), std::string());
    BuildListText(state_, files_.conventions());
}

bool Session::ReadBack(std::string text, int& found) {
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
    state_.text = std::move(text);
    ParseListText(state_, files_.conventions());
}

RunResult Session::Apply(const BatchPlan& plan, bool permanent, RunObserver& observer) {
    if (plan.ops.empty()) return {};  // the last batch stays the one to undo
    JournalWriter journal(store_, state_.root);
    JournalingObserver journaling(journal, observer);
    RunOptions options;
    options.trash = permanent ? nullptr : &trash_;
    options.observer = &journaling;
    RunResult result = RunPlan(plan, files_, nullptr, options);
    journal.Flush(true);
    return result;
}

bool Session::PlanUndo(UndoPlan& undo) {
    std::vector<JournalEntry> entries;
    if (!ReadJournal(store_, state_.root, entries)) return false;
    undo = UndoPlan{};
    undo.state.root = state_.root;
    std::unordered_set<std::string> leaving;  // names the moves back free
    std::vector<PlanRow> refusedRows;
    for (const JournalEntry& entry : entries) {
        if (entry.kind == JournalEntry::Kind::Deleted) {
            refusedRows.push_back({0, LineAction::Refuse, Shown(entry.original, state_.root), {}, Refusal::DeletedForGood});
        } else if (entry.kind == JournalEntry::Kind::Trashed) {
            undo.restores.push_back(entry);
        } else if (entry.now != entry.original) {
            if (files_.Query(entry.now) != PathKind::File) {
                undo.kept.push_back(entry);
                refusedRows.push_back({0, LineAction::Refuse, Shown(entry.now, state_.root),
                                       Shown(entry.original, state_.root), Refusal::SourceMissing});
                continue;
            }
            const int slot = ++undo.state.count;
            undo.state.oldPaths.resize(slot + 1);
            undo.state.newPaths.resize(slot + 1);
            undo.state.oldPaths[slot] = entry.now;
            undo.state.newPaths[slot] = entry.original;
            leaving.insert(NameKey(entry.now, files_.conventions()));
        }
    }
    undo.plan = PlanBatch(undo.state, files_);
    undo.rows = DescribePlan(undo.state, undo.plan, false, files_.conventions());
    for (const RefusedLine& line : undo.plan.refused) {
        const int slot = line.slot;
        undo.kept.push_back({JournalEntry::Kind::Moved, undo.state.newPaths[slot], undo.state.oldPaths[slot]});
    }
    // A file comes back from the Trash only to a free name.
    std::vector<JournalEntry> restores;
    for (const JournalEntry& entry : undo.restores) {
        const bool free = files_.Query(entry.original) == PathKind::Missing ||
                          leaving.count(NameKey(entry.original, files_.conventions())) != 0;
        PlanRow row{0, free ? LineAction::Restore : LineAction::Refuse, Shown(entry.original, state_.root), {}};
        row.reason = Refusal::TargetExists;
        undo.rows.push_back(row);
        (free ? restores : undo.kept).push_back(entry);
    }
    undo.restores = std::move(restores);
    undo.rows.insert(undo.rows.end(), refusedRows.begin(), refusedRows.end());
    return true;
}

RunResult Session::ApplyUndo(const UndoPlan& undo, RunObserver& observer) {
    UndoObserver noting(observer);
    RunOptions options;
    options.observer = &noting;
    RunResult result = RunPlan(undo.plan, files_, nullptr, options);
    std::vector<JournalEntry> left = undo.kept;
    std::unordered_set<int> planned;
    for (const FileOp& op : undo.plan.ops) planned.insert(op.slot);
    for (int slot : planned)
        if (noting.undone.count(slot) == 0)
            left.push_back({JournalEntry::Kind::Moved, undo.state.newPaths[slot], undo.state.oldPaths[slot]});
    for (const JournalEntry& entry : undo.restores) {
        if (result.stopped || observer.StopRequested()) {
            left.push_back(entry);
            continue;
        }
        ++result.total;
        const OpResult restored = trash_.Restore(entry.now, entry.original);
        if (restored.ok) {
            ++result.applied;
        } else {
            left.push_back(entry);
            result.failures.push_back({0, entry.now, entry.original, restored});
        }
    }
    RewriteJournal(store_, state_.root, left);
    return result;
}

}  // namespace quil
