// A field token's text for one file: the first field of its chain that the
// file has a value for, written by the token's format and made fit for a
// name, with what the row should say about it.
#pragma once

#include <optional>
#include <string>

#include "engine/metadata/date_format.h"
#include "engine/metadata/field_tokens.h"
#include "engine/metadata/values.h"

namespace quil::metadata {

struct ValueOptions {
    // Where the movie header's UTC time is shown (--tz); the local zone
    // where unset. File times are always shown in the local zone.
    Zone movieZone;
    // Make the value fit Win32's name rules too.
    bool windowsNames = false;
};

struct TokenValue {
    bool found = false;
    std::string text;  // the piece of the name; empty where nothing was found
    Field field = Field::Taken;  // the field of the chain that gave it
    // The date as written into the name (wall-clock, in its zone): for a
    // caller that tries the sub-seconds when two names collide.
    std::optional<DateValue> date;
    // What the row says, empty where there is nothing to say: which source
    // gave the value when it was not the first choice ("no date taken;
    // mtime used", "QuickTime creationdate", "the movie header's creation
    // time (UTC) at +02:00"), what the format could not write ("no
    // sub-seconds recorded"), what was replaced ("replaced / with _");
    // where nothing was found, why ("no date taken: the file ends inside
    // its APP1 segment").
    std::string note;
};

TokenValue ValueOf(const FieldToken& token, const FileMetadata& file, const ValueOptions& options);

// A number as {track:2} writes it: at least width digits.
std::string NumberText(std::int64_t value, int width);

}  // namespace quil::metadata
