// What narrows a listing of files in the Linux editions: kinds of files by
// their extensions, sizes, and modification times. The files it leaves out
// are never planned, journaled or touched: a folder that still holds them
// is kept, as for any entry the list does not name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_services.h"

namespace quil {

struct ListFilter {
    std::vector<std::string> extensions;   // lower case, without the dot; empty: any
    std::optional<std::uint64_t> larger;   // bytes: more than
    std::optional<std::uint64_t> smaller;  // bytes: less than
    std::optional<std::int64_t> newer;     // modified after, nanoseconds since 1970
    std::optional<std::int64_t> older;     // modified before
    // Taken after and before: wall-clock times (a camera's clock has no
    // zone) as seconds since 1970 read as UTC. Files without a date taken
    // are left out. Read from inside the files, after the listing.
    std::optional<std::int64_t> takenAfter;
    std::optional<std::int64_t> takenBefore;

    // What the listing itself narrows by.
    bool Active() const { return !extensions.empty() || larger || smaller || newer || older; }
    bool ByDateTaken() const { return takenAfter || takenBefore; }
    // Whether the file at path (its last name holding its extension) is kept.
    bool Takes(const std::string& path, FileServices& files) const;
};

// "image", "audio", "video", "document", or extensions ("jpg,png"), several
// joined by commas; false with the reason.
bool ParseTypes(std::string_view text, std::vector<std::string>& extensions, std::string& error);
// "1500", "10k", "5M", "2G" (powers of 1024), as find(1) writes them.
bool ParseSize(std::string_view text, std::uint64_t& bytes);
// "2024-07-14" or "2024-07-14 09:30[:12]", in local time.
bool ParseDate(std::string_view text, std::int64_t& nanoseconds);
// The same, as a wall-clock time: seconds since 1970 as if it were UTC.
bool ParseWallClock(std::string_view text, std::int64_t& seconds);

}  // namespace quil
