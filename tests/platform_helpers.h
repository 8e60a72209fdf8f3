// Platform helpers for the contract tests: files the platform marks hidden,
// system or read-only; names that only a raw path can make; a file that a
// move cannot take.
#pragma once

#include <memory>
#include <string>

namespace quil::testing {

void HideAndProtect(const std::string& path);
// Removes folder and everything below it, whatever its names and attributes.
void RemoveTree(const std::string& folder);

// Writes a file (or makes a folder) by a path that the platform takes as it
// is: on Windows through "\\?\", which keeps a trailing dot or space and
// passes MAX_PATH; elsewhere as usual. Folders on the way must exist.
void WriteRaw(const std::string& path, const std::string& content);
void MakeFolderRaw(const std::string& path);
bool ExistsRaw(const std::string& path);

// While the result lives, a move of the file at path fails: on Windows it
// is held open without FILE_SHARE_DELETE. Null where nothing can do that.
std::shared_ptr<void> HoldAgainstMoves(const std::string& path);

// True when this process has a child, running or ended and not reaped.
bool HasChildProcess();

}  // namespace quil::testing
