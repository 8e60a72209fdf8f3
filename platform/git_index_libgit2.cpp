#include "platform/git_index.h"

#include <git2.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace quil {
namespace {

std::string LastError(const char* what) {
    const git_error* error = git_error_last();
    return std::string(what) + (error && error->message ? std::string(": ") + error->message : std::string());
}

bool Below(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

// One entry, as a removal saves it: "MODE OID PATH\0", PATH below the
// removed path (empty for the path itself).
void Save(std::string& saved, const git_index_entry& entry, const std::string& below) {
    char oid[GIT_OID_HEXSZ + 1];
    git_oid_tostr(oid, sizeof oid, &entry.id);
    char mode[16];
    std::snprintf(mode, sizeof mode, "%o", entry.mode);
    saved += std::string(mode) + ' ' + oid + ' ' + below + '\0';
}

class LibGit2Index final : public WorkTreeIndex {
public:
    LibGit2Index(git_repository* repository, std::string folder, std::string folderInTree)
        : repository_(repository), folder_(std::move(folder)), folderInTree_(std::move(folderInTree)) {
        workTree_ = git_repository_workdir(repository_);
    }
    ~LibGit2Index() override { git_repository_free(repository_); }

    std::string HeldLock() override {
        // git takes the index by creating index.lock beside it, and leaves
        // it behind when it is killed: either way nothing else may write it.
        const std::string lock = std::string(git_repository_path(repository_)) + "index.lock";
        struct stat info {};
        return lstat(lock.c_str(), &info) == 0 ? lock : std::string();
    }

    std::string File() override { return std::string(git_repository_path(repository_)) + "index"; }

    OpResult Update(std::vector<IndexEdit>& edits, const std::function<bool()>& keep) override {
        git_index* index = nullptr;
        if (git_repository_index(&index, repository_) != 0) return OpResult::Failure(EIO, LastError("cannot open the git index"));
        OpResult result;
        if (git_index_read(index, 1) != 0) {
            result = OpResult::Failure(EIO, LastError("cannot read the git index"));
        } else if (Edit(index, edits)) {
            if (!keep())
                result = OpResult::Failure(EIO, "what it takes out of the index cannot be kept for the undo");
            else if (git_index_write(index) != 0)
                result = OpResult::Failure(EIO, LastError("cannot write the git index"));
        }
        git_index_free(index);
        return result;
    }

    std::vector<std::string> Submodules() override {
        std::vector<std::string> submodules;
        git_index* index = nullptr;
        if (git_repository_index(&index, repository_) != 0) return submodules;
        if (git_index_read(index, 1) == 0) {
            const std::size_t count = git_index_entrycount(index);
            for (std::size_t at = 0; at < count; ++at) {
                const git_index_entry* entry = git_index_get_byindex(index, at);
                if (entry->mode == GIT_FILEMODE_COMMIT) submodules.push_back(BatchPath(entry->path));
            }
        }
        git_index_free(index);
        return submodules;
    }

private:
    // A path of the work tree in the batch's terms.
    std::string BatchPath(const std::string& relative) const {
        if (relative.compare(0, folderInTree_.size(), folderInTree_) == 0)
            return folder_ + relative.substr(folderInTree_.size());
        return workTree_ + relative;
    }

    // The path in the work tree's terms, or false outside it.
    bool InTree(const std::string& path, std::string& relative) const {
        if (path.compare(0, folder_.size(), folder_) == 0) {
            relative = folderInTree_ + path.substr(folder_.size());
        } else if (path.compare(0, workTree_.size(), workTree_) == 0) {
            relative = path.substr(workTree_.size());
        } else {
            return false;
        }
        return !relative.empty();
    }

    // The entries (stage 0) at path and below it, with what follows path.
    static std::vector<std::pair<const git_index_entry*, std::string>> EntriesAt(git_index* index, const std::string& path) {
        std::vector<std::pair<const git_index_entry*, std::string>> found;
        if (const git_index_entry* entry = git_index_get_bypath(index, path.c_str(), 0)) {
            found.emplace_back(entry, std::string());
            return found;
        }
        // Entries are sorted by path: those below it follow one another.
        std::size_t at = 0;
        if (git_index_find_prefix(&at, index, (path + '/').c_str()) != 0) return found;
        for (const git_index_entry* entry; (entry = git_index_get_byindex(index, at)) && Below(entry->path, path); ++at)
            if (GIT_INDEX_ENTRY_STAGE(entry) == 0) found.emplace_back(entry, std::string(entry->path + path.size()));
        return found;
    }

    struct Taken {
        IndexEdit* edit;
        std::vector<std::pair<git_index_entry, std::string>> entries;  // copies, with what follows the path
        std::vector<std::string> paths;  // their full paths in the index, kept alive for the copies
    };

    // All that leaves first, then all that arrives, then what comes back:
    // true when anything changed.
    bool Edit(git_index* index, std::vector<IndexEdit>& edits) {
        std::vector<Taken> taken;
        std::vector<IndexEdit*> putBack;
        for (IndexEdit& edit : edits) {
            edit.followed = false;
            edit.taken.clear();
            std::string from;
            Taken leaving{&edit, {}, {}};
            if (edit.kind != IndexEdit::Kind::Restore && InTree(edit.from, from))
                for (const auto& [entry, below] : EntriesAt(index, from)) leaving.entries.emplace_back(*entry, below);
            if (leaving.entries.empty()) {
                if (!edit.putBack.empty() && edit.kind != IndexEdit::Kind::Remove) putBack.push_back(&edit);
                continue;
            }
            for (auto& [entry, below] : leaving.entries) leaving.paths.push_back(from + below);
            taken.push_back(std::move(leaving));
        }
        for (Taken& leaving : taken) {
            for (const std::string& path : leaving.paths) git_index_remove(index, path.c_str(), 0);
            leaving.edit->followed = true;
        }
        bool changed = !taken.empty();
        for (Taken& leaving : taken) Arrive(index, leaving);
        for (IndexEdit* edit : putBack) changed |= edit->followed = PutBack(index, *edit);
        return changed;
    }

    // Moved entries at their new path; those moved out of the work tree, and
    // removed ones, saved for the undo.
    void Arrive(git_index* index, Taken& leaving) {
        IndexEdit& edit = *leaving.edit;
        std::string to;
        const bool inside = edit.kind == IndexEdit::Kind::Move && InTree(edit.to, to);
        for (auto& [entry, below] : leaving.entries) {
            if (!inside) {
                Save(edit.taken, entry, below);
                continue;
            }
            const std::string path = to + below;
            entry.path = path.c_str();
            git_index_add(index, &entry);
        }
    }

    bool PutBack(git_index* index, const IndexEdit& edit) {
        std::string to;
        if (!InTree(edit.to, to)) return false;
        for (std::size_t at = 0; at < edit.putBack.size();) {
            const std::size_t end = edit.putBack.find('\0', at);
            const std::string item = edit.putBack.substr(at, end - at);
            at = end + 1;
            const std::size_t space = item.find(' '), second = item.find(' ', space + 1);
            if (space == std::string::npos || second == std::string::npos) continue;
            git_index_entry entry{};
            entry.mode = static_cast<std::uint32_t>(std::strtoul(item.c_str(), nullptr, 8));
            const std::string path = to + item.substr(second + 1);
            if (git_oid_fromstrn(&entry.id, item.c_str() + space + 1, second - space - 1) != 0) continue;
            entry.path = path.c_str();
            git_index_add(index, &entry);
        }
        return true;
    }

    git_repository* repository_;
    std::string folder_;        // as the batch names it, ending in '/'
    std::string folderInTree_;  // the same folder below the work tree, "" or ending in '/'
    std::string workTree_;      // ending in '/'
};

}  // namespace

std::unique_ptr<WorkTreeIndex> OpenLibGit2Index(const std::string& folder) {
    // Once for the process, never shut down: libgit2's shutdown frees only
    // the calling thread's state, and a batch updates the index on a worker.
    static const int initialised = git_libgit2_init();
    (void)initialised;
    git_repository* repository = nullptr;
    if (git_repository_open_ext(&repository, folder.c_str(), 0, nullptr) != 0 || git_repository_is_bare(repository) ||
        !git_repository_workdir(repository)) {
        git_repository_free(repository);
        return nullptr;
    }
    // The batch's paths go through the folder as given; its place in the
    // work tree is found with symbolic links resolved on both sides.
    char real[PATH_MAX], realTree[PATH_MAX];
    const std::string resolved = realpath(folder.c_str(), real) ? std::string(real) + '/' : std::string();
    const std::string workTree = realpath(git_repository_workdir(repository), realTree) ? std::string(realTree) + '/' : std::string();
    if (resolved.empty() || workTree.empty() || resolved.compare(0, workTree.size(), workTree) != 0) {
        git_repository_free(repository);  // inside .git itself
        return nullptr;
    }
    const std::string inTree = resolved.substr(workTree.size());
    std::string given = folder;
    if (given.empty() || given.back() != '/') given += '/';
    return std::make_unique<LibGit2Index>(repository, given, inTree);
}

}  // namespace quil

// The module's one entry point (git_index_module_posix.cpp loads it): the
// index, owned by the caller, or null.
extern "C" __attribute__((visibility("default"))) quil::WorkTreeIndex* QuilOpenWorkTreeIndex(const char* folder) {
    return quil::OpenLibGit2Index(folder).release();
}
