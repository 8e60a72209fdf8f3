#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/state_store.h"

namespace quil {
namespace {

// $XDG_STATE_HOME when it is absolute, as the base directory layout asks
// (a relative one is ignored); otherwise ~/.local/state.
std::string StateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/quillane";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/state/quillane";
}

std::string Reason(const std::string& what, int code) { return what + ": " + std::strerror(code); }

// mkdir -p, private to the user as the layout asks.
bool MakeFolders(const std::string& folder, std::string& error) {
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

class PosixAppendFile final : public AppendFile {
public:
    explicit PosixAppendFile(int fd) : fd_(fd) {}
    ~PosixAppendFile() override {
        Sync();
        close(fd_);
    }

    bool Append(const std::string& text) override { return WriteAll(fd_, text); }
    bool Sync() override { return fdatasync(fd_) == 0; }

private:
    int fd_;
};

class PosixLock final : public StoreLock {
public:
    explicit PosixLock(int fd) : fd_(fd) {}
    ~PosixLock() override { close(fd_); }  // and with it the flock

private:
    int fd_;
};

class PosixStateStore final : public StateStore {
public:
    std::unique_ptr<AppendFile> Create(const std::string& name, std::string& error) override {
        if (!MakeFolders(folder_, error)) return nullptr;
        const int fd = open(Where(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0) {
            error = Reason(Where(name), errno);
            return nullptr;
        }
        // The new name itself must survive a power cut.
        if (const int dir = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
            fsync(dir);
            close(dir);
        }
        return std::make_unique<PosixAppendFile>(fd);
    }

    std::unique_ptr<AppendFile> Reopen(const std::string& name, std::string& error) override {
        const int fd = open(Where(name).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0) {
            error = Reason(Where(name), errno);
            return nullptr;
        }
        return std::make_unique<PosixAppendFile>(fd);
    }

    bool Read(const std::string& name, std::string& text, std::size_t limit) override {
        const int fd = open(Where(name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        text.clear();
        char buffer[65536];
        for (;;) {
            std::size_t want = sizeof buffer;
            if (limit != 0) want = std::min(want, limit - text.size());
            if (want == 0) break;
            const ssize_t got = read(fd, buffer, want);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            text.append(buffer, static_cast<std::size_t>(got));
        }
        close(fd);
        return true;
    }

    std::vector<std::string> List(const std::string& suffix) override {
        std::vector<std::string> names;
        DIR* dir = opendir(folder_.c_str());
        if (dir == nullptr) return names;
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                names.push_back(name);
        }
        closedir(dir);
        return names;
    }

    bool Remove(const std::string& name) override { return unlink(Where(name).c_str()) == 0 || errno == ENOENT; }

    std::unique_ptr<StoreLock> TryLock(const std::string& name, bool& busy) override {
        busy = false;
        std::string error;
        if (!MakeFolders(folder_, error)) return nullptr;
        const int fd = open(Where(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return nullptr;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            busy = errno == EWOULDBLOCK;
            close(fd);
            return nullptr;
        }
        return std::make_unique<PosixLock>(fd);
    }

    std::string Where(const std::string& name) const override { return folder_ + "/" + name; }

private:
    const std::string folder_ = StateFolder();
};

}  // namespace

std::unique_ptr<StateStore> MakeSystemStateStore() { return std::make_unique<PosixStateStore>(); }

}  // namespace quil
