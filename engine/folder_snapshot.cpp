#include "engine/folder_snapshot.h"

#include <cstring>
#include <vector>

namespace quil {

bool FolderSnapshot::Read(FileServices& files, const std::string& folder, bool foldsCase) {
    foldsCase_ = foldsCase;
    std::vector<std::pair<std::size_t, bool>> entries;  // offset of the key, folder
    const bool complete = files.ListFolder(folder, [&](const char* name, bool isFolder) {
        entries.emplace_back(names_.size(), isFolder);
        names_ += foldsCase ? UpperCaseName(name) : std::string(name);
        names_ += '\0';
        return true;
    });
    if (!complete) return false;
    isFolder_.reserve(entries.size());
    for (const auto& [offset, isFolder] : entries)
        isFolder_.emplace(std::string_view(names_.c_str() + offset), isFolder);
    return true;
}

PathKind FolderSnapshot::KindOf(std::string_view name) const {
    const auto it = foldsCase_ ? isFolder_.find(UpperCaseName(name)) : isFolder_.find(name);
    if (it == isFolder_.end()) return PathKind::Missing;
    return it->second ? PathKind::Folder : PathKind::File;
}

}  // namespace quil
