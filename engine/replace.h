// Find and replace over the whole list text, and the prefix for every line.
#pragma once

#include <string>
#include <string_view>

#include "engine/batch_state.h"
#include "platform/code_page.h"
#include "platform/file_services.h"

namespace quil {

// The find and replacement fields are read into buffers of this size, in
// characters as the platform counts them.
constexpr std::size_t kFieldChars = 256;

// Replaces every occurrence of old (not empty) in text, left to right, not
// overlapping, resuming behind the inserted text. Built in one pass, so the
// cost grows linearly with the text. A match never begins on a trail byte.
void ReplaceAll(std::string& text, std::string_view old, std::string_view replacement,
                LeadBytePredicate isLeadByte = nullptr);

// The Replace command on state.text: replace mode for a non-empty find,
// otherwise with is put at the start of every line that is not empty (an
// emptied line stays marked for deletion). Always sets replaced.
void ApplyReplace(BatchState& state, std::string_view find, std::string_view with,
                  const Conventions& conventions, LeadBytePredicate isLeadByte = nullptr);

}  // namespace quil
