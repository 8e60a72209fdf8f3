// WebP: a RIFF file of chunks (four-character code, little-endian size,
// data padded to an even length). VP8X, VP8 or VP8L give the pixel size;
// the EXIF chunk, after the image, holds the TIFF structure.
#include "engine/metadata/byte_order.h"
#include "engine/metadata/walkers.h"

namespace quil::metadata {
namespace {

// The canvas of VP8X, and the frame headers of lossy VP8 (after its start
// code) and lossless VP8L (14 bits each, after the 0x2F signature).
std::optional<PixelSize> SizeIn(std::string_view type, std::string_view data) {
    if (type == "VP8X" && data.size() >= 10) return PixelSize{Little24(data, 4) + 1, Little24(data, 7) + 1};
    if (type == "VP8 " && data.size() >= 10 && data.substr(3, 3) == "\x9D\x01\x2A")
        return PixelSize{Little16(data, 6) & 0x3FFFu, Little16(data, 8) & 0x3FFFu};
    if (type == "VP8L" && data.size() >= 5 && Byte(data, 0) == 0x2F) {
        const std::uint32_t bits = Little32(data, 1);
        return PixelSize{(bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1};
    }
    return std::nullopt;
}

}  // namespace

void WalkWebP(BoundedFile& file, ContainerFindings& found) {
    constexpr std::uint64_t kRiffHeader = 12, kChunkHeader = 8;
    for (std::uint64_t at = kRiffHeader; at + kChunkHeader <= file.size();) {
        const Range header = file.Get(at, kChunkHeader);
        if (!header.ok()) return void(Failed(header, "a WebP chunk", found));
        const std::string_view type = header.bytes.substr(0, 4);
        const std::uint32_t length = Little32(header.bytes, 4);
        if (length > file.size() - at - kChunkHeader) {
            found.problem = "the file ends inside a WebP chunk";
            return;
        }
        const bool sized = type == "VP8X" || type == "VP8 " || type == "VP8L";
        if (type == "EXIF" || (sized && !found.pixels)) {
            const Range data = file.Get(at + kChunkHeader, type == "EXIF" ? length : std::min<std::uint32_t>(length, 10));
            if (!data.ok()) return void(Failed(data, "a WebP chunk", found));
            if (sized) found.pixels = SizeIn(type, data.bytes);
            else if (found.exif.empty() && (found.exif = ExifBlockOf(file, data.bytes)).empty())
                found.problem = "the EXIF chunk holds no TIFF structure";
        }
        if (!found.exif.empty() && found.pixels) return;
        at += kChunkHeader + length + (length & 1);
    }
}

}  // namespace quil::metadata
