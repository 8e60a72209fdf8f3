// An in-memory file system with either platform's conventions: listing order
// is creation order, file content is a string, and the Nth file operation
// can be made to fail. Like the real ones, it folds case beyond ASCII where
// names are case-blind, and a file cannot hold children.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/file_services.h"

namespace quil::testing {

class FakeFileSystem final : public FileServices {
public:
    explicit FakeFileSystem(const Conventions& conventions, std::string workingFolder);

    // Folders on the way are created. Paths are full paths.
    void AddFile(const std::string& path, const std::string& content = "");
    void AddFolder(const std::string& path);

    // Make the nth change from now on fail (1 = the next one): a Move, a
    // Delete, a folder made or removed.
    void FailOperation(int n) { failAt_ = operations_ + n; }
    void FailCurrentFolder() { currentFolderFails_ = true; }
    void FailListing(const std::string& folder) { unlistable_.push_back(folder); }
    // The folder (ending in the separator) also holds a name the program's
    // text cannot hold, as an unpaired surrogate in an NTFS name.
    void AddUnshowableName(const std::string& folder) { ++unshowable_[folder]; }
    // Compare names without case whatever the conventions say, like a
    // case-blind volume mounted on Linux.
    void FoldCase();
    // Everything at and below folder lives on another file system: moves
    // between file systems fail as rename(2) does.
    void Mount(const std::string& folder, std::uint64_t device) { mounts_[Key(folder)] = device; }
    // Strip trailing dots and spaces from every name part of a path handed
    // to an operation, as Win32 path parsing does; files added and listed
    // keep theirs, like files made through "\\?\" paths.
    void RewritePathsLikeWin32() { rewriteLikeWin32_ = true; }

    bool IsFile(const std::string& path) const;
    std::string Content(const std::string& path) const;
    // Stored spelling of the name at path, which may differ in case.
    std::string StoredPath(const std::string& path) const;
    // Every file as stored path -> content.
    std::map<std::string, std::string> Files() const;
    // Every folder, by stored path.
    std::vector<std::string> Folders() const;
    int operations() const { return operations_; }

    const Conventions& conventions() const override { return conventions_; }
    bool CurrentFolder(std::string& folder) override;
    bool AbsolutePath(const std::string& path, std::string& absolute) override;
    bool ListFolder(const std::string& folder, const EntryVisitor& visit, int* unshown = nullptr) override;
    OpResult Move(const std::string& from, const std::string& to, WindowHandle owner) override;
    OpResult Delete(const std::string& path, WindowHandle owner) override;
    void Open(const std::string& path, WindowHandle) override { opened.push_back(path); }
    PathInfo Lookup(const std::string& path) override;
    bool FoldsCase(const std::string&) override { return conventions_.caseInsensitive || foldCase_; }
    OpResult MakeFolder(const std::string& path) override;
    OpResult RemoveFolder(const std::string& path) override;
    OpResult SetAttributes(const std::string& path, const FolderAttributes& attributes, Filling filling) override;
    // A folder's permissions and times, as the real file system keeps them.
    void SetFolderAttributes(const std::string& path, const FolderAttributes& attributes);

    std::vector<std::string> opened;

private:
    struct Node {
        std::string path;  // as stored
        bool folder = false;
        std::string content;
        std::vector<std::string> children;  // keys, in creation order
        std::uint64_t inode = 0;
        std::int64_t modified = 0;
        FolderAttributes attributes;  // a folder's
    };

    std::string Key(std::string path) const;
    // The key of a path as an operation is handed it.
    std::string OperationKey(const std::string& path) const;
    bool HasFileAbove(const std::string& key) const;
    bool Reachable(const std::string& path) const;
    std::string ParentKey(const std::string& key) const;
    void Link(const std::string& key);
    void Unlink(const std::string& key);
    bool CountOperationFails();
    // A length as the platform's calls measure it.
    std::size_t Length(const std::string& text) const {
        return conventions_.length ? conventions_.length(text) : text.size();
    }
    std::uint64_t DeviceOf(const std::string& key) const;
    void Stamp(Node& node) { node.inode = ++serial_, node.modified = serial_; }

    const Conventions& conventions_;
    std::string workingFolder_;
    std::map<std::string, Node> nodes_;
    std::vector<std::string> unlistable_;
    std::map<std::string, int> unshowable_;
    bool currentFolderFails_ = false;
    bool foldCase_ = false;
    bool rewriteLikeWin32_ = false;
    int operations_ = 0;
    int failAt_ = 0;
    std::uint64_t serial_ = 0;  // inode numbers and times, in creation order
    std::map<std::string, std::uint64_t> mounts_;
};

}  // namespace quil::testing
