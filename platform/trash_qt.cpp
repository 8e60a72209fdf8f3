// The Trash through QtCore's QFile::moveToTrash, which writes the
// freedesktop layout (files/ and info/*.trashinfo, the home trash or a
// mount's .Trash-UID).
#include <unistd.h>

#include <QFile>
#include <QString>
#include <cstdlib>
#include <filesystem>

#include "platform/trash.h"

namespace quil {
namespace {

namespace fs = std::filesystem;

// $XDG_DATA_HOME/Trash, where XDG_DATA_HOME is an absolute folder; otherwise
// ~/.local/share/Trash, as the Trash layout says.
fs::path HomeTrash() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    std::error_code error;
    if (dataHome != nullptr && dataHome[0] == '/' && fs::is_directory(dataHome, error)) return fs::path(dataHome) / "Trash";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : "/") / ".local/share/Trash";
}

fs::path InfoFile(const fs::path& trashed) {
    return trashed.parent_path().parent_path() / "info" / (trashed.filename().string() + ".trashinfo");
}

// Qt 6.4 reports success for places that are no Trash (with XDG_DATA_HOME a
// plain file it moves the file into files/ under the current folder), so
// the result is taken only when it is a real Trash record: TRASH/files/NAME
// with TRASH/info/NAME.trashinfo beside it, TRASH being the home trash or a
// mount's .Trash-UID or .Trash/UID.
bool IsTrashRecord(const fs::path& trashed) {
    std::error_code error;
    if (!trashed.is_absolute() || trashed.parent_path().filename() != "files") return false;
    if (!fs::is_regular_file(InfoFile(trashed), error)) return false;
    const fs::path trash = trashed.parent_path().parent_path();
    const std::string uid = std::to_string(getuid());
    return fs::equivalent(trash, HomeTrash(), error) || trash.filename() == ".Trash-" + uid ||
           (trash.filename() == uid && trash.parent_path().filename() == ".Trash");
}

class QtTrash final : public TrashService {
public:
    explicit QtTrash(FileServices& files) : files_(files) {}

    OpResult MoveToTrash(const std::string& path, std::string& trashedAs) override {
        QString inTrash;
        if (!QFile::moveToTrash(QFile::decodeName(path.c_str()), &inTrash))
            return OpResult::Failure(EIO, "the Trash cannot take this file");
        const std::string moved = QFile::encodeName(inTrash).toStdString();
        if (IsTrashRecord(moved)) {
            trashedAs = moved;
            return OpResult::Success();
        }
        // Not a Trash: put the file back where it was.
        std::error_code ignored;
        fs::remove(InfoFile(moved), ignored);
        const OpResult back = files_.Move(moved, path, nullptr);
        if (!back.ok) return OpResult::Failure(back.osError, "no Trash here; the file is now at " + moved);
        return OpResult::Failure(EIO, "no usable Trash for this file");
    }

    OpResult Restore(const std::string& trashedAs, const std::string& original) override {
        OpResult result = files_.Move(trashedAs, original, nullptr);
        if (!result.ok) return result;
        std::error_code ignored;
        fs::remove(InfoFile(trashedAs), ignored);
        return result;
    }

private:
    FileServices& files_;
};

}  // namespace

std::unique_ptr<TrashService> MakeSystemTrash(FileServices& files) { return std::make_unique<QtTrash>(files); }

}  // namespace quil
