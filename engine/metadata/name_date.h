// A date, and a time where there is one, written in a file's name by the
// phones, cameras and messengers whose files most often lose their EXIF:
//
//   IMG-20200307-WA0001.jpg            a date alone (WhatsApp)
//   PXL_20240714_093012345.jpg         with milliseconds (Pixel)
//   VID_20240714_093012.mp4            IMG_, VID_, PANO_, ... (Android)
//   20240714_093012.jpg                (Samsung)
//   2024-07-14 09.30.12.jpg            (Dropbox camera uploads)
//   Screenshot 2024-07-14 at 09.30.12  (macOS)
//   signal-2024-07-14-093012.jpg       (Signal)
//
// That is: the first date YYYYMMDD, or YYYY-MM-DD with "-", "_" or "." the
// same both times, years 1900 to 2099, not inside a longer number; then,
// where they follow, one of "_", "-", " ", "T" or " at " and a time
// HHMMSS, or HH?MM?SS with "-", "_", "." or ":" the same both times; then
// where they follow at once, three digits of milliseconds.
#pragma once

#include <optional>
#include <string_view>

#include "engine/metadata/values.h"

namespace quil::metadata {

// The date in name (a file's name, without its folders), with origin
// FileName and hasTimeOfDay false where the name gives no time.
std::optional<DateValue> DateInName(std::string_view name);

}  // namespace quil::metadata
