#include "engine/name_map.h"

#include <cctype>
#include <unordered_map>

#include "engine/list_text.h"
#include "engine/plan_rows.h"

namespace quil {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct Record {
    int row = 0;
    std::vector<std::string> fields;
    std::string malformed;  // why the record is not RFC 4180, or empty
};

// RFC 4180: records end at CRLF (or LF); a field in double quotes may hold
// commas, line breaks and "" for a quote.
std::vector<Record> ReadCsv(std::string_view text) {
    std::vector<Record> records;
    std::size_t at = 0;
    for (int row = 1; at < text.size(); ++row) {
        Record record;
        record.row = row;
        std::string field;
        bool done = false;
        while (!done) {
            if (at < text.size() && text[at] == '"') {
                ++at;
                for (;;) {
                    if (at >= text.size()) {
                        record.malformed = "a quote that is not closed";
                        break;
                    }
                    if (text[at] == '"' && at + 1 < text.size() && text[at + 1] == '"') {
                        field += '"';
                        at += 2;
                    } else if (text[at] == '"') {
                        ++at;
                        break;
                    } else {
                        field += text[at++];
                    }
                }
                if (record.malformed.empty() && at < text.size() && text[at] != ',' && text[at] != '\r' &&
                    text[at] != '\n')
                    record.malformed = "text after a closing quote";
            }
            while (at < text.size() && text[at] != ',' && text[at] != '\n') {
                if (text[at] == '"' && record.malformed.empty())
                    record.malformed = "a quote inside a field that is not quoted";
                if (text[at] != '\r' || (at + 1 < text.size() && text[at + 1] != '\n')) field += text[at];
                ++at;
            }
            record.fields.push_back(std::move(field));
            field.clear();
            if (at < text.size() && text[at] == ',') {
                ++at;
            } else {
                done = true;
                if (at < text.size()) ++at;  // the line feed
            }
        }
        const bool blank = record.fields.size() == 1 && record.fields[0].empty() && record.malformed.empty();
        if (!blank) records.push_back(std::move(record));
    }
    return records;
}

bool IsHeader(const Record& record) {
    auto lower = [](std::string text) {
        for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        return text;
    };
    return record.row == 1 && record.fields.size() == 2 && lower(record.fields[0]) == "old" &&
           lower(record.fields[1]) == "new";
}

// Why name cannot be a line's new name, or empty.
std::string Unusable(const std::string& name) {
    if (name.empty()) return "no new name (a list deletes nothing)";
    if (name.find_first_of("\r\n") != std::string::npos) return "a name cannot hold a line break";
    return {};
}

MappedNames MapCsv(std::string_view text, const BatchState& listed, std::vector<std::string>& lines) {
    MappedNames mapped;
    std::unordered_map<std::string, int> slots;  // the listed line -> slot
    for (int slot = 1; slot <= listed.count; ++slot)
        slots.emplace(Shown(listed.oldPaths[static_cast<std::size_t>(slot)], listed.root), slot);
    std::unordered_map<int, int> firstRow;  // slot -> the row that named it
    for (const Record& record : ReadCsv(text)) {
        if (IsHeader(record)) continue;
        ++mapped.rows;
        auto refuse = [&](std::string reason) { mapped.refused.push_back({record.row, std::move(reason)}); };
        if (!record.malformed.empty()) {
            refuse(record.malformed);
            continue;
        }
        if (record.fields.size() != 2) {
            refuse(std::to_string(record.fields.size()) + (record.fields.size() == 1 ? " field" : " fields") +
                   ", not 2 (old,new)");
            continue;
        }
        const std::string& old = record.fields[0];
        const auto slot = slots.find(old);
        if (slot == slots.end()) {
            refuse("'" + old + "' is not listed");
            continue;
        }
        if (const auto [first, isNew] = firstRow.emplace(slot->second, record.row); !isNew) {
            refuse("a second row for '" + old + "' (row " + std::to_string(first->second) + ")");
            continue;
        }
        if (std::string why = Unusable(record.fields[1]); !why.empty()) {
            refuse(std::move(why));
            continue;
        }
        lines[static_cast<std::size_t>(slot->second - 1)] = record.fields[1];
    }
    return mapped;
}

MappedNames MapList(std::string_view text, const BatchState& listed, std::vector<std::string>& lines) {
    MappedNames mapped;
    std::vector<std::string> names = SplitLines(text);
    // A list saved on Windows ends its lines with CR LF.
    for (std::string& name : names)
        if (!name.empty() && name.back() == '\r') name.pop_back();
    mapped.rows = static_cast<int>(names.size());
    if (names.size() != static_cast<std::size_t>(listed.count)) {
        mapped.error = "the list has " + std::to_string(names.size()) + " names for " + std::to_string(listed.count) +
                       " listed files";
        return mapped;
    }
    for (std::size_t row = 0; row < names.size(); ++row) {
        if (std::string why = Unusable(names[row]); !why.empty())
            mapped.refused.push_back({static_cast<int>(row) + 1, std::move(why)});
        else
            lines[row] = names[row];
    }
    return mapped;
}

}  // namespace

MapFormat MapFormatOf(std::string_view path) {
    if (path.size() < 4) return MapFormat::List;
    std::string ending(path.substr(path.size() - 4));
    for (char& ch : ending) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return ending == ".csv" ? MapFormat::Csv : MapFormat::List;
}

MappedNames MapNames(std::string_view text, MapFormat format, const BatchState& listed,
                     std::vector<std::string>& lines) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    return format == MapFormat::Csv ? MapCsv(text, listed, lines) : MapList(text, listed, lines);
}

}  // namespace quil
