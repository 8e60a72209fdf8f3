// The tags of an audio file: ID3v1, ID3v2.3/2.4, Vorbis comments (FLAC, Ogg
// Vorbis, Opus), MP4/M4A atoms and ASF, read by audio_tags_taglib.cpp.
#pragma once

#include <memory>
#include <string>

namespace quil {

// Texts are trimmed of surrounding white space and empty where the file has
// no such tag; a tag with several values (Vorbis comments may repeat one)
// holds them joined by ", ". Numbers are 0 where absent or unreadable: the
// track of "3/12" is 3, the year of "2024-07-14" is 2024.
struct AudioTags {
    std::string artist;
    std::string albumArtist;
    std::string album;
    std::string title;
    std::string genre;
    unsigned track = 0;
    unsigned disc = 0;
    unsigned year = 0;
};

// Safe to call from several threads at once, on different files.
class AudioTagReader {
public:
    virtual ~AudioTagReader() = default;
    // False with a short reason when path is no audio file the reader knows
    // or cannot be read; a file without tags gives true and empty tags.
    virtual bool Read(const std::string& path, AudioTags& tags, std::string& failure) = 0;
};

std::unique_ptr<AudioTagReader> MakeSystemAudioTagReader();

}  // namespace quil
