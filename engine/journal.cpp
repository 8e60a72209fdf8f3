#include "engine/journal.h"

#include <cstdint>
#include <cstdio>
#include <unordered_map>

namespace quil {
namespace {

constexpr char kHeader[] = "quillane journal 1";
constexpr int kRecordsPerWrite = 64;

// Fields are separated by tabs and records by line feeds, so both are
// escaped inside paths, and the backslash that escapes them.
std::string Escaped(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (char ch : path) {
        if (ch == '\\') out += "\\\\";
        else if (ch == '\t') out += "\\t";
        else if (ch == '\n') out += "\\n";
        else out += ch;
    }
    return out;
}

std::string Unescaped(const std::string& field) {
    std::string out;
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

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(Unescaped(line.substr(start, tab - start)));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

std::string RecordLine(const char* kind, const std::string& a, const std::string& b = {}) {
    std::string line = std::string(kind) + '\t' + Escaped(a);
    if (!b.empty()) line += '\t' + Escaped(b);
    return line + '\n';
}

}  // namespace

std::string JournalName(const std::string& root) {
    // FNV-1a: a stable name for any path, whatever characters it holds.
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char ch : root) hash = (hash ^ ch) * 1099511628211ull;
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.journal", static_cast<unsigned long long>(hash));
    return name;
}

JournalWriter::JournalWriter(StateStore& store, const std::string& root) : store_(store), name_(JournalName(root)) {
    ok_ = store_.Write(name_, std::string(kHeader) + '\n' + RecordLine("root", root));
}

void JournalWriter::Record(const FileOp& op, const std::string& trashedAs) {
    if (op.kind == FileOp::Kind::Move)
        pending_ += RecordLine("move", op.from, op.to);
    else if (!trashedAs.empty())
        pending_ += RecordLine("trash", op.from, trashedAs);
    else
        pending_ += RecordLine("delete", op.from);
    if (++pendingCount_ >= kRecordsPerWrite) Flush(false);
}

bool JournalWriter::Flush(bool durable) {
    if (pending_.empty() && !durable) return ok_;
    ok_ = store_.Append(name_, pending_, durable) && ok_;
    pending_.clear();
    pendingCount_ = 0;
    return ok_;
}

bool ReadJournal(StateStore& store, const std::string& root, std::vector<JournalEntry>& entries) {
    std::string text;
    if (!store.Read(JournalName(root), text)) return false;
    entries.clear();
    // Where each file is now -> its entry; a cycle's temporary name and a
    // chain of moves fold into one change per file.
    std::unordered_map<std::string, std::size_t> byNow;
    std::size_t start = text.find('\n');
    if (start == std::string::npos || text.compare(0, start, kHeader) != 0) return false;
    for (++start; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // a record cut short by an interruption
        const std::vector<std::string> fields = Fields(text.substr(start, end - start));
        start = end + 1;
        if (fields.size() < 2 || fields[0] == "root") continue;
        std::size_t index;
        if (auto it = byNow.find(fields[1]); it != byNow.end()) {
            index = it->second;
            byNow.erase(it);
        } else {
            index = entries.size();
            entries.push_back({JournalEntry::Kind::Moved, fields[1], fields[1]});
        }
        JournalEntry& entry = entries[index];
        if (fields[0] == "move" && fields.size() == 3) {
            entry.now = fields[2];
            byNow[entry.now] = index;
        } else if (fields[0] == "trash" && fields.size() == 3) {
            entry.kind = JournalEntry::Kind::Trashed;
            entry.now = fields[2];
        } else if (fields[0] == "delete") {
            entry.kind = JournalEntry::Kind::Deleted;
            entry.now.clear();
        }
    }
    return !entries.empty();
}

bool RewriteJournal(StateStore& store, const std::string& root, const std::vector<JournalEntry>& left) {
    if (left.empty()) return store.Remove(JournalName(root));
    std::string text = std::string(kHeader) + '\n' + RecordLine("root", root);
    for (const JournalEntry& entry : left) {
        if (entry.kind == JournalEntry::Kind::Moved) text += RecordLine("move", entry.original, entry.now);
        if (entry.kind == JournalEntry::Kind::Trashed) text += RecordLine("trash", entry.original, entry.now);
    }
    return store.Write(JournalName(root), text);
}

}  // namespace quil
