#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/base_folders.h"
#include "platform/config_store.h"

namespace quil {
namespace {

// ~/.config/quillane unless $XDG_CONFIG_HOME says otherwise.
std::string ConfigFolder() { return BaseFolder("XDG_CONFIG_HOME", ".config"); }

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
        if (!MakePrivateFolders(ConfigFolder(), error)) return false;
        const std::string path = Where(name), temporary = path + ".new";
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) {
            error = Reason(temporary, errno);
            return false;
        }
        const bool written = WriteAll(fd, text) && fsync(fd) == 0;
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
