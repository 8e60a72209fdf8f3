// Our own modules (lib/quillane/NAME.so), each holding a library that only
// some runs need: loading GIO, ICU, TagLib and libgit2 at every start cost
// quil more than the listing of a small folder.
#pragma once

#include <string>

namespace quil {

// The entry point symbol of module NAME, loaded the first time it is asked
// for and never closed (its objects live on); null, with the loader's reason
// in failure, when the module cannot be loaded (a broken install).
void* ModuleEntry(const char* module, const char* symbol, std::string& failure);

}  // namespace quil
