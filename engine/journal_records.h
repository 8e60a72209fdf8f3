// The records of an undo journal (see journal.h): one table of their
// letters and meanings, shared by the writer and the reader, and the
// encoding of their fields.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_services.h"

namespace quil::journal {

constexpr char kHeader[] = "quillane journal 3";

// Each record's letter.
enum class Record : char {
    Entry = 'I',
    Move = 'M',
    Trash = 'T',
    Delete = 'D',
    Restore = 'R',
    MakeFolder = 'K',
    RemoveFolder = 'k',
    Trashed = 't',
    Failed = 'X',
    End = 'E',
    UndoStarts = 'u',
    Settled = 'S',
    Dropped = 'P',
    Undone = 'U',
    IndexFollows = 'G',
    IndexFollowed = 'g',
};

struct RecordKind {
    Record record;
    int fields;  // after the letter
    const char* meaning;
};

inline constexpr RecordKind kRecords[] = {
    {Record::Entry, 8, "a file first acted on: id, f or d, path, device, inode, size, modified, stable inode"},
    {Record::Move, 4, "a move announced: number, id, from, to"},
    {Record::Trash, 3, "a trash announced: number, id, path"},
    {Record::Delete, 3, "a delete for good announced: number, id, path"},
    {Record::Restore, 4, "a return from the Trash announced: number, id, trashed as, to"},
    {Record::MakeFolder, 3, "a folder made, announced: number, path, the attributes to give it"},
    {Record::RemoveFolder, 3, "a folder removed, announced: number, path, its attributes"},
    {Record::Trashed, 2, "that trash was done: number, trashed as"},
    {Record::Failed, 1, "that announcement did not happen: number"},
    {Record::End, 2, "the run ends; the announcements first to last never ran: first, last"},
    {Record::UndoStarts, 1, "an undo's run starts: time"},
    {Record::Settled, 3, "how an announcement left open ended (d done, x not, l lost): number, d x or l, trashed as"},
    {Record::Dropped, 1, "an entry gone from the Trash, given up: id"},
    {Record::Undone, 0, "the batch is undone"},
    {Record::IndexFollows, 6, "the git index is made to agree with the files, announced: number, the index file, "
                              "its device, inode, size, modified before"},
    {Record::IndexFollowed, 1, "it agrees: number"},
};

// Fields are separated by tabs and records by line feeds, so both are
// escaped inside paths, and the backslash that escapes them.
inline void AppendEscaped(std::string& out, std::string_view text) {
    for (char ch : text) {
        if (ch == '\\') out += "\\\\";
        else if (ch == '\t') out += "\\t";
        else if (ch == '\n') out += "\\n";
        else out += ch;
    }
}

std::string Unescaped(std::string_view field);

// Paths below the root are kept relative to it, which halves most journals;
// others are marked by "\\A", which no escaped path begins with.
inline void AppendPath(std::string& out, const std::string& path, const std::string& root) {
    out += '\t';
    if (path.compare(0, root.size(), root) == 0 && path.size() > root.size()) {
        AppendEscaped(out, std::string_view(path).substr(root.size()));
    } else {
        out += "\\A";
        AppendEscaped(out, path);
    }
}

std::string ReadPath(std::string_view field, const std::string& root);

template <typename Integer>
void AppendNumber(std::string& out, Integer value) {
    char digits[24];
    out += '\t';
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

template <typename Integer = long long>
Integer Number(std::string_view field) {
    Integer value = 0;
    std::from_chars(field.data(), field.data() + field.size(), value);
    return value;
}

// "mode:owner:group:accessed:modified", or "-" where unknown.
void AppendAttributes(std::string& out, const FolderAttributes* attributes);
FolderAttributes ReadAttributes(std::string_view field);

// A record's letter, then its fields; false for anything else (a record
// cut short by the end of the process, an unknown letter).
bool Split(std::string_view line, Record& record, std::vector<std::string_view>& fields);

}  // namespace quil::journal
