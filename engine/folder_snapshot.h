// The names one folder holds, read once: where a batch has many targets in
// one folder, looking each up in its listing costs a fraction of a lookup
// of each on the file system (a missing name is the file system's dearest
// lookup). It is a snapshot, as each lookup would be: the moves themselves
// never replace a file, whatever changed since.
#pragma once

#include <string>
#include <string_view>

#include <boost/unordered/unordered_flat_map.hpp>

#include "platform/file_services.h"

namespace quil {

class FolderSnapshot {
public:
    // False when the folder cannot be listed to its end.
    bool Read(FileServices& files, const std::string& folder, bool foldsCase);
    // What the folder held under name (a name part, not folded).
    PathKind KindOf(std::string_view name) const;

private:
    bool foldsCase_ = false;
    std::string names_;  // every key, one after another
    boost::unordered_flat_map<std::string_view, bool> isFolder_;  // views of names_
};

}  // namespace quil
