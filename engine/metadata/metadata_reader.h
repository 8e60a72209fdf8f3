// Reading what one file holds for the fields a transform names: only the
// sources those fields need (nothing but the name for {name-date}, the
// times for {mtime} and {birth}, the container for photos and videos, the
// tags for audio), at most 256 KiB of the file's own bytes.
#pragma once

#include <string>

#include "engine/metadata/fields.h"
#include "engine/metadata/values.h"
#include "platform/audio_tags.h"
#include "platform/file_reader.h"

namespace quil::metadata {

class MetadataReader {
public:
    // Both services must be safe to call from several threads at once when
    // the reader is used by ReadMany.
    MetadataReader(FileReader& files, AudioTagReader& tags) : files_(files), tags_(tags) {}

    // The values of the wanted fields for the file at path, whose last
    // part is the name {name-date} reads: pass the file's path as listed,
    // not an edited line. Never fails: what cannot be read is a problem of
    // its source in the result.
    FileMetadata Read(const std::string& path, const FieldSet& wanted) const;

private:
    void ReadContainer(const std::string& path, const FieldSet& wanted, FileMetadata& result) const;
    void ReadTimes(const std::string& path, FileMetadata& result) const;
    void ReadTags(const std::string& path, FileMetadata& result) const;

    FileReader& files_;
    AudioTagReader& tags_;
};

}  // namespace quil::metadata
