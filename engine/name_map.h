// Names from a list (quil --map, the window's "Rename from list..."): a CSV
// of old,new rows (RFC 4180, UTF-8 with or without a byte-order mark; an
// "old,new" header row is skipped), the old paths as the list shows them;
// or a plain list of new names, one per line, for the listed lines in
// order. The result is an edit of the list text like any other: the plan,
// its refusals, the undo and the JSON are a typed edit's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/batch_state.h"

namespace quil {

enum class MapFormat { Csv, List };

// Csv for a name ending in ".csv" (any case), else List.
MapFormat MapFormatOf(std::string_view path);

// A row that cannot be used: the row (1 for the first, the header
// included; a quoted field's line breaks do not start rows) and why.
struct MapRefusal {
    int row = 0;
    std::string reason;
};

struct MappedNames {
    int rows = 0;                     // the rows read, the header left out
    std::vector<MapRefusal> refused;  // rows naming no listed file, a file twice, a malformed row, no name
    std::string error;                // the whole list cannot be used (a plain list of the wrong length)
};

// Puts the new names of text into lines (the list text's lines, line k for
// slot k + 1 of listed); a refused row changes nothing.
MappedNames MapNames(std::string_view text, MapFormat format, const BatchState& listed,
                     std::vector<std::string>& lines);

}  // namespace quil
