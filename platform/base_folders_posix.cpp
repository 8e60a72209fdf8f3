#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/base_folders.h"

namespace quil {

std::string BaseFolder(const char* variable, const char* fallback) {
    const char* base = std::getenv(variable);
    if (base != nullptr && base[0] == '/') return std::string(base) + "/quillane";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/" + fallback + "/quillane";
}

bool MakePrivateFolders(const std::string& folder, std::string& error) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        struct stat info;
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = Reason(part, errno);
            return false;
        }
        if (stat(part.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            error = Reason(part, ENOTDIR);
            return false;
        }
        if (slash == std::string::npos) return true;
    }
}

bool WriteAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

std::string Reason(const std::string& what, int code) { return what + ": " + std::strerror(code); }

}  // namespace quil
