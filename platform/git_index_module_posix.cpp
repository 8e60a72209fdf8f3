// OpenWorkTreeIndex through a module of our own (quil-git.so, which links
// libgit2), loaded the first time a folder may be in a work tree: libgit2
// and the fifteen libraries it brings (Kerberos, TLS, SSH) cost a start of
// quil more than everything else together, and most runs are in no
// repository at all.
#include <sys/stat.h>

#include "platform/git_index.h"
#include "platform/modules.h"

namespace quil {
namespace {

using OpenIndex = WorkTreeIndex* (*)(const char* folder);

// Whether folder or a folder above it holds a .git (a folder, or the file
// of a linked work tree or submodule), as libgit2 looks for one; it may
// still not be a repository, which libgit2 then says.
bool MayBeInWorkTree(std::string folder) {
    while (!folder.empty() && folder.back() == '/') folder.pop_back();
    for (;;) {
        struct stat info;
        if (lstat((folder + "/.git").c_str(), &info) == 0) return true;
        const std::size_t slash = folder.rfind('/');
        if (slash == std::string::npos || folder.empty()) return false;
        folder.erase(slash);
    }
}

}  // namespace

std::unique_ptr<WorkTreeIndex> OpenWorkTreeIndex(const std::string& folder) {
    if (!MayBeInWorkTree(folder)) return nullptr;
    static const OpenIndex open = [] {
        std::string failure;  // a broken install: no index is followed, as outside a work tree
        return reinterpret_cast<OpenIndex>(ModuleEntry("quil-git", "QuilOpenWorkTreeIndex", failure));
    }();
    return std::unique_ptr<WorkTreeIndex>(open ? open(folder.c_str()) : nullptr);
}

}  // namespace quil
