// What the user picked for the Linux editions: files and folders given as
// paths (a shell's glob, a list from find, a file manager's selection), the
// root their lines are relative to, and the list of them in natural order.
#pragma once

#include <string>
#include <vector>

#include "engine/list_filter.h"
#include "engine/scan.h"
#include "platform/file_services.h"

namespace quil {

struct ListRequest {
    // As given; none: the current folder. A final separator means what the
    // path leads to, as the shell takes it: the folder a link points at,
    // and with folder lines the folder itself, not the folders inside it.
    std::vector<std::string> paths;
    bool fromList = false;           // the paths came from a list (--from)
    // Folder lines: the folders directly inside the one folder given (or
    // the current one), or, with several paths or a list, those folders
    // themselves.
    bool folders = false;
    // For the undo and the history: a path the batch renamed away stands
    // for a name in its folder.
    bool pathsMayBeGone = false;
    // The root to keep (ending in the separator), where it holds every path:
    // a window listing again after its batch moved the files picked stays
    // over the folder whose batches it can undo.
    std::string root;
    ScanOptions scan;  // hidden names, depth, progress: for each folder listed
    ListFilter filter;  // which files are listed (not folder lines)
};

// A path of the request that cannot be listed, and why.
struct ListProblem {
    enum class Kind { None, Missing, NotAFolder, Unreadable };
    Kind kind = Kind::None;
    std::string path;  // as the user gave it
    explicit operator bool() const { return kind != Kind::None; }
};

struct Selection {
    struct Given {
        std::string path;  // absolute; a final link is itself, not followed
        bool folder;
    };
    std::vector<Given> given;
    // The folder given when one folder is (its content is listed), else the
    // deepest folder holding every path; it ends in the separator.
    std::string root;
    bool listsContent = false;  // root is the one folder given
};

ListProblem ResolveSelection(const ListRequest& request, FileServices& files, Selection& selection);

// Fills oldPaths[1..] (and, for folder lines, folders[1..]) with what the
// selection names, each once: breadth-first from the root, each folder's
// entries in natural order.
ScanResult ListSelection(const ListRequest& request, const Selection& selection, FileServices& files,
                         std::vector<std::string>& oldPaths, std::vector<bool>& folders);

}  // namespace quil
