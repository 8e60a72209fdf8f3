#include "engine/metadata/values.h"

namespace quil::metadata {

bool CivilTime::operator==(const CivilTime& other) const {
    return year == other.year && month == other.month && day == other.day && hour == other.hour &&
           minute == other.minute && second == other.second;
}

const char* Describe(DateOrigin origin) {
    switch (origin) {
        case DateOrigin::ExifDateTimeOriginal: return "EXIF DateTimeOriginal";
        case DateOrigin::ExifCreateDate: return "EXIF CreateDate";
        case DateOrigin::QuickTimeCreationDate: return "QuickTime creationdate";
        case DateOrigin::MovieHeader: return "the movie header's creation time (UTC)";
        case DateOrigin::FileName: return "the date in the file name";
        case DateOrigin::Modified: return "the modification time";
        case DateOrigin::Birth: return "the birth time";
    }
    return "";
}

bool IsInstant(DateOrigin origin) {
    return origin == DateOrigin::MovieHeader || origin == DateOrigin::Modified || origin == DateOrigin::Birth;
}

}  // namespace quil::metadata
