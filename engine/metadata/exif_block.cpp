#include "engine/metadata/exif_block.h"

#include <libexif/exif-data.h>

#include <algorithm>
#include <memory>

#include "engine/metadata/date_text.h"

namespace quil::metadata {
namespace {

struct ExifDataRelease {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
using ExifDataPointer = std::unique_ptr<ExifData, ExifDataRelease>;

// The entry's bytes where it holds ASCII whose count matches its size.
std::optional<std::string_view> AsciiOf(ExifContent* ifd, ExifTag tag) {
    const ExifEntry* entry = exif_content_get_entry(ifd, tag);
    if (entry == nullptr || entry->format != EXIF_FORMAT_ASCII || entry->data == nullptr || entry->size != entry->components)
        return std::nullopt;
    std::string_view text(reinterpret_cast<const char*>(entry->data), entry->size);
    return text.substr(0, text.find('\0'));
}

std::string Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

std::uint32_t NumberOf(ExifContent* ifd, ExifTag tag, ExifByteOrder order) {
    const ExifEntry* entry = exif_content_get_entry(ifd, tag);
    if (entry == nullptr || entry->components != 1 || entry->data == nullptr) return 0;
    if (entry->format == EXIF_FORMAT_SHORT && entry->size == 2) return exif_get_short(entry->data, order);
    if (entry->format == EXIF_FORMAT_LONG && entry->size == 4) return exif_get_long(entry->data, order);
    return 0;
}

// Sub-seconds are digits; anything else is left out.
std::string SubSecondsOf(ExifContent* ifd, ExifTag tag) {
    const std::string digits = Trimmed(AsciiOf(ifd, tag).value_or(""));
    return std::all_of(digits.begin(), digits.end(), [](char ch) { return ch >= '0' && ch <= '9'; }) ? digits : "";
}

// The date of one of the Exif IFD's date entries with its own sub-seconds
// and offset; problem says where an entry is there and holds no date.
std::optional<DateValue> DateOf(ExifContent* ifd, ExifTag date, ExifTag subSeconds, ExifTag offset, DateOrigin origin,
                                std::string& problem) {
    const std::optional<std::string_view> text = AsciiOf(ifd, date);
    if (!text) return std::nullopt;
    DateValue value;
    value.origin = origin;
    if (!ParseExifDateTime(*text, value.wallClock)) {
        if (problem.empty()) problem = std::string(Describe(origin)) + " holds no date (\"" + Trimmed(*text) + "\")";
        return std::nullopt;
    }
    value.subSeconds = SubSecondsOf(ifd, subSeconds);
    int minutes = 0;
    if (const std::optional<std::string_view> zone = AsciiOf(ifd, offset); zone && ParseOffset(*zone, minutes))
        value.offsetMinutes = minutes;
    return value;
}

}  // namespace

ExifFields ReadExif(std::string_view block) {
    ExifFields fields;
    if (block.substr(0, sizeof kExifHeader) != std::string_view(kExifHeader, sizeof kExifHeader)) {
        fields.problem = "the EXIF cannot be read";
        return fields;
    }
    ExifDataPointer data(exif_data_new());
    if (!data) {
        fields.problem = "out of memory for the EXIF";
        return fields;
    }
    // By default libexif "fixes" what it loads to the letter of the
    // standard, adding mandatory entries with made-up values; the file's
    // own entries are wanted, as they are.
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    block = block.substr(0, kExifBlockLimit);
    exif_data_load_data(data.get(), reinterpret_cast<const unsigned char*>(block.data()),
                        static_cast<unsigned>(block.size()));

    ExifContent* ifd0 = data->ifd[EXIF_IFD_0];
    ExifContent* exif = data->ifd[EXIF_IFD_EXIF];
    fields.taken = DateOf(exif, EXIF_TAG_DATE_TIME_ORIGINAL, EXIF_TAG_SUB_SEC_TIME_ORIGINAL,
                          EXIF_TAG_OFFSET_TIME_ORIGINAL, DateOrigin::ExifDateTimeOriginal, fields.problem);
    if (!fields.taken)
        fields.taken = DateOf(exif, EXIF_TAG_DATE_TIME_DIGITIZED, EXIF_TAG_SUB_SEC_TIME_DIGITIZED,
                              EXIF_TAG_OFFSET_TIME_DIGITIZED, DateOrigin::ExifCreateDate, fields.problem);
    fields.make = Trimmed(AsciiOf(ifd0, EXIF_TAG_MAKE).value_or(""));
    fields.model = Trimmed(AsciiOf(ifd0, EXIF_TAG_MODEL).value_or(""));
    const ExifByteOrder order = exif_data_get_byte_order(data.get());
    fields.pixelWidth = NumberOf(exif, EXIF_TAG_PIXEL_X_DIMENSION, order);
    fields.pixelHeight = NumberOf(exif, EXIF_TAG_PIXEL_Y_DIMENSION, order);
    if (ifd0->count == 0 && exif->count == 0 && fields.problem.empty()) fields.problem = "the EXIF cannot be read";
    return fields;
}

std::string CameraName(std::string_view make, std::string_view model) {
    if (make.empty()) return std::string(model);
    if (model.empty()) return std::string(make);
    const std::string_view firstWord = make.substr(0, make.find(' '));
    const bool repeated =
        model.size() >= firstWord.size() &&
        std::equal(firstWord.begin(), firstWord.end(), model.begin(), [](char a, char b) {
            return (a >= 'a' && a <= 'z' ? a - 32 : a) == (b >= 'a' && b <= 'z' ? b - 32 : b);
        }) &&
        (model.size() == firstWord.size() || model[firstWord.size()] == ' ' || model[firstWord.size()] == '-');
    return repeated ? std::string(model) : std::string(make) + " " + std::string(model);
}

}  // namespace quil::metadata
