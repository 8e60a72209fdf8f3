#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/state_store.h"

namespace quil {
namespace {

// $XDG_STATE_HOME when it is absolute, as the base directory layout asks;
// otherwise ~/.local/state.
std::string StateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/quillane";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/state/quillane";
}

bool MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
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

class PosixStateStore final : public StateStore {
public:
    bool Append(const std::string& name, const std::string& text, bool durable) override {
        if (!MakeFolders(folder_)) return false;
        const int fd = open(Where(name).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        const bool ok = WriteAll(fd, text) && (!durable || fdatasync(fd) == 0);
        return close(fd) == 0 && ok;
    }

    bool Read(const std::string& name, std::string& text) override {
        std::ifstream in(Where(name), std::ios::binary);
        if (!in) return false;
        std::ostringstream content;
        content << in.rdbuf();
        text = content.str();
        return true;
    }

    // A new file renamed over the old one: a reader sees the old record or
    // the new one, never half of it.
    bool Write(const std::string& name, const std::string& text) override {
        if (!MakeFolders(folder_)) return false;
        const std::string temporary = Where(name) + ".new";
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        const bool ok = WriteAll(fd, text) && fdatasync(fd) == 0;
        if (close(fd) != 0 || !ok) return false;
        return rename(temporary.c_str(), Where(name).c_str()) == 0;
    }

    bool Remove(const std::string& name) override { return unlink(Where(name).c_str()) == 0 || errno == ENOENT; }

    std::string Where(const std::string& name) const override { return folder_ + "/" + name; }

private:
    const std::string folder_ = StateFolder();
};

}  // namespace

std::unique_ptr<StateStore> MakeSystemStateStore() { return std::make_unique<PosixStateStore>(); }

}  // namespace quil
