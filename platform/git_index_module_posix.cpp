// OpenWorkTreeIndex through a module of our own (quil-git.so, which links
// libgit2), loaded the first time a folder may be in a work tree: libgit2
// and the fifteen libraries it brings (Kerberos, TLS, SSH) cost a start of
// quil more than everything else together, and most runs are in no
// repository at all.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/git_index.h"

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

// The program's own folder, where an installed quil-git.so lies below.
std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/') + 1);
}

// The installed module beside the program (bin/../lib/quillane), else the
// one this build made.
OpenIndex LoadModule() {
    for (const std::string& candidate : {ProgramFolder() + "../lib/quillane/quil-git.so", std::string(QUIL_GIT_MODULE)}) {
        void* module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);  // never closed: its objects live on
        if (module == nullptr) continue;
        if (auto open = reinterpret_cast<OpenIndex>(dlsym(module, "QuilOpenWorkTreeIndex"))) return open;
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<WorkTreeIndex> OpenWorkTreeIndex(const std::string& folder) {
    if (!MayBeInWorkTree(folder)) return nullptr;
    static const OpenIndex open = LoadModule();
    return std::unique_ptr<WorkTreeIndex>(open ? open(folder.c_str()) : nullptr);
}

}  // namespace quil
