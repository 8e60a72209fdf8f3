// JPEG: markers from the start of the file up to the image data (SOS), each
// segment skipped by its length; the first APP1 segment that starts with
// "Exif\0\0" holds the TIFF structure, a SOFn segment the pixel size.
#include "engine/metadata/byte_order.h"
#include "engine/metadata/walkers.h"

namespace quil::metadata {
namespace {

constexpr unsigned kApp1 = 0xE1, kStartOfScan = 0xDA, kEndOfImage = 0xD9;

// Markers that stand alone, without a length: TEM, RSTn, SOI.
bool StandsAlone(unsigned marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8); }

// SOF0-SOF15, less DHT (C4), JPG (C8) and DAC (CC), which share the range.
bool IsStartOfFrame(unsigned marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

}  // namespace

void WalkJpeg(BoundedFile& file, bool wantPixels, ContainerFindings& found) {
    std::uint64_t at = 2;  // after SOI
    for (;;) {
        const bool done = !found.exif.empty() && (!wantPixels || found.pixels);
        if (done) return;
        Range marker = file.Get(at, 2);
        if (!marker.ok()) return void(Failed(marker, "a JPEG marker", found));
        if (Byte(marker.bytes, 0) != 0xFF) {
            found.problem = "the JPEG segments are damaged";
            return;
        }
        const unsigned code = Byte(marker.bytes, 1);
        if (code == 0xFF) {  // a fill byte before the marker
            ++at;
            continue;
        }
        if (code == kStartOfScan || code == kEndOfImage) return;  // the metadata comes before the image
        if (StandsAlone(code)) {
            at += 2;
            continue;
        }
        const Range length = file.Get(at + 2, 2);
        if (!length.ok()) return void(Failed(length, "a JPEG segment", found));
        const std::uint16_t size = Big16(length.bytes, 0);  // counts itself, not the marker
        if (size < 2) {
            found.problem = "a JPEG segment has a length below its own";
            return;
        }
        const std::uint64_t data = at + 4, dataSize = size - 2u;
        if (data + dataSize > file.size()) {
            found.problem = code == kApp1 ? "the file ends inside its APP1 segment" : "the file ends inside a JPEG segment";
            return;
        }
        if (code == kApp1 && found.exif.empty()) {
            const Range head = file.Get(data, static_cast<std::size_t>(std::min<std::uint64_t>(dataSize, 6)));
            if (!head.ok()) return void(Failed(head, "its APP1 segment", found));
            if (head.bytes == std::string_view("Exif\0\0", 6)) {
                const Range segment = file.Get(data, dataSize);
                if (!segment.ok()) return void(Failed(segment, "its APP1 segment", found));
                found.exif = ExifBlockOf(file, segment.bytes);
                if (found.exif.empty()) found.problem = "the APP1 segment holds no TIFF structure";
            }
        } else if (IsStartOfFrame(code) && dataSize >= 5) {
            const Range frame = file.Get(data, 5);
            if (!frame.ok()) return void(Failed(frame, "its SOF segment", found));
            found.pixels = PixelSize{Big16(frame.bytes, 3), Big16(frame.bytes, 1)};  // after the precision byte
        }
        at = data + dataSize;
    }
}

}  // namespace quil::metadata
