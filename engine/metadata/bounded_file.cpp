#include "engine/metadata/bounded_file.h"

#include <algorithm>
#include <cstring>

namespace quil::metadata {

Range BoundedFile::Get(std::uint64_t offset, std::size_t length) {
    if (offset > size_ || length > size_ - offset) return {RangeStatus::PastEnd, {}, 0};
    std::string_view held;  // the start of the range, where a window holds it and not its end
    for (const Window& window : windows_) {
        const std::uint64_t end = window.offset + window.size;
        if (offset < window.offset || offset > end) continue;
        const std::string_view bytes = window.View().substr(offset - window.offset);
        if (bytes.size() >= length) return {RangeStatus::Ok, bytes.substr(0, length), 0};
        held = bytes;
    }
    // Only what is not held yet is read: the rest of the range is copied
    // from the window that holds its start.
    const std::uint64_t from = offset + held.size();
    const std::size_t needed = length - held.size(), left = kReadLimit - bytesRead_;
    if (needed > left) return {RangeStatus::OverLimit, {}, 0};
    // The first read takes the start of the file; later ones a little past
    // what they need, for the header that follows.
    const std::size_t wanted = windows_.empty() ? std::max(needed, kFirstRead) : needed + kReadAhead;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(std::min(wanted, left), size_ - from));
    Window& window = windows_.emplace_back(Window{offset, std::unique_ptr<char[]>(new char[held.size() + count]), held.size()});
    held.copy(window.bytes.get(), held.size());
    const ReadResult read = file_.ReadAt(from, window.bytes.get() + held.size(), count);
    bytesRead_ += read.count;
    window.size += read.count;
    if (read.error != 0) return {RangeStatus::ReadFailed, {}, read.error};
    // Shorter than its size said: the file shrank since it was opened.
    if (window.size < length) return {RangeStatus::PastEnd, {}, 0};
    return {RangeStatus::Ok, window.View().substr(0, length), 0};
}

std::string_view BoundedFile::Keep(std::string bytes) { return kept_.emplace_back(std::move(bytes)); }

std::string DescribeFailure(const Range& range) {
    switch (range.status) {
        case RangeStatus::Ok: return {};
        case RangeStatus::PastEnd: return "the file ends early";
        case RangeStatus::OverLimit: return "the metadata lies past the first 256 KiB read";
        case RangeStatus::ReadFailed: return std::string("cannot be read: ") + std::strerror(range.error);
    }
    return {};
}

}  // namespace quil::metadata
