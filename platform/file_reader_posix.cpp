// open(2) and pread(2) for the bytes; statx(2) for the times, whose birth
// time only some file systems keep (ext4, btrfs, xfs, tmpfs since 5.x).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_reader.h"

namespace quil {
namespace {

class PosixReadableFile final : public ReadableFile {
public:
    PosixReadableFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~PosixReadableFile() override { close(fd_); }

    std::uint64_t Size() const override { return size_; }

    ReadResult ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        ReadResult result;
        auto* bytes = static_cast<char*>(buffer);
        while (result.count < size) {
            const ssize_t got = pread(fd_, bytes + result.count, size - result.count,
                                      static_cast<off_t>(offset + result.count));
            if (got > 0) {
                result.count += static_cast<std::size_t>(got);
            } else if (got == 0) {
                break;  // the end of the file
            } else if (errno != EINTR) {
                result.error = errno;
                break;
            }
        }
        return result;
    }

private:
    int fd_;
    std::uint64_t size_;
};

FileTime TimeOf(const struct statx_timestamp& stamp) { return {stamp.tv_sec, static_cast<std::int32_t>(stamp.tv_nsec)}; }

class PosixFileReader final : public FileReader {
public:
    std::unique_ptr<ReadableFile> Open(const std::string& path, int& error) override {
        // O_NONBLOCK: a named pipe among the files must not hold the open up
        // (it is then refused as no regular file). O_NOATIME where the file
        // is ours: reading its metadata is no use of the file.
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOATIME);
        if (fd < 0 && errno == EPERM) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            error = errno;
            return nullptr;
        }
        struct stat info;
        error = fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : !S_ISREG(info.st_mode) ? EINVAL : 0;
        if (error != 0) {
            close(fd);
            return nullptr;
        }
        return std::make_unique<PosixReadableFile>(fd, static_cast<std::uint64_t>(info.st_size));
    }

    FileTimes Times(const std::string& path) override {
        FileTimes times;
        struct statx info;
        if (statx(AT_FDCWD, path.c_str(), 0, STATX_MTIME | STATX_BTIME, &info) != 0) {
            times.error = errno;
            return times;
        }
        if (info.stx_mask & STATX_MTIME) times.modified = TimeOf(info.stx_mtime);
        if (info.stx_mask & STATX_BTIME) times.birth = TimeOf(info.stx_btime);
        return times;
    }
};

}  // namespace

std::unique_ptr<FileReader> MakeSystemFileReader() { return std::make_unique<PosixFileReader>(); }

}  // namespace quil
