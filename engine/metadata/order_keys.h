// What a listing is ordered by (--sort, "Order by"): the date taken, the
// modification time, the size or the extension of each file, as keys that
// compare as bytes for OrderWithinFolders.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/metadata/date_format.h"
#include "engine/metadata/read_many.h"
#include "platform/file_services.h"

namespace quil::metadata {

enum class SortKey { Name, Taken, Modified, Size, Extension };

struct SortKeyName {
    SortKey key;
    const char* word;   // quil's --sort
    const char* label;  // the window's Order by
};
// Every key, in the order menus list them.
const SortKeyName* SortKeyNames(std::size_t& count);

// "name", "taken", "mtime", "size", "ext"; false for any other word.
bool ParseSortKey(std::string_view word, SortKey& key);
// Those words, in that order, space-separated.
const char* SortKeyWords();

// keys[slot] for the files of paths[1..]: absent where a file has none (no
// date taken); for Name, the natural order of the names. Dates of
// instants are ordered as shown in zone. False when progress stopped it.
bool OrderKeysOf(SortKey key, const std::vector<std::string>& paths, const MetadataReader& reader, FileServices& files,
                 const Zone& zone, const ReadManyOptions& options, std::vector<std::optional<std::string>>& keys);

}  // namespace quil::metadata
