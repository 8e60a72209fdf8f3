// The active 8-bit code page, as far as text matching needs to know it.
#pragma once

namespace quil {

// True for a lead byte of a double-byte character.
using LeadBytePredicate = bool (*)(unsigned char);

// The lead-byte test of the active code page, or null where the code page
// has no lead bytes (single-byte code pages, UTF-8, POSIX).
LeadBytePredicate ActiveLeadBytes();

}  // namespace quil
