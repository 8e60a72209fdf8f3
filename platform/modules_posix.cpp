#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "platform/modules.h"

namespace quil {
namespace {

// The program's own folder, where an installed module lies below.
std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/') + 1);
}

}  // namespace

void* ModuleEntry(const char* module, const char* symbol, std::string& failure) {
    // The installed module beside the program (bin/../lib/quillane), else
    // the one this build made.
    const std::string file = std::string(module) + ".so";
    for (const std::string& candidate : {ProgramFolder() + "../lib/quillane/" + file, QUIL_MODULE_FOLDER "/" + file}) {
        void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            failure = dlerror();
            continue;
        }
        if (void* entry = dlsym(handle, symbol)) return entry;
        failure = file + " has no " + symbol;
    }
    return nullptr;
}

}  // namespace quil
