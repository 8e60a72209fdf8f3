// The metadata layer over real files made at run time by Debian's tools
// (ImageMagick, exiftool, heif-enc, ffmpeg, mutagen), each field checked
// against exiftool's reading of the same file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "engine/metadata/date_format.h"
#include "engine/metadata/metadata_reader.h"
#include "engine/metadata/token_values.h"
#include "platform/audio_tags.h"
#include "platform/file_reader.h"
#include "tests/media_fixtures.h"

namespace quil::metadata {
namespace {

const std::string& FixtureFolder() {
    const std::string& folder = testing::MediaFixtureFolder();
    if (folder.empty()) ADD_FAILURE() << "the media fixtures could not be made";
    return folder;
}

// exiftool's reading of tags of the file (-S: "Tag: value"; # numbers).
std::map<std::string, std::string> Exiftool(const std::string& path, const std::vector<std::string>& tags) {
    std::string command = "exiftool -S";
    for (const std::string& tag : tags) command += " '-" + tag + "'";
    FILE* pipe = popen((command + " '" + path + "'").c_str(), "r");
    std::map<std::string, std::string> values;
    char line[4096];
    while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        const std::size_t colon = text.find(": ");
        if (colon == std::string::npos) continue;
        values[text.substr(0, colon)] = text.substr(colon + 2, text.find_last_not_of("\r\n") - colon - 1);
    }
    if (pipe != nullptr) pclose(pipe);
    return values;
}

std::string Written(const DateValue& date, std::string_view format) {
    DateFormat parsed;
    FormatError error;
    EXPECT_TRUE(DateFormat::Parse(format, parsed, error)) << error.message;
    std::vector<std::string> notes;
    return parsed.Write(date, notes);
}

// The offset as exiftool writes it, "+02:00".
std::string OffsetOf(const DateValue& date) {
    if (!date.offsetMinutes) return "";
    const std::string compact = Written(date, "%z");
    return compact.substr(0, 3) + ":" + compact.substr(3);
}

class Fixtures : public ::testing::Test {
protected:
    FileMetadata Read(const std::string& name, FieldSet wanted) {
        return MetadataReader(*files_, *tags_).Read(FixtureFolder() + name, wanted);
    }
    static FieldSet Everything() {
        FieldSet all;
        for (int field = 0; field < kFieldCount; ++field) all.Add(static_cast<Field>(field));
        return all;
    }
    std::unique_ptr<FileReader> files_ = MakeSystemFileReader();
    std::unique_ptr<AudioTagReader> tags_ = MakeSystemAudioTagReader();
};

struct PhotoRow {
    const char* file;
    const char* dateTag;  // exiftool's tag for the date taken, or "" where the file has none
    DateOrigin origin;
    const char* subSecondsTag;
    const char* offsetTag;
    const char* camera;   // as this layer names it from exiftool's Make and Model
};

// Photos: the date taken, its sub-seconds and offset, the camera, the
// pixel size, each as exiftool reads it.
TEST_F(Fixtures, PhotosGiveWhatExiftoolReads) {
    const PhotoRow rows[] = {
        {"photo.jpg", "ExifIFD:DateTimeOriginal", DateOrigin::ExifDateTimeOriginal, "SubSecTimeOriginal", "OffsetTimeOriginal", "Canon EOS R5"},
        {"edited.jpg", "ExifIFD:DateTimeOriginal", DateOrigin::ExifDateTimeOriginal, "SubSecTimeOriginal", "OffsetTimeOriginal", "Canon EOS R5"},
        {"digitized.jpg", "ExifIFD:CreateDate", DateOrigin::ExifCreateDate, "SubSecTimeDigitized", "OffsetTimeDigitized", "NIKON D850"},
        {"lastedit.jpg", "", DateOrigin::ExifDateTimeOriginal, "", "", ""},
        {"photo.heic", "ExifIFD:DateTimeOriginal", DateOrigin::ExifDateTimeOriginal, "SubSecTimeOriginal", "OffsetTimeOriginal", "Canon EOS R5"},
        {"photo.avif", "ExifIFD:DateTimeOriginal", DateOrigin::ExifDateTimeOriginal, "SubSecTimeOriginal", "OffsetTimeOriginal", "Canon EOS R5"},
        {"photo.png", "ExifIFD:DateTimeOriginal", DateOrigin::ExifDateTimeOriginal, "SubSecTimeOriginal", "OffsetTimeOriginal", "Google Pixel 8"},
        {"photo.webp", "ExifIFD:DateTimeOriginal", DateOrigin::ExifDateTimeOriginal, "SubSecTimeOriginal", "OffsetTimeOriginal", "Google Pixel 8"},
        {"photo.tif", "ExifIFD:DateTimeOriginal", DateOrigin::ExifDateTimeOriginal, "SubSecTimeOriginal", "OffsetTimeOriginal", "Google Pixel 8"},
        {"noexif.jpg", "", DateOrigin::ExifDateTimeOriginal, "", "", ""},
    };
    for (const PhotoRow& row : rows) {
        SCOPED_TRACE(row.file);
        const std::string path = FixtureFolder() + row.file;
        auto oracle = Exiftool(path, {"ExifIFD:DateTimeOriginal", "ExifIFD:CreateDate", "SubSecTimeOriginal",
                                      "SubSecTimeDigitized", "OffsetTimeOriginal", "OffsetTimeDigitized", "Make", "Model",
                                      "ImageWidth#", "ImageHeight#"});
        const FileMetadata found = Read(row.file, Everything());
        const auto& taken = found.Value(Field::Taken);
        if (*row.dateTag == '\0') {
            EXPECT_FALSE(taken);
            EXPECT_EQ(oracle.count("DateTimeOriginal") + oracle.count("CreateDate"), 0u);
        } else {
            ASSERT_TRUE(taken);
            const DateValue& date = std::get<DateValue>(*taken);
            const std::string tag = std::string(row.dateTag).substr(8);
            EXPECT_EQ(date.origin, row.origin);
            EXPECT_EQ(Written(date, "%Y:%m:%d %H:%M:%S"), oracle[tag]);
            EXPECT_EQ(date.subSeconds, oracle[row.subSecondsTag]);
            EXPECT_EQ(OffsetOf(date), oracle[row.offsetTag]);
        }
        const auto& camera = found.Value(Field::Camera);
        EXPECT_EQ(camera ? std::get<std::string>(*camera) : "", row.camera);
        if (*row.camera != '\0') {
            EXPECT_NE(std::string(row.camera).find(oracle["Model"]), std::string::npos);
        }
        ASSERT_TRUE(found.Value(Field::Width) && found.Value(Field::Height));
        EXPECT_EQ(std::to_string(std::get<std::int64_t>(*found.Value(Field::Width))), oracle["ImageWidth"]);
        EXPECT_EQ(std::to_string(std::get<std::int64_t>(*found.Value(Field::Height))), oracle["ImageHeight"]);
    }
}

// The tokens over the photos: the shooting time however the photo was
// edited later, and what the row says where a photo has none.
TEST_F(Fixtures, TakenTokenOverPhotos) {
    struct Row {
        const char* file;
        const char* replacement;
        bool found;
        const char* text;
        const char* note;
    } rows[] = {
        {"photo.jpg", "{taken:%Y%m%d_%H%M%S_%f%z}", true, "20240714_093012_45+0200", ""},
        {"edited.jpg", "{taken}", true, "20240714_093012", ""},
        {"photo.heic", "{taken}", true, "20240714_093012", ""},
        {"digitized.jpg", "{taken}", true, "20240714_093012", "EXIF CreateDate"},
        {"noexif.jpg", "{taken}", false, "", "no date taken: no EXIF in the file"},
        {"truncated.jpg", "{taken}", false, "", "no date taken: the file ends inside its APP1 segment"},
        {"lastedit.jpg", "{taken}", false, "", "no date taken"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        FieldToken token;
        TokenError error;
        ASSERT_EQ(ParseFieldToken(row.replacement, 0, token, error), TokenScan::Token) << error.message;
        const TokenValue value = ValueOf(token, Read(row.file, FieldsOf({token})), {});
        EXPECT_EQ(value.found, row.found);
        EXPECT_EQ(value.text, row.text);
        EXPECT_EQ(value.note, row.note);
    }
}

TEST_F(Fixtures, PhotoWithoutExifFallsBackToItsModificationTime) {
    const std::string path = FixtureFolder() + "noexif.jpg";
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    FieldToken token;
    TokenError error;
    ASSERT_EQ(ParseFieldToken("{taken|mtime:%s}", 0, token, error), TokenScan::Error);
    ASSERT_EQ(ParseFieldToken("{taken|mtime:%F}", 0, token, error), TokenScan::Token);
    const TokenValue value = ValueOf(token, Read("noexif.jpg", FieldsOf({token})), {});
    char local[16];
    std::strftime(local, sizeof local, "%Y-%m-%d", std::localtime(&info.st_mtime));
    EXPECT_TRUE(value.found);
    EXPECT_EQ(value.field, Field::Modified);
    EXPECT_EQ(value.text, local);
    EXPECT_EQ(value.note, "no date taken: no EXIF in the file; mtime used");
}

// Movies: mvhd's UTC time as exiftool reads it, shown in the zone asked
// for; Apple's creationdate with its own offset.
TEST_F(Fixtures, MoviesGiveTheirCreationTime) {
    const auto mp4 = Exiftool(FixtureFolder() + "movie.mp4", {"QuickTime:CreateDate"});
    const FileMetadata movie = Read("movie.mp4", FieldSet().Add(Field::Taken));
    ASSERT_TRUE(movie.Value(Field::Taken));
    const DateValue& header = std::get<DateValue>(*movie.Value(Field::Taken));
    EXPECT_EQ(header.origin, DateOrigin::MovieHeader);
    EXPECT_EQ(Written(InZone(header, Zone{0}), "%Y:%m:%d %H:%M:%S"), mp4.at("CreateDate"));

    FieldToken token;
    TokenError error;
    ASSERT_EQ(ParseFieldToken("{taken}", 0, token, error), TokenScan::Token);
    ValueOptions atPlusTwo;
    ASSERT_TRUE(ParseZone("+02:00", atPlusTwo.movieZone));
    const TokenValue shown = ValueOf(token, movie, atPlusTwo);
    EXPECT_EQ(shown.text, "20240714_093012");
    EXPECT_EQ(shown.note, "the movie header's creation time (UTC) at +02:00");

    const auto mov = Exiftool(FixtureFolder() + "apple.mov", {"Keys:CreationDate"});
    const FileMetadata apple = Read("apple.mov", FieldSet().Add(Field::Taken));
    ASSERT_TRUE(apple.Value(Field::Taken));
    const DateValue& creation = std::get<DateValue>(*apple.Value(Field::Taken));
    EXPECT_EQ(creation.origin, DateOrigin::QuickTimeCreationDate);
    EXPECT_EQ(Written(creation, "%Y:%m:%d %H:%M:%S") + OffsetOf(creation), mov.at("CreationDate"));
    EXPECT_EQ(ValueOf(token, apple, atPlusTwo).text, "20240714_093012");
}

TEST_F(Fixtures, MovieWhoseBoxPointsPastTheEndIsNotedNotRead) {
    std::ifstream in(FixtureFolder() + "movie.mp4", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::size_t moov = bytes.find("moov");
    ASSERT_NE(moov, std::string::npos);
    bytes.replace(moov - 4, 4, "\x7F\xFF\xFF\xF0", 4);
    std::ofstream(FixtureFolder() + "badbox.mp4", std::ios::binary) << bytes;
    const FileMetadata found = Read("badbox.mp4", FieldSet().Add(Field::Taken));
    EXPECT_FALSE(found.Value(Field::Taken));
    EXPECT_EQ(found.Problem(FieldSource::Container), "a box's size points past the end of the file");
}

struct AudioRow {
    const char* file;
    // exiftool's names for artist, album artist, album, title, track, disc,
    // year and genre in this format; "" where the format holds none.
    const char* tags[8];
};

unsigned LeadingNumber(const std::string& text) { return static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 10)); }

// Audio tags through TagLib, as exiftool reads them, in every tag format.
TEST_F(Fixtures, AudioTagsGiveWhatExiftoolReads) {
    const AudioRow rows[] = {
        {"v24.mp3", {"Artist", "Band", "Album", "Title", "Track", "PartOfSet", "RecordingTime", "Genre"}},
        {"v23.mp3", {"Artist", "Band", "Album", "Title", "Track", "PartOfSet", "Year", "Genre"}},
        {"v1.mp3", {"Artist", "", "Album", "Title", "Track", "", "Year", "Genre"}},
        {"song.flac", {"Artist", "Albumartist", "Album", "Title", "TrackNumber", "Discnumber", "Date", "Genre"}},
        {"song.ogg", {"Artist", "Albumartist", "Album", "Title", "TrackNumber", "Discnumber", "Date", "Genre"}},
        {"song.opus", {"Artist", "Albumartist", "Album", "Title", "TrackNumber", "Discnumber", "Date", "Genre"}},
        {"song.m4a", {"Artist", "AlbumArtist", "Album", "Title", "TrackNumber", "DiskNumber", "ContentCreateDate", "Genre"}},
        {"song.wma", {"Author", "AlbumArtist", "AlbumTitle", "Title", "TrackNumber", "PartOfSet", "", "Genre"}},
    };
    const Field fields[] = {Field::Artist, Field::AlbumArtist, Field::Album, Field::Title,
                            Field::Track,  Field::Disc,        Field::Year,  Field::Genre};
    FieldSet wanted;
    for (const Field field : fields) wanted.Add(field);
    for (const AudioRow& row : rows) {
        SCOPED_TRACE(row.file);
        std::vector<std::string> names;
        for (const char* tag : row.tags)
            if (*tag != '\0') names.push_back(std::string(row.file) == "v1.mp3" ? "ID3v1:" + std::string(tag) : tag);
        auto oracle = Exiftool(FixtureFolder() + row.file, names);
        const FileMetadata found = Read(row.file, wanted);
        for (int i = 0; i < 8; ++i) {
            SCOPED_TRACE(NameOf(fields[i]));
            const std::optional<FieldValue>& value = found.Value(fields[i]);
            if (*row.tags[i] == '\0') {
                EXPECT_FALSE(value);
                continue;
            }
            ASSERT_TRUE(oracle.count(row.tags[i])) << "exiftool has no " << row.tags[i];
            ASSERT_TRUE(value);
            if (KindOf(fields[i]) == FieldKind::Number)
                EXPECT_EQ(std::get<std::int64_t>(*value), LeadingNumber(oracle[row.tags[i]]));
            else
                EXPECT_EQ(std::get<std::string>(*value), oracle[row.tags[i]]);
        }
    }
}

TEST_F(Fixtures, AudioNamesFromTagsAreMadeFitForANameAndSaySo) {
    auto token = [](const char* text) {
        FieldToken parsed;
        TokenError error;
        EXPECT_EQ(ParseFieldToken(text, 0, parsed, error), TokenScan::Token) << error.message;
        return parsed;
    };
    const FieldToken track = token("{track:2}"), artist = token("{artist}"), title = token("{title}");
    for (const char* file : {"v24.mp3", "v1.mp3", "song.flac", "song.ogg", "song.m4a"}) {
        SCOPED_TRACE(file);
        const FileMetadata found = Read(file, FieldsOf({track, artist, title}));
        const TokenValue titled = ValueOf(title, found, {});
        EXPECT_EQ(ValueOf(track, found, {}).text + " " + ValueOf(artist, found, {}).text + " - " + titled.text,
                  "01 Artist - AC_DC: Live");
        EXPECT_EQ(titled.note, "replaced / with _");
        ValueOptions windows;
        windows.windowsNames = true;
        EXPECT_EQ(ValueOf(title, found, windows).text, "AC_DC_ Live");
    }
    const FileMetadata untagged = Read("untagged.mp3", FieldsOf({artist}));
    const TokenValue none = ValueOf(artist, untagged, {});
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.note, "no artist tag");
    const TokenValue notAudio = ValueOf(artist, Read("photo.jpg", FieldsOf({artist})), {});
    EXPECT_EQ(notAudio.note, "no artist tag: not an audio file with tags that can be read");
}

}  // namespace
}  // namespace quil::metadata
