#include "platform/file_services.h"

namespace quil {

// MAX_PATH is 260 with its terminating zero (and the file operation's own
// buffers, 1024, are larger); PATH_MAX is 4096. NTFS and ext4 take names of
// 255.
const Conventions kWindowsConventions{'\\', "\r\n", true, true, 259, 255};
const Conventions kPosixConventions{'/', "\n", false, false, 4095, 255};

}  // namespace quil
