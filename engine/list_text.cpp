#include "engine/list_text.h"

#include "engine/path_rules.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace quil {

void BuildListText(BatchState& state, const Conventions& conventions) {
    const std::size_t rootLength = state.root.size();
    const std::size_t breakLength = std::strlen(conventions.lineBreak);
    std::size_t total = 0;
    for (int i = 1; i <= state.count; ++i) total += state.oldPaths[i].size() - rootLength + breakLength;
    state.text.clear();
    state.text.reserve(total);
    for (int i = 1; i <= state.count; ++i) {
        state.text.append(state.oldPaths[i], rootLength, std::string::npos);
        if (i < state.count) state.text += conventions.lineBreak;
    }
}

void CheckLineCount(BatchState& state, DialogOps& namesBox) {
    // The undo raises a change notification of its own (twice under Wine);
    // reverting that again would never end, and with count 0 no text fits.
    if (state.reverting) return;
    if (namesBox.NamesLineCount() == state.count) return;
    state.reverting = true;
    namesBox.UndoNames();
    namesBox.EmptyNamesUndo();
    state.reverting = false;
}

namespace {

// Parses the lines of state.text from position (where slot first's line
// begins) up to slot last.
void ParseLines(BatchState& state, std::size_t position, int first, int last, const Conventions& conventions) {
    const std::string& root = state.root;
    const std::string_view lineBreak(conventions.lineBreak);
    const std::string& text = state.text;
    bool textLeft = true;
    for (int i = first; i <= last; ++i) {
        if (!textLeft) {
            // A missing line must never read as an emptied one.
            state.newPaths[i] = state.oldPaths[i];
            continue;
        }
        std::size_t end = text.find(lineBreak, position);
        if (end == std::string::npos) {
            end = text.size();
            textLeft = false;
        }
        if (end > position) {
            state.newPaths[i].assign(root).append(text, position, end - position);
            CanonicalizePath(state.newPaths[i], conventions);
        } else
            state.newPaths[i].clear();
        position = end + lineBreak.size();
    }
}

// Line breaks end in '\n' under both platforms' conventions.
std::size_t LinesIn(const std::string& text, std::size_t from, std::size_t to) {
    return static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(from),
                                                text.begin() + static_cast<std::ptrdiff_t>(to), '\n'));
}

}  // namespace

void ParseListText(BatchState& state, const Conventions& conventions) {
    ParseLines(state, 0, 1, state.count, conventions);
}

void ReparseChangedLines(BatchState& state, const std::string& before, const Conventions& conventions) {
    const std::string& text = state.text;
    const std::size_t most = std::min(text.size(), before.size());
    // Compared a block at a time: memcmp is many times a byte loop's speed.
    constexpr std::size_t kBlock = 4096;
    std::size_t prefix = 0;
    while (prefix + kBlock <= most && std::memcmp(text.data() + prefix, before.data() + prefix, kBlock) == 0) prefix += kBlock;
    while (prefix < most && text[prefix] == before[prefix]) ++prefix;
    if (prefix == text.size() && prefix == before.size()) return;
    std::size_t suffix = 0;
    while (suffix + kBlock <= most - prefix &&
           std::memcmp(text.data() + text.size() - suffix - kBlock, before.data() + before.size() - suffix - kBlock, kBlock) == 0)
        suffix += kBlock;
    while (suffix < most - prefix && text[text.size() - 1 - suffix] == before[before.size() - 1 - suffix]) ++suffix;
    const std::size_t breaks = LinesIn(text, prefix, text.size() - suffix);
    if (breaks != LinesIn(before, prefix, before.size() - suffix)) {
        ParseListText(state, conventions);  // not one line per file each: read it all
        return;
    }
    const std::size_t lineStart = prefix == 0 ? std::string::npos : text.rfind('\n', prefix - 1);
    const std::size_t start = lineStart == std::string::npos ? 0 : lineStart + 1;
    const int first = 1 + static_cast<int>(LinesIn(text, 0, start));
    ParseLines(state, start, first, std::min(first + static_cast<int>(LinesIn(text, start, text.size() - suffix)), state.count),
               conventions);
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines) size += line.size() + 1;
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines) {
        if (!text.empty() || &line != &lines.front()) text += '\n';
        text += line;
    }
    return text;
}

}  // namespace quil
