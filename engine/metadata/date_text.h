// Dates and offsets as metadata writes them.
#pragma once

#include <string_view>

#include "engine/metadata/values.h"

namespace quil::metadata {

// True for a real calendar date with a time of day in range.
bool IsValid(const CivilTime& time);

// EXIF's "YYYY:MM:DD HH:MM:SS" (a trailing NUL or spaces allowed). False
// for anything else, the blank "    :  :     :  :  " and zeros included.
bool ParseExifDateTime(std::string_view text, CivilTime& time);

// "+02:00", "-05:30", "+0200" or "Z"; minutes east of UTC.
bool ParseOffset(std::string_view text, int& minutes);

// ISO 8601 as QuickTime's creationdate writes it:
// "2024-07-14T09:30:12+0200", with optional fractional seconds, and an
// offset of "+02:00", "+0200" or "Z"; without one the offset stays unset.
bool ParseIsoDateTime(std::string_view text, DateValue& date);

}  // namespace quil::metadata
