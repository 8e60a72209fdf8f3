#include "engine/metadata/token_values.h"

#include <variant>

#include "engine/metadata/name_piece.h"

namespace quil::metadata {
namespace {

// Why the field has no value for this file: "no date taken", and the
// problem of its source where there was one.
std::string WhyMissing(Field field, const FileMetadata& file) {
    std::string why(MissingText(field));
    const std::string& problem = file.Problem(SourceOf(field));
    if (!problem.empty()) why += ": " + problem;
    return why;
}

void Append(std::string& note, const std::string& part) {
    if (part.empty()) return;
    if (!note.empty()) note += "; ";
    note += part;
}

std::string OffsetText(int minutes) {
    std::string text = minutes < 0 ? "-" : "+";
    const int magnitude = minutes < 0 ? -minutes : minutes;
    text += NumberText(magnitude / 60, 2) + ":" + NumberText(magnitude % 60, 2);
    return text;
}

// The date's own source, where the row should name it: any but the first
// choice of a photo's date.
std::string SourceNote(const DateValue& shown) {
    switch (shown.origin) {
        case DateOrigin::ExifDateTimeOriginal:
        case DateOrigin::FileName:
        case DateOrigin::Modified:
        case DateOrigin::Birth: return {};
        case DateOrigin::MovieHeader:
            return std::string(Describe(shown.origin)) + " at " + OffsetText(shown.offsetMinutes.value_or(0));
        case DateOrigin::ExifCreateDate:
        case DateOrigin::QuickTimeCreationDate: return Describe(shown.origin);
    }
    return {};
}

std::string TextOf(const FieldToken& token, const FieldValue& value, const ValueOptions& options, TokenValue& result) {
    if (const auto* date = std::get_if<DateValue>(&value)) {
        DateValue shown = InZone(*date, date->origin == DateOrigin::MovieHeader ? options.movieZone : Zone{});
        std::vector<std::string> notes;
        std::string text = token.dateFormat.Write(shown, notes);
        Append(result.note, SourceNote(shown));
        for (const std::string& note : notes) Append(result.note, note);
        result.date = std::move(shown);
        return text;
    }
    if (const auto* number = std::get_if<std::int64_t>(&value)) return NumberText(*number, token.width);
    return std::get<std::string>(value);
}

}  // namespace

std::string NumberText(std::int64_t value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

TokenValue ValueOf(const FieldToken& token, const FileMetadata& file, const ValueOptions& options) {
    TokenValue result;
    std::string skipped;
    for (const Field field : token.chain) {
        const std::optional<FieldValue>& value = file.Value(field);
        if (!value) {
            Append(skipped, WhyMissing(field, file));
            continue;
        }
        result.found = true;
        result.field = field;
        if (!skipped.empty()) result.note = skipped + "; " + std::string(NameOf(field)) + " used";
        const NamePiece piece = MakeNamePiece(TextOf(token, *value, options, result), options.windowsNames);
        if (!piece.replaced.empty()) Append(result.note, "replaced " + piece.replaced + " with _");
        result.text = piece.text;
        return result;
    }
    result.note = skipped;
    return result;
}

}  // namespace quil::metadata
