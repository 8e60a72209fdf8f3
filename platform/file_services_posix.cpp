// POSIX file services: getcwd, opendir/readdir, renameat2(2), unlink(2), and
// xdg-open for the shell open.
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
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

// statfs(2) f_type of the file systems whose rules matter here.
constexpr long kMsdosMagic = 0x4d44;         // vfat, msdos
constexpr long kExfatMagic = 0x2011BAB0;     // the kernel's exfat
constexpr long kFuseMagic = 0x65735546;      // exfat-fuse, ntfs-3g, ...
constexpr long kCifsMagic = 0xFF534D42;
constexpr long kSmb2Magic = 0xFE534D42;
constexpr long kNtfs3Magic = 0x7366746E;

// What a file system says of its names: whether inode numbers last (vfat
// and exfat number inodes as they are read in, FUSE hands out its own), and
// whether it may fold case without any per-folder flag to say so.
struct FileSystemTraits {
    bool stableInodes;
    bool mayFoldCase;
};

FileSystemTraits TraitsOf(long type) {
    switch (type) {
        case kMsdosMagic:
        case kExfatMagic:
        case kFuseMagic: return {false, true};
        case kCifsMagic:
        case kSmb2Magic: return {false, true};
        case kNtfs3Magic: return {true, true};
        default: return {true, false};
    }
}

std::string FlipAsciiCase(std::string name) {
    for (char& ch : name) {
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
        else if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    }
    return name;
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

    // Every name is bytes here, and the program's text holds any bytes.
    bool ListFolder(const std::string& folder, const EntryVisitor& visit, int* = nullptr) override {
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

    PathInfo Lookup(const std::string& path) override {
        PathInfo result;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0) return result;
        result.kind = S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::File;
        result.device = info.st_dev;
        FileIdentity& identity = result.identity;
        identity.known = true;
        identity.device = info.st_dev;
        identity.inode = info.st_ino;
        identity.size = static_cast<std::uint64_t>(info.st_size);
        identity.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        identity.stableInode = Traits(info.st_dev, path).stableInodes;
        FolderAttributes& attributes = result.attributes;
        attributes.known = true;
        attributes.mode = info.st_mode & 07777;
        attributes.owner = info.st_uid;
        attributes.group = info.st_gid;
        attributes.accessed = static_cast<std::int64_t>(info.st_atim.tv_sec) * 1000000000 + info.st_atim.tv_nsec;
        attributes.modified = identity.modified;
        return result;
    }

    // ext4, f2fs and tmpfs fold case per folder, marked by FS_CASEFOLD_FL;
    // vfat, exfat and network or FUSE file systems may fold everywhere, and
    // whether they do is learnt from the folder itself: a name it holds,
    // looked up in another case that it does not hold, is found.
    bool FoldsCase(const std::string& folder) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (auto it = folds_.find(folder); it != folds_.end()) return it->second;
        }
        const bool folds = LearnFolding(folder);
        std::lock_guard<std::mutex> lock(mutex_);
        folds_.emplace(folder, folds);
        return folds;
    }

    OpResult MakeFolder(const std::string& path) override {
        if (mkdir(path.c_str(), 0777) == 0) return OpResult::Success();
        return ErrnoFailure(errno);
    }

    OpResult RemoveFolder(const std::string& path) override {
        if (rmdir(path.c_str()) == 0) return OpResult::Success();
        return ErrnoFailure(errno);
    }

    // The owner first: chown(2) clears the set-user-ID and set-group-ID
    // bits, which the final chmod puts back.
    OpResult SetAttributes(const std::string& path, const FolderAttributes& attributes, Filling filling) override {
        if (!attributes.known) return OpResult::Success();
        if (filling == Filling::Started) {
            if (geteuid() == 0 && lchown(path.c_str(), attributes.owner, attributes.group) != 0) return ErrnoFailure(errno);
            return chmod(path.c_str(), S_IRWXU) == 0 ? OpResult::Success() : ErrnoFailure(errno);
        }
        if (chmod(path.c_str(), attributes.mode) != 0) return ErrnoFailure(errno);
        const timespec stamps[2] = {{attributes.accessed / 1000000000, attributes.accessed % 1000000000},
                                    {attributes.modified / 1000000000, attributes.modified % 1000000000}};
        if (utimensat(AT_FDCWD, path.c_str(), stamps, AT_SYMLINK_NOFOLLOW) != 0) return ErrnoFailure(errno);
        return OpResult::Success();
    }

private:
    FileSystemTraits Traits(dev_t device, const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (auto it = traits_.find(device); it != traits_.end()) return it->second;
        struct statfs info;
        const FileSystemTraits traits = statfs(path.c_str(), &info) == 0 ? TraitsOf(info.f_type) : FileSystemTraits{true, false};
        traits_.emplace(device, traits);
        return traits;
    }

    bool LearnFolding(const std::string& folder) {
        const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return false;
        int flags = 0;
        const bool casefold = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL) != 0;
        struct stat info;
        const bool mayFold = fstat(fd, &info) == 0 && Traits(info.st_dev, folder).mayFoldCase;
        close(fd);
        if (casefold) return true;
        if (!mayFold) return false;
        std::unordered_set<std::string> names;
        ListFolder(folder.back() == '/' ? folder : folder + '/', [&](const char* name, bool) {
            names.insert(name);
            return true;
        });
        for (const std::string& name : names) {
            const std::string flipped = FlipAsciiCase(name);
            if (flipped == name || names.count(flipped) != 0) continue;
            struct stat other;
            return lstat(((folder.back() == '/' ? folder : folder + '/') + flipped).c_str(), &other) == 0;
        }
        // Nothing to learn from (no name with a letter): the FAT family folds.
        return true;
    }

    std::mutex mutex_;  // the window plans on a worker thread
    std::unordered_map<dev_t, FileSystemTraits> traits_;
    std::unordered_map<std::string, bool> folds_;
};

}  // namespace

std::unique_ptr<FileServices> MakeSystemFileServices() {
    return std::make_unique<PosixFileServices>();
}

}  // namespace quil
