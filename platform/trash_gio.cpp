// The Trash through GIO's g_file_trash, GLib's implementation of the
// freedesktop Trash: names go as bytes, the file itself (a link as a link)
// is moved, and a Trash it cannot use is an error at once. GIO does not say
// where the file went, so it is looked for there by its identity, which
// also proves that the result is a real Trash record of that very file.
#include <fcntl.h>
#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/trash.h"

namespace quil {
namespace {

std::string Parent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The name GIO gives the n-th file of one name in a Trash: "a.b.c", then
// "a.2.b.c", "a.3.b.c"; without a dot "a", "a.2".
std::string TrashName(const std::string& name, int n) {
    if (n == 1) return name;
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos) return name + "." + std::to_string(n);
    return name.substr(0, dot) + "." + std::to_string(n) + name.substr(dot);
}

int ErrnoOf(const GError* error) {
    if (error->domain != G_IO_ERROR) return EIO;
    switch (error->code) {
        case G_IO_ERROR_NOT_FOUND: return ENOENT;
        case G_IO_ERROR_FILENAME_TOO_LONG: return ENAMETOOLONG;
        case G_IO_ERROR_PERMISSION_DENIED: return EACCES;
        case G_IO_ERROR_NO_SPACE: return ENOSPC;
        case G_IO_ERROR_NOT_SUPPORTED: return ENOTSUP;
        default: return EIO;
    }
}

class GioTrash final : public TrashService {
public:
    explicit GioTrash(FileServices& files) : files_(files) {}

    OpResult MoveToTrash(const std::string& path, std::string& trashedAs) override {
        const PathInfo before = files_.Lookup(path);
        if (before.kind == PathKind::Missing) return OpResult::Failure(ENOENT, "no such file");
        // The local file system's own GFile: no session bus, no daemon.
        GFile* file = g_vfs_get_file_for_path(g_vfs_get_local(), path.c_str());
        GError* error = nullptr;
        const bool trashed = g_file_trash(file, nullptr, &error);
        g_object_unref(file);
        if (!trashed) {
            OpResult failure = OpResult::Failure(ErrnoOf(error), error->message);
            g_error_free(error);
            return failure;
        }
        if (!Locate(path, before.identity, trashedAs))
            return OpResult::Failure(EIO, "the Trash took the file, but it cannot be found there");
        KeepWhereItCameFrom(path, trashedAs);
        return OpResult::Success();
    }

    // The Trashes GIO may have used: the home trash for files on the home's
    // file system, else $topdir/.Trash/$uid or $topdir/.Trash-$uid of the
    // file's own mount.
    bool Locate(const std::string& original, const FileIdentity& identity, std::string& trashedAs) override {
        const std::string name = BaseName(original);
        for (const std::string& trash : TrashesFor(original)) {
            for (int n = 1;; ++n) {
                const std::string candidate = trash + "/files/" + TrashName(name, n);
                const PathInfo info = files_.Lookup(candidate);
                if (info.kind != PathKind::Missing && identity.Same(info.identity, info.kind == PathKind::Folder)) {
                    trashedAs = candidate;
                    return true;
                }
                struct stat record;
                if (info.kind == PathKind::Missing &&
                    lstat((trash + "/info/" + TrashName(name, n) + ".trashinfo").c_str(), &record) != 0)
                    break;
            }
        }
        return false;
    }

    OpResult Restore(const std::string& trashedAs, const std::string& original) override {
        OpResult result = files_.Move(trashedAs, original, nullptr);
        if (!result.ok) return result;
        const std::string info = Parent(Parent(trashedAs)) + "/info/" + BaseName(trashedAs) + ".trashinfo";
        unlink(info.c_str());
        return result;
    }

private:
    // GLib 2.74 leaves an empty record for names of about 239 to 245 bytes
    // (its temporary name for the record is past the name limit) and says
    // it succeeded: the record is read back and, where it does not say where
    // the file came from, written as the freedesktop Trash has it.
    static void KeepWhereItCameFrom(const std::string& original, const std::string& trashedAs) {
        const std::string trash = Parent(Parent(trashedAs));
        const std::string record = trash + "/info/" + BaseName(trashedAs) + ".trashinfo";
        gchar* contents = nullptr;
        gsize length = 0;
        if (g_file_get_contents(record.c_str(), &contents, &length, nullptr)) {
            const bool sound = std::string(contents, length).find("\nPath=") != std::string::npos;
            g_free(contents);
            if (sound) return;
        }
        // The home Trash keeps absolute paths, a mount's Trash paths below
        // the mount (its $topdir/.Trash/$uid or $topdir/.Trash-$uid).
        std::string path = original;
        if (trash != std::string(g_get_user_data_dir()) + "/Trash") {
            const std::string top = BaseName(trash).rfind(".Trash-", 0) == 0 ? Parent(trash) : Parent(Parent(trash));
            if (original.compare(0, top.size() + 1, top + "/") == 0) path = original.substr(top.size() + 1);
        }
        gchar* escaped = g_uri_escape_string(path.c_str(), "/", FALSE);
        char date[32];
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
        const std::string text = std::string("[Trash Info]\nPath=") + escaped + "\nDeletionDate=" + date + "\n";
        g_free(escaped);
        // Into the record GLib made, in place: a temporary name beside it
        // would be as long as the one GLib failed with.
        const int fd = open(record.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) return;
        if (write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())) fsync(fd);
        close(fd);
    }

    std::vector<std::string> TrashesFor(const std::string& original) const {
        std::vector<std::string> trashes{std::string(g_get_user_data_dir()) + "/Trash"};
        struct stat info;
        std::string top = Parent(original);
        if (lstat(top.c_str(), &info) != 0) return trashes;
        const dev_t device = info.st_dev;
        for (std::string up = Parent(top); top != "/" && lstat(up.c_str(), &info) == 0 && info.st_dev == device;
             up = Parent(up))
            top = up;
        const std::string uid = std::to_string(getuid());
        const std::string base = top == "/" ? "" : top;
        trashes.push_back(base + "/.Trash/" + uid);
        trashes.push_back(base + "/.Trash-" + uid);
        return trashes;
    }

    FileServices& files_;
};

}  // namespace

}  // namespace quil

// The module's one entry point (trash_module_posix.cpp loads it): the
// Trash, owned by the caller.
extern "C" __attribute__((visibility("default"))) quil::TrashService* QuilMakeGioTrash(quil::FileServices* files) {
    return new quil::GioTrash(*files);
}
