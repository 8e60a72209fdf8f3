// localtime_r(3) reads TZ and /etc/localtime once, and is thread-safe.
#include <ctime>

#include "platform/local_zone.h"

namespace quil {

int LocalOffsetSeconds(std::int64_t utcSeconds) {
    const std::time_t when = static_cast<std::time_t>(utcSeconds);
    struct tm local;
    if (localtime_r(&when, &local) == nullptr) return 0;
    return static_cast<int>(local.tm_gmtoff);
}

}  // namespace quil
