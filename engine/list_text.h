// The list text: one path relative to the root per line, line k for slot
// k + 1, and the rule that keeps it at one line per file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/batch_state.h"
#include "engine/dialog_ops.h"
#include "platform/file_services.h"

namespace quil {

// The lines of a text: it is split at each line feed, and a line feed at
// its very end ends the last line rather than beginning another, as a
// file's lines end ("a\nb\n" and "a\nb" are two lines, "a\n\n" two, the
// second empty; "" none). A text whose lines are only separated, as the
// names box holds them, is split with a line feed added at its end.
std::vector<std::string> SplitLines(std::string_view text);
// The lines separated by line feeds, with none after the last.
std::string JoinLines(const std::vector<std::string>& lines);

// Fills the still empty text from oldPaths[1..count].
void BuildListText(BatchState& state, const Conventions& conventions);

// Runs on every change of the names box: an edit that changed the number of
// lines is undone, and cannot be redone.
void CheckLineCount(BatchState& state, DialogOps& namesBox);

// Fills newPaths[1..count] from text: root + line in canonical form, or
// empty (delete) for an empty line. Slots past the end of a short text keep
// their listed path.
void ParseListText(BatchState& state, const Conventions& conventions);

// As ParseListText, for a text that changed from before, which was parsed
// into newPaths: only the lines between the first and the last byte that
// differ are read again. What a preview needs after a key press among a
// million lines. Both texts hold one line per file.
void ReparseChangedLines(BatchState& state, const std::string& before, const Conventions& conventions);

}  // namespace quil
