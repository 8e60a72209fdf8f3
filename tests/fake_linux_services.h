// In-memory stand-ins for the Trash and the state store of the Linux
// editions, over the fake file system: a trashed file moves to a Trash
// folder there, and the Nth trashing, or the journal, can be made to fail.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "engine/run_plan.h"
#include "engine/selection.h"
#include "engine/session.h"
#include "platform/git_index.h"
#include "platform/state_store.h"
#include "platform/trash.h"
#include "tests/fake_file_system.h"

namespace quil::testing {

// A request for the files and folders at paths, as a command line gives
// them: hidden names left out unless asked for.
inline ListRequest Picking(std::vector<std::string> paths) {
    ListRequest request;
    request.paths = std::move(paths);
    request.scan.naturalOrder = true;
    request.scan.skipHidden = true;
    return request;
}

// Stops the run the nth time it is asked (1-based); 0 never stops.
class Stopper final : public RunObserver {
public:
    explicit Stopper(int stopAt = 0) : stopAt_(stopAt) {}
    void Progress(int, int) override {}
    bool StopRequested() override { return ++asked_ == stopAt_; }

private:
    int stopAt_;
    int asked_ = 0;
};

// Prepares and applies a batch, as the flow does once the user said yes.
inline RunResult ApplyNow(Session& session, const BatchPlan& plan, bool permanent, RunObserver& observer) {
    Session::Prepared prepared;
    std::string reason;
    session.PrepareBatch(prepared, reason);
    return session.Apply(std::move(prepared), plan, permanent, observer);
}

inline RunResult UndoNow(Session& session, const UndoPlan& undo, RunObserver& observer) {
    Session::Prepared prepared;
    std::string reason;
    session.PrepareUndo(undo, prepared, reason);
    return session.ApplyUndo(std::move(prepared), undo, observer);
}

class FakeTrash final : public TrashService {
public:
    FakeTrash(FakeFileSystem& files, std::string folder) : files_(files), folder_(std::move(folder)) {}

    void FailTrashing(int n) { failAt_ = trashings_ + n; }

    OpResult MoveToTrash(const std::string& path, std::string& trashedAs) override {
        if (++trashings_ == failAt_) return OpResult::Failure(EIO, "the Trash cannot take this file");
        trashedAs = folder_ + "/files/" + std::to_string(trashings_) + "-" + path.substr(path.rfind('/') + 1);
        return files_.Move(path, trashedAs, nullptr);
    }
    bool Locate(const std::string& original, const FileIdentity& identity, std::string& trashedAs) override {
        const std::string name = original.substr(original.rfind('/') + 1);
        for (const auto& [path, content] : files_.Files()) {
            if (path.compare(0, folder_.size() + 7, folder_ + "/files/") != 0) continue;
            if (path.size() < name.size() || path.compare(path.size() - name.size(), name.size(), name) != 0) continue;
            if (!identity.Same(files_.Lookup(path).identity, false)) continue;
            trashedAs = path;
            return true;
        }
        return false;
    }
    OpResult Restore(const std::string& trashedAs, const std::string& original) override {
        return files_.Move(trashedAs, original, nullptr);
    }

private:
    FakeFileSystem& files_;
    std::string folder_;
    int trashings_ = 0;
    int failAt_ = 0;
};

// A git index as a map of tracked paths to what is staged, edited as the
// real one is: all that leaves, then all that arrives (a move out of the
// work tree, /r, takes the entry out); it can refuse to be written.
struct FakeIndexState {
    std::map<std::string, std::string> entries;  // tracked path -> what is staged
    bool fails = false;
    std::string lock;  // held by another git command when not empty
};

class FakeIndex final : public WorkTreeIndex {
public:
    explicit FakeIndex(FakeIndexState& state) : entries_(state.entries), fails_(state.fails), lock_(state.lock) {}
    std::string HeldLock() override { return lock_; }
    std::string File() override { return "/r/.git/index"; }
    std::vector<std::string> Submodules() override { return {}; }
    OpResult Update(std::vector<IndexEdit>& edits, const std::function<bool()>& keep) override {
        if (fails_) return OpResult::Failure(EIO, "cannot write the git index");
        std::map<std::string, std::string> entries = entries_;
        std::vector<std::pair<IndexEdit*, std::string>> leaving;
        std::vector<IndexEdit*> putBack;
        for (IndexEdit& edit : edits) {
            edit.taken.clear();
            const auto found = entries.find(edit.from);
            if (edit.kind != IndexEdit::Kind::Restore && found != entries.end()) leaving.push_back({&edit, found->second});
            else if (edit.kind != IndexEdit::Kind::Remove && !edit.putBack.empty()) putBack.push_back(&edit);
        }
        for (auto& [edit, staged] : leaving) entries.erase(edit->from);
        for (auto& [edit, staged] : leaving) {
            edit->followed = true;
            if (edit->kind == IndexEdit::Kind::Move && edit->to.rfind("/r/", 0) == 0) entries[edit->to] = staged;
            else edit->taken = staged;
        }
        for (IndexEdit* edit : putBack) {
            entries[edit->to] = edit->putBack;
            edit->followed = true;
        }
        if (!leaving.empty() && !keep()) return OpResult::Failure(EIO, "cannot keep the entries");
        entries_ = entries;
        return OpResult::Success();
    }

private:
    std::map<std::string, std::string>& entries_;
    const bool& fails_;
    const std::string& lock_;
};

// Records in memory. A reason makes every new record fail; appends can be
// made to fail from the Nth one on; locks can be held by "another process".
class FakeStateStore final : public StateStore {
public:
    class File final : public AppendFile {
    public:
        File(FakeStateStore& store, std::string name) : store_(store), name_(std::move(name)) {}
        bool Append(const std::string& text) override {
            if (store_.failAppendAt_ != 0 && ++store_.appends_ >= store_.failAppendAt_) return false;
            store_.records[name_] += text;
            return true;
        }
        bool Sync() override {
            ++store_.syncs;
            return true;
        }

    private:
        FakeStateStore& store_;
        std::string name_;
    };

    class Lock final : public StoreLock {
    public:
        Lock(FakeStateStore& store, std::string name) : store_(store), name_(std::move(name)) {}
        ~Lock() override { store_.locked.erase(name_); }

    private:
        FakeStateStore& store_;
        std::string name_;
    };

    void FailCreating(std::string reason) { unwritable_ = std::move(reason); }
    // The nth append from now on fails, and every one after it; 0: none.
    void FailAppendsFrom(int n) { failAppendAt_ = n == 0 ? 0 : appends_ + n; }

    std::unique_ptr<AppendFile> Create(const std::string& name, std::string& error) override {
        if (!unwritable_.empty() || records.count(name) != 0) {
            error = unwritable_.empty() ? "exists" : unwritable_;
            return nullptr;
        }
        records[name];
        return std::make_unique<File>(*this, name);
    }
    std::unique_ptr<AppendFile> Reopen(const std::string& name, std::string& error) override {
        if (!unwritable_.empty() || records.count(name) == 0) {
            error = unwritable_.empty() ? "missing" : unwritable_;
            return nullptr;
        }
        return std::make_unique<File>(*this, name);
    }
    bool Read(const std::string& name, std::string& text, std::size_t limit) override {
        auto it = records.find(name);
        if (it == records.end()) return false;
        text = limit == 0 ? it->second : it->second.substr(0, limit);
        return true;
    }
    std::vector<std::string> List(const std::string& suffix) override {
        std::vector<std::string> names;
        for (const auto& [name, text] : records)
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                names.push_back(name);
        return names;
    }
    bool Remove(const std::string& name) override {
        records.erase(name);
        return true;
    }
    std::unique_ptr<StoreLock> TryLock(const std::string& name, bool& busy) override {
        busy = locked.count(name) != 0;
        if (busy) return nullptr;
        locked.insert(name);
        return std::make_unique<Lock>(*this, name);
    }
    std::string Where(const std::string& name) const override { return "state/" + name; }

    std::map<std::string, std::string> records;
    std::set<std::string> locked;
    int syncs = 0;

private:
    std::string unwritable_;
    int failAppendAt_ = 0;
    int appends_ = 0;
};

}  // namespace quil::testing
