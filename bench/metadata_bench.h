// Names from inside files: the date taken of 10,000 photos and the tags of
// 1,000 songs, beside a bare read of the same files and beside exiftool
// and exiv2.
#pragma once

namespace quil::bench {

void BenchMetadata();

// Reads the date taken of every file in folder on one thread and exits: the
// process that strace counts the reads of.
int ReadTakenOfFolder(const char* folder);

}  // namespace quil::bench
