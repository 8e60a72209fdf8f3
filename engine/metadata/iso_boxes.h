// The boxes (atoms) of ISO base media files: HEIF, AVIF, MP4, MOV, 3GP. A
// box is its size (32 bits, or 64 after the type where the size says 1, or
// 0 for "to the end of what holds it"), its type, and its contents.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/metadata/walkers.h"

namespace quil::metadata {

struct Box {
    std::string_view type;     // four characters
    std::uint64_t start = 0;   // of the header
    std::uint64_t body = 0;    // of the contents
    std::uint64_t end = 0;     // just past the box
};

// The box whose header is at start, inside a parent that ends at end
// (the file's size at the top level). False with found.problem set when
// the header cannot be read or the size is impossible.
bool ReadBox(BoundedFile& file, std::uint64_t start, std::uint64_t end, Box& box, ContainerFindings& found);

// The same over bytes already read (a box's contents), for boxes inside
// it: offsets are into bytes.
bool ReadBox(std::string_view bytes, std::size_t start, Box& box);

// Calls visit(box) for each box from start to end in turn, until visit
// returns false or a box cannot be read (found.problem then says why).
// Returns false in the last case.
template <typename Visit>
bool ForEachBox(BoundedFile& file, std::uint64_t start, std::uint64_t end, ContainerFindings& found, Visit visit) {
    for (std::uint64_t at = start; at + 8 <= end;) {
        Box box;
        if (!ReadBox(file, at, end, box, found)) return false;
        if (!visit(box)) return true;
        at = box.end;
    }
    return true;
}

template <typename Visit>
void ForEachBox(std::string_view bytes, std::size_t start, Visit visit) {
    for (std::size_t at = start; at + 8 <= bytes.size();) {
        Box box;
        if (!ReadBox(bytes, at, box) || !visit(box)) return;
        at = static_cast<std::size_t>(box.end);
    }
}

}  // namespace quil::metadata
