// The fields a name can take from inside a file, by the names a replacement
// writes them with ({taken}, {artist}, ...), and what kind of value each is.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quil::metadata {

enum class Field {
    Taken,        // when the photo or video was taken
    Modified,     // "mtime"
    Birth,        // the file's birth time, where the file system keeps one
    NameDate,     // "name-date": a date written in the file's name
    Camera,       // make and model
    Width,        // pixels
    Height,
    Artist,
    AlbumArtist,  // "album_artist"
    Album,
    Title,
    Track,
    Disc,
    Year,
    Genre,
};
constexpr int kFieldCount = static_cast<int>(Field::Genre) + 1;

enum class FieldKind { Date, Text, Number };

// Where a field is read from, so that a transform reads only what it needs.
enum class FieldSource {
    Container,  // the image or video's own metadata (EXIF, boxes)
    AudioTags,
    FileTimes,
    FileName,   // no read at all
};

FieldKind KindOf(Field field);
FieldSource SourceOf(Field field);

// The name a replacement writes: "taken", "mtime", "name-date",
// "album_artist", ...
std::string_view NameOf(Field field);
// The field of that name; "-" and "_" are taken as the same character
// ("album-artist", "name_date"). Empty for any other name.
std::optional<Field> FieldNamed(std::string_view name);
// Every field name, ", " between them, for messages.
std::string_view AllFieldNames();

// What a row says when a file has no value for the field: "no date taken",
// "no artist tag", ...
std::string_view MissingText(Field field);
// What a menu calls it: "Date taken", "Album artist", ...
std::string_view LabelOf(Field field);

// A set of fields, to read only what the transform's tokens name.
class FieldSet {
public:
    FieldSet() = default;
    FieldSet& Add(Field field) {
        bits_ |= Bit(field);
        return *this;
    }
    bool Has(Field field) const { return (bits_ & Bit(field)) != 0; }
    bool Empty() const { return bits_ == 0; }
    // True when any field of the set is read from source.
    bool Needs(FieldSource source) const;
    FieldSet& operator|=(const FieldSet& other) {
        bits_ |= other.bits_;
        return *this;
    }

private:
    static std::uint32_t Bit(Field field) { return 1u << static_cast<int>(field); }
    std::uint32_t bits_ = 0;
};

}  // namespace quil::metadata
