#include "engine/journal_records.h"

namespace quil::journal {

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

std::string ReadPath(std::string_view field, const std::string& root) {
    if (field.compare(0, 2, "\\A") == 0) return Unescaped(field.substr(2));
    return root + Unescaped(field);
}

void AppendAttributes(std::string& out, const FolderAttributes* attributes) {
    if (attributes == nullptr || !attributes->known) {
        out += "\t-";
        return;
    }
    out += '\t';
    out += std::to_string(attributes->mode) + ':' + std::to_string(attributes->owner) + ':' +
           std::to_string(attributes->group) + ':' + std::to_string(attributes->accessed) + ':' +
           std::to_string(attributes->modified);
}

FolderAttributes ReadAttributes(std::string_view field) {
    FolderAttributes attributes;
    if (field == "-" || field.empty()) return attributes;
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t colon = field.find(':', start);
        parts.push_back(field.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start));
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    if (parts.size() != 5) return attributes;
    attributes.known = true;
    attributes.mode = Number<std::uint32_t>(parts[0]);
    attributes.owner = Number<std::uint32_t>(parts[1]);
    attributes.group = Number<std::uint32_t>(parts[2]);
    attributes.accessed = Number<std::int64_t>(parts[3]);
    attributes.modified = Number<std::int64_t>(parts[4]);
    return attributes;
}

bool Split(std::string_view line, Record& record, std::vector<std::string_view>& fields) {
    fields.clear();
    if (line.empty()) return false;
    const RecordKind* kind = nullptr;
    for (const RecordKind& known : kRecords)
        if (static_cast<char>(known.record) == line[0]) kind = &known;
    if (kind == nullptr || (line.size() > 1 && line[1] != '\t')) return false;
    for (std::size_t start = 2; start <= line.size() && line.size() > 1;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    record = kind->record;
    return static_cast<int>(fields.size()) == kind->fields;
}

}  // namespace quil::journal
