// POSIX file services: getcwd, opendir/readdir, renameat2(2), unlink(2), and
// xdg-open for the shell open.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/file_services.h"

extern char** environ;

namespace quil {
namespace {

OpResult ErrnoFailure(int code) { return OpResult::Failure(code, std::strerror(code)); }

// mkdir -p for the folder part of path, recording the folders it made.
bool CreateParentFolders(const std::string& path, std::vector<std::string>& created) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0777) == 0)
            created.push_back(std::move(folder));
        else if (errno != EEXIST)
            return false;
    }
    return true;
}

// rmdir(2) fails on a folder that is not empty, so only folders still as
// the failed move left them go.
void RemoveFolders(const std::vector<std::string>& created) {
    for (auto it = created.rbegin(); it != created.rend(); ++it) rmdir(it->c_str());
}

// rename(2) replaces an existing target. renameat2 with RENAME_NOREPLACE
// fails with EEXIST instead, atomically; file systems without it answer
// EINVAL, and there a check just before the rename has to do.
int RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL) return errno;
    struct stat info;
    if (lstat(to.c_str(), &info) == 0) return EEXIST;
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

class PosixFileServices final : public FileServices {
public:
    const Conventions& conventions() const override { return kPosixConventions; }

    bool CurrentFolder(std::string& folder) override {
        char* path = getcwd(nullptr, 0);  // glibc allocates what it needs
        if (path == nullptr) return false;
        folder = path;
        std::free(path);
        return true;
    }

    bool AbsolutePath(const std::string& path, std::string& absolute) override {
        char* resolved = realpath(path.c_str(), nullptr);
        if (resolved == nullptr) return false;
        absolute = resolved;
        std::free(resolved);
        return true;
    }

    bool ListFolder(const std::string& folder, const EntryVisitor& visit) override {
        DIR* dir = opendir(folder.c_str());
        if (dir == nullptr) return false;
        std::string full;
        bool complete = true;
        for (;;) {
            // readdir returns null both at the end and on an error; only an
            // error sets errno.
            errno = 0;
            const dirent* entry = readdir(dir);
            if (entry == nullptr) {
                complete = errno == 0;
                break;
            }
            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN) {
                // Some file systems leave the type out; a link to a folder is
                // still listed as a file, as find does.
                struct stat info;
                full.assign(folder).append(entry->d_name);
                isFolder = lstat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
            }
            if (!visit(entry->d_name, isFolder)) break;
        }
        closedir(dir);
        return complete;
    }

    OpResult Move(const std::string& from, const std::string& to, WindowHandle) override {
        int code = RenameNoReplace(from, to);
        // ENOENT also means a missing source; only a missing target folder is
        // worth creating.
        struct stat info;
        if (code == ENOENT && lstat(from.c_str(), &info) == 0) {
            std::vector<std::string> created;
            code = CreateParentFolders(to, created) ? RenameNoReplace(from, to) : errno;
            if (code != 0) RemoveFolders(created);
        }
        return code == 0 ? OpResult::Success() : ErrnoFailure(code);
    }

    OpResult Delete(const std::string& path, WindowHandle) override {
        if (unlink(path.c_str()) == 0) return OpResult::Success();
        return ErrnoFailure(errno);
    }

    void Open(const std::string& path, WindowHandle) override {
        // Not waited for, like the shell open on Windows: a shell starts
        // xdg-open in the background and ends at once, and is reaped here,
        // so no finished child is left behind.
        char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                        const_cast<char*>("xdg-open \"$1\" </dev/null >/dev/null 2>&1 &"),
                        const_cast<char*>("sh"), const_cast<char*>(path.c_str()), nullptr};
        pid_t pid;
        if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) == 0) {
            int status;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
    }

    PathKind Query(const std::string& path) override {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0) return PathKind::Missing;
        return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::File;
    }

    bool SameFile(const std::string& a, const std::string& b) override {
        struct stat infoA, infoB;
        return lstat(a.c_str(), &infoA) == 0 && lstat(b.c_str(), &infoB) == 0 &&
               infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
    }
};

}  // namespace

std::unique_ptr<FileServices> MakeSystemFileServices() {
    return std::make_unique<PosixFileServices>();
}

}  // namespace quil
