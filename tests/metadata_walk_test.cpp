// The container walker over bytes in memory: what it reads (never past the
// limit, two reads for a photo), and what it says of damaged files.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "engine/metadata/container_walk.h"
#include "engine/metadata/exif_block.h"
#include "engine/metadata/read_many.h"
#include "tests/fake_file_reader.h"

namespace quil::metadata {
namespace {

using testing::FakeFileReader;
using testing::MemoryFile;

std::string Big16(unsigned value) { return {static_cast<char>(value >> 8), static_cast<char>(value)}; }
std::string Big32(std::uint32_t value) { return Big16(value >> 16) + Big16(value & 0xFFFF); }
std::string Little16(unsigned value) { return {static_cast<char>(value), static_cast<char>(value >> 8)}; }
std::string Little32(std::uint32_t value) { return Little16(value & 0xFFFF) + Little16(value >> 16); }

// A little-endian TIFF structure: IFD0 holding only the Exif IFD pointer,
// and the Exif IFD at exifAt holding DateTimeOriginal.
std::string Tiff(std::uint32_t exifAt) {
    std::string tiff = std::string("II*\0", 4) + Little32(8);
    tiff += Little16(1) + Little16(0x8769) + Little16(4) + Little32(1) + Little32(exifAt) + Little32(0);
    tiff.resize(exifAt, '\0');
    tiff += Little16(1) + Little16(0x9003) + Little16(2) + Little32(20) + Little32(exifAt + 18) + Little32(0);
    tiff += std::string("2024:07:14 09:30:12\0", 20);
    return tiff;
}

std::string Segment(unsigned marker, const std::string& data) {
    return std::string{'\xFF', static_cast<char>(marker)} + Big16(static_cast<unsigned>(data.size() + 2)) + data;
}

// SOI, an APP1 with the EXIF padded to appSize bytes of data, a frame of
// 640 x 480, the scan and image data.
std::string Jpeg(std::size_t appSize) {
    std::string exif = std::string("Exif\0\0", 6) + Tiff(26);
    exif.resize(appSize, '\0');
    return std::string("\xFF\xD8", 2) + Segment(0xE1, exif) +
           Segment(0xC0, std::string("\x08", 1) + Big16(480) + Big16(640) + std::string("\x01\x01\x11\x00", 4)) +
           Segment(0xDA, std::string(10, '\0')) + std::string(1 << 20, '\x55');
}

// The findings with the bytes they point into.
struct Walked {
    std::unique_ptr<BoundedFile> bytes;
    ContainerFindings found;
};

Walked Walk(MemoryFile& file, bool wantPixels = true) {
    Walked walked{std::make_unique<BoundedFile>(file), {}};
    walked.found = WalkContainer(*walked.bytes, wantPixels);
    EXPECT_LE(walked.bytes->bytesRead(), kReadLimit);
    if (!walked.found.exif.empty()) ReadExif(walked.found.exif);  // the hand-off, under the sanitizers
    return walked;
}

TEST(Walker, PhotoWithTheLargestApp1TakesTwoReadsAndNotItsImage) {
    MemoryFile file(Jpeg(65533));
    const Walked walked = Walk(file);
    const ContainerFindings& found = walked.found;
    EXPECT_EQ(found.kind, ContainerKind::Jpeg);
    EXPECT_EQ(found.problem, "");
    ASSERT_TRUE(found.pixels);
    EXPECT_EQ(found.pixels->width, 640u);
    EXPECT_EQ(ReadExif(found.exif).taken->wallClock, (CivilTime{2024, 7, 14, 9, 30, 12}));
    EXPECT_LE(file.reads, 2);
    EXPECT_LE(file.bytesRead, kFirstRead + kReadAhead + 16);  // the end of the APP1, and the frame after it

    MemoryFile small(Jpeg(4000));
    Walk(small, false);
    EXPECT_EQ(small.reads, 1);
}

struct DamageRow {
    const char* what;
    std::string bytes;
    const char* problem;
};

std::string Box(const char* type, const std::string& body) { return Big32(static_cast<std::uint32_t>(body.size() + 8)) + type + body; }

// Damaged files end the walk with a note: never a crash, a hang, a read
// past the limit or part of a value.
TEST(Walker, DamagedFilesAreNotedNeverHalfRead) {
    const std::string jpeg = Jpeg(4000);
    const std::string ftyp = Box("ftyp", std::string("isom\0\0\0\0isom", 12));
    const std::string heif = Box("ftyp", std::string("heic\0\0\0\0mif1", 12));
    // iloc version 1 whose sizes are all 0: extents that take no bytes.
    const std::string emptyExtents =
        Box("meta", std::string(4, '\0') + Box("iinf", std::string(4, '\0') + Big16(1) +
                                                       Box("infe", std::string("\x02\0\0\0", 4) + Big16(1) + Big16(0) + "Exif")) +
                        Box("iloc", std::string("\x01\0\0\0", 4) + Big16(0) + Big16(2) + Big16(1) + Big16(0) + Big16(0) +
                                        Big16(0xFFFF) + Big16(2) + Big16(0) + Big16(0) + Big16(0xFFFF)));
    std::string tooManyBoxes = ftyp;
    while (tooManyBoxes.size() < 2 * 1024 * 1024) tooManyBoxes += Box("free", "");
    std::string fillBytes = "\xFF\xD8";
    fillBytes.append(4 * 1024 * 1024, '\xFF');
    const DamageRow rows[] = {
        {"JPEG cut inside its APP1", jpeg.substr(0, 100), "the file ends inside its APP1 segment"},
        {"JPEG cut after its SOI", jpeg.substr(0, 3), "the file ends inside a JPEG marker"},
        {"JPEG segment shorter than its length", "\xFF\xD8\xFF\xE0" + Big16(1), "a JPEG segment has a length below its own"},
        {"JPEG of fill bytes", fillBytes, "the metadata lies past the first 256 KiB read (a JPEG marker)"},
        {"movie box past the end", ftyp + Big32(1000) + "moov" + Box("mvhd", std::string(100, '\0')),
         "a box's size points past the end of the file"},
        {"box of 4 bytes", ftyp + Big32(4) + "free", "a box's size points past the end of the file"},
        {"64-bit box size past the end", ftyp + Big32(1) + "mdat" + Big32(0) + Big32(0xFFFFFFF0u),
         "a box's size points past the end of the file"},
        {"child past its parent", ftyp + Box("moov", Big32(500) + "mvhd") + Box("free", std::string(600, '\0')),
         "a box's size points past the end of the box that holds it"},
        {"movie header cut short", ftyp + Box("moov", Box("mvhd", std::string(2, '\0'))), "the movie header is cut short"},
        {"endless empty boxes", tooManyBoxes, "the metadata lies past the first 256 KiB read (a box header)"},
        {"Exif item of empty extents", heif + emptyExtents, "the Exif item has no location"},
        {"TIFF whose Exif IFD lies past 64 KiB", Tiff(70000), "its Exif IFD lies past the first 64 KiB, which is as far as libexif reads"},
        {"TIFF pointing past its end", std::string("MM\0*", 4) + Big32(0x7FFFFFF0), "the file ends inside its first IFD"},
        {"PNG chunk past the end", std::string("\x89PNG\r\n\x1A\n", 8) + Big32(5000) + "eXIf", "the file ends inside a PNG chunk"},
        {"WebP chunk past the end", "RIFF" + Little32(100) + "WEBP" + "EXIF" + Little32(5000), "the file ends inside a WebP chunk"},
        {"not a known format", "plain text, not a photo", ""},
    };
    for (const DamageRow& row : rows) {
        SCOPED_TRACE(row.what);
        MemoryFile file(row.bytes);
        const ContainerFindings found = Walk(file).found;
        EXPECT_EQ(found.problem, row.problem);
        EXPECT_TRUE(found.exif.empty());
        EXPECT_FALSE(found.movieCreatedUtc);
    }
}

TEST(Walker, ReadFailureIsNamed) {
    MemoryFile file(Jpeg(4000), EIO);
    EXPECT_EQ(Walk(file).found.problem, "");  // not even the signature could be read: no format
    FakeFileReader files;
    files.files["/p/a.jpg"] = {Jpeg(4000), {}, EACCES};
    class NoTags final : public AudioTagReader {
        bool Read(const std::string&, AudioTags&, std::string&) override { return false; }
    } tags;
    const FileMetadata read = MetadataReader(files, tags).Read("/p/a.jpg", FieldSet().Add(Field::Taken));
    EXPECT_EQ(read.Problem(FieldSource::Container), "cannot be read: Permission denied");
}

// The sources a field needs are read, and only they: {name-date} opens no
// file, {mtime} reads no bytes.
TEST(Reader, ReadsOnlyWhatTheFieldsNeed) {
    FakeFileReader files;
    FileTimes times;
    times.modified = FileTime{1720942212, 5000000};
    files.files["/p/IMG_20240714_093012.jpg"] = {Jpeg(4000), times, 0};
    class CountingTags final : public AudioTagReader {
    public:
        bool Read(const std::string&, AudioTags&, std::string&) override { return ++calls, true; }
        int calls = 0;
    } tags;
    const MetadataReader reader(files, tags);
    FileMetadata read = reader.Read("/p/IMG_20240714_093012.jpg", FieldSet().Add(Field::NameDate));
    EXPECT_TRUE(read.Value(Field::NameDate));
    EXPECT_FALSE(read.Value(Field::Taken));
    EXPECT_FALSE(read.Value(Field::Modified));
    read = reader.Read("/p/IMG_20240714_093012.jpg", FieldSet().Add(Field::Modified));
    ASSERT_TRUE(read.Value(Field::Modified));
    EXPECT_EQ(std::get<DateValue>(*read.Value(Field::Modified)).subSeconds, "005");
    EXPECT_FALSE(read.Value(Field::Birth));
    EXPECT_EQ(read.Problem(FieldSource::FileTimes), "the file system keeps no birth time");
    EXPECT_FALSE(read.Value(Field::Taken));
    EXPECT_EQ(tags.calls, 0);
}

TEST(ReadMany, GivesEveryFileInOrderOrNothingWhenStopped) {
    FakeFileReader files;
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) {
        paths.push_back("/p/IMG_2024071" + std::to_string(i % 10) + "_0930" + std::to_string(10 + i) + ".jpg");
        files.files[paths.back()] = {Jpeg(100), {}, 0};
    }
    class SlowTags final : public AudioTagReader {
        bool Read(const std::string&, AudioTags& tags, std::string&) override {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            tags.title = "t";
            return true;
        }
    } tags;
    const MetadataReader reader(files, tags);
    const FieldSet wanted = FieldSet().Add(Field::NameDate).Add(Field::Title).Add(Field::Taken);

    ReadManyOptions options;
    options.progressInterval = std::chrono::milliseconds(1);
    std::vector<std::size_t> progress;
    options.progress = [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, paths.size());
        progress.push_back(done);
        return true;
    };
    std::vector<FileMetadata> results;
    ASSERT_TRUE(ReadMany(reader, paths, wanted, options, results));
    ASSERT_EQ(results.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(std::get<DateValue>(*results[i].Value(Field::NameDate)).wallClock.second, static_cast<int>(10 + i) % 60);
    EXPECT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));

    std::vector<FileMetadata> untouched(3);
    options.progress = [](std::size_t, std::size_t) { return false; };
    EXPECT_FALSE(ReadMany(reader, paths, wanted, options, untouched));
    EXPECT_EQ(untouched.size(), 3u);
    EXPECT_TRUE(ReadMany(reader, {}, wanted, options, untouched));
    EXPECT_TRUE(untouched.empty());
}

// The fuzz target's seed files, through the walker and libexif under this
// build's sanitizers.
TEST(Walker, SeedCorpusWalksCleanly) {
    int seeds = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QUIL_FUZZ_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        MemoryFile file(std::string((std::istreambuf_iterator<char>(in)), {}));
        EXPECT_NE(Walk(file).found.kind, ContainerKind::Unknown) << entry.path();
        ++seeds;
    }
    EXPECT_GE(seeds, 6);
}

}  // namespace
}  // namespace quil::metadata
