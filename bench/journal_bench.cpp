#include "bench/journal_bench.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/fixtures.h"
#include "bench/harness.h"
#include "engine/session.h"
#include "platform/state_store.h"
#include "platform/trash.h"

namespace quil::bench {
namespace {

constexpr int kRuns = 3;

// The journal as the program keeps it, but on the disk after every record:
// what the grouped fdatasync saves.
class SyncEachRecord final : public StateStore {
public:
    explicit SyncEachRecord(StateStore& store) : store_(store) {}
    std::unique_ptr<AppendFile> Create(const std::string& name, std::string& error) override {
        auto file = store_.Create(name, error);
        return file ? std::make_unique<Synced>(std::move(file)) : nullptr;
    }
    std::unique_ptr<AppendFile> Reopen(const std::string& name, std::string& error) override {
        return store_.Reopen(name, error);
    }
    bool Read(const std::string& name, std::string& text, std::size_t limit) override { return store_.Read(name, text, limit); }
    std::vector<std::string> List(const std::string& suffix) override { return store_.List(suffix); }
    bool Remove(const std::string& name) override { return store_.Remove(name); }
    std::unique_ptr<StoreLock> TryLock(const std::string& name, bool& busy) override { return store_.TryLock(name, busy); }
    std::string Where(const std::string& name) const override { return store_.Where(name); }

private:
    class Synced final : public AppendFile {
    public:
        explicit Synced(std::unique_ptr<AppendFile> file) : file_(std::move(file)) {}
        bool Append(const std::string& text) override { return file_->Append(text) && file_->Sync(); }
        bool Sync() override { return file_->Sync(); }

    private:
        std::unique_ptr<AppendFile> file_;
    };
    StateStore& store_;
};

class Quiet final : public RunObserver {
    void Progress(int, int) override {}
    bool StopRequested() override { return false; }
};

}  // namespace

void BenchJournal(int files) {
    const std::string state = MakeTempFolder("journal-state");
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    auto services = MakeSystemFileServices();
    auto trash = MakeSystemTrash(*services);
    auto store = MakeSystemStateStore();
    SyncEachRecord syncing(*store);
    const std::string folder = MakeTempFolder("journal");
    const std::vector<std::string> names = NumberedNames("f", files);
    std::string edited;
    for (const std::string& name : names) edited += name + ".renamed\n";

    auto apply = [&](StateStore& journals) {
        Session session(*services, *trash, journals);
        ListRequest request;
        request.paths = {folder};
        session.Open(request);
        session.List();
        int found = 0;
        session.ReadBack(edited, found);
        Quiet quiet;
        Session::Prepared prepared;
        std::string reason;
        if (session.PrepareBatch(prepared, reason) != Session::Readiness::Ready) std::fprintf(stderr, "%s\n", reason.c_str());
        const RunResult result = session.Apply(std::move(prepared), session.Plan(false), false, quiet);
        if (result.applied != files) std::fprintf(stderr, "applied %d of %d\n", result.applied, files);
    };
    auto rebuild = [&] {
        RemoveTree(folder);
        MakeFlatFolder(folder, names);
    };
    const double shipped = MedianMs(kRuns, rebuild, [&] { apply(*store); });
    const double synced = MedianMs(kRuns, rebuild, [&] { apply(syncing); });
    const std::string label = "apply " + std::to_string(files / 1000) + ",000 renames in process";
    PrintRow(label + ", journal on the disk before each chunk", shipped, "same, fdatasync per record", synced, "");
    RemoveTree(folder);
    RemoveTree(state);
}

}  // namespace quil::bench
