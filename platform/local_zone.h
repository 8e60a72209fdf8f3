// The offset of the local time zone from UTC at an instant, as the system's
// zone rules give it (summer time included).
#pragma once

#include <cstdint>

namespace quil {

// Seconds east of UTC at utcSeconds (since 1970-01-01 UTC). Safe to call
// from several threads at once.
int LocalOffsetSeconds(std::int64_t utcSeconds);

}  // namespace quil
