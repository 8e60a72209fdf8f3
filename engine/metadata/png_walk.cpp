// PNG: chunks of length, type, data and CRC after the signature. IHDR
// comes first with the pixel size; eXIf holds the TIFF structure and comes
// before the image data (IDAT), where the walk ends.
#include "engine/metadata/byte_order.h"
#include "engine/metadata/walkers.h"

namespace quil::metadata {

void WalkPng(BoundedFile& file, ContainerFindings& found) {
    constexpr std::uint64_t kSignature = 8, kChunkHeader = 8, kCrc = 4;
    constexpr std::uint32_t kLongestChunk = 0x7FFFFFFF;  // PNG's own limit
    for (std::uint64_t at = kSignature;;) {
        const Range header = file.Get(at, kChunkHeader);
        if (!header.ok()) return void(Failed(header, "a PNG chunk", found));
        const std::uint32_t length = Big32(header.bytes, 0);
        const std::string_view type = header.bytes.substr(4, 4);
        if (type == "IDAT" || type == "IEND") return;
        if (length > kLongestChunk || at + kChunkHeader + length + kCrc > file.size()) {
            found.problem = "the file ends inside a PNG chunk";
            return;
        }
        if (type == "IHDR" || type == "eXIf") {
            const Range data = file.Get(at + kChunkHeader, length);
            if (!data.ok()) return void(Failed(data, "a PNG chunk", found));
            if (type == "IHDR" && length >= 8) found.pixels = PixelSize{Big32(data.bytes, 0), Big32(data.bytes, 4)};
            if (type == "eXIf" && found.exif.empty()) {
                found.exif = ExifBlockOf(file, data.bytes);
                if (found.exif.empty()) found.problem = "the eXIf chunk holds no TIFF structure";
            }
        }
        at += kChunkHeader + length + kCrc;
    }
}

}  // namespace quil::metadata
