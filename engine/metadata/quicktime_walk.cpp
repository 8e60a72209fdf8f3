// QuickTime and MP4 movies (MOV, MP4, M4V, 3GP): inside moov, the movie
// header mvhd holds the creation time in seconds since 1904 UTC; Apple's
// devices also write com.apple.quicktime.creationdate, with its offset, in
// moov/meta as a key (keys) and its value (ilst); other writers put that
// meta in moov/udta. Only the headers of
// moov's children are read on the way: never the media, nor the tracks.
#include <algorithm>

#include "engine/metadata/byte_order.h"
#include "engine/metadata/iso_boxes.h"

namespace quil::metadata {
namespace {

constexpr std::string_view kCreationDateKey = "com.apple.quicktime.creationdate";
constexpr std::uint32_t kUtf8 = 1;  // the well-known type of a data atom's text

void ReadMovieHeader(BoundedFile& file, const Box& mvhd, ContainerFindings& found) {
    // Its version, flags and creation time: 32 bits in version 0, 64 in 1.
    const Range header = file.Get(mvhd.body, static_cast<std::size_t>(std::min<std::uint64_t>(mvhd.end - mvhd.body, 12)));
    if (!header.ok()) return void(Failed(header, "its movie header", found));
    const bool wide = !header.bytes.empty() && Byte(header.bytes, 0) == 1;
    if (header.bytes.size() < (wide ? 12u : 8u)) {
        found.problem = "the movie header is cut short";
        return;
    }
    const std::uint64_t created = wide ? Big64(header.bytes, 4) : Big32(header.bytes, 4);
    // 0 is "not set"; a time past year 9999 is no time a camera wrote.
    if (created != 0 && created < 253402300800u + kQuickTimeEpochOffset)
        found.movieCreatedUtc = static_cast<std::int64_t>(created) - kQuickTimeEpochOffset;
}

// The 1-based index of the creation date among the keys; 0 where absent.
std::uint32_t CreationDateKey(std::string_view meta, const Box& keys) {
    if (keys.end - keys.body < 8) return 0;
    const std::uint32_t count = Big32(meta, static_cast<std::size_t>(keys.body) + 4);
    std::size_t at = static_cast<std::size_t>(keys.body) + 8;
    for (std::uint32_t index = 1; index <= count && at + 8 <= keys.end; ++index) {
        const std::uint32_t size = Big32(meta, at);  // of the entry, its size and namespace included
        if (size < 8 || size > keys.end - at) return 0;
        if (meta.substr(at + 4, 4) == "mdta" && meta.substr(at + 8, size - 8) == kCreationDateKey) return index;
        at += size;
    }
    return 0;
}

// The text of the ilst item for key: its data atom of type UTF-8.
std::string ValueOf(std::string_view meta, const Box& ilst, std::uint32_t key) {
    std::string value;
    ForEachBox(meta.substr(0, static_cast<std::size_t>(ilst.end)), static_cast<std::size_t>(ilst.body), [&](const Box& item) {
        if (Big32(item.type, 0) != key) return true;
        ForEachBox(meta.substr(0, static_cast<std::size_t>(item.end)), static_cast<std::size_t>(item.body), [&](const Box& data) {
            if (data.type != "data" || data.end - data.body < 8) return true;
            if (Big32(meta, static_cast<std::size_t>(data.body)) != kUtf8) return true;
            value = meta.substr(static_cast<std::size_t>(data.body) + 8, static_cast<std::size_t>(data.end - data.body - 8));
            return false;
        });
        return false;
    });
    return value;
}

void ReadAppleMeta(BoundedFile& file, const Box& box, ContainerFindings& found) {
    const Range bytes = file.Get(box.start, static_cast<std::size_t>(box.end - box.start));
    if (!bytes.ok()) return void(Failed(bytes, "its meta atom", found));
    const std::string_view meta = bytes.bytes;
    std::size_t first = static_cast<std::size_t>(box.body - box.start);
    // QuickTime's meta atom has no version and flags, the ISO meta box has:
    // its first child, hdlr, says which.
    if (Slice(meta, first + 4, 4) != "hdlr") first += 4;
    std::optional<Box> keys, ilst;
    ForEachBox(meta, first, [&](const Box& child) {
        if (child.type == "keys") keys = child;
        else if (child.type == "ilst") ilst = child;
        return true;
    });
    if (!keys || !ilst) return;
    if (const std::uint32_t key = CreationDateKey(meta, *keys); key != 0)
        found.quickTimeCreationDate = ValueOf(meta, *ilst, key);
}

}  // namespace

void WalkQuickTime(BoundedFile& file, ContainerFindings& found) {
    ForEachBox(file, 0, file.size(), found, [&](const Box& top) {
        if (top.type != "moov") return true;
        ForEachBox(file, top.body, top.end, found, [&](const Box& child) {
            if (child.type == "mvhd") ReadMovieHeader(file, child, found);
            else if (child.type == "meta") ReadAppleMeta(file, child, found);
            else if (child.type == "udta")
                ForEachBox(file, child.body, child.end, found, [&](const Box& data) {
                    if (data.type == "meta") ReadAppleMeta(file, data, found);
                    return found.problem.empty();
                });
            return found.problem.empty();
        });
        return false;  // one movie per file
    });
}

}  // namespace quil::metadata
