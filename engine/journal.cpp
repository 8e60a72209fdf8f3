#include "engine/journal.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <map>
#include <unordered_map>

#include "engine/path_rules.h"

namespace quil {
namespace {

constexpr char kHeader[] = "quillane journal 2";
constexpr char kSuffix[] = ".journal";
// Enough of a journal to hold its header.
constexpr std::size_t kHeaderBytes = 16384;

// Fields are separated by tabs and records by line feeds, so both are
// escaped inside paths, and the backslash that escapes them.
void AppendEscaped(std::string& out, const std::string& path) {
    for (char ch : path) {
        if (ch == '\\') out += "\\\\";
        else if (ch == '\t') out += "\\t";
        else if (ch == '\n') out += "\\n";
        else out += ch;
    }
}

std::string Unescaped(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char next = field[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next;
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

template <typename Integer = long long>
Integer Number(std::string_view field) {
    Integer value = 0;
    std::from_chars(field.data(), field.data() + field.size(), value);
    return value;
}

// Paths below the root are kept relative to it, which halves most journals;
// others are marked by "\\A", which no escaped path begins with.
void AppendPath(std::string& out, const std::string& path, const std::string& root) {
    out += '\t';
    if (path.compare(0, root.size(), root) == 0 && path.size() > root.size()) {
        AppendEscaped(out, path.substr(root.size()));
    } else {
        out += "\\A";
        AppendEscaped(out, path);
    }
}

std::string ReadPath(std::string_view field, const std::string& root) {
    if (field.compare(0, 2, "\\A") == 0) return Unescaped(field.substr(2));
    return root + Unescaped(field);
}

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Journal names sort by time: the newest batch has the greatest name.
std::string NewJournalName() {
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    char name[64];
    std::snprintf(name, sizeof name, "%020lld%s", static_cast<long long>(nanoseconds), kSuffix);
    return name;
}

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
    if (!nextLine(line) || line != kHeader) return false;
    for (int fields = 0; fields < 3; ++fields) {
        if (!nextLine(line)) return false;
        const std::vector<std::string_view> parts = Fields(line);
        if (parts.size() != 2) return false;
        if (parts[0] == "root") batch.root = Unescaped(parts[1]);
        else if (parts[0] == "cwd") batch.cwd = Unescaped(parts[1]);
        else if (parts[0] == "time") batch.started = Number(parts[1]);
        else return false;
    }
    end = start;
    return !batch.root.empty();
}

// Folds the records of a journal, one entry per file by its id.
class Folder {
public:
    explicit Folder(BatchJournal& batch) : batch_(batch) {}

    void Take(const std::vector<std::string_view>& f) {
        const std::string_view kind = f[0];
        if (kind == "I" && f.size() == 9) {
            JournalEntry entry;
            entry.id = static_cast<int>(Number(f[1]));
            entry.folder = f[2] == "d";
            entry.original = Path(f, 3);
            const std::size_t at = 4;
            entry.identity = {true,
                              Number<std::uint64_t>(f[at]),
                              Number<std::uint64_t>(f[at + 1]),
                              Number<std::uint64_t>(f[at + 2]),
                              Number<std::int64_t>(f[at + 3]),
                              f[at + 4] == "1"};
            entry.now = entry.original;
            byId_[entry.id] = batch_.entries.size();
            batch_.entries.push_back(std::move(entry));
        } else if (kind == "M" || kind == "T" || kind == "D" || kind == "R") {
            CloseLast();
            JournalEntry* entry = Find(f);
            if (entry == nullptr) return;
            last_ = static_cast<std::size_t>(entry - batch_.entries.data());
            entry->pending = kind == "M"   ? JournalEntry::Pending::Move
                             : kind == "T" ? JournalEntry::Pending::Trash
                             : kind == "D" ? JournalEntry::Pending::Delete
                                           : JournalEntry::Pending::Restore;
            entry->pendingFrom = Path(f, 2);
            entry->pendingTo = kind == "M" || kind == "R" ? Path(f, 3) : std::string();
        } else if (kind == "t") {
            if (JournalEntry* entry = Find(f)) {
                entry->pending = JournalEntry::Pending::None;
                entry->state = JournalEntry::State::Trashed;
                entry->now = Path(f, 2);
            }
            last_ = kNone;
        } else if (kind == "X") {
            if (JournalEntry* entry = Find(f)) entry->pending = JournalEntry::Pending::None;
            last_ = kNone;
        } else if (kind == "P") {
            if (JournalEntry* entry = Find(f)) {
                entry->pending = JournalEntry::Pending::None;
                entry->state = JournalEntry::State::Dropped;
            }
        } else if (kind == "K" || kind == "k") {
            CloseLast();
            lastFolderOp_ = {kind == "K", Path(f, 1)};
            ApplyFolderOp(lastFolderOp_.first, lastFolderOp_.second);
        } else if (kind == "F") {
            if (Path(f, 1) == lastFolderOp_.second) ApplyFolderOp(!lastFolderOp_.first, lastFolderOp_.second);
        } else if (kind == "u") {
            // What was under way when the run before ended stays pending.
            last_ = kNone;
            if (!undoSeen_) Count();
            undoSeen_ = true;
        } else if (kind == "E") {
            CloseLast();
        } else if (kind == "U") {
            batch_.undone = true;
        }
    }

    void Finish() {
        if (!undoSeen_) Count();
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // A run starts an operation only once the one before it has ended, and
    // writes a failure before anything else: a record after an operation's
    // announcement means that it was done. Only the last one before a run
    // ended without its end record is left to find out.
    void CloseLast() {
        if (last_ != kNone) SettleAsDone(batch_.entries[last_]);
        last_ = kNone;
    }

    std::string Path(const std::vector<std::string_view>& f, std::size_t at) const {
        return at < f.size() ? ReadPath(f[at], batch_.root) : std::string();
    }

    JournalEntry* Find(const std::vector<std::string_view>& f) {
        if (f.size() < 2) return nullptr;
        auto it = byId_.find(static_cast<int>(Number(f[1])));
        return it == byId_.end() ? nullptr : &batch_.entries[it->second];
    }

    static void SettleAsDone(JournalEntry& entry) {
        switch (entry.pending) {
            case JournalEntry::Pending::None: return;
            case JournalEntry::Pending::Move:
            case JournalEntry::Pending::Restore:
                entry.now = entry.pendingTo;
                entry.state = JournalEntry::State::Here;
                break;
            case JournalEntry::Pending::Trash: entry.state = JournalEntry::State::Lost; break;
            case JournalEntry::Pending::Delete: entry.state = JournalEntry::State::Deleted; break;
        }
        entry.pending = JournalEntry::Pending::None;
    }

    // A folder made again after its removal, or removed again after it was
    // made, is as it was before the batch.
    void ApplyFolderOp(bool make, const std::string& path) {
        auto& undone = make ? batch_.removedFolders : batch_.madeFolders;
        auto& done = make ? batch_.madeFolders : batch_.removedFolders;
        if (const auto it = std::find(undone.begin(), undone.end(), path); it != undone.end())
            undone.erase(it);
        else if (std::find(done.begin(), done.end(), path) == done.end())
            done.push_back(path);
    }

    // What the batch did, taking operations under way as done.
    void Count() {
        for (const JournalEntry& entry : batch_.entries) {
            JournalEntry settled = entry;
            SettleAsDone(settled);
            if (settled.state == JournalEntry::State::Trashed) ++batch_.counts.trashed;
            if (settled.state == JournalEntry::State::Deleted) ++batch_.counts.deleted;
            if (settled.state != JournalEntry::State::Here || settled.now == settled.original) continue;
            const std::size_t folder = settled.original.rfind('/');
            const bool inPlace = settled.now.rfind('/') == folder && settled.now.compare(0, folder, settled.original, 0, folder) == 0;
            ++(inPlace ? batch_.counts.renames : batch_.counts.moves);
        }
    }

    BatchJournal& batch_;
    std::unordered_map<int, std::size_t> byId_;
    std::pair<bool, std::string> lastFolderOp_;
    std::size_t last_ = kNone;  // the entry of the last operation announced, while open
    bool undoSeen_ = false;
};

bool Matches(FileServices& files, const std::string& path, const JournalEntry& entry) {
    const PathInfo info = files.Lookup(path);
    return info.kind == (entry.folder ? PathKind::Folder : PathKind::File) && entry.identity.Same(info.identity, entry.folder);
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
    Folder folder(batch);
    for (std::string_view all(text); start < all.size();) {
        const std::size_t end = all.find('\n', start);
        if (end == std::string_view::npos) break;  // a record cut short by the end of the process
        folder.Take(Fields(all.substr(start, end - start)));
        start = end + 1;
    }
    folder.Finish();
    return true;
}

void SettlePending(BatchJournal& batch, FileServices& files, TrashService& trash) {
    for (JournalEntry& entry : batch.entries) {
        const JournalEntry::Pending pending = entry.pending;
        entry.pending = JournalEntry::Pending::None;
        switch (pending) {
            case JournalEntry::Pending::None: break;
            case JournalEntry::Pending::Move:
            case JournalEntry::Pending::Restore:
                // The source first: a move never replaces, so a file still
                // there was not moved.
                if (Matches(files, entry.pendingFrom, entry)) break;
                // Done, unless nothing is there; if another file is there
                // now, the undo will see it is not this one.
                entry.now = entry.pendingTo;
                entry.state = files.Query(entry.pendingTo) == PathKind::Missing ? JournalEntry::State::Lost
                                                                                : JournalEntry::State::Here;
                break;
            case JournalEntry::Pending::Trash:
                if (Matches(files, entry.pendingFrom, entry)) break;
                if (std::string trashedAs; trash.Locate(entry.pendingFrom, entry.identity, trashedAs)) {
                    entry.now = trashedAs;
                    entry.state = JournalEntry::State::Trashed;
                } else {
                    entry.state = JournalEntry::State::Lost;
                }
                break;
            case JournalEntry::Pending::Delete:
                if (!Matches(files, entry.pendingFrom, entry)) entry.state = JournalEntry::State::Deleted;
                break;
        }
    }
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

JournalWriter::JournalWriter(std::unique_ptr<AppendFile> file, std::string name, std::string root, std::vector<int> ids)
    : file_(std::move(file)), name_(std::move(name)), root_(std::move(root)), ids_(std::move(ids)) {}

std::unique_ptr<JournalWriter> JournalWriter::Start(StateStore& store, const std::string& root, const std::string& cwd,
                                                    std::string& error) {
    const std::string name = NewJournalName();
    std::unique_ptr<AppendFile> file = store.Create(name, error);
    if (!file) return nullptr;
    std::string header = std::string(kHeader) + "\nroot\t";
    AppendEscaped(header, root);
    header += "\ncwd\t";
    AppendEscaped(header, cwd);
    header += "\ntime\t" + std::to_string(Now()) + "\n";
    if (!file->Append(header) || !file->Sync()) {
        error = "cannot write " + store.Where(name);
        file.reset();
        store.Remove(name);
        return nullptr;
    }
    return std::unique_ptr<JournalWriter>(new JournalWriter(std::move(file), name, root, {}));
}

std::unique_ptr<JournalWriter> JournalWriter::Continue(StateStore& store, const BatchJournal& batch, std::vector<int> ids,
                                                       std::string& error) {
    std::unique_ptr<AppendFile> file = store.Reopen(batch.name, error);
    if (!file) return nullptr;
    std::unique_ptr<JournalWriter> writer(new JournalWriter(std::move(file), batch.name, batch.root, std::move(ids)));
    if (!writer->Write("u\t" + std::to_string(Now()) + "\n")) {
        error = "cannot write " + store.Where(batch.name);
        return nullptr;
    }
    return writer;
}

int JournalWriter::Id(int slot) const {
    return ids_.empty() ? slot : ids_[static_cast<std::size_t>(slot)];
}

bool JournalWriter::Write(const std::string& text) { return file_->Append(text); }

std::string JournalWriter::Introduce(int slot, const FileIdentity& identity, const std::string& path) {
    if (!ids_.empty()) return {};  // an undo's entries are known already
    const auto index = static_cast<std::size_t>(slot);
    if (index < introduced_.size() && introduced_[index]) return {};
    if (index >= introduced_.size()) introduced_.resize(index + 1, false);
    introduced_[index] = true;
    const bool folder = folders_ && index < folders_->size() && (*folders_)[index];
    std::string record = "I\t" + std::to_string(slot) + (folder ? "\td" : "\tf");
    AppendPath(record, path, root_);
    auto number = [&record](auto value) {
        char digits[24];
        record += '\t';
        record.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    };
    number(identity.device);
    number(identity.inode);
    number(identity.size);
    number(identity.modified);
    number(identity.stableInode ? 1 : 0);
    return record + '\n';
}

bool JournalWriter::Move(int slot, const FileIdentity& identity, const std::string& from, const std::string& to) {
    std::string record = Introduce(slot, identity, from) + "M\t" + std::to_string(Id(slot));
    AppendPath(record, from, root_);
    AppendPath(record, to, root_);
    return Announce(record + '\n');
}

bool JournalWriter::Trash(int slot, const FileIdentity& identity, const std::string& path) {
    std::string record = Introduce(slot, identity, path) + "T\t" + std::to_string(Id(slot));
    AppendPath(record, path, root_);
    return Announce(record + '\n');
}

bool JournalWriter::Trashed(int slot, const std::string& trashedAs) {
    std::string record = "t\t" + std::to_string(Id(slot));
    AppendPath(record, trashedAs, root_);
    return Write(record + '\n');
}

bool JournalWriter::Delete(int slot, const FileIdentity& identity, const std::string& path) {
    std::string record = Introduce(slot, identity, path) + "D\t" + std::to_string(Id(slot));
    AppendPath(record, path, root_);
    return Announce(record + '\n');
}

bool JournalWriter::Failed(int slot) { return Withdraw("X\t" + std::to_string(Id(slot)) + '\n'); }

bool JournalWriter::MakeFolder(const std::string& path) {
    std::string record = "K";
    AppendPath(record, path, root_);
    return Announce(record + '\n');
}

bool JournalWriter::RemoveFolder(const std::string& path) {
    std::string record = "k";
    AppendPath(record, path, root_);
    return Announce(record + '\n');
}

bool JournalWriter::FolderFailed(const std::string& path) {
    std::string record = "F";
    AppendPath(record, path, root_);
    return Withdraw(record + '\n');
}

bool JournalWriter::Restore(int id, const std::string& trashedAs, const std::string& to) {
    std::string record = "R\t" + std::to_string(id);
    AppendPath(record, trashedAs, root_);
    AppendPath(record, to, root_);
    return Announce(record + '\n');
}

bool JournalWriter::RestoreFailed(int id) { return Withdraw("X\t" + std::to_string(id) + '\n'); }

bool JournalWriter::Drop(int id) { return Write("P\t" + std::to_string(id) + '\n'); }

bool JournalWriter::Undone() { return Write("U\n") && file_->Sync(); }

bool JournalWriter::Finish() { return Write("E\n") && file_->Sync(); }

}  // namespace quil
