#include "platform/code_page.h"

namespace quil {

// File names are UTF-8 here, and no UTF-8 character begins with a
// continuation byte, so a match of a whole-character pattern always starts
// on a character boundary.
LeadBytePredicate ActiveLeadBytes() { return nullptr; }

}  // namespace quil
