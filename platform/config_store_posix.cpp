#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/config_store.h"

namespace quil {
namespace {

// $XDG_CONFIG_HOME when it is absolute, as the base directory layout asks
// (a relative one is ignored); otherwise ~/.config.
std::string ConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return std::string(config) + "/quillane";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/quillane";
}

std::string Reason(const std::string& what, int code) { return what + ": " + std::strerror(code); }

bool MakeFolders(const std::string& folder, std::string& error) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = Reason(part, errno);
            return false;
        }
        if (slash == std::string::npos) return true;
    }
}

bool WriteWhole(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

class SystemConfigStore : public ConfigStore {
public:
    bool Read(const std::string& name, std::string& text, std::string& error) override {
        text.clear();
        const int fd = open(Where(name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT) return true;
            error = Reason(Where(name), errno);
            return false;
        }
        char buffer[65536];
        ssize_t got;
        while ((got = read(fd, buffer, sizeof buffer)) != 0) {
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                error = Reason(Where(name), errno);
                close(fd);
                return false;
            }
            text.append(buffer, static_cast<std::size_t>(got));
        }
        close(fd);
        return true;
    }

    bool Write(const std::string& name, const std::string& text, std::string& error) override {
        if (!MakeFolders(ConfigFolder(), error)) return false;
        const std::string path = Where(name), temporary = path + ".new";
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) {
            error = Reason(temporary, errno);
            return false;
        }
        const bool written = WriteWhole(fd, text) && fsync(fd) == 0;
        const int code = errno;
        if (close(fd) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
            error = Reason(path, written ? errno : code);
            unlink(temporary.c_str());
            return false;
        }
        return true;
    }

    std::string Where(const std::string& name) const override { return ConfigFolder() + "/" + name; }
};

}  // namespace

std::unique_ptr<ConfigStore> MakeSystemConfigStore() { return std::make_unique<SystemConfigStore>(); }

}  // namespace quil
