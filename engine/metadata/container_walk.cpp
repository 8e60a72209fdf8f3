#include "engine/metadata/container_walk.h"

#include <algorithm>

#include "engine/metadata/byte_order.h"
#include "engine/metadata/exif_block.h"
#include "engine/metadata/walkers.h"

namespace quil::metadata {
namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

bool IsTiff(std::string_view head) {
    // Standard TIFF, Olympus ORF ("IIRO", "IIRS", "MMOR") and Panasonic RW2
    // ("IIU\0"); CR2, NEF, ARW, DNG and PEF are standard TIFF.
    for (std::string_view magic : {std::string_view("II*\0", 4), std::string_view("MM\0*", 4), std::string_view("IIRO"),
                                   std::string_view("IIRS"), std::string_view("MMOR"), std::string_view("IIU\0", 4)})
        if (StartsWith(head, magic)) return true;
    return false;
}

// HEIF and AVIF name their image brands in ftyp; any other ftyp (isom,
// mp42, qt, M4V, 3gp4, M4A) is a QuickTime-style movie.
bool IsHeifBrand(std::string_view brand) {
    for (const char* heif : {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs", "mif1", "msf1", "avif",
                             "avis", "mif2"})
        if (brand == heif) return true;
    return false;
}

ContainerKind KindOfBoxes(BoundedFile& file, std::string_view head) {
    const std::string_view type = head.substr(4, 4);
    if (type != "ftyp") {
        // Old QuickTime files start with their atoms, no ftyp.
        for (const char* atom : {"moov", "mdat", "wide", "free", "skip", "pnot"})
            if (type == atom) return ContainerKind::QuickTime;
        return ContainerKind::Unknown;
    }
    const std::uint32_t size = Big32(head, 0);
    if (size < 16) return ContainerKind::QuickTime;
    const Range ftyp = file.Get(0, size);
    if (!ftyp.ok()) return ContainerKind::QuickTime;  // its walk will say what is wrong
    // The major brand, then the compatible brands after the minor version.
    if (IsHeifBrand(ftyp.bytes.substr(8, 4))) return ContainerKind::Heif;
    for (std::size_t at = 16; at + 4 <= ftyp.bytes.size(); at += 4)
        if (IsHeifBrand(ftyp.bytes.substr(at, 4))) return ContainerKind::Heif;
    return ContainerKind::QuickTime;
}

ContainerKind KindOf(BoundedFile& file) {
    const Range head = file.Get(0, static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), 12)));
    if (!head.ok()) return ContainerKind::Unknown;
    const std::string_view bytes = head.bytes;
    if (StartsWith(bytes, "\xFF\xD8\xFF")) return ContainerKind::Jpeg;
    if (IsTiff(bytes)) return ContainerKind::Tiff;
    if (StartsWith(bytes, "\x89PNG\r\n\x1A\n")) return ContainerKind::Png;
    if (bytes.size() < 12) return ContainerKind::Unknown;
    if (StartsWith(bytes, "RIFF") && bytes.substr(8, 4) == "WEBP") return ContainerKind::WebP;
    return KindOfBoxes(file, bytes);
}

}  // namespace

bool Failed(const Range& range, const char* what, ContainerFindings& found) {
    found.problem = range.status == RangeStatus::PastEnd ? std::string("the file ends inside ") + what
                                                         : DescribeFailure(range) + " (" + what + ")";
    return false;
}

std::string_view ExifBlockOf(BoundedFile& file, std::string_view bytes) {
    const std::string_view header(kExifHeader, sizeof kExifHeader);
    const bool withHeader = StartsWith(bytes, header);
    const std::string_view tiff = withHeader ? bytes.substr(header.size()) : bytes;
    if (!StartsWith(tiff, "II") && !StartsWith(tiff, "MM")) return {};
    return withHeader ? bytes : file.Keep(std::string(header).append(tiff));
}

ContainerFindings WalkContainer(BoundedFile& file, bool wantPixels) {
    ContainerFindings found;
    found.kind = KindOf(file);
    switch (found.kind) {
        case ContainerKind::Jpeg: WalkJpeg(file, wantPixels, found); break;
        case ContainerKind::Tiff: WalkTiff(file, found); break;
        case ContainerKind::Heif: WalkHeif(file, found); break;
        case ContainerKind::QuickTime: WalkQuickTime(file, found); break;
        case ContainerKind::Png: WalkPng(file, found); break;
        case ContainerKind::WebP: WalkWebP(file, found); break;
        case ContainerKind::Unknown: break;
    }
    return found;
}

}  // namespace quil::metadata
