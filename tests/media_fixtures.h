// Photos, movies and songs made at run time by Debian's tools (ImageMagick,
// exiftool, heif-enc, ffmpeg, mutagen), never downloaded: made once for the
// whole test executable and removed at its exit.
//
// photo.jpg: taken 2024-07-14 09:30:12.45 +02:00 by a "Canon EOS R5";
// edited.jpg: the same, last edited on 2024-08-02; digitized.jpg: only the
// digitized time, the same second, sub-seconds 7; second.jpg: the same
// second without sub-seconds; older.jpg: taken 2023-01-02 08:00:00;
// lastedit.jpg: only the edit time; noexif.jpg; truncated.jpg;
// photo.{heic,avif,png,webp,tif} as photo.jpg; movie.mp4 (mvhd
// 2024-07-14T07:30:12Z) and apple.mov (creationdate 09:30:12+0200);
// songs v24.mp3, v23.mp3, v1.mp3 (ID3v1 only), song.{flac,ogg,opus,m4a,wma}
// by "Artist", titled "AC/DC: Live", track 1 of 10; untagged.mp3.
#pragma once

#include <string>

namespace quil::testing {

// The folder holding them, ending in '/'; empty when they could not be
// made (the tools of scripts/setup-deps are missing).
const std::string& MediaFixtureFolder();

// The bytes of one of them; empty when it is missing.
std::string MediaFixture(const std::string& name);

}  // namespace quil::testing
