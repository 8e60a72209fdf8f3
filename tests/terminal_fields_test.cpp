// Names from inside the files, the order of the listing and names made
// unique, through quil on photos, movies and songs made by Debian's tools.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/media_fixtures.h"
#include "tests/terminal_fixture.h"

namespace quil {
namespace {

using testing::MediaFixture;

// fixture's bytes, then zeros up to size bytes (after a JPEG's or a PNG's
// end nothing is read).
std::string PaddedTo(const std::string& fixture, std::size_t size) {
    std::string bytes = MediaFixture(fixture);
    if (bytes.size() < size) bytes.resize(size, '\0');
    return bytes;
}

TEST_F(TerminalTest, NamesFromInsideTheFiles) {
    ASSERT_FALSE(testing::MediaFixtureFolder().empty());
    const std::string photo = MediaFixture("photo.jpg");
    const std::string noExif = MediaFixture("noexif.jpg");
    const std::string truncated = MediaFixture("truncated.jpg");
    const std::vector<std::string> taken = {"--yes", "--replace", ".*", "{taken}"};
    const std::vector<std::string> song = {"--yes", "--replace", ".*", "{track:2} {artist} - {title}"};
    RunRows({
        {"the date taken of a JPEG and a HEIC", {{"a.jpg", photo}, {"b.heic", MediaFixture("photo.heic")}}, "exit:1",
         taken, {{"20240714_093012.jpg", photo}, {"20240714_093012.heic", MediaFixture("photo.heic")}}, 0, "2 renames", ""},
        {"the shooting time, not the last edit", {{"a.jpg", MediaFixture("edited.jpg")}}, "exit:1", taken,
         {{"20240714_093012.jpg", MediaFixture("edited.jpg")}}, 0, "1 rename", ""},
        {"sub-seconds and the offset as written", {{"a.jpg", photo}}, "exit:1",
         {"--yes", "--replace", ".*", "{taken:%Y-%m-%d %H.%M.%S.%f%z}"}, {{"2024-07-14 09.30.12.45+0200.jpg", photo}}, 0,
         "1 rename", ""},
        {"a movie header's UTC time in the zone asked", {{"m.mp4", MediaFixture("movie.mp4")}}, "exit:1",
         {"--yes", "--tz", "+02:00", "--replace", ".*", "{taken}"}, {{"20240714_093012.mp4", MediaFixture("movie.mp4")}}, 0,
         "rename  m.mp4 -> 20240714_093012.mp4  (the movie header's creation time (UTC) at +02:00)", ""},
        {"Apple's creation date with its own offset", {{"m.mov", MediaFixture("apple.mov")}}, "exit:1",
         {"--yes", "--tz", "-05:00", "--replace", ".*", "{taken}"}, {{"20240714_093012.mov", MediaFixture("apple.mov")}}, 0,
         "(QuickTime creationdate)", ""},
        {"a photo without EXIF stays and says so", {{"a.jpg", noExif}}, "exit:1", taken, {{"a.jpg", noExif}}, 0,
         "keep    a.jpg  (no date taken: no EXIF in the file)", ""},
        {"a fallback to the date in the name", {{"IMG-20200307-WA0001.jpg", noExif}}, "exit:1",
         {"--yes", "--replace", ".*", "{taken|name-date:%Y-%m-%d}"}, {{"2020-03-07.jpg", noExif}}, 0, "name-date used", ""},
        {"a truncated JPEG is noted", {{"t.jpg", truncated}, {"a.jpg", photo}}, "exit:1", taken,
         {{"t.jpg", truncated}, {"20240714_093012.jpg", photo}}, 0, "keep    t.jpg  (no date taken: the file ends inside", ""},
        {"songs in every tag format, a slash made safe",
         {{"a/v24.mp3", MediaFixture("v24.mp3")}, {"b/v1.mp3", MediaFixture("v1.mp3")}, {"s.flac", MediaFixture("song.flac")},
          {"s.ogg", MediaFixture("song.ogg")}, {"s.m4a", MediaFixture("song.m4a")}},
         "exit:1", song,
         {{"a/01 Artist - AC_DC: Live.mp3", MediaFixture("v24.mp3")}, {"b/01 Artist - AC_DC: Live.mp3", MediaFixture("v1.mp3")},
          {"01 Artist - AC_DC: Live.flac", MediaFixture("song.flac")}, {"01 Artist - AC_DC: Live.ogg", MediaFixture("song.ogg")},
          {"01 Artist - AC_DC: Live.m4a", MediaFixture("song.m4a")}},
         0, "rename  a/v24.mp3 -> a/01 Artist - AC_DC: Live.mp3  (replaced / with _)", ""},
        {"a song without tags stays and says so", {{"u.mp3", MediaFixture("untagged.mp3")}}, "exit:1", song,
         {{"u.mp3", MediaFixture("untagged.mp3")}}, 0, "keep    u.mp3  (no track number)", ""},
        {"the plan as JSON carries the notes", {{"a.jpg", noExif}}, "exit:1", {"-n", "--json", "--replace", ".*", "{taken}"},
         {{"a.jpg", noExif}}, 0, "\"note\": \"no date taken: no EXIF in the file\"", ""},
        {"an unknown field", {{"a.jpg", photo}}, "exit:1", {"--yes", "--replace", ".*", "{date}"}, {{"a.jpg", photo}}, 2, "",
         "unknown field {date}"},
        {"a bad date format", {{"a.jpg", photo}}, "exit:1", {"--yes", "--replace", ".*", "{taken:%Q}"}, {{"a.jpg", photo}}, 2,
         "", "%Q is not a date conversion"},
        {"a bad zone", {{"a.jpg", photo}}, "exit:1", {"--yes", "--tz", "Paris", "--replace", ".*", "{taken}"},
         {{"a.jpg", photo}}, 2, "", "--tz takes an offset"},
    });
}

// Each key through the command line, each with its own order of the same
// files, so that two keys swapped in the option table show; ties keep the
// natural order, files without the key come last, folders keep theirs.
TEST_F(TerminalTest, OrderBeforeNumbering) {
    ASSERT_FALSE(testing::MediaFixtureFolder().empty());
    struct File {
        const char* path;
        std::string bytes;
        int day;  // of the modification time, in January 2020
    };
    const std::vector<File> files = {
        {"a.txt", "aaaaa", 3},                            // no date taken, the smallest
        {"b.jpg", PaddedTo("photo.jpg", 5000), 1},         // taken 2024-07-14 09:30:12.45, the largest
        {"c.jpg", PaddedTo("older.jpg", 3000), 2},         // taken 2023
        {"d.png", PaddedTo("photo.png", 4000), 4},         // taken as b.jpg
        {"s/e.txt", "e", 5},
        {"s/f.jpg", MediaFixture("second.jpg"), 6},
    };
    struct Row {
        std::vector<std::string> args;
        std::string listed;
    };
    const std::vector<Row> rows = {
        {{"--sort", "name"}, "a.txt\nb.jpg\nc.jpg\nd.png\ns/e.txt\ns/f.jpg\n"},
        {{"--sort", "name", "-r"}, "d.png\nc.jpg\nb.jpg\na.txt\ns/f.jpg\ns/e.txt\n"},
        {{"--sort", "taken"}, "c.jpg\nb.jpg\nd.png\na.txt\ns/f.jpg\ns/e.txt\n"},
        {{"--sort", "taken", "--reverse"}, "b.jpg\nd.png\nc.jpg\na.txt\ns/f.jpg\ns/e.txt\n"},
        {{"--sort", "mtime"}, "b.jpg\nc.jpg\na.txt\nd.png\ns/e.txt\ns/f.jpg\n"},
        {{"--sort", "mtime", "-r"}, "d.png\na.txt\nc.jpg\nb.jpg\ns/f.jpg\ns/e.txt\n"},
        {{"--sort", "size"}, "a.txt\nc.jpg\nd.png\nb.jpg\ns/e.txt\ns/f.jpg\n"},
        {{"--sort", "size", "-r"}, "b.jpg\nd.png\nc.jpg\na.txt\ns/f.jpg\ns/e.txt\n"},
        {{"--sort", "ext"}, "b.jpg\nc.jpg\nd.png\na.txt\ns/f.jpg\ns/e.txt\n"},
        {{"--sort", "ext", "-r"}, "a.txt\nd.png\nb.jpg\nc.jpg\ns/e.txt\ns/f.jpg\n"},
    };
    for (const File& file : files) {
        testing::WriteFiles(tree_, {{file.path, file.bytes}});
        const time_t newYear2020 = 1577836800;
        const timespec when[2] = {{newYear2020, 0}, {newYear2020 + (file.day - 1) * 86400, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (tree_ / file.path).c_str(), when, 0), 0);
    }
    for (const Row& row : rows) {
        std::string args;
        for (const std::string& arg : row.args) args += arg + " ";
        SCOPED_TRACE(args);
        QuilRun run;
        run.args = row.args;
        run.args.push_back("--list");
        run.env = Environment("false");
        run.folder = tree_;
        const Outcome outcome = testing::RunQuil(run);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.out, row.listed);
    }
    // {n} counts in that order, and the fallback says which source it took.
    QuilRun numbered;
    numbered.args = {"-n", "--sort", "taken", "--replace", ".*", "{n}_{taken|mtime:%Y}"};
    numbered.env = Environment("false");
    numbered.folder = tree_;
    const Outcome outcome = testing::RunQuil(numbered);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("rename  c.jpg -> 1_2023.jpg\n"
                               "rename  b.jpg -> 2_2024.jpg\n"
                               "rename  d.png -> 3_2024.png\n"
                               "rename  a.txt -> 4_2020.txt  (no date taken: not a photo or video format that is read; "
                               "mtime used)\n"),
              std::string::npos)
        << outcome.out;
}

// Three photos of one second, two with sub-seconds, and a file not listed
// that holds the first name: no refusal, and only the listed files move.
TEST_F(TerminalTest, MadeUniqueBesideAFileNotListed) {
    ASSERT_FALSE(testing::MediaFixtureFolder().empty());
    const Tree before = {{"p1.jpg", MediaFixture("photo.jpg")},
                         {"p2.jpg", MediaFixture("digitized.jpg")},
                         {"p3.jpg", MediaFixture("second.jpg")},
                         {"20240714_093012.jpg", "not listed"}};
    Write(before);
    QuilRun run;
    run.args = {"--yes", "--replace", ".*", "{taken}", "--unique", "p1.jpg", "p2.jpg", "p3.jpg"};
    run.env = Environment("false");
    run.folder = tree_;
    const Outcome outcome = testing::RunQuil(run);
    EXPECT_EQ(outcome.status, 0) << outcome.out << outcome.err;
    EXPECT_EQ(outcome.out.find("refuse"), std::string::npos) << outcome.out;
    EXPECT_EQ(Files(tree_), (Tree{{"20240714_093012_45.jpg", MediaFixture("photo.jpg")},
                                  {"20240714_093012_7.jpg", MediaFixture("digitized.jpg")},
                                  {"20240714_093012-1.jpg", MediaFixture("second.jpg")},
                                  {"20240714_093012.jpg", "not listed"}}));
    run.args = {"--undo", "--yes"};
    EXPECT_EQ(testing::RunQuil(run).status, 0);
    EXPECT_EQ(Files(tree_), before);
}

}  // namespace
}  // namespace quil
