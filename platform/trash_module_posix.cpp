// MakeSystemTrash through a module of our own (quil-trash.so, which links
// GIO), loaded the first time a file goes to the Trash or comes back from
// it: GIO and the libraries it brings took a third of a start of quil, and
// most batches trash nothing.
#include <cerrno>
#include <cstdlib>

#include "platform/modules.h"
#include "platform/trash.h"

namespace quil {
namespace {

using MakeTrash = TrashService* (*)(FileServices* files);

class TrashOnDemand final : public TrashService {
public:
    explicit TrashOnDemand(FileServices& files) : files_(files) {}

    OpResult MoveToTrash(const std::string& path, std::string& trashedAs) override {
        if (!Load()) return Unavailable();
        return trash_->MoveToTrash(path, trashedAs);
    }

    bool Locate(const std::string& original, const FileIdentity& identity, std::string& trashedAs) override {
        return Load() && trash_->Locate(original, identity, trashedAs);
    }

    OpResult Restore(const std::string& trashedAs, const std::string& original) override {
        if (!Load()) return Unavailable();
        return trash_->Restore(trashedAs, original);
    }

private:
    bool Load() {
        if (!trash_ && failure_.empty()) {
            const auto make = reinterpret_cast<MakeTrash>(ModuleEntry("quil-trash", "QuilMakeGioTrash", failure_));
            if (make != nullptr) trash_.reset(make(&files_));
        }
        return trash_ != nullptr;
    }

    // A broken install: the file stays where it is, and says why.
    OpResult Unavailable() const { return OpResult::Failure(ENOSYS, "the Trash cannot be reached: " + failure_); }

    FileServices& files_;
    std::unique_ptr<TrashService> trash_;
    std::string failure_;
};

}  // namespace

std::unique_ptr<TrashService> MakeSystemTrash(FileServices& files) {
    // GIO would take a relative XDG_DATA_HOME as relative to the current
    // folder and make a Trash there; the layout says such a value is to be
    // ignored. GLib reads it once, at its first use, which may come later
    // than anything else reads it: it goes now.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] != '/') unsetenv("XDG_DATA_HOME");
    return std::make_unique<TrashOnDemand>(files);
}

}  // namespace quil
