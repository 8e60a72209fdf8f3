// A file's bytes as the container walkers ask for them: whole ranges or a
// reason, never a part of one, and never more than kReadLimit bytes read
// from one file, whatever its boxes and segments say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_reader.h"

namespace quil::metadata {

constexpr std::size_t kReadLimit = 256 * 1024;
// The first read: a JPEG's APP1 segment is at most 64 KiB and follows its
// SOI and perhaps an APP0 of a few bytes, so that photos need no second
// read, nor a copy of what the first one held.
constexpr std::size_t kFirstRead = 68 * 1024;
// Later reads take this much past what they need, so that the header of
// the next box or segment comes with the same read.
constexpr std::size_t kReadAhead = 4 * 1024;

enum class RangeStatus {
    Ok,
    PastEnd,    // the range runs past the end of the file
    OverLimit,  // reading it would pass kReadLimit
    ReadFailed, // the read itself failed (error holds errno)
};

struct Range {
    RangeStatus status = RangeStatus::Ok;
    std::string_view bytes;  // valid while the BoundedFile lives
    int error = 0;
    bool ok() const { return status == RangeStatus::Ok; }
};

class BoundedFile {
public:
    explicit BoundedFile(ReadableFile& file) : file_(file), size_(file.Size()) {}

    std::uint64_t size() const { return size_; }
    std::size_t bytesRead() const { return bytesRead_; }

    // The length bytes at offset, from what was read before where they lie
    // there, else from a new read.
    Range Get(std::uint64_t offset, std::size_t length);

    // Keeps bytes a walker assembled (a block in several pieces, a copy it
    // changed) for as long as the file's other bytes, and returns them.
    std::string_view Keep(std::string bytes);

private:
    // Bytes read at offset. Not a std::string: the bytes are read into the
    // buffer, and a string would first fill it with zeros.
    struct Window {
        std::uint64_t offset;
        std::unique_ptr<char[]> bytes;
        std::size_t size;
        std::string_view View() const { return {bytes.get(), size}; }
    };
    ReadableFile& file_;
    std::uint64_t size_;
    std::size_t bytesRead_ = 0;
    // Deques keep the bytes handed out in place as they grow.
    std::deque<Window> windows_;
    std::deque<std::string> kept_;
};

// Why a range could not be had, for a row note.
std::string DescribeFailure(const Range& range);

}  // namespace quil::metadata
