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

// The EXIF block of bytes that hold a TIFF structure, with or without
// "Exif\0\0" before it (JPEG segments have it; PNG and WebP chunks may;
// HEIF items and TIFF files do not, and get it in bytes kept by file).
// Empty where no byte order mark starts the structure.
std::string_view ExifBlockOf(BoundedFile& file, std::string_view bytes);

}  // namespace quil::metadata
