#include "engine/list_text.h"

#include "engine/path_rules.h"

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

void ParseListText(BatchState& state, const Conventions& conventions) {
    const std::string& root = state.root;
    const std::string_view lineBreak(conventions.lineBreak);
    const std::string& text = state.text;
    std::size_t position = 0;
    bool textLeft = true;
    for (int i = 1; i <= state.count; ++i) {
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

}  // namespace quil
