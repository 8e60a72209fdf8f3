#include "tests/fake_file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/path_rules.h"

namespace quil::testing {

FakeFileSystem::FakeFileSystem(const Conventions& conventions, std::string workingFolder)
    : conventions_(conventions), workingFolder_(std::move(workingFolder)) {
    AddFolder(workingFolder_);
}

std::string FakeFileSystem::Key(std::string path) const {
    for (char& ch : path)
        if (conventions_.windowsNames && ch == '/') ch = conventions_.separator;
    while (path.size() > 1 && path.back() == conventions_.separator) path.pop_back();
    return conventions_.caseInsensitive || foldCase_ ? UpperCaseName(path) : path;
}

std::string FakeFileSystem::OperationKey(const std::string& path) const {
    if (!rewriteLikeWin32_) return Key(path);
    std::string rewritten;
    std::size_t start = 0;
    for (std::size_t end = 0; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != conventions_.separator && path[end] != '/') continue;
        std::string part = path.substr(start, end - start);
        while (!part.empty() && part != "." && part != ".." && (part.back() == '.' || part.back() == ' '))
            part.pop_back();
        rewritten += part;
        if (end < path.size()) rewritten += conventions_.separator;
        start = end + 1;
    }
    return Key(rewritten);
}

void FakeFileSystem::FoldCase() {
    foldCase_ = true;
    std::map<std::string, Node> folded;
    for (auto& [key, node] : nodes_) {
        for (std::string& child : node.children) child = Key(child);
        folded[Key(key)] = std::move(node);
    }
    nodes_.swap(folded);
}

bool FakeFileSystem::HasFileAbove(const std::string& key) const {
    for (std::string parent = ParentKey(key); !parent.empty() && parent != key;) {
        auto it = nodes_.find(parent);
        if (it != nodes_.end()) return !it->second.folder;
        std::string next = ParentKey(parent);
        if (next == parent) break;
        parent = next;
    }
    return false;
}

std::string FakeFileSystem::ParentKey(const std::string& key) const {
    std::size_t slash = key.find_last_of(conventions_.separator);
    if (slash == std::string::npos) return {};
    return key.substr(0, slash == 0 ? 1 : slash);
}

void FakeFileSystem::Link(const std::string& key) {
    std::string parent = ParentKey(key);
    if (parent.empty() || parent == key) return;
    if (nodes_.count(parent) == 0) {
        Node folder;
        folder.path = nodes_[key].path.substr(0, nodes_[key].path.find_last_of(conventions_.separator));
        folder.folder = true;
        Stamp(folder);
        nodes_[parent] = folder;
        Link(parent);
    }
    nodes_[parent].children.push_back(key);
}

void FakeFileSystem::Unlink(const std::string& key) {
    auto& siblings = nodes_[ParentKey(key)].children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), key));
}

void FakeFileSystem::AddFile(const std::string& path, const std::string& content) {
    std::string key = Key(path);
    bool existed = nodes_.count(key) != 0;
    Node& node = nodes_[key];
    node.path = path;
    node.content = content;
    Stamp(node);
    if (!existed) Link(key);
}

void FakeFileSystem::AddFolder(const std::string& path) {
    std::string key = Key(path);
    if (nodes_.count(key) != 0) return;
    Node& node = nodes_[key];
    node.path = path.size() > 1 && path.back() == conventions_.separator ? path.substr(0, path.size() - 1) : path;
    node.folder = true;
    Stamp(node);
    Link(key);
}

bool FakeFileSystem::IsFile(const std::string& path) const {
    auto it = nodes_.find(Key(path));
    return it != nodes_.end() && !it->second.folder;
}

std::string FakeFileSystem::Content(const std::string& path) const { return nodes_.at(Key(path)).content; }

std::string FakeFileSystem::StoredPath(const std::string& path) const { return nodes_.at(Key(path)).path; }

std::map<std::string, std::string> FakeFileSystem::Files() const {
    std::map<std::string, std::string> files;
    for (const auto& [key, node] : nodes_)
        if (!node.folder) files[node.path] = node.content;
    return files;
}

std::vector<std::string> FakeFileSystem::Folders() const {
    std::vector<std::string> folders;
    for (const auto& [key, node] : nodes_)
        if (node.folder) folders.push_back(node.path);
    return folders;
}

bool FakeFileSystem::CurrentFolder(std::string& folder) {
    if (currentFolderFails_) return false;
    folder = workingFolder_;
    return true;
}

// Like realpath(3) where there are no links: "." and ".." parts resolved.
bool FakeFileSystem::AbsolutePath(const std::string& path, std::string& absolute) {
    const bool relative = path.empty() || (path[0] != conventions_.separator && path.find(':') == std::string::npos);
    absolute = relative ? workingFolder_ + conventions_.separator + path : path;
    CanonicalizePath(absolute, conventions_);
    while (absolute.size() > 1 && absolute.back() == conventions_.separator) absolute.pop_back();
    return nodes_.count(Key(absolute)) != 0;
}

bool FakeFileSystem::ListFolder(const std::string& folder, const EntryVisitor& visit, int* unshown) {
    if (std::find(unlistable_.begin(), unlistable_.end(), folder) != unlistable_.end()) return false;
    auto it = nodes_.find(Key(folder));
    if (it == nodes_.end() || !it->second.folder) return false;
    // Like FindFirstFileA below a drive's top level: "." and ".." first.
    if (folder.size() > 3 && (!visit(".", true) || !visit("..", true))) return true;
    const std::vector<std::string> children = it->second.children;
    for (const std::string& key : children) {
        const Node& child = nodes_.at(key);
        std::string name = child.path.substr(child.path.find_last_of(conventions_.separator) + 1);
        if (!visit(name.c_str(), child.folder)) break;
    }
    const auto unshowable = unshowable_.find(folder);
    if (unshowable == unshowable_.end()) return true;
    if (unshown == nullptr) return false;
    *unshown += unshowable->second;
    return true;
}

bool FakeFileSystem::CountOperationFails() { return ++operations_ == failAt_; }

// Like the real services, an operation is refused where the path handed over
// would reach another file than the one it names, or is longer than the
// platform's calls take.
bool FakeFileSystem::Reachable(const std::string& path) const {
    return Length(path) <= conventions_.maxPath && OperationKey(path) == Key(path);
}

OpResult FakeFileSystem::Move(const std::string& from, const std::string& to, WindowHandle) {
    if (CountOperationFails()) return OpResult::Failure(EIO, "injected failure");
    if (!Reachable(from) || !Reachable(to)) return OpResult::Failure(EINVAL, "not reachable by that name");
    const std::string fromKey = OperationKey(from), toKey = OperationKey(to);
    auto source = nodes_.find(fromKey);
    // Win32's services move files only; rename(2) moves a folder whole.
    if (source == nodes_.end() || (source->second.folder && conventions_.windowsNames))
        return OpResult::Failure(ENOENT, "no such file");
    const std::string inside = fromKey + conventions_.separator;
    if (toKey.compare(0, inside.size(), inside) == 0) return OpResult::Failure(EINVAL, "invalid argument");
    auto target = nodes_.find(toKey);
    if (target != nodes_.end() && fromKey != toKey) return OpResult::Failure(EEXIST, "file exists");
    if (HasFileAbove(toKey)) return OpResult::Failure(ENOTDIR, "not a directory");
    if (DeviceOf(fromKey) != DeviceOf(toKey)) return OpResult::Failure(EXDEV, "invalid cross-device link");
    if (Length(to.substr(to.find_last_of(conventions_.separator) + 1)) > conventions_.maxNamePart)
        return OpResult::Failure(ENAMETOOLONG, "file name too long");
    // The node and everything below it, under the new path.
    const std::string storedFrom = source->second.path;
    std::vector<std::pair<std::string, Node>> moved;
    for (const auto& [key, node] : nodes_)
        if (key == fromKey || key.compare(0, inside.size(), inside) == 0) moved.push_back({key, node});
    Unlink(fromKey);
    for (const auto& [key, node] : moved) nodes_.erase(key);
    auto rekey = [&](const std::string& key) { return toKey + key.substr(fromKey.size()); };
    for (auto& [key, node] : moved) {
        node.path = to + node.path.substr(storedFrom.size());
        for (std::string& child : node.children) child = rekey(child);
        nodes_[rekey(key)] = std::move(node);
    }
    Link(toKey);
    return OpResult::Success();
}

OpResult FakeFileSystem::Delete(const std::string& path, WindowHandle) {
    if (CountOperationFails()) return OpResult::Failure(EIO, "injected failure");
    if (!Reachable(path)) return OpResult::Failure(EINVAL, "not reachable by that name");
    const std::string key = OperationKey(path);
    auto it = nodes_.find(key);
    if (it == nodes_.end() || it->second.folder) return OpResult::Failure(ENOENT, "no such file");
    Unlink(key);
    nodes_.erase(key);
    return OpResult::Success();
}

std::uint64_t FakeFileSystem::DeviceOf(const std::string& key) const {
    std::uint64_t device = 1;
    std::size_t longest = 0;
    for (const auto& [mount, id] : mounts_)
        if (mount.size() > longest && key.compare(0, mount.size(), mount) == 0 &&
            (key.size() == mount.size() || key[mount.size()] == conventions_.separator)) {
            longest = mount.size();
            device = id;
        }
    return device;
}

PathInfo FakeFileSystem::Lookup(const std::string& path) {
    PathInfo info;
    const std::string key = OperationKey(path);
    auto it = nodes_.find(key);
    if (it == nodes_.end()) return info;
    info.kind = it->second.folder ? PathKind::Folder : PathKind::File;
    info.device = DeviceOf(key);
    info.identity = {true, info.device, it->second.inode, it->second.content.size(), it->second.modified, true};
    info.attributes = it->second.attributes;
    return info;
}

OpResult FakeFileSystem::MakeFolder(const std::string& path) {
    if (CountOperationFails()) return OpResult::Failure(EIO, "injected failure");
    const std::string key = OperationKey(path);
    if (nodes_.count(key) != 0) return OpResult::Failure(EEXIST, "file exists");
    auto parent = nodes_.find(ParentKey(key));
    if (parent == nodes_.end()) return OpResult::Failure(ENOENT, "no such file or directory");
    if (!parent->second.folder) return OpResult::Failure(ENOTDIR, "not a directory");
    AddFolder(path);
    return OpResult::Success();
}

OpResult FakeFileSystem::RemoveFolder(const std::string& path) {
    if (CountOperationFails()) return OpResult::Failure(EIO, "injected failure");
    const std::string key = OperationKey(path);
    auto it = nodes_.find(key);
    if (it == nodes_.end()) return OpResult::Failure(ENOENT, "no such file or directory");
    if (!it->second.folder) return OpResult::Failure(ENOTDIR, "not a directory");
    if (!it->second.children.empty()) return OpResult::Failure(ENOTEMPTY, "directory not empty");
    Unlink(key);
    nodes_.erase(it);
    return OpResult::Success();
}

// Like the real one: the owner's access only while it is filled.
OpResult FakeFileSystem::SetAttributes(const std::string& path, const FolderAttributes& attributes, Filling filling) {
    auto it = nodes_.find(OperationKey(path));
    if (it == nodes_.end() || !it->second.folder) return OpResult::Failure(ENOENT, "no such file or directory");
    FolderAttributes& kept = it->second.attributes;
    kept = attributes;
    if (filling == Filling::Started) kept.mode = 0700, kept.modified = it->second.modified;
    return OpResult::Success();
}

void FakeFileSystem::SetFolderAttributes(const std::string& path, const FolderAttributes& attributes) {
    nodes_.at(Key(path)).attributes = attributes;
}

}  // namespace quil::testing
