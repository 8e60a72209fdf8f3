#include "engine/metadata/fields.h"

#include <algorithm>
#include <string>

namespace quil::metadata {
namespace {

struct FieldRow {
    Field field;
    std::string_view name;
    FieldKind kind;
    FieldSource source;
    std::string_view missing;
    std::string_view label;  // in the window's Insert field menu
};

// In the order of the enumeration, which indexes it.
constexpr FieldRow kFields[] = {
    {Field::Taken, "taken", FieldKind::Date, FieldSource::Container, "no date taken", "Date taken"},
    {Field::Modified, "mtime", FieldKind::Date, FieldSource::FileTimes, "no modification time", "Date modified"},
    {Field::Birth, "birth", FieldKind::Date, FieldSource::FileTimes, "no birth time", "Date created (birth time)"},
    {Field::NameDate, "name-date", FieldKind::Date, FieldSource::FileName, "no date in the name", "Date written in the name"},
    {Field::Camera, "camera", FieldKind::Text, FieldSource::Container, "no camera make or model", "Camera"},
    {Field::Width, "width", FieldKind::Number, FieldSource::Container, "no width", "Width in pixels"},
    {Field::Height, "height", FieldKind::Number, FieldSource::Container, "no height", "Height in pixels"},
    {Field::Artist, "artist", FieldKind::Text, FieldSource::AudioTags, "no artist tag", "Artist"},
    {Field::AlbumArtist, "album_artist", FieldKind::Text, FieldSource::AudioTags, "no album artist tag", "Album artist"},
    {Field::Album, "album", FieldKind::Text, FieldSource::AudioTags, "no album tag", "Album"},
    {Field::Title, "title", FieldKind::Text, FieldSource::AudioTags, "no title tag", "Title"},
    {Field::Track, "track", FieldKind::Number, FieldSource::AudioTags, "no track number", "Track number"},
    {Field::Disc, "disc", FieldKind::Number, FieldSource::AudioTags, "no disc number", "Disc number"},
    {Field::Year, "year", FieldKind::Number, FieldSource::AudioTags, "no year tag", "Year"},
    {Field::Genre, "genre", FieldKind::Text, FieldSource::AudioTags, "no genre tag", "Genre"},
};
static_assert(sizeof kFields / sizeof kFields[0] == kFieldCount, "one row per field");

const FieldRow& RowOf(Field field) { return kFields[static_cast<int>(field)]; }

bool SameName(std::string_view written, std::string_view name) {
    auto fold = [](char ch) { return ch == '_' ? '-' : ch; };
    return written.size() == name.size() &&
           std::equal(written.begin(), written.end(), name.begin(), [&](char a, char b) { return fold(a) == fold(b); });
}

}  // namespace

FieldKind KindOf(Field field) { return RowOf(field).kind; }
FieldSource SourceOf(Field field) { return RowOf(field).source; }
std::string_view NameOf(Field field) { return RowOf(field).name; }
std::string_view MissingText(Field field) { return RowOf(field).missing; }
std::string_view LabelOf(Field field) { return RowOf(field).label; }
std::string_view AllFieldNames() {
    static const std::string names = [] {
        std::string all;
        for (const FieldRow& row : kFields) (all += all.empty() ? "" : ", ") += row.name;
        return all;
    }();
    return names;
}

std::optional<Field> FieldNamed(std::string_view name) {
    for (const FieldRow& row : kFields)
        if (SameName(name, row.name)) return row.field;
    return std::nullopt;
}

bool FieldSet::Needs(FieldSource source) const {
    for (const FieldRow& row : kFields)
        if (Has(row.field) && row.source == source) return true;
    return false;
}

}  // namespace quil::metadata
