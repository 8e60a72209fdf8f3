#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/base_folders.h"
#include "platform/state_store.h"

namespace quil {
namespace {

// ~/.local/state/quillane unless $XDG_STATE_HOME says otherwise.
std::string StateFolder() { return BaseFolder("XDG_STATE_HOME", ".local/state"); }

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
        if (!MakePrivateFolders(folder_, error)) return nullptr;
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
        if (!MakePrivateFolders(folder_, error)) return nullptr;
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
