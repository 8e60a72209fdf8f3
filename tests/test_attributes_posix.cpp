#include <sys/stat.h>

#include "tests/test_attributes.h"

namespace quil::testing {

void HideAndProtect(const std::string& path) { chmod(path.c_str(), 0444); }
void ClearAttributes(const std::string&) {}

}  // namespace quil::testing
