#include "engine/selection.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "engine/natural_order.h"

namespace quil {
namespace {

bool IsDotName(std::string_view name) { return name == "." || name == ".."; }

std::vector<std::string_view> Parts(std::string_view path, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find(separator, start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool EndsInSeparator(const std::string& path, char separator) { return path.size() > 1 && path.back() == separator; }

// The path made absolute without following a final link: a link given is
// listed as the link, unless a final separator asks for what it leads to.
// False when the folder holding it does not exist.
bool Resolve(const std::string& given, const std::string& cwd, FileServices& files, std::string& absolute) {
    const char separator = files.conventions().separator;
    std::string full = !given.empty() && given[0] == separator ? given : cwd + separator + given;
    const bool followed = EndsInSeparator(full, separator);
    while (full.size() > 1 && full.back() == separator) full.pop_back();
    const std::size_t slash = full.rfind(separator);
    const std::string name = full.substr(slash + 1);
    if (name.empty() || IsDotName(name) || followed) return files.AbsolutePath(full, absolute);
    std::string parent;
    if (!files.AbsolutePath(slash == 0 ? std::string(1, separator) : full.substr(0, slash), parent)) return false;
    if (parent.back() != separator) parent += separator;
    absolute = parent + name;
    return true;
}

// The deepest folder holding every one of folders; ends in the separator.
std::string CommonFolder(const std::vector<std::string>& folders, char separator) {
    std::vector<std::string_view> common = Parts(folders.front(), separator);
    for (const std::string& folder : folders) {
        const std::vector<std::string_view> parts = Parts(folder, separator);
        std::size_t same = 0;
        while (same < common.size() && same < parts.size() && common[same] == parts[same]) ++same;
        common.resize(same);
    }
    std::string root(1, separator);
    for (std::string_view part : common) root.append(part).push_back(separator);
    return root;
}

std::string FolderOf(const std::string& path, char separator) {
    const std::size_t slash = path.rfind(separator);
    return slash == 0 ? std::string(1, separator) : path.substr(0, slash);
}

// Breadth-first from the root, as a scan lists a tree: by depth, then by
// folder, part by part, then by name, each in natural order.
bool ListedBefore(std::string_view a, std::string_view b, char separator) {
    const std::vector<std::string_view> x = Parts(a, separator), y = Parts(b, separator);
    if (x.size() != y.size()) return x.size() < y.size();
    for (std::size_t i = 0; i < x.size(); ++i)
        if (const int order = CompareNatural(x[i], y[i]); order != 0) return order < 0;
    return false;
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
    const std::vector<std::string> paths = request.paths.empty() ? std::vector<std::string>{"."} : request.paths;
    bool folderItself = false;  // folder lines: the one folder given is a line, not a list of its folders
    for (const std::string& path : paths) {
        std::string absolute;
        if (!Resolve(path, cwd, files, absolute)) return {ListProblem::Kind::Missing, path};
        const PathKind kind = files.Query(absolute);
        if (kind == PathKind::Missing && !request.pathsMayBeGone) return {ListProblem::Kind::Missing, path};
        const bool folder = kind == PathKind::Folder;
        folderItself = request.folders && EndsInSeparator(path, separator);
        if (folder && !files.ListFolder(absolute.back() == separator ? absolute : absolute + separator,
                                        [](const char*, bool) { return false; }))
            return {ListProblem::Kind::Unreadable, path};
        if (request.folders && kind == PathKind::File) return {ListProblem::Kind::NotAFolder, path};
        if (absolute.size() > 1 && absolute.back() == separator) absolute.pop_back();
        selection.given.push_back({absolute, folder});
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
    std::vector<std::string> holders;
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
    std::unordered_set<std::string> seen;
    auto take = [&](const std::string& path) {
        if (path.find_first_of("\r\n") != std::string::npos)
            ++result.unlistable;
        else if (seen.insert(path).second)
            entries.push_back(path);
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
            for (int slot = 1; slot <= scanned.count; ++slot) take(found[static_cast<std::size_t>(slot)]);
            result.unlistable += scanned.unlistable;
            if (result.unreadableFolders == 0) result.firstUnreadable = scanned.firstUnreadable;
            result.unreadableFolders += scanned.unreadableFolders;
            result.cutShort |= scanned.cutShort;
        }
    }
    const std::size_t below = selection.root.size();
    std::sort(entries.begin(), entries.end(), [below, separator](const std::string& a, const std::string& b) {
        return ListedBefore(std::string_view(a).substr(below), std::string_view(b).substr(below), separator);
    });
    for (std::string& entry : entries) {
        oldPaths.push_back(std::move(entry));
        if (request.folders) folders.push_back(true);
    }
    result.count = static_cast<int>(oldPaths.size()) - 1;
    if (!request.folders) Narrow(request, files, oldPaths, result);
    return result;
}

}  // namespace quil
