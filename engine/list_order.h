// The order of a listing within each folder (the Linux editions' --sort and
// "Order by"): folders keep their order, files move by a key, stably, ties
// and files without the key in natural name order, those without last. The
// order is a listing's: it pairs lines with files, and changes nothing else.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/batch_state.h"
#include "platform/file_services.h"

namespace quil {

// keys[slot]: the key the file of that slot orders by, compared as bytes;
// absent where it has none. Reorders state's slots 1..count (and its folder
// flags) and builds its list text again.
void OrderWithinFolders(BatchState& state, const std::vector<std::optional<std::string>>& keys, bool reverse,
                        const Conventions& conventions);

// Keys that order as numbers and as names do, compared as bytes.
std::string NumberKey(std::uint64_t value);
std::string ExtensionKey(const std::string& path, const Conventions& conventions);

}  // namespace quil
