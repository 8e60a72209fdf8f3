// The order the desktop's file managers show names in: runs of digits
// compare as numbers ("img2" before "img10"), letters without their case
// first ("a.txt", "B.txt", "c.txt"), and names equal so far by their bytes,
// so that the order is total and stable. On bytes, for speed: letters
// beyond ASCII compare by code point (the order of their UTF-8 bytes).
#pragma once

#include <string>
#include <string_view>

namespace quil {

// Negative, zero or positive as a sorts before, with or after b.
int CompareNatural(std::string_view a, std::string_view b);

inline bool NaturalLess(std::string_view a, std::string_view b) { return CompareNatural(a, b) < 0; }

// Appends to out a key whose byte order is the natural order of names:
// keys compare with memcmp, which sorting a large folder needs (a name is
// made into a key once, where comparisons are made n log n times).
void AppendNaturalKey(std::string_view name, std::string& out);

}  // namespace quil
