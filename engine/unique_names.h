// Names made unique ("Make unique", quil --unique): lines whose new names
// would collide with each other, or with a file on disk that the list does
// not name, get -1, -2, ... before the extension, in list order, the first
// keeping its name; a line whose name took a time without the sub-seconds
// it recorded tries them first ("_45"). It writes into the text only: the
// plan still refuses anything unsafe, and no file that is not listed is
// ever touched.
#pragma once

#include <string>
#include <vector>

#include "engine/batch_state.h"
#include "platform/file_services.h"

namespace quil {

// lines: the list text's lines, relative to the listing's root, line k for
// slot k + 1; subSeconds: by line, those to try first, where any. Returns
// how many lines changed.
std::size_t MakeUnique(std::vector<std::string>& lines, const BatchState& listed, FileServices& files,
                       const std::vector<std::string>& subSeconds);

}  // namespace quil
