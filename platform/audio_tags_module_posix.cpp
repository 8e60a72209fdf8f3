// MakeSystemAudioTagReader through a module of our own (quil-tags.so, which
// links TagLib), loaded the first time a name asks for an audio tag.
#include <mutex>

#include "platform/audio_tags.h"
#include "platform/modules.h"

namespace quil {
namespace {

using MakeReader = AudioTagReader* (*)();

class TagsOnDemand final : public AudioTagReader {
public:
    bool Read(const std::string& path, AudioTags& tags, std::string& failure) override {
        std::call_once(loaded_, [this] {
            const auto make = reinterpret_cast<MakeReader>(ModuleEntry("quil-tags", "QuilMakeTagLibReader", failure_));
            if (make != nullptr) reader_.reset(make());
        });
        if (!reader_) {
            failure = "audio tags cannot be read: " + failure_;
            return false;
        }
        return reader_->Read(path, tags, failure);
    }

private:
    std::once_flag loaded_;  // readers run on several threads at once
    std::unique_ptr<AudioTagReader> reader_;
    std::string failure_;
};

}  // namespace

std::unique_ptr<AudioTagReader> MakeSystemAudioTagReader() { return std::make_unique<TagsOnDemand>(); }

}  // namespace quil
