// Reading a file's own bytes where they lie, and its times: what the
// metadata readers ask of a file. One implementation per platform
// (file_reader_posix.cpp), chosen by CMake; tests use an in-memory fake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace quil {

// An instant as the file system keeps it.
struct FileTime {
    std::int64_t seconds = 0;  // since 1970-01-01 UTC
    std::int32_t nanoseconds = 0;
};

// The times of one file. Each is absent where it cannot be had: error is
// then the errno value of the failed call (ENOENT, EACCES, ...), or 0 for a
// birth time the file system does not keep.
struct FileTimes {
    int error = 0;
    std::optional<FileTime> modified;
    std::optional<FileTime> birth;
};

// The outcome of one read: the bytes read (fewer than asked only at the end
// of the file), or the errno value of the failure.
struct ReadResult {
    std::size_t count = 0;
    int error = 0;
};

// A file open for reading. Reads at an offset leave no position behind, so
// one open file serves reads in any order, from one thread at a time.
class ReadableFile {
public:
    virtual ~ReadableFile() = default;
    // The size when the file was opened.
    virtual std::uint64_t Size() const = 0;
    virtual ReadResult ReadAt(std::uint64_t offset, void* buffer, std::size_t size) = 0;
};

// Safe to call from several threads at once.
class FileReader {
public:
    virtual ~FileReader() = default;
    // The file at path, opened for reading; null with error set to the
    // errno value when it cannot be (a folder is EISDIR).
    virtual std::unique_ptr<ReadableFile> Open(const std::string& path, int& error) = 0;
    // Its modification time and, where the file system keeps one, its
    // birth time; a final link is followed.
    virtual FileTimes Times(const std::string& path) = 0;
};

std::unique_ptr<FileReader> MakeSystemFileReader();

}  // namespace quil
