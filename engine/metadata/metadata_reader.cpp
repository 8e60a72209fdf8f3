#include "engine/metadata/metadata_reader.h"

#include <cstring>

#include "engine/metadata/container_walk.h"
#include "engine/metadata/date_text.h"
#include "engine/metadata/exif_block.h"
#include "engine/metadata/name_date.h"

namespace quil::metadata {
namespace {

std::string NameOfPath(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Nanoseconds as sub-seconds, the trailing zeros left out; none for 0.
std::string SubSecondsOf(std::int32_t nanoseconds) {
    if (nanoseconds <= 0) return {};
    std::string digits = std::to_string(nanoseconds);
    digits.insert(0, 9 - digits.size(), '0');
    return digits.substr(0, digits.find_last_not_of('0') + 1);
}

DateValue InstantOf(const FileTime& time, DateOrigin origin) {
    DateValue date;
    date.origin = origin;
    date.utcSeconds = time.seconds;
    date.subSeconds = SubSecondsOf(time.nanoseconds);
    return date;
}

// The photo's or video's date: EXIF, else Apple's creationdate, else the
// movie header's creation time.
std::optional<DateValue> TakenOf(const ContainerFindings& found, const ExifFields& exif) {
    if (exif.taken) return exif.taken;
    DateValue date;
    if (!found.quickTimeCreationDate.empty() && ParseIsoDateTime(found.quickTimeCreationDate, date)) {
        date.origin = DateOrigin::QuickTimeCreationDate;
        return date;
    }
    if (found.movieCreatedUtc) {
        date.origin = DateOrigin::MovieHeader;
        date.utcSeconds = *found.movieCreatedUtc;
        return date;
    }
    return std::nullopt;
}

// What a file without a value says when nothing went wrong on the way.
std::string NothingFound(const ContainerFindings& found) {
    switch (found.kind) {
        case ContainerKind::Unknown: return "not a photo or video format that is read";
        case ContainerKind::QuickTime: return "the movie records no creation time";
        default: return found.exif.empty() ? "no EXIF in the file" : "";
    }
}

}  // namespace

FileMetadata MetadataReader::Read(const std::string& path, const FieldSet& wanted) const {
    FileMetadata result;
    if (wanted.Has(Field::NameDate))
        if (std::optional<DateValue> date = DateInName(NameOfPath(path))) result.Set(Field::NameDate, std::move(*date));
    if (wanted.Needs(FieldSource::FileTimes)) ReadTimes(path, result);
    if (wanted.Needs(FieldSource::Container)) ReadContainer(path, wanted, result);
    if (wanted.Needs(FieldSource::AudioTags)) ReadTags(path, result);
    return result;
}

void MetadataReader::ReadContainer(const std::string& path, const FieldSet& wanted, FileMetadata& result) const {
    int error = 0;
    const std::unique_ptr<ReadableFile> file = files_.Open(path, error);
    if (!file) {
        result.SetProblem(FieldSource::Container, std::string("cannot be read: ") + std::strerror(error));
        return;
    }
    BoundedFile bytes(*file);
    const ContainerFindings found = WalkContainer(bytes, wanted.Has(Field::Width) || wanted.Has(Field::Height));
    const ExifFields exif = found.exif.empty() ? ExifFields{} : ReadExif(found.exif);

    if (std::optional<DateValue> taken = TakenOf(found, exif)) result.Set(Field::Taken, std::move(*taken));
    if (std::string camera = CameraName(exif.make, exif.model); !camera.empty()) result.Set(Field::Camera, std::move(camera));
    // The image's own header first: EXIF's dimensions may be those before an edit.
    const std::uint32_t width = found.pixels ? found.pixels->width : exif.pixelWidth;
    const std::uint32_t height = found.pixels ? found.pixels->height : exif.pixelHeight;
    if (width != 0 && height != 0) {
        result.Set(Field::Width, std::int64_t{width});
        result.Set(Field::Height, std::int64_t{height});
    }
    result.SetProblem(FieldSource::Container, !found.problem.empty() ? found.problem
                                              : !exif.problem.empty() ? exif.problem
                                                                      : NothingFound(found));
}

void MetadataReader::ReadTimes(const std::string& path, FileMetadata& result) const {
    const FileTimes times = files_.Times(path);
    if (times.error != 0) {
        result.SetProblem(FieldSource::FileTimes, std::string("cannot be read: ") + std::strerror(times.error));
        return;
    }
    if (times.modified) result.Set(Field::Modified, InstantOf(*times.modified, DateOrigin::Modified));
    if (times.birth) result.Set(Field::Birth, InstantOf(*times.birth, DateOrigin::Birth));
    else result.SetProblem(FieldSource::FileTimes, "the file system keeps no birth time");
}

void MetadataReader::ReadTags(const std::string& path, FileMetadata& result) const {
    AudioTags tags;
    std::string failure;
    if (!tags_.Read(path, tags, failure)) {
        result.SetProblem(FieldSource::AudioTags, failure);
        return;
    }
    for (const auto& [field, text] : {std::pair{Field::Artist, &tags.artist}, {Field::AlbumArtist, &tags.albumArtist},
                                      {Field::Album, &tags.album}, {Field::Title, &tags.title}, {Field::Genre, &tags.genre}})
        if (!text->empty()) result.Set(field, *text);
    for (const auto& [field, number] : {std::pair{Field::Track, tags.track}, {Field::Disc, tags.disc}, {Field::Year, tags.year}})
        if (number != 0) result.Set(field, std::int64_t{number});
}

}  // namespace quil::metadata
