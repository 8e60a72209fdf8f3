#include "platform/file_services.h"

namespace quil {

// MAX_PATH is 260 UTF-16 units with its terminating zero (and the file
// operation's own buffers, 1024, are larger); PATH_MAX is 4096 bytes. NTFS
// takes names of 255 UTF-16 units, ext4 of 255 bytes.
const Conventions kWindowsConventions{'\\', "\r\n", true, true, 259, 255, nullptr, &Utf16Units};
const Conventions kPosixConventions{'/', "\n", false, false, 4095, 255};

bool FileIdentity::Same(const FileIdentity& other, bool folder) const {
    if (!known || !other.known) return true;  // nothing to tell them apart by
    if (stableInode && other.stableInode) {
        if (device != other.device || inode != other.inode) return false;
        return folder || (size == other.size && modified == other.modified);
    }
    // The numbers say nothing here; a folder cannot be told at all.
    return folder || (size == other.size && modified == other.modified);
}

}  // namespace quil
