#include "ui/terminal/json_output.h"

#include <cstdio>

#include "platform/code_page.h"

namespace quil::terminal {
namespace {

void AppendEscape(std::string& out, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", value);
    out += text;
}

std::string Count(const char* name, int value) { return "\"" + std::string(name) + "\": " + std::to_string(value); }

}  // namespace

std::string JsonString(std::string_view name) {
    std::string out = "\"";
    out.reserve(name.size() + 2);
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t start = at;
        char32_t code;
        if (!DecodeUtf8(name, at, code)) {
            AppendEscape(out, 0xDC00 | static_cast<unsigned char>(name[start]));
            at = start + 1;
        } else if (code == '"' || code == '\\') {
            out += '\\';
            out += static_cast<char>(code);
        } else if (code < 0x20 || code == 0x7F) {
            AppendEscape(out, static_cast<unsigned>(code));
        } else {
            out.append(name, start, at - start);
        }
    }
    return out + "\"";
}

std::string PlanJson(const std::string& root, const std::vector<PlanRow>& rows) {
    std::string out = "{\"root\": " + JsonString(root) + ", \"changes\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const PlanRow& row = rows[i];
        out += i == 0 ? "\n  " : ",\n  ";
        out += "{\"action\": \"" + std::string(WordsOf(row.action).key) + "\", \"old\": " + JsonString(row.from);
        out += ", \"new\": " + (row.to.empty() ? std::string("null") : JsonString(row.to));
        if (row.action == LineAction::Refuse) out += ", \"reason\": " + JsonString(Describe(row.reason));
        if (row.action == LineAction::KeepFolder) out += ", \"entries_not_listed\": " + std::to_string(row.entries);
        if (!row.note.empty()) out += ", \"note\": " + JsonString(row.note);
        out += '}';
    }
    out += rows.empty() ? "],\n" : "\n],\n";
    const RowCounts counts(rows);
    std::string totals;
    for (const LineAction action : RowActions())
        totals += (totals.empty() ? "" : ", ") + Count(WordsOf(action).total, counts[action]);
    return out + " \"counts\": {" + totals + "}}\n";
}

std::string HistoryJson(const std::string& root, const std::vector<BatchJournal>& batches) {
    std::string out = "{\"root\": " + JsonString(root) + ", \"batches\": [";
    for (std::size_t i = 0; i < batches.size(); ++i) {
        const BatchJournal& batch = batches[i];
        out += i == 0 ? "\n  " : ",\n  ";
        out += "{\"started\": " + std::to_string(batch.started) + ", \"root\": " + JsonString(batch.root) +
               ", \"cwd\": " + JsonString(batch.cwd) + ", \"undone\": " + (batch.undone ? "true" : "false") +
               ", \"counts\": {" + Count("renames", batch.counts.renames) + ", " + Count("moves", batch.counts.moves) +
               ", " + Count("trashed", batch.counts.trashed) + ", " + Count("deleted", batch.counts.deleted) + "}}";
    }
    out += batches.empty() ? "]}\n" : "\n]}\n";
    return out;
}

}  // namespace quil::terminal
