// The writer of an undo journal: the header, then each run's records, each
// call's records in one write, each announcement durable before it runs.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "engine/journal.h"
#include "engine/journal_records.h"

namespace quil {

using journal::AppendAttributes;
using journal::AppendEscaped;
using journal::AppendNumber;
using journal::AppendPath;
using journal::Record;

namespace {

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Journal names sort by time: the newest batch has the greatest name.
std::string NewJournalName() {
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    char name[64];
    std::snprintf(name, sizeof name, "%020lld.journal", static_cast<long long>(nanoseconds));
    return name;
}

void Letter(std::string& out, Record record) { out += static_cast<char>(record); }

}  // namespace

JournalWriter::JournalWriter(std::unique_ptr<AppendFile> file, std::string name, std::string root, std::vector<int> ids,
                             long first)
    : file_(std::move(file)), name_(std::move(name)), root_(std::move(root)), ids_(std::move(ids)), first_(first) {}

std::unique_ptr<JournalWriter> JournalWriter::Start(StateStore& store, const std::string& root, const std::string& cwd,
                                                    std::string& error) {
    const std::string name = NewJournalName();
    std::unique_ptr<AppendFile> file = store.Create(name, error);
    if (!file) return nullptr;
    std::string header = std::string(journal::kHeader) + "\nroot\t";
    AppendEscaped(header, root);
    header += "\ncwd\t";
    AppendEscaped(header, cwd);
    header += "\ntime\t" + std::to_string(Now()) + "\n";
    // Durable with the first announcement.
    if (!file->Append(header)) {
        error = "cannot write " + store.Where(name);
        file.reset();
        store.Remove(name);
        return nullptr;
    }
    return std::unique_ptr<JournalWriter>(new JournalWriter(std::move(file), name, root, {}, 1));
}

std::unique_ptr<JournalWriter> JournalWriter::Continue(StateStore& store, const BatchJournal& batch, std::vector<int> ids,
                                                       const std::vector<Settlement>& settled,
                                                       const std::vector<int>& dropped, std::string& error) {
    std::unique_ptr<AppendFile> file = store.Reopen(batch.name, error);
    if (!file) return nullptr;
    std::string records;
    Letter(records, Record::UndoStarts);
    AppendNumber(records, Now());
    records += '\n';
    for (const Settlement& settlement : settled) {
        Letter(records, Record::Settled);
        AppendNumber(records, settlement.number);
        records += '\t';
        records += static_cast<char>(settlement.outcome);
        if (settlement.trashedAs.empty()) records += "\t-";
        else AppendPath(records, settlement.trashedAs, batch.root);
        records += '\n';
    }
    for (int id : dropped) {
        Letter(records, Record::Dropped);
        AppendNumber(records, id);
        records += '\n';
    }
    // What the undo found is on the disk before it acts on it.
    if (!file->Append(records) || !file->Sync()) {
        error = "cannot write " + store.Where(batch.name);
        return nullptr;
    }
    return std::unique_ptr<JournalWriter>(
        new JournalWriter(std::move(file), batch.name, batch.root, std::move(ids), batch.nextNumber));
}

int JournalWriter::Id(int slot) const {
    return ids_.empty() ? slot : ids_[static_cast<std::size_t>(slot)];
}

void JournalWriter::Introduce(std::string& out, const Announced& operation) {
    if (!ids_.empty()) return;  // an undo's entries are known already
    const auto index = static_cast<std::size_t>(operation.op->slot);
    if (index < introduced_.size() && introduced_[index]) return;
    if (index >= introduced_.size()) introduced_.resize(index + 1, false);
    introduced_[index] = true;
    const bool folder = folders_ && index < folders_->size() && (*folders_)[index];
    const FileIdentity& identity = *operation.identity;
    Letter(out, Record::Entry);
    AppendNumber(out, operation.op->slot);
    out += folder ? "\td" : "\tf";
    AppendPath(out, operation.op->from, root_);
    AppendNumber(out, identity.device);
    AppendNumber(out, identity.inode);
    AppendNumber(out, identity.size);
    AppendNumber(out, identity.modified);
    AppendNumber(out, identity.stableInode ? 1 : 0);
    out += '\n';
}

void JournalWriter::AppendAnnouncement(std::string& out, const Announced& operation) {
    const FileOp& op = *operation.op;
    switch (op.kind) {
        case FileOp::Kind::MakeFolder:
        case FileOp::Kind::RemoveFolder: {
            const bool make = op.kind == FileOp::Kind::MakeFolder;
            Letter(out, make ? Record::MakeFolder : Record::RemoveFolder);
            AppendNumber(out, operation.number);
            AppendPath(out, make ? op.to : op.from, root_);
            AppendAttributes(out, operation.attributes);
            break;
        }
        case FileOp::Kind::Move:
        case FileOp::Kind::Restore:
            Introduce(out, operation);
            Letter(out, op.kind == FileOp::Kind::Move ? Record::Move : Record::Restore);
            AppendNumber(out, operation.number);
            AppendNumber(out, Id(op.slot));
            AppendPath(out, op.from, root_);
            AppendPath(out, *operation.to, root_);
            break;
        case FileOp::Kind::Delete:
            Introduce(out, operation);
            Letter(out, operation.trash ? Record::Trash : Record::Delete);
            AppendNumber(out, operation.number);
            AppendNumber(out, Id(op.slot));
            AppendPath(out, op.from, root_);
            break;
    }
    out += '\n';
}

bool JournalWriter::Announce(const std::vector<Announced>& operations) {
    std::string records;
    records.reserve(operations.size() * 96);
    for (const Announced& operation : operations) {
        AppendAnnouncement(records, operation);
        next_ = std::max(next_, operation.number + 1);
    }
    if (!file_->Append(records) || !file_->Sync()) return false;
    announced_ += static_cast<long>(operations.size());
    return true;
}

bool JournalWriter::Failed(long number) {
    ++failed_;
    std::string record;
    Letter(record, Record::Failed);
    AppendNumber(record, number);
    return file_->Append(record + '\n');
}

bool JournalWriter::Trashed(long number, const std::string& trashedAs) {
    std::string record;
    Letter(record, Record::Trashed);
    AppendNumber(record, number);
    AppendPath(record, trashedAs, root_);
    return file_->Append(record + '\n');
}

bool JournalWriter::End(long first, long last) {
    if (last >= first) failed_ += last - first + 1;
    std::string record;
    Letter(record, Record::End);
    AppendNumber(record, first);
    AppendNumber(record, last);
    return file_->Append(record + '\n') && file_->Sync();
}

long JournalWriter::IndexFollows(const std::string& file, const FileIdentity& before) {
    const long number = std::max(next_, first_);
    next_ = number + 1;
    std::string record;
    Letter(record, Record::IndexFollows);
    AppendNumber(record, number);
    AppendPath(record, file, root_);
    AppendNumber(record, before.device);
    AppendNumber(record, before.inode);
    AppendNumber(record, before.size);
    AppendNumber(record, before.modified);
    return file_->Append(record + '\n') && file_->Sync() ? number : 0;
}

bool JournalWriter::IndexFollowed(long number) {
    std::string record;
    Letter(record, Record::IndexFollowed);
    AppendNumber(record, number);
    return file_->Append(record + '\n');
}

bool JournalWriter::Undone() {
    std::string record;
    Letter(record, Record::Undone);
    return file_->Append(record + '\n') && file_->Sync();
}

}  // namespace quil
