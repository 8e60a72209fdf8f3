// The reader of this system's files and audio tags, made on first use: a
// batch that reads nothing inside its files loads nothing to read them with.
#pragma once

#include <memory>

#include "engine/metadata/metadata_reader.h"

namespace quil::metadata {

class SystemMetadataReader {
public:
    const MetadataReader& Get();

private:
    std::unique_ptr<FileReader> files_;
    std::unique_ptr<AudioTagReader> tags_;
    std::unique_ptr<MetadataReader> reader_;
};

}  // namespace quil::metadata
