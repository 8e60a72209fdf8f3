// What a path typed into the list means, and which paths the platform can
// take: the one canonical form of a target, the key by which the file
// system tells names apart, and the name rules of Win32.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_services.h"

namespace quil {

enum class Refusal {
    TargetExists,
    TargetIsFolder,
    SharedTarget,
    TooLong,
    InvalidName,
    EmptyNamePart,
    NameTooLong,
    ParentIsFile,
    FolderForAnotherLine,
    SourceUnreachable,
    SourceMissing,
    DeletedForGood,
    OtherFileSystem,
    FolderCaseOnly,
    NotMovedByBatch,
    NotInTrash,
    Lost,
    IntoItself,
    InsideMovedFolder,
    NotEmpty,
    Submodule,
    TransformLeftNoName,
};

const char* Describe(Refusal reason);

// Puts a full path in the one form that planning, the file-system queries,
// folder creation and the move all use: "/" written as "\\" on Windows, and
// "." and ".." parts resolved by name, as the file system resolves them
// before it looks a path up (never above the drive or the share).
void CanonicalizePath(std::string& path, const Conventions& conventions);

// The length of path as the platform measures it (UTF-16 units on Windows).
inline std::size_t PathLength(std::string_view path, const Conventions& conventions) {
    return conventions.length ? conventions.length(path) : path.size();
}

// The length of the folder part of path, its last separator included (0
// when path has none).
std::size_t FolderLength(std::string_view path, const Conventions& conventions);

// How the file system tells names apart: upper-cased where it ignores case.
std::string NameKey(const std::string& path, const Conventions& conventions);

// Why the platform cannot take path as a target, looking at the name parts
// from position start on (the part below the root): too long, an empty or
// overlong name part, or a name that Win32 refuses or rewrites.
std::optional<Refusal> CheckTargetPath(std::string_view path, std::size_t start, const Conventions& conventions);

// True for a byte Win32 refuses in any name: the control characters below
// 0x20 and < > : " | ? * /.
bool IsWindowsReservedCharacter(unsigned char byte);

// True when Win32 would rewrite a name part of path from start on (a
// trailing dot or space, a device name) or refuse it: such a listed file
// cannot be reached by its own name.
bool HasWindowsUnsafePart(std::string_view path, std::size_t start, const Conventions& conventions);


}  // namespace quil
