#include "platform/file_services.h"

namespace quil {

const Conventions kWindowsConventions{'\\', "\r\n", true, true};
const Conventions kPosixConventions{'/', "\n", false, false};

}  // namespace quil
