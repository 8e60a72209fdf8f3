#include "engine/metadata/iso_boxes.h"

#include "engine/metadata/byte_order.h"

namespace quil::metadata {
namespace {

// Fills box from its header bytes (at least 16 where the size says 1);
// false where the size is below the header's or past end.
bool Decode(std::string_view header, std::uint64_t start, std::uint64_t end, Box& box) {
    const std::uint32_t size = Big32(header, 0);
    box.type = header.substr(4, 4);
    box.start = start;
    box.body = start + 8;
    if (size == 1) {
        if (header.size() < 16) return false;
        const std::uint64_t large = Big64(header, 8);
        box.body = start + 16;
        if (large < 16 || large > end - start) return false;
        box.end = start + large;
    } else if (size == 0) {
        box.end = end;
    } else {
        if (size < 8 || size > end - start) return false;
        box.end = start + size;
    }
    return true;
}

}  // namespace

bool ReadBox(BoundedFile& file, std::uint64_t start, std::uint64_t end, Box& box, ContainerFindings& found) {
    if (end < start || end - start < 8) {
        found.problem = "a box is cut short";
        return false;
    }
    const Range header = file.Get(start, 8);
    if (!header.ok()) return Failed(header, "a box header", found);
    std::string_view bytes = header.bytes;
    if (Big32(bytes, 0) == 1) {
        const Range large = file.Get(start, 16);
        if (!large.ok()) return Failed(large, "a box header", found);
        bytes = large.bytes;
    }
    if (Decode(bytes, start, end, box)) return true;
    found.problem = end == file.size() ? "a box's size points past the end of the file"
                                       : "a box's size points past the end of the box that holds it";
    return false;
}

bool ReadBox(std::string_view bytes, std::size_t start, Box& box) {
    if (start + 8 > bytes.size()) return false;
    return Decode(bytes.substr(start, 16), start, bytes.size(), box);
}

}  // namespace quil::metadata
