// Reading the undo journals back: each run's announcements folded into
// where each file is now, and the open ones settled by identity.
#include "engine/journal.h"

#include <algorithm>
#include <unordered_map>

#include "engine/journal_records.h"

namespace quil {

using journal::Number;
using journal::Record;

namespace {

constexpr char kSuffix[] = ".journal";
// Enough of a journal to hold its header.
constexpr std::size_t kHeaderBytes = 16384;

bool ReadHeader(std::string_view text, BatchJournal& batch, std::size_t& end) {
    std::size_t start = 0;
    auto nextLine = [&](std::string_view& line) {
        const std::size_t stop = text.find('\n', start);
        if (stop == std::string_view::npos) return false;
        line = text.substr(start, stop - start);
        start = stop + 1;
        return true;
    };
    std::string_view line;
    if (!nextLine(line) || line != journal::kHeader) return false;
    for (int fields = 0; fields < 3; ++fields) {
        if (!nextLine(line)) return false;
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) return false;
        const std::string_view key = line.substr(0, tab), value = line.substr(tab + 1);
        if (key == "root") batch.root = journal::Unescaped(value);
        else if (key == "cwd") batch.cwd = journal::Unescaped(value);
        else if (key == "time") batch.started = Number(value);
        else return false;
    }
    end = start;
    return !batch.root.empty();
}

using Step = OpenStep::Kind;

// Takes an entry's operation as done: where the file is after it.
void Apply(JournalEntry& entry, const OpenStep& step, const std::string& trashedAs) {
    switch (step.kind) {
        case Step::Move:
        case Step::Restore:
            entry.now = step.to;
            entry.state = JournalEntry::State::Here;
            break;
        case Step::Delete: entry.state = JournalEntry::State::Deleted; break;
        case Step::Trash:
            entry.now = trashedAs;
            entry.state = trashedAs.empty() ? JournalEntry::State::Lost : JournalEntry::State::Trashed;
            break;
        case Step::MakeFolder:
        case Step::RemoveFolder: break;
    }
}

// A folder made again after its removal, or removed again after it was
// made, is as it was before the batch.
void ApplyFolder(BatchJournal& batch, const OpenStep& step) {
    auto& made = batch.madeFolders;
    auto at = [&step](std::vector<RemovedFolder>& folders) {
        return std::find_if(folders.begin(), folders.end(), [&](const RemovedFolder& folder) { return folder.path == step.from; });
    };
    const auto madeAt = std::find(made.begin(), made.end(), step.from);
    const auto removedAt = at(batch.removedFolders);
    const auto remadeAt = at(batch.remadeFolders);
    if (step.kind == Step::MakeFolder) {
        if (removedAt != batch.removedFolders.end()) {
            batch.remadeFolders.push_back(*removedAt);
            batch.removedFolders.erase(removedAt);
        } else if (madeAt == made.end()) {
            made.push_back(step.from);
        }
    } else if (madeAt != made.end()) {
        made.erase(madeAt);
    } else if (remadeAt != batch.remadeFolders.end()) {
        batch.removedFolders.push_back(*remadeAt);
        batch.remadeFolders.erase(remadeAt);
    } else if (removedAt == batch.removedFolders.end()) {
        batch.removedFolders.push_back({step.from, step.attributes});
    }
}

// The git index was made to agree with the files as the run that wrote it
// left them: a step still open then (a trash whose place was not written)
// was done.
void IndexAgrees(BatchJournal& batch) {
    for (JournalEntry& entry : batch.entries) {
        JournalEntry after = entry;
        for (const OpenStep& step : entry.open) Apply(after, step, "?");
        if (after.state == JournalEntry::State::Here) entry.indexedAt = after.now;
        else if (after.state == JournalEntry::State::Trashed || after.state == JournalEntry::State::Deleted) entry.indexedAt.clear();
    }
}

// An announcement of the run being read, until the run says how it ended.
struct Announcement {
    OpenStep step;
    int entry = -1;  // index into entries; -1 for a folder's
    enum class Status { Open, Done, Failed } status = Status::Open;
    std::string trashedAs;
};

// Replays a journal's records run by run into the batch: the announcements
// that were done move their entries and folders; those a run left open
// stay open on them.
class JournalReplay {
public:
    explicit JournalReplay(BatchJournal& batch) : batch_(batch) {}

    void Take(Record record, const std::vector<std::string_view>& f) {
        switch (record) {
            case Record::Entry: Introduce(f); break;
            case Record::Move: Announce(f, Step::Move, Path(f[2]), Path(f[3])); break;
            case Record::Restore: Announce(f, Step::Restore, Path(f[2]), Path(f[3])); break;
            case Record::Trash: Announce(f, Step::Trash, Path(f[2]), {}); break;
            case Record::Delete: Announce(f, Step::Delete, Path(f[2]), {}); break;
            case Record::MakeFolder:
            case Record::RemoveFolder: AnnounceFolder(record == Record::MakeFolder, f); break;
            case Record::Trashed:
                if (Announcement* announcement = Find(f[0])) {
                    announcement->status = Announcement::Status::Done;
                    announcement->trashedAs = Path(f[1]);
                }
                break;
            case Record::Failed:
                if (Announcement* announcement = Find(f[0])) announcement->status = Announcement::Status::Failed;
                if (index_.number == Number<long>(f[0])) index_ = {};
                break;
            case Record::IndexFollows:
                CloseRun();
                CloseIndex();
                index_ = {Number<long>(f[0]), Path(f[1]),
                          {true, Number<std::uint64_t>(f[2]), Number<std::uint64_t>(f[3]), Number<std::uint64_t>(f[4]),
                           Number<std::int64_t>(f[5]), true}};
                batch_.nextNumber = std::max(batch_.nextNumber, index_.number + 1);
                break;
            case Record::IndexFollowed:
                if (index_.number == Number<long>(f[0])) {
                    IndexAgrees(batch_);
                    index_ = {};
                }
                break;
            case Record::End: EndRun(Number<long>(f[0]), Number<long>(f[1])); break;
            case Record::UndoStarts:
                CloseRun();
                CloseIndex();
                if (!undoSeen_) Count();
                undoSeen_ = true;
                break;
            case Record::Settled: Settle(f); break;
            case Record::Dropped:
                if (auto it = byId_.find(Number<int>(f[0])); it != byId_.end()) {
                    JournalEntry& entry = batch_.entries[it->second];
                    entry.state = JournalEntry::State::Dropped;
                    entry.open.clear();
                }
                break;
            case Record::Undone: batch_.undone = true; break;
        }
    }

    void Finish() {
        CloseRun();
        CloseIndex();
        if (!undoSeen_) Count();
    }

private:
    std::string Path(std::string_view field) const { return journal::ReadPath(field, batch_.root); }

    void Introduce(const std::vector<std::string_view>& f) {
        JournalEntry entry;
        entry.id = Number<int>(f[0]);
        entry.folder = f[1] == "d";
        entry.original = Path(f[2]);
        entry.identity = {true,
                          Number<std::uint64_t>(f[3]),
                          Number<std::uint64_t>(f[4]),
                          Number<std::uint64_t>(f[5]),
                          Number<std::int64_t>(f[6]),
                          f[7] == "1"};
        entry.now = entry.indexedAt = entry.original;
        byId_[entry.id] = batch_.entries.size();
        batch_.entries.push_back(std::move(entry));
    }

    void Announce(const std::vector<std::string_view>& f, Step kind, std::string from, std::string to) {
        const auto it = byId_.find(Number<int>(f[1]));
        if (it == byId_.end()) return;
        Announcement announcement;
        announcement.step = {Number<long>(f[0]), kind, std::move(from), std::move(to), {}};
        announcement.entry = static_cast<int>(it->second);
        Add(std::move(announcement));
    }

    void AnnounceFolder(bool make, const std::vector<std::string_view>& f) {
        Announcement announcement;
        const Step kind = make ? Step::MakeFolder : Step::RemoveFolder;
        announcement.step = {Number<long>(f[0]), kind, Path(f[1]), {}, journal::ReadAttributes(f[2])};
        Add(std::move(announcement));
    }

    void Add(Announcement announcement) {
        const long number = announcement.step.number;
        batch_.nextNumber = std::max(batch_.nextNumber, number + 1);
        byNumber_[number] = run_.size();
        run_.push_back(std::move(announcement));
    }

    Announcement* Find(std::string_view field) {
        const auto it = byNumber_.find(Number<long>(field));
        return it == byNumber_.end() ? nullptr : &run_[it->second];
    }

    // Those never run are dropped; every other one not failed was done.
    void EndRun(long first, long last) {
        for (Announcement& announcement : run_) {
            if (announcement.status != Announcement::Status::Open) continue;
            const long number = announcement.step.number;
            announcement.status = number >= first && number <= last ? Announcement::Status::Failed : Announcement::Status::Done;
        }
        CloseRun();
    }

    // The run's outcomes, applied in the order announced (for one file,
    // the order done); what is still open stays open on its file.
    void CloseRun() {
        for (Announcement& announcement : run_) {
            if (announcement.status == Announcement::Status::Failed) continue;
            bool open = announcement.status == Announcement::Status::Open;
            if (announcement.entry < 0) {
                if (open) batch_.openFolders.push_back(announcement.step);
                else ApplyFolder(batch_, announcement.step);
                continue;
            }
            JournalEntry& entry = batch_.entries[static_cast<std::size_t>(announcement.entry)];
            // A trash done whose record of where it went was not written:
            // the Trash is searched for it like one cut short.
            if (announcement.step.kind == Step::Trash && announcement.trashedAs.empty()) open = true;
            if (open) {
                entry.open.push_back(announcement.step);
                openEntry_[announcement.step.number] = announcement.entry;
            } else {
                Apply(entry, announcement.step, announcement.trashedAs);
            }
        }
        run_.clear();
        byNumber_.clear();
    }

    // An index update whose outcome the journal does not hold stays open.
    void CloseIndex() {
        if (index_.number != 0) batch_.openIndex.push_back(index_);
        index_ = {};
    }

    // An undo found out how an open announcement ended.
    void Settle(const std::vector<std::string_view>& f) {
        const long number = Number<long>(f[0]);
        const char outcome = f[1].empty() ? 'x' : f[1][0];
        const auto index = std::find_if(batch_.openIndex.begin(), batch_.openIndex.end(),
                                        [number](const BatchJournal::OpenIndex& open) { return open.number == number; });
        if (index != batch_.openIndex.end()) {
            if (outcome == 'd') IndexAgrees(batch_);
            batch_.openIndex.erase(index);
            return;
        }
        const std::string trashedAs = f[2] == "-" ? std::string() : Path(f[2]);
        if (const auto it = openEntry_.find(number); it != openEntry_.end()) {
            JournalEntry& entry = batch_.entries[static_cast<std::size_t>(it->second)];
            const auto step = std::find_if(entry.open.begin(), entry.open.end(),
                                           [number](const OpenStep& open) { return open.number == number; });
            if (step == entry.open.end()) return;
            if (outcome == 'd') Apply(entry, *step, trashedAs);
            if (outcome == 'l') entry.state = JournalEntry::State::Lost;
            entry.open.erase(step);
            return;
        }
        const auto folder = std::find_if(batch_.openFolders.begin(), batch_.openFolders.end(),
                                         [number](const OpenStep& open) { return open.number == number; });
        if (folder == batch_.openFolders.end()) return;
        if (outcome == 'd') ApplyFolder(batch_, *folder);
        batch_.openFolders.erase(folder);
    }

    // What the batch did, taking operations left open as done.
    void Count() {
        for (const JournalEntry& entry : batch_.entries) {
            JournalEntry settled = entry;
            for (const OpenStep& step : entry.open) Apply(settled, step, "?");
            if (settled.state == JournalEntry::State::Trashed) ++batch_.counts.trashed;
            if (settled.state == JournalEntry::State::Deleted) ++batch_.counts.deleted;
            if (settled.state != JournalEntry::State::Here || settled.now == settled.original) continue;
            const char separator = batch_.root.back();  // the root ends in it
            const std::size_t folder = settled.original.rfind(separator);
            const bool inPlace =
                settled.now.rfind(separator) == folder && settled.now.compare(0, folder, settled.original, 0, folder) == 0;
            ++(inPlace ? batch_.counts.renames : batch_.counts.moves);
        }
    }

    BatchJournal& batch_;
    std::unordered_map<int, std::size_t> byId_;
    std::vector<Announcement> run_;  // the run being read, in the order announced
    std::unordered_map<long, std::size_t> byNumber_;
    std::unordered_map<long, int> openEntry_;  // number of an open step -> its entry
    BatchJournal::OpenIndex index_;  // the index update announced last, until it is known to be done
    bool undoSeen_ = false;
};

bool Matches(FileServices& files, const std::string& path, const JournalEntry& entry) {
    const PathInfo info = files.Lookup(path);
    return info.kind == (entry.folder ? PathKind::Folder : PathKind::File) && entry.identity.Same(info.identity, entry.folder);
}

// Where an entry's file is, after steps open on it: the index of the last
// step done (-1: none, it is where the journal last knew it), or -2 where
// it is not found. Moves never replace, so a file found at a step's target
// got there by that step. A trash found done gives where it went.
int FindByIdentity(const JournalEntry& entry, FileServices& files, TrashService& trash, std::string& trashedAs) {
    for (int k = static_cast<int>(entry.open.size()) - 1; k >= 0; --k) {
        const OpenStep& step = entry.open[static_cast<std::size_t>(k)];
        switch (step.kind) {
            case Step::Trash:
                if (trash.Locate(step.from, entry.identity, trashedAs)) return k;
                break;
            case Step::Delete:
                if (!Matches(files, step.from, entry)) return k;  // not at its source: deleted
                break;
            default:
                if (Matches(files, step.to, entry)) return k;
                break;
        }
    }
    const bool known = entry.state == JournalEntry::State::Here || entry.state == JournalEntry::State::Trashed;
    return known && Matches(files, entry.now, entry) ? -1 : -2;
}

}  // namespace

bool ReadBatch(StateStore& store, const std::string& name, BatchJournal& batch) {
    std::string text;
    if (!store.Read(name, text)) return false;
    batch = BatchJournal{};
    batch.name = name;
    std::size_t start = 0;
    if (!ReadHeader(text, batch, start)) return false;
    batch.didSomething = start < text.size();
    JournalReplay replay(batch);
    std::vector<std::string_view> fields;
    Record record;
    for (std::string_view all(text); start < all.size();) {
        const std::size_t end = all.find('\n', start);
        if (end == std::string_view::npos) break;  // a record cut short by the end of the process
        if (journal::Split(all.substr(start, end - start), record, fields)) replay.Take(record, fields);
        start = end + 1;
    }
    replay.Finish();
    return true;
}

std::vector<Settlement> SettleOpen(BatchJournal& batch, FileServices& files, TrashService& trash) {
    std::vector<Settlement> settled;
    for (JournalEntry& entry : batch.entries) {
        if (entry.open.empty()) continue;
        std::string trashedAs;
        const int found = FindByIdentity(entry, files, trash, trashedAs);
        for (int k = 0; k < static_cast<int>(entry.open.size()); ++k) {
            const OpenStep& step = entry.open[static_cast<std::size_t>(k)];
            Settlement settlement{step.number, k <= found ? Settlement::Outcome::Done : Settlement::Outcome::NotDone, {}};
            if (k == found && step.kind == Step::Trash) settlement.trashedAs = trashedAs;
            if (found == -2 && k + 1 == static_cast<int>(entry.open.size())) settlement.outcome = Settlement::Outcome::Lost;
            if (settlement.outcome == Settlement::Outcome::Done) Apply(entry, step, settlement.trashedAs);
            settled.push_back(std::move(settlement));
        }
        if (found == -2) entry.state = JournalEntry::State::Lost;
        entry.open.clear();
    }
    for (const OpenStep& step : batch.openFolders) {
        const bool there = files.Query(step.from) == PathKind::Folder;
        const bool done = step.kind == Step::MakeFolder ? there : !there;
        settled.push_back({step.number, done ? Settlement::Outcome::Done : Settlement::Outcome::NotDone, {}});
        if (done) ApplyFolder(batch, step);
    }
    batch.openFolders.clear();
    // The index is written whole under a new name: replaced, it was done.
    for (const BatchJournal::OpenIndex& open : batch.openIndex) {
        const bool done = !open.before.Same(files.Lookup(open.file).identity, false);
        settled.push_back({open.number, done ? Settlement::Outcome::Done : Settlement::Outcome::NotDone, {}});
        if (done) IndexAgrees(batch);
    }
    batch.openIndex.clear();
    return settled;
}

std::vector<BatchJournal> ListBatches(StateStore& store, const std::string& folder, bool entries) {
    std::vector<std::string> names = store.List(kSuffix);
    std::sort(names.rbegin(), names.rend());
    std::vector<BatchJournal> batches;
    for (const std::string& name : names) {
        BatchJournal batch;
        std::string text;
        std::size_t end = 0;
        if (!store.Read(name, text, kHeaderBytes) || !ReadHeader(text, batch, end)) continue;
        if (!folder.empty() && batch.root != folder && batch.cwd != folder) continue;
        batch.name = name;
        batch.didSomething = end < text.size();
        if (entries && !ReadBatch(store, name, batch)) continue;
        batches.push_back(std::move(batch));
    }
    return batches;
}

std::string IndexRecordOf(const std::string& journalName) { return journalName + ".index"; }

void PruneBatches(StateStore& store, const std::string& root, const std::string& current) {
    std::size_t kept = 0;
    for (const BatchJournal& batch : ListBatches(store, root, false)) {
        if (batch.root != root || batch.name == current) continue;
        if (!batch.didSomething || ++kept >= kBatchesKept) {
            store.Remove(batch.name);
            store.Remove(IndexRecordOf(batch.name));
        }
    }
}

}  // namespace quil
