// Platform helpers for the contract tests: files that the scan must take
// although the platform marks them hidden, system or read-only.
#pragma once

#include <string>

namespace quil::testing {

void HideAndProtect(const std::string& path);
// Lifts what HideAndProtect set below folder, so that it can be removed.
void ClearAttributes(const std::string& folder);

}  // namespace quil::testing
