#include "engine/metadata/bounded_file.h"

#include <algorithm>
#include <cstring>

namespace quil::metadata {

Range BoundedFile::Get(std::uint64_t offset, std::size_t length) {
    if (offset > size_ || length > size_ - offset) return {RangeStatus::PastEnd, {}, 0};
    const Window* partly = nullptr;  // holds the start of the range, not its end
    for (const Window& window : windows_) {
        const std::uint64_t end = window.offset + window.bytes.size();
        if (offset < window.offset || offset > end) continue;
        if (offset + length <= end)
            return {RangeStatus::Ok, std::string_view(window.bytes).substr(offset - window.offset, length), 0};
        partly = &window;
    }
    // Only what is not held yet is read: the rest of a range that starts in
    // a window is copied from it.
    const std::string held = partly ? partly->bytes.substr(offset - partly->offset) : std::string();
    const std::uint64_t from = offset + held.size();
    const std::size_t needed = length - held.size(), left = kReadLimit - bytesRead_;
    if (needed > left) return {RangeStatus::OverLimit, {}, 0};
    // The first read takes the start of the file; later ones a little past
    // what they need, for the header that follows.
    const std::size_t wanted = windows_.empty() ? std::max(needed, kFirstRead) : needed + kReadAhead;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(std::min(wanted, left), size_ - from));
    Window& window = windows_.emplace_back(Window{offset, held});
    window.bytes.resize(held.size() + count);
    const ReadResult read = file_.ReadAt(from, window.bytes.data() + held.size(), count);
    bytesRead_ += read.count;
    window.bytes.resize(held.size() + read.count);
    if (read.error != 0) return {RangeStatus::ReadFailed, {}, read.error};
    // Shorter than its size said: the file shrank since it was opened.
    if (window.bytes.size() < length) return {RangeStatus::PastEnd, {}, 0};
    return {RangeStatus::Ok, std::string_view(window.bytes).substr(0, length), 0};
}

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
