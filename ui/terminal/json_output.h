// The plan and the history as JSON, for scripts (quil --json).
//
// File names are bytes, JSON strings are Unicode: a byte that is not part
// of a UTF-8 character is written as the lone surrogate \udcXX (XX the
// byte), as Python's "surrogateescape" reads it, so that every name comes
// back byte for byte: json.loads(text) then name.encode("utf-8",
// "surrogateescape"). Lone surrogates are valid JSON text, though strict
// Unicode readers may refuse them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/journal.h"
#include "engine/plan_rows.h"

namespace quil::terminal {

// name as a JSON string, quotes included.
std::string JsonString(std::string_view name);

// {"root": ..., "changes": [{"action", "old", "new", "reason"}...],
//  "counts": {...}}, one change per line of the plan.
std::string PlanJson(const std::string& root, const std::vector<PlanRow>& rows);

// {"root": ..., "batches": [{"started", "root", "cwd", "undone",
//  "counts"}...]}, newest first.
std::string HistoryJson(const std::string& root, const std::vector<BatchJournal>& batches);

}  // namespace quil::terminal
