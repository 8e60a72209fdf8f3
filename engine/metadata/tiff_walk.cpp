// TIFF-based files (TIFF, DNG, CR2, NEF, ARW, ORF, RW2, PEF): the file is
// itself the TIFF structure. IFD0 gives the pixel size when it is the
// full-resolution image, and points to the Exif IFD; libexif reads the EXIF
// from the start of the file, as far as its 64 KiB window.
#include <algorithm>

#include "engine/metadata/byte_order.h"
#include "engine/metadata/exif_block.h"
#include "engine/metadata/walkers.h"

namespace quil::metadata {
namespace {

constexpr std::uint16_t kNewSubfileType = 0x00FE, kImageWidth = 0x0100, kImageLength = 0x0101,
                        kExifIfdPointer = 0x8769;
constexpr std::uint16_t kShort = 3, kLong = 4;
constexpr std::size_t kEntrySize = 12;

struct Ifd0 {
    std::uint32_t width = 0, height = 0;
    bool reducedResolution = false;  // NewSubfileType bit 0: a preview, not the image
    std::uint32_t exifIfd = 0;
};

// The value of a one-component SHORT or LONG entry; 0 for any other.
std::uint32_t NumberIn(std::string_view entry, TiffOrder order) {
    if (order.U32(entry, 4) != 1) return 0;
    const std::uint16_t type = order.U16(entry, 2);
    return type == kShort ? order.U16(entry, 8) : type == kLong ? order.U32(entry, 8) : 0;
}

bool ReadIfd0(BoundedFile& file, TiffOrder order, std::uint32_t offset, Ifd0& ifd, ContainerFindings& found) {
    const Range count = file.Get(offset, 2);
    if (!count.ok()) return Failed(count, "its first IFD", found);
    const Range entries = file.Get(offset + 2, order.U16(count.bytes, 0) * kEntrySize);
    if (!entries.ok()) return Failed(entries, "its first IFD", found);
    for (std::size_t at = 0; at < entries.bytes.size(); at += kEntrySize) {
        const std::string_view entry = entries.bytes.substr(at, kEntrySize);
        switch (order.U16(entry, 0)) {
            case kNewSubfileType: ifd.reducedResolution = (NumberIn(entry, order) & 1) != 0; break;
            case kImageWidth: ifd.width = NumberIn(entry, order); break;
            case kImageLength: ifd.height = NumberIn(entry, order); break;
            case kExifIfdPointer: ifd.exifIfd = NumberIn(entry, order); break;
        }
    }
    return true;
}

}  // namespace

void WalkTiff(BoundedFile& file, ContainerFindings& found) {
    const Range header = file.Get(0, 8);
    if (!header.ok()) return void(Failed(header, "its TIFF header", found));
    const TiffOrder order{header.bytes[0] == 'I'};
    Ifd0 ifd;
    if (!ReadIfd0(file, order, order.U32(header.bytes, 4), ifd, found)) return;
    if (ifd.width != 0 && ifd.height != 0 && !ifd.reducedResolution) found.pixels = PixelSize{ifd.width, ifd.height};
    if (ifd.exifIfd == 0) return;

    const std::size_t window =
        static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), kExifBlockLimit - sizeof kExifHeader));
    if (ifd.exifIfd >= window) {
        found.problem = "its Exif IFD lies past the first 64 KiB, which is as far as libexif reads";
        return;
    }
    const Range block = file.Get(0, window);
    if (!block.ok()) return void(Failed(block, "its TIFF structure", found));
    // Raw formats mark themselves with their own magic number where TIFF
    // has 42; libexif takes only 42, and the IFDs are TIFF's all the same.
    std::string exif = std::string(kExifHeader, sizeof kExifHeader).append(block.bytes);
    exif[sizeof kExifHeader + 2] = order.little ? 42 : 0;
    exif[sizeof kExifHeader + 3] = order.little ? 0 : 42;
    found.exif = file.Keep(std::move(exif));
}

}  // namespace quil::metadata
