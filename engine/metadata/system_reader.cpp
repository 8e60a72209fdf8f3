#include "engine/metadata/system_reader.h"

namespace quil::metadata {

const MetadataReader& SystemMetadataReader::Get() {
    if (!reader_) {
        files_ = MakeSystemFileReader();
        tags_ = MakeSystemAudioTagReader();
        reader_ = std::make_unique<MetadataReader>(*files_, *tags_);
    }
    return *reader_;
}

}  // namespace quil::metadata
