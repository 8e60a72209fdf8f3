// Finding the metadata inside an image or video file, reading only the
// bytes that hold it: a JPEG's APP1 segment and not its image, a TIFF-based
// raw file's first IFDs, the Exif item of a HEIF/AVIF container, PNG eXIf
// and WebP EXIF chunks, and a QuickTime/MP4 movie's creation times. The
// walk is bounded by the read limit of BoundedFile and always moves forward:
// a truncated file, a size that points past the end or a damaged structure
// ends it with a problem, never with part of a value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/metadata/bounded_file.h"

namespace quil::metadata {

enum class ContainerKind { Unknown, Jpeg, Tiff, Heif, Png, WebP, QuickTime };

struct PixelSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

struct ContainerFindings {
    ContainerKind kind = ContainerKind::Unknown;
    // The EXIF block as ReadExif takes it: "Exif\0\0" and the TIFF
    // structure (byte order mark first, "II" or "MM"), whole; empty where
    // the file holds none. Its bytes are the BoundedFile's, valid while it
    // lives: a JPEG's are its APP1 segment as read, never copied.
    std::string_view exif;
    // From the image's own header (JPEG SOF, PNG IHDR, WebP, HEIF ispe, a
    // full-resolution TIFF IFD0).
    std::optional<PixelSize> pixels;
    // mvhd's creation time, converted to seconds since 1970 UTC; absent where
    // the header says 0 (not set).
    std::optional<std::int64_t> movieCreatedUtc;
    // com.apple.quicktime.creationdate from moov/meta keys and ilst, as written.
    std::string quickTimeCreationDate;
    // Why the walk ended short of the file's metadata; empty when it did not.
    std::string problem;
};

// wantPixels: go on past the EXIF to the image header where it lies
// further (a JPEG's SOF segment).
ContainerFindings WalkContainer(BoundedFile& file, bool wantPixels);

// Seconds between 1904-01-01, where QuickTime counts from, and 1970-01-01.
constexpr std::int64_t kQuickTimeEpochOffset = 2082844800;

}  // namespace quil::metadata
