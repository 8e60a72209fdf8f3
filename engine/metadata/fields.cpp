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
};

// In the order of the enumeration, which indexes it.
constexpr FieldRow kFields[] = {
    {Field::Taken, "taken", FieldKind::Date, FieldSource::Container, "no date taken"},
    {Field::Modified, "mtime", FieldKind::Date, FieldSource::FileTimes, "no modification time"},
    {Field::Birth, "birth", FieldKind::Date, FieldSource::FileTimes, "no birth time"},
    {Field::NameDate, "name-date", FieldKind::Date, FieldSource::FileName, "no date in the name"},
    {Field::Camera, "camera", FieldKind::Text, FieldSource::Container, "no camera make or model"},
    {Field::Width, "width", FieldKind::Number, FieldSource::Container, "no width"},
    {Field::Height, "height", FieldKind::Number, FieldSource::Container, "no height"},
    {Field::Artist, "artist", FieldKind::Text, FieldSource::AudioTags, "no artist tag"},
    {Field::AlbumArtist, "album_artist", FieldKind::Text, FieldSource::AudioTags, "no album artist tag"},
    {Field::Album, "album", FieldKind::Text, FieldSource::AudioTags, "no album tag"},
    {Field::Title, "title", FieldKind::Text, FieldSource::AudioTags, "no title tag"},
    {Field::Track, "track", FieldKind::Number, FieldSource::AudioTags, "no track number"},
    {Field::Disc, "disc", FieldKind::Number, FieldSource::AudioTags, "no disc number"},
    {Field::Year, "year", FieldKind::Number, FieldSource::AudioTags, "no year tag"},
    {Field::Genre, "genre", FieldKind::Text, FieldSource::AudioTags, "no genre tag"},
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
