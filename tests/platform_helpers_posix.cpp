#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "tests/platform_helpers.h"

namespace quil::testing {

void HideAndProtect(const std::string& path) { chmod(path.c_str(), 0444); }
void RemoveTree(const std::string& folder) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void WriteRaw(const std::string& path, const std::string& content) { std::ofstream(path, std::ios::binary) << content; }
void MakeFolderRaw(const std::string& path) { mkdir(path.c_str(), 0777); }
bool ExistsRaw(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::shared_ptr<void> HoldAgainstMoves(const std::string&) { return nullptr; }

bool HasChildProcess() {
    // ECHILD when there is none; with WNOHANG, 0 when one still runs.
    siginfo_t info{};
    return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0;
}

}  // namespace quil::testing
