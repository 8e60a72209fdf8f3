// The walker of each container format, for WalkContainer, which has checked
// the signature of the format it calls.
#pragma once

#include "engine/metadata/container_walk.h"

namespace quil::metadata {

void WalkJpeg(BoundedFile& file, bool wantPixels, ContainerFindings& found);
void WalkTiff(BoundedFile& file, ContainerFindings& found);
void WalkHeif(BoundedFile& file, ContainerFindings& found);
void WalkQuickTime(BoundedFile& file, ContainerFindings& found);
void WalkPng(BoundedFile& file, ContainerFindings& found);
void WalkWebP(BoundedFile& file, ContainerFindings& found);

// Sets found.problem from a range that failed, with what was being read
// ("the file ends inside its APP1 segment"); returns false.
bool Failed(const Range& range, const char* what, ContainerFindings& found);

// The TIFF structure of an EXIF block: some writers put "Exif\0\0" before
// it in PNG and WebP chunks. Empty where it does not start with a byte
// order mark.
std::string TiffOf(std::string_view block);

}  // namespace quil::metadata
