#include "bench/metadata_bench.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/fixtures.h"
#include "bench/harness.h"
#include "engine/metadata/read_many.h"
#include "engine/metadata/token_values.h"

namespace quil::bench {
namespace {

constexpr int kPhotos = 10000, kSongs = 1000, kRuns = 9, kPeerRuns = 3;

std::string Big16(unsigned value) { return {static_cast<char>(value >> 8), static_cast<char>(value)}; }
std::string Little16(unsigned value) { return {static_cast<char>(value), static_cast<char>(value >> 8)}; }
std::string Little32(std::uint32_t value) { return Little16(value & 0xFFFF) + Little16(value >> 16); }

std::string Segment(unsigned marker, const std::string& data) {
    return std::string{'\xFF', static_cast<char>(marker)} + Big16(static_cast<unsigned>(data.size() + 2)) + data;
}

// A camera's photo as far as its metadata goes: an APP1 of the largest
// size (64 KiB: EXIF with a maker note and a thumbnail, say) whose Exif IFD
// holds DateTimeOriginal, a frame header, and 8 KiB of image data.
std::string Photo(int index) {
    std::string tiff = std::string("II*\0", 4) + Little32(8);
    tiff += Little16(1) + Little16(0x8769) + Little16(4) + Little32(1) + Little32(26) + Little32(0);
    tiff += Little16(1) + Little16(0x9003) + Little16(2) + Little32(20) + Little32(44) + Little32(0);
    char date[21];
    std::snprintf(date, sizeof date, "2024:07:14 %02d:%02d:%02d", index / 3600 % 24, index / 60 % 60, index % 60);
    tiff.append(date, 20);
    std::string exif = std::string("Exif\0\0", 6) + tiff;
    exif.resize(65533, '\0');
    return std::string("\xFF\xD8", 2) + Segment(0xE1, exif) +
           Segment(0xC0, std::string("\x08", 1) + Big16(3000) + Big16(4000) + std::string("\x01\x01\x11\x00", 4)) +
           Segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6)) + std::string(8192, '\x55') + "\xFF\xD9";
}

std::vector<std::string> FilesOf(const std::string& folder) {
    std::vector<std::string> paths;
    DIR* dir = opendir(folder.c_str());
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') paths.push_back(folder + entry->d_name);
    closedir(dir);
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The practical limit: open, one read of 64 KiB, close, on one thread.
void BareReads(const std::vector<std::string>& paths) {
    static char buffer[64 * 1024];
    for (const std::string& path : paths) {
        const int fd = open(path.c_str(), O_RDONLY);
        if (read(fd, buffer, sizeof buffer) < 0) std::perror("read");
        close(fd);
    }
}

struct Services {
    std::unique_ptr<FileReader> files = MakeSystemFileReader();
    std::unique_ptr<AudioTagReader> tags = MakeSystemAudioTagReader();
    metadata::MetadataReader reader{*files, *tags};
};

// Each file's token text, as a transform asks for it.
std::size_t NamesFrom(Services& services, const std::vector<std::string>& paths, const char* replacement, int threads) {
    metadata::FieldToken token;
    metadata::TokenError error;
    metadata::ParseFieldToken(replacement, 0, token, error);
    metadata::ReadManyOptions options;
    options.threads = threads;
    std::vector<metadata::FileMetadata> read;
    metadata::ReadMany(services.reader, paths, metadata::FieldsOf({token}), options, read);
    std::size_t found = 0;
    for (const metadata::FileMetadata& file : read) found += metadata::ValueOf(token, file, {}).found;
    return found;
}

double Process(const std::string& command, int runs) {
    return MedianMs(runs, [&] {
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    });
}

// pread64 and read calls per file of a process's run over a folder of
// files, by strace -c.
double ReadsPerFile(const std::string& program, const std::string& folder, int files) {
    const std::string counts = folder + "../strace";
    const std::string command = "strace -f -c -e trace=read,pread64 -o '" + counts + "' " + program + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return -1;
    std::ifstream in(counts);
    std::string line;
    long calls = 0;
    while (std::getline(in, line)) {
        if (line.find("pread64") == std::string::npos && line.find(" read") == std::string::npos) continue;
        long seconds = 0, usecs = 0, count = 0;
        double percent = 0;
        if (std::sscanf(line.c_str(), "%lf %ld.%ld %*d %ld", &percent, &seconds, &usecs, &count) == 4) calls += count;
    }
    return static_cast<double>(calls) / files;
}

std::string Self() {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    return length > 0 ? std::string(self, static_cast<std::size_t>(length)) : std::string();
}

void BenchPhotos(Services& services) {
    const std::string base = MakeTempFolder("metadata");
    const std::string folder = base + "photos/";
    mkdir(folder.c_str(), 0755);
    for (int i = 0; i < kPhotos; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%05d.jpg", i);
        std::ofstream(folder + name, std::ios::binary) << Photo(i);
    }
    const std::vector<std::string> paths = FilesOf(folder);
    BareReads(paths);  // warm the cache
    std::size_t found = 0;
    const double one = MedianMs(kRuns, [&] { found = NamesFrom(services, paths, "{taken}", 1); });
    const double pool = MedianMs(kRuns, [&] { found = NamesFrom(services, paths, "{taken}", 4); });
    const double bare = MedianMs(kRuns, [&] { BareReads(paths); });
    if (found != paths.size()) std::fprintf(stderr, "a date taken for %zu of %zu photos\n", found, paths.size());
    PrintRow("{taken} of 10,000 JPEGs (64 KiB APP1), one thread", one, "open + 64 KiB read + close, one thread", bare, "<= 3x");
    PrintRow("{taken} of 10,000 JPEGs (64 KiB APP1), 4 threads", pool, "open + 64 KiB read + close, one thread", bare, "");
    std::printf("| reads per JPEG (strace -c: read and pread64) | %.2f | | | | <= 2 |\n",
                ReadsPerFile("'" + Self() + "' metadata-probe '" + folder + "'", folder, kPhotos));
    // quil itself, from its start to the plan shown.
    const std::string state = base + "state";
    const std::string quil = "XDG_STATE_HOME='" + state + "' '" + std::string(QUIL_TERMINAL_PATH) +
                             "' -n --replace '.*' '{taken}' '" + folder + "'";
    const double process = Process(quil + " >/dev/null", kRuns);
    PrintRow("quil -n --replace '.*' '{taken}', 10,000 JPEGs (process)", process, "open + 64 KiB read + close, one thread",
             bare, "<= 3x");
    std::printf("| reads per JPEG of that quil (strace -c: read and pread64) | %.2f | | | | <= 2 |\n",
                ReadsPerFile(quil, folder, kPhotos));
    const double exiftool = Process("exiftool -q -fast2 -DateTimeOriginal '" + folder + "' >/dev/null", kPeerRuns);
    PrintRow("{taken} of 10,000 JPEGs, 4 threads", pool, "`exiftool -fast2 -DateTimeOriginal` (process)", exiftool, "<= 0.2x");
    const double exiv2 = Process("cd '" + folder + "' && exiv2 -q -g Exif.Photo.DateTimeOriginal pr *.jpg >/dev/null", kPeerRuns);
    PrintRow("{taken} of 10,000 JPEGs, 4 threads", pool, "`exiv2 -g Exif.Photo.DateTimeOriginal` (process)", exiv2, "<= 0.2x");
    RemoveTree(base);
}

void BenchSongs(Services& services) {
    const std::string base = MakeTempFolder("tags");
    const std::string folder = base + "songs/";
    mkdir(folder.c_str(), 0755);
    const std::string tags = "-metadata artist=Artist -metadata album=Album -metadata title=Title -metadata track=3";
    for (const char* kind : {"mp3", "flac"})
        if (std::system(("ffmpeg -v error -y -f lavfi -i sine=d=3 " + tags + " '" + base + "song." + kind + "'").c_str()) != 0)
            std::fprintf(stderr, "ffmpeg failed\n");
    for (int i = 0; i < kSongs; ++i) {
        const std::string kind = i % 2 == 0 ? "mp3" : "flac";
        std::filesystem::copy_file(base + "song." + kind, folder + "song-" + std::to_string(i) + "." + kind);
    }
    const std::vector<std::string> paths = FilesOf(folder);
    BareReads(paths);
    std::size_t found = 0;
    const double ours = MedianMs(kRuns, [&] { found = NamesFrom(services, paths, "{artist}", 4); });
    if (found != paths.size()) std::fprintf(stderr, "an artist for %zu of %zu songs\n", found, paths.size());
    const double exiftool =
        Process("exiftool -q -fast -Artist -Album -Title -Track -TrackNumber '" + folder + "' >/dev/null", kPeerRuns);
    PrintRow("{artist} of 1,000 MP3 and FLAC files, 4 threads", ours, "`exiftool -fast -Artist ...` (process)", exiftool, "");
    const double bare = MedianMs(kRuns, [&] { BareReads(paths); });
    PrintRow("{artist} of 1,000 MP3 and FLAC files, 4 threads", ours, "open + 64 KiB read + close, one thread", bare, "");
    RemoveTree(base);
}

}  // namespace

void BenchMetadata() {
    Services services;
    BenchPhotos(services);
    BenchSongs(services);
}

int ReadTakenOfFolder(const char* folder) {
    Services services;
    return NamesFrom(services, FilesOf(std::string(folder)), "{taken}", 1) > 0 ? 0 : 1;
}

}  // namespace quil::bench
