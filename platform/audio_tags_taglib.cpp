// Audio tags through TagLib's property map, which gives every tag format the
// same names (ARTIST, ALBUMARTIST, TRACKNUMBER, ...); for an MP3 with both,
// the ID3v2 tag is read and ID3v1 only where there is no other.
#include <sys/stat.h>

#include <taglib/fileref.h>
#include <taglib/tdebuglistener.h>
#include <taglib/tpropertymap.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/audio_tags.h"

namespace quil {
namespace {

// TagLib writes what it finds wrong in a file to standard error; a damaged
// tag is this reader's failure to report, not the terminal's output.
class SilentListener final : public TagLib::DebugListener {
public:
    void printMessage(const TagLib::String&) override {}
};

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string TextOf(const TagLib::PropertyMap& properties, const char* key) {
    const auto found = properties.find(key);
    if (found == properties.end()) return {};
    std::string joined;
    for (const TagLib::String& value : found->second) {
        const std::string text = Trimmed(value.to8Bit(true));
        if (text.empty()) continue;
        if (!joined.empty()) joined += ", ";
        joined += text;
    }
    return joined;
}

// The leading digits: "3/12" is track 3, "2024-07-14" the year 2024.
unsigned NumberOf(const TagLib::PropertyMap& properties, const char* key) {
    const std::string text = TextOf(properties, key);
    unsigned number = 0;
    for (std::size_t at = 0; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        if (number > 100000000) return 0;  // no track, disc or year is that long
        number = number * 10 + static_cast<unsigned>(text[at] - '0');
    }
    return number;
}

class TagLibReader final : public AudioTagReader {
public:
    TagLibReader() {
        static SilentListener silent;
        TagLib::setDebugListener(&silent);
    }

    bool Read(const std::string& path, AudioTags& tags, std::string& failure) override {
        // TagLib opens what it is given: a named pipe would hold it up.
        struct stat info;
        if (stat(path.c_str(), &info) != 0) {
            failure = std::strerror(errno);
            return false;
        }
        if (!S_ISREG(info.st_mode)) {
            failure = "not a regular file";
            return false;
        }
        const TagLib::FileRef file(path.c_str(), false);
        if (file.isNull() || file.file() == nullptr || !file.file()->isValid()) {
            failure = "not an audio file with tags that can be read";
            return false;
        }
        const TagLib::PropertyMap properties = file.file()->properties();
        tags.artist = TextOf(properties, "ARTIST");
        tags.albumArtist = TextOf(properties, "ALBUMARTIST");
        tags.album = TextOf(properties, "ALBUM");
        tags.title = TextOf(properties, "TITLE");
        tags.genre = TextOf(properties, "GENRE");
        tags.track = NumberOf(properties, "TRACKNUMBER");
        tags.disc = NumberOf(properties, "DISCNUMBER");
        tags.year = NumberOf(properties, "DATE");
        return true;
    }
};

}  // namespace
}  // namespace quil

// The module's one entry point (audio_tags_module_posix.cpp loads it): a
// reader, owned by the caller.
extern "C" __attribute__((visibility("default"))) quil::AudioTagReader* QuilMakeTagLibReader() {
    return new quil::TagLibReader();
}
