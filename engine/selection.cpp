#include "engine/selection.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

#include <boost/container_hash/hash.hpp>
#include <boost/unordered/unordered_flat_map.hpp>

#include "engine/natural_order.h"

namespace quil {
namespace {

bool IsDotName(std::string_view name) { return name == "." || name == ".."; }

// Calls take(part) for each part of path between separators, first to last.
template <typename Take>
void ForEachPart(std::string_view path, char separator, Take take) {
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find(separator, start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) take(path.substr(start, end - start));
        start = end + 1;
    }
}

bool EndsInSeparator(std::string_view path, char separator) { return path.size() > 1 && path.back() == separator; }

// Tables of paths looked up by a view of one, without a copy of it: a list
// of 100,000 paths made a string for each look.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return boost::hash<std::string_view>()(text); }
};
template <typename Value>
using TextMap = boost::unordered_flat_map<std::string, Value, TextHash, std::equal_to<>>;
template <typename Value>
using ViewMap = boost::unordered_flat_map<std::string_view, Value, TextHash, std::equal_to<>>;

// Folders made absolute, by the path as given: a list of many files in few
// folders resolves each folder once (each resolving reads every link on
// the way).
using ResolvedFolders = TextMap<std::string>;

// The path made absolute without following a final link: a link given is
// listed as the link, unless a final separator asks for what it leads to.
// False when the folder holding it does not exist.
bool Resolve(const std::string& given, const std::string& cwd, FileServices& files, ResolvedFolders& folders,
             std::string& absolute) {
    const char separator = files.conventions().separator;
    std::string joined;
    std::string_view full = given;
    if (given.empty() || given[0] != separator) full = joined = cwd + separator + given;
    const bool followed = EndsInSeparator(full, separator);
    while (full.size() > 1 && full.back() == separator) full.remove_suffix(1);
    const std::size_t slash = full.rfind(separator);
    const std::string_view name = full.substr(slash + 1);
    if (name.empty() || IsDotName(name) || followed) return files.AbsolutePath(std::string(full), absolute);
    const std::string_view folder = full.substr(0, slash == 0 ? 1 : slash);
    auto resolved = folders.find(folder);
    if (resolved == folders.end()) {
        std::string parent;
        if (!files.AbsolutePath(std::string(folder), parent)) return false;
        if (parent.back() != separator) parent += separator;
        resolved = folders.emplace(std::string(folder), std::move(parent)).first;
    }
    absolute.reserve(resolved->second.size() + name.size());
    absolute.assign(resolved->second).append(name);
    return true;
}

// Whether prefix is path or a folder above it, by whole parts.
bool HoldsOrIs(std::string_view prefix, std::string_view path, char separator) {
    return path.compare(0, prefix.size(), prefix) == 0 &&
           (path.size() == prefix.size() || path[prefix.size()] == separator);
}

// The deepest folder holding every one of folders (absolute, without a
// final separator); ends in the separator.
std::string CommonFolder(const std::vector<std::string_view>& folders, char separator) {
    std::string_view common = folders.front();
    for (const std::string_view folder : folders) {
        if (HoldsOrIs(common, folder, separator)) continue;
        std::size_t same = 0;
        while (same < common.size() && same < folder.size() && common[same] == folder[same]) ++same;
        // Back to the last whole part both share ("/a/bc" and "/a/bd": "/a").
        if (!HoldsOrIs(common.substr(0, same), folder, separator) || (same < common.size() && common[same] != separator)) {
            const std::size_t cut = same == 0 ? std::string_view::npos : common.rfind(separator, same - 1);
            same = cut == std::string_view::npos ? 0 : cut;
        }
        common = common.substr(0, same);
    }
    std::string root(common);
    if (root.empty() || root.back() != separator) root += separator;
    return root;
}

std::string_view FolderOf(std::string_view path, char separator) {
    const std::size_t slash = path.rfind(separator);
    return path.substr(0, slash == 0 ? 1 : slash);
}

// The kind of each path: those of a folder that holds many of them from one
// listing of it (a list of 100,000 files in 100 folders reads 100 folders,
// not 100,000 inodes), the others each looked up; so is every path of a
// folder that cannot be listed whole (one that may be entered, not read).
std::vector<PathKind> KindsOf(const std::vector<std::string>& paths, FileServices& files) {
    constexpr std::size_t kListedFrom = 32;  // fewer are looked up: the folder may be large
    const char separator = files.conventions().separator;
    ViewMap<std::vector<std::size_t>> byFolder;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::size_t slash = paths[i].rfind(separator);
        if (slash != std::string::npos && slash + 1 < paths[i].size())
            byFolder[std::string_view(paths[i]).substr(0, slash + 1)].push_back(i);
    }
    std::vector<PathKind> kinds(paths.size(), PathKind::Missing);
    std::vector<bool> known(paths.size(), false);
    for (const auto& [folder, members] : byFolder) {
        if (members.size() < kListedFrom) continue;
        ViewMap<PathKind> wanted;
        wanted.reserve(members.size());
        for (const std::size_t member : members)
            wanted.emplace(std::string_view(paths[member]).substr(folder.size()), PathKind::Missing);
        const bool complete = files.ListFolder(std::string(folder), [&wanted](const char* name, bool isFolder) {
            if (const auto found = wanted.find(name); found != wanted.end())
                found->second = isFolder ? PathKind::Folder : PathKind::File;
            return true;
        });
        if (!complete) continue;
        for (const std::size_t member : members) {
            kinds[member] = wanted[std::string_view(paths[member]).substr(folder.size())];
            known[member] = true;
        }
    }
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (!known[i]) kinds[i] = files.Query(paths[i]);
    return kinds;
}

// A key whose byte order is the order a scan lists a tree in, breadth-first
// from the root: by depth, then by folder, part by part, then by name, each
// in natural order. Made once per path; sorting compares bytes.
std::string ListingKey(std::string_view below, char separator) {
    std::size_t parts = 0;
    ForEachPart(below, separator, [&parts](std::string_view) { ++parts; });
    std::string key;
    key.reserve(4 + below.size() + 8);
    for (int shift = 24; shift >= 0; shift -= 8) key += static_cast<char>((parts >> shift) & 0xFF);
    // No part's key is the start of another's, so the first part that
    // differs decides.
    ForEachPart(below, separator, [&key](std::string_view part) { AppendNaturalKey(part, key); });
    return key;
}

// Only the files the filter takes stay listed.
void Narrow(const ListRequest& request, FileServices& files, std::vector<std::string>& oldPaths, ScanResult& result) {
    if (!request.filter.Active()) return;
    result.filteredFrom = result.count;
    std::size_t kept = 1;
    for (std::size_t slot = 1; slot < oldPaths.size(); ++slot) {
        if (!request.filter.Takes(oldPaths[slot], files)) continue;
        if (kept != slot) oldPaths[kept] = std::move(oldPaths[slot]);  // a string moved onto itself is emptied
        ++kept;
    }
    oldPaths.resize(kept);
    result.count = static_cast<int>(kept) - 1;
}

}  // namespace

ListProblem ResolveSelection(const ListRequest& request, FileServices& files, Selection& selection) {
    const char separator = files.conventions().separator;
    selection = Selection{};
    std::string cwd;
    if (!files.CurrentFolder(cwd)) return {ListProblem::Kind::Unreadable, "."};
    static const std::vector<std::string> here{"."};
    const std::vector<std::string>& paths = request.paths.empty() ? here : request.paths;
    bool folderItself = false;  // folder lines: the one folder given is a line, not a list of its folders
    ResolvedFolders resolved;
    std::vector<std::string> absolutes(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (!Resolve(paths[i], cwd, files, resolved, absolutes[i])) return {ListProblem::Kind::Missing, paths[i]};
    const std::vector<PathKind> kinds = KindsOf(absolutes, files);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        std::string& absolute = absolutes[i];
        const PathKind kind = kinds[i];
        if (kind == PathKind::Missing && !request.pathsMayBeGone) return {ListProblem::Kind::Missing, path};
        const bool folder = kind == PathKind::Folder;
        folderItself = request.folders && EndsInSeparator(path, separator);
        if (folder && !files.ListFolder(absolute.back() == separator ? absolute : absolute + separator,
                                        [](const char*, bool) { return false; }))
            return {ListProblem::Kind::Unreadable, path};
        if (request.folders && kind == PathKind::File) return {ListProblem::Kind::NotAFolder, path};
        if (absolute.size() > 1 && absolute.back() == separator) absolute.pop_back();
        selection.given.push_back({std::move(absolute), folder});
    }

    const bool oneFolder = selection.given.size() == 1 && selection.given[0].folder &&
                           !(request.folders && (request.fromList || folderItself));
    if (oneFolder) {
        selection.root = selection.given[0].path;
        if (selection.root.back() != separator) selection.root += separator;
        selection.listsContent = true;
        return {};
    }
    // A folder whose content is listed holds its lines; an entry listed
    // itself is held by its folder.
    std::vector<std::string_view> holders;
    holders.reserve(selection.given.size());
    for (const Selection::Given& given : selection.given)
        holders.push_back(given.folder && !request.folders ? given.path : FolderOf(given.path, separator));
    selection.root = CommonFolder(holders, separator);
    if (!request.root.empty() && selection.root.compare(0, request.root.size(), request.root) == 0)
        selection.root = request.root;
    return {};
}

ScanResult ListSelection(const ListRequest& request, const Selection& selection, FileServices& files,
                         std::vector<std::string>& oldPaths, std::vector<bool>& folders) {
    const char separator = files.conventions().separator;
    ScanOptions options = request.scan;
    options.capacity = kUnlimited;
    options.naturalOrder = true;
    ScanResult result;
    oldPaths.assign(1, std::string());
    folders.clear();
    if (request.folders) folders.push_back(false);

    if (selection.listsContent && !request.folders) {
        result = ScanTree(oldPaths, selection.root, options, files);
        oldPaths.resize(static_cast<std::size_t>(result.count) + 1);
        Narrow(request, files, oldPaths, result);
        return result;
    }

    std::vector<std::string> entries;
    entries.reserve(selection.given.size());
    auto take = [&](std::string path) {
        if (path.find_first_of("\r\n") != std::string::npos)
            ++result.unlistable;
        else
            entries.push_back(std::move(path));
    };
    if (selection.listsContent) {
        // The folders directly inside the one folder given.
        const bool complete = files.ListFolder(selection.root, [&](const char* name, bool isFolder) {
            if (isFolder && !IsDotName(name) && !(options.skipHidden && name[0] == '.')) take(selection.root + name);
            return true;
        });
        if (!complete && result.unreadableFolders++ == 0) result.firstUnreadable = selection.root;
    } else {
        for (const Selection::Given& given : selection.given) {
            if (!given.folder || request.folders) {
                take(given.path);
                continue;
            }
            std::vector<std::string> found(1);
            const ScanResult scanned = ScanTree(found, given.path + separator, options, files);
            for (int slot = 1; slot <= scanned.count; ++slot) take(std::move(found[static_cast<std::size_t>(slot)]));
            result.unlistable += scanned.unlistable;
            if (result.unreadableFolders == 0) result.firstUnreadable = scanned.firstUnreadable;
            result.unreadableFolders += scanned.unreadableFolders;
            result.cutShort |= scanned.cutShort;
        }
    }
    const std::size_t below = selection.root.size();
    std::vector<std::string> keys;
    keys.reserve(entries.size());
    for (const std::string& entry : entries)
        keys.push_back(ListingKey(std::string_view(entry).substr(below), separator));
    std::vector<std::size_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    // A path given twice, or given and inside a folder given, is listed
    // once: the same path has the same key, next to it.
    oldPaths.reserve(oldPaths.size() + entries.size());
    for (std::size_t at = 0; at < order.size(); ++at) {
        if (at > 0 && keys[order[at]] == keys[order[at - 1]]) continue;
        oldPaths.push_back(std::move(entries[order[at]]));
        if (request.folders) folders.push_back(true);
    }
    result.count = static_cast<int>(oldPaths.size()) - 1;
    if (!request.folders) Narrow(request, files, oldPaths, result);
    return result;
}

}  // namespace quil
