// What a photo's EXIF says, read by libexif from the TIFF structure that
// the container walker found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/metadata/values.h"

namespace quil::metadata {

// What starts an EXIF block in a JPEG's APP1 segment, and the block that
// libexif takes.
constexpr char kExifHeader[6] = {'E', 'x', 'i', 'f', '\0', '\0'};
// libexif reads no further than 0xFFFE bytes of a block, its header
// included (a JPEG segment's most); past that, offsets are not followed.
constexpr std::size_t kExifBlockLimit = 0xFFFE;

struct ExifFields {
    // From the Exif IFD only: DateTimeOriginal with SubSecTimeOriginal and
    // OffsetTimeOriginal, else CreateDate (DateTimeDigitized) with its own
    // sub-seconds and offset. IFD0's DateTime is the last edit, not the
    // shot, and is never read. Wall-clock time, as written.
    std::optional<DateValue> taken;
    std::string make;   // IFD0, trimmed
    std::string model;
    std::uint32_t pixelWidth = 0;  // PixelXDimension and PixelYDimension; 0 where absent
    std::uint32_t pixelHeight = 0;
    // A date entry that is there but is no date ("0000:00:00 00:00:00"),
    // or a TIFF structure libexif could not read; empty otherwise.
    std::string problem;
};

// block: kExifHeader, then the TIFF structure.
ExifFields ReadExif(std::string_view block);

// Make and model as one name, the make left out where the model starts
// with its first word ("Canon" and "Canon EOS R5": "Canon EOS R5"; "NIKON
// CORPORATION" and "NIKON D850": "NIKON D850"; "Apple" and "iPhone 15":
// "Apple iPhone 15").
std::string CameraName(std::string_view make, std::string_view model);

}  // namespace quil::metadata
