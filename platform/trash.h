// The freedesktop Trash: moving a file there, finding it there, and
// bringing it back. The Linux editions send emptied lines here instead of
// deleting them.
#pragma once

#include <memory>
#include <string>

#include "platform/file_services.h"

namespace quil {

class TrashService {
public:
    virtual ~TrashService() = default;

    // Moves the file at path to the Trash (the home trash, or the trash of
    // the file's own mount); trashedAs receives where it is now. A file the
    // Trash cannot take stays where it is: it is never deleted instead.
    virtual OpResult MoveToTrash(const std::string& path, std::string& trashedAs) = 0;

    // Where the file that was at original, and is that file by its
    // identity, now is in the Trash. False when no Trash holds it.
    virtual bool Locate(const std::string& original, const FileIdentity& identity, std::string& trashedAs) = 0;

    // Puts a trashed file back at original, never replacing a file there,
    // and removes its Trash record.
    virtual OpResult Restore(const std::string& trashedAs, const std::string& original) = 0;
};

// Moves go through files, so that a restore never replaces a file. Made
// before anything else in the process reads the base folders (a relative
// XDG_DATA_HOME is ignored, as the base directory layout asks).
std::unique_ptr<TrashService> MakeSystemTrash(FileServices& files);

}  // namespace quil
