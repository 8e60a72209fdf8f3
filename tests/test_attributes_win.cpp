#include <windows.h>

#include <filesystem>

#include "tests/test_attributes.h"

namespace quil::testing {

// Hidden and system only: a read-only file cannot be deleted by the file
// operation, which the temporary folder's clean-up needs.
void HideAndProtect(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

void ClearAttributes(const std::string& folder) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored))
        SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace quil::testing
