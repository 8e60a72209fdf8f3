// The operating-system services that the engine and the dialog use: the
// working folder, folder listing, moving and deleting one file, opening a
// file with its associated program. One implementation per platform
// (file_services_win.cpp, file_services_posix.cpp), chosen by CMake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/code_page.h"

namespace quil {

// How paths and the list text are written on a platform. Engine tests use
// the Windows record on Linux against a fake file system.
struct Conventions {
    char separator;           // between name parts of a path
    const char* lineBreak;    // between lines of the list text
    bool caseInsensitive;     // the file system compares names without case
    bool windowsNames;        // Win32 name and path rules apply
    std::size_t maxPath;      // longest full path the file calls take, measured by length
    std::size_t maxNamePart;  // longest name of one file or folder, measured by length
    // Lead bytes of the code page paths are written in, where a separator
    // byte can be the second half of a character; null where it cannot.
    LeadBytePredicate isLeadByte = nullptr;
    // How the platform measures a path: UTF-16 units on Windows; bytes
    // where null.
    LengthFunction length = nullptr;
};

extern const Conventions kWindowsConventions;
extern const Conventions kPosixConventions;

// Opaque owner window for file operations and the shell open (an HWND on
// Windows); the engine never looks inside it.
using WindowHandle = void*;

// The outcome of one file operation: a failure carries the OS error code and
// a short description, never an exception.
struct OpResult {
    bool ok = true;
    long osError = 0;
    std::string message;

    static OpResult Success() { return {}; }
    static OpResult Failure(long code, std::string text) { return {false, code, std::move(text)}; }
};

enum class PathKind { Missing, File, Folder };

// Which file a path names, so that a later look can tell whether it is
// still the same one: device and inode (or volume and file index), and its
// size and modification time, which a reused inode number would not keep.
struct FileIdentity {
    bool known = false;  // false where the platform gives no identity
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds
    // Some file systems (FUSE without stable inode numbers) hand out a new
    // number for a name after a while: there size and time must do.
    bool stableInode = true;

    // One file: for a folder the device and inode alone, since its time
    // changes whenever an entry comes or goes.
    bool Same(const FileIdentity& other, bool folder) const;
};

// What an undo puts back on a folder that a batch removed: its permission
// bits, owner and times. Unknown where the platform keeps none of them.
struct FolderAttributes {
    bool known = false;
    std::uint32_t mode = 0;  // permission bits, set-group-ID and sticky bits
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::int64_t accessed = 0;  // nanoseconds
    std::int64_t modified = 0;  // nanoseconds
};

struct PathInfo {
    PathKind kind = PathKind::Missing;
    // The file system the entry lives on; 0 where the platform does not say.
    std::uint64_t device = 0;
    FileIdentity identity;
    FolderAttributes attributes;
};

// Called once per entry of a listing, in listing order, with the bare name.
// Returning false ends the listing.
using EntryVisitor = std::function<bool(const char* name, bool isFolder)>;

class FileServices {
public:
    virtual ~FileServices() = default;

    virtual const Conventions& conventions() const = 0;

    // The working folder as an absolute path, whatever its length. False
    // when the platform cannot give it.
    virtual bool CurrentFolder(std::string& folder) = 0;

    // The absolute form of a path as the user gave it (relative to the
    // working folder), with links resolved where the platform does so.
    // False when it does not exist.
    virtual bool AbsolutePath(const std::string& path, std::string& absolute) = 0;

    // Lists every entry of folder (which ends in the separator), "." and ".."
    // included where the platform returns them. False when the listing
    // cannot be started or ends in an error rather than at its end. A name
    // the program's text cannot hold (on Windows, one with an unpaired
    // surrogate, which no UTF-8 can hold) is not visited: it is counted in
    // *unshown where that is given, and otherwise makes the listing
    // incomplete.
    virtual bool ListFolder(const std::string& folder, const EntryVisitor& visit, int* unshown = nullptr) = 0;

    // Puts the file at from at the full path to, creating missing folders on
    // the way (and removing them again, while empty, when the move fails).
    // It never replaces a file already at to (other than the same file under
    // another case of its name): that is a failure. It acts only on the file
    // that from names exactly, never on a folder.
    virtual OpResult Move(const std::string& from, const std::string& to, WindowHandle owner) = 0;

    // Removes the file permanently; never a folder, and only the file that
    // path names exactly.
    virtual OpResult Delete(const std::string& path, WindowHandle owner) = 0;

    // Opens the file with its associated program; the result is not reported.
    virtual void Open(const std::string& path, WindowHandle owner) = 0;

    // What is at path, without following a final link.
    virtual PathInfo Lookup(const std::string& path) = 0;
    PathKind Query(const std::string& path) { return Lookup(path).kind; }

    // True when the folder (ending in the separator or not) takes names
    // that differ only in case for one name: a case-blind volume, or a
    // case-folding folder of a file system that folds per folder.
    virtual bool FoldsCase(const std::string& folder) = 0;

    // Makes one folder, whose parent exists. A folder already there is a
    // failure, so that the caller knows exactly which folders it made.
    virtual OpResult MakeFolder(const std::string& path) = 0;
    // Removes an empty folder; a folder that is not empty stays, and that
    // is a failure.
    virtual OpResult RemoveFolder(const std::string& path) = 0;
    // Gives a folder made again the attributes it had: while it is filled,
    // its owner (where this process may give it away: as root) and only its
    // owner's access; once filled, its permissions and times. Platforms that
    // keep none of them (Windows) leave the folder as it is.
    enum class Filling { Started, Done };
    virtual OpResult SetAttributes(const std::string& path, const FolderAttributes& attributes, Filling filling) {
        (void)path, (void)attributes, (void)filling;
        return OpResult::Success();
    }
};

// The services of the platform this program was built for.
std::unique_ptr<FileServices> MakeSystemFileServices();

}  // namespace quil
