#include "tests/media_fixtures.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quil::testing {
namespace {

const char* const kMakeFixtures = R"(set -e
cd "$1"
exif() { exiftool -q -q -overwrite_original "$@"; }
convert -size 64x48 xc:red photo.jpg
exif '-DateTimeOriginal=2024:07:14 09:30:12' -SubSecTimeOriginal=45 -OffsetTimeOriginal=+02:00 \
     -Make=Canon '-Model=Canon EOS R5' photo.jpg
cp photo.jpg edited.jpg && exif '-ModifyDate=2024:08:02 18:00:00' edited.jpg
convert -size 64x48 xc:red digitized.jpg && exif '-CreateDate=2024:07:14 09:30:12' -SubSecTimeDigitized=7 \
     -Make=NIKON\ CORPORATION '-Model=NIKON D850' digitized.jpg
convert -size 64x48 xc:red second.jpg && exif '-DateTimeOriginal=2024:07:14 09:30:12' second.jpg
convert -size 64x48 xc:red older.jpg && exif '-DateTimeOriginal=2023:01:02 08:00:00' older.jpg
convert -size 64x48 xc:red lastedit.jpg && exif '-ModifyDate=2024:08:02 18:00:00' lastedit.jpg
convert -size 64x48 xc:red noexif.jpg && exif -all= noexif.jpg
head -c 100 photo.jpg > truncated.jpg
heif-enc -q 50 photo.jpg -o photo.heic >/dev/null
heif-enc -q 50 -A photo.jpg -o photo.avif >/dev/null
for ext in png webp tif; do
  convert -size 20x10 xc:green photo.$ext
  exif '-DateTimeOriginal=2024:07:14 09:30:12' -SubSecTimeOriginal=45 -OffsetTimeOriginal=+02:00 -Make=Google \
       '-Model=Pixel 8' photo.$ext
done
video() { ffmpeg -v error -y -f lavfi -i color=c=red:s=32x32:d=0.1 "$@"; }
video -metadata creation_time=2024-07-14T07:30:12Z movie.mp4
video -metadata com.apple.quicktime.creationdate=2024-07-14T09:30:12+0200 -movflags use_metadata_tags apple.mov
tags=(-metadata artist=Artist -metadata album_artist=Band -metadata album=Album -metadata 'title=AC/DC: Live'
      -metadata track=1/10 -metadata disc=1/2 -metadata date=2024 -metadata genre=Rock)
audio() { out=$1; shift; ffmpeg -v error -y -f lavfi -i sine=d=0.2 "${tags[@]}" "$@" "$out"; }
audio v24.mp3 -id3v2_version 4
audio v23.mp3 -id3v2_version 3
audio song.flac
audio song.ogg -c:a libvorbis
audio song.opus
audio song.m4a
audio song.wma
ffmpeg -v error -y -f lavfi -i sine=d=0.2 -map_metadata -1 -id3v2_version 0 untagged.mp3
cp untagged.mp3 v1.mp3
/usr/bin/python3 - <<'PY'
from mutagen.id3 import ID3, TPE1, TALB, TIT2, TRCK, TDRC, TCON, delete
tags = ID3()
for frame in (TPE1(text='Artist'), TALB(text='Album'), TIT2(text='AC/DC: Live'), TRCK(text='1'),
              TDRC(text='2024'), TCON(text='Rock')):
    tags.add(frame)
tags.save('v1.mp3', v1=2)
delete('v1.mp3', delete_v1=False, delete_v2=True)
PY
)";

class FixtureFiles {
public:
    FixtureFiles() {
        char pattern[] = "/tmp/quil-media-XXXXXX";
        if (mkdtemp(pattern) == nullptr) return;
        made_ = std::string(pattern) + "/";
        const std::string script = made_ + "make.sh";
        std::ofstream(script) << kMakeFixtures;
        if (std::system(("bash '" + script + "' '" + made_ + "'").c_str()) == 0)
            folder_ = made_;
        else
            std::fprintf(stderr, "the media fixtures could not be made: are scripts/setup-deps's tools installed?\n");
    }
    ~FixtureFiles() {
        std::error_code ignored;
        if (!made_.empty()) std::filesystem::remove_all(made_, ignored);
    }
    const std::string& folder() const { return folder_; }

private:
    std::string made_;
    std::string folder_;
};

}  // namespace

const std::string& MediaFixtureFolder() {
    static const FixtureFiles files;
    return files.folder();
}

std::string MediaFixture(const std::string& name) {
    std::ifstream file(MediaFixtureFolder() + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace quil::testing
