// The conversation of a batch and of an undo, as both Linux editions hold
// it, over the fake file system: every question answered every way, every
// outcome, and the exit status of each.
#include <gtest/gtest.h>

#include <cerrno>

#include "engine/batch_flow.h"
#include "tests/fake_linux_services.h"

namespace quil {
namespace {

using testing::FakeFileSystem;
using testing::FakeIndex;
using testing::FakeIndexState;
using testing::FakeStateStore;
using testing::FakeTrash;
using Answer = BatchDialog::Answer;
using Tree = std::map<std::string, std::string>;

// Answers as a row says, and writes down what it was asked and told.
class ScriptedDialog final : public BatchDialog {
public:
    Answer toApply = Answer::Apply;
    bool toUndo = true;
    bool withoutGit = true;
    bool unjournaled = true;
    bool stopPlanning = false;
    int stopApplyingAt = 0;  // the stop asked for at the nth look while applying; 0: never
    std::vector<std::string> said;

    void RunLong(LongStep step, const std::function<void(StepMonitor&)>& work) override {
        said.push_back(step == LongStep::Planning ? "planning" : "applying");
        Monitor monitor(step == LongStep::Planning ? (stopPlanning ? 1 : 0) : stopApplyingAt);
        work(monitor);
    }
    void ShowPlan(const std::vector<PlanRow>&) override { said.push_back("plan"); }
    void ShowUndo(const UndoPlan&) override { said.push_back("undo plan"); }
    void NoteIndexLocked(const std::string&) override { said.push_back("index locked"); }
    Answer AskToApply(const std::vector<PlanRow>&) override {
        said.push_back("apply?");
        return toApply;
    }
    bool AskToUndo(const UndoPlan&) override {
        said.push_back("undo?");
        return toUndo;
    }
    bool ApplyWithoutGit(const std::string&) override {
        said.push_back("without git?");
        return withoutGit;
    }
    bool ApplyUnjournaled(const std::string&) override {
        said.push_back("unjournaled?");
        return unjournaled;
    }
    void Report(const Outcome&) override { said.push_back("report"); }

private:
    class Monitor final : public StepMonitor {
    public:
        explicit Monitor(int stopAt) : stopAt_(stopAt) {}
        void Progress(long, long) override {}
        bool StopRequested() override { return ++looks_ == stopAt_; }

    private:
        int stopAt_;
        int looks_ = 0;
    };
};

// A folder /r of files whose content is their name, in a git work tree.
struct World {
    World() {
        for (const char* name : {"a", "b", "c"}) files.AddFile(std::string("/r/") + name, name);
        files.AddFolder("/trash");
        git.entries = {{"/r/a", "a"}, {"/r/b", "b"}, {"/r/c", "c"}};
        session.UseGit([this](const std::string&) { return std::make_unique<FakeIndex>(git); });
        Relist();
    }
    void Relist() {
        EXPECT_EQ(session.Open(testing::Picking({"/r"})).kind, ListProblem::Kind::None);
        session.List();
    }
    Tree Below() const {
        Tree tree;
        for (const auto& [path, content] : files.Files())
            if (path.rfind("/r/", 0) == 0) tree[path.substr(3)] = content;
        return tree;
    }

    FakeFileSystem files{kPosixConventions, "/home"};
    FakeTrash trash{files, "/trash"};
    FakeStateStore store;
    FakeIndexState git;
    Session session{files, trash, store};
    Session other{files, trash, store};  // another batch over the folder, where a row needs one
    Session::Prepared held;
};

const Tree kListed = {{"a", "a"}, {"b", "b"}, {"c", "c"}};

struct BatchRow {
    const char* name;
    std::string edited;  // the list text, a b c listed
    // The world and the answers.
    std::function<void(World&, ScriptedDialog&, BatchChoices&)> given;
    std::vector<std::string> said;
    int status;
    Tree after;
    std::function<void(const Outcome&, const World&)> check = {};
};

TEST(Flow, EveryQuestionAnsweredEveryWayAndEveryOutcome) {
    const Tree renamed = {{"x", "a"}, {"b", "b"}, {"c", "c"}};
    const std::vector<std::string> asked = {"planning", "plan", "apply?", "applying", "report"};
    const std::vector<BatchRow> rows = {
        {"applied", "x\nb\nc\n", [](World&, ScriptedDialog&, BatchChoices&) {}, asked, 0, renamed,
         [](const Outcome& outcome, const World& world) {
             EXPECT_EQ(outcome.run.indexChanged, 1);
             EXPECT_EQ(world.git.entries.count("/r/x"), 1u);
         }},
        {"nothing to do", "a\nb\nc\n", [](World&, ScriptedDialog&, BatchChoices&) {}, {"planning", "plan"}, 0, kListed},
        {"every line refused", "b\nb\nc\n", [](World&, ScriptedDialog&, BatchChoices&) {}, {"planning", "plan"}, 1, kListed},
        {"a line refused, the others applied", "b\nb\nz\n", [](World&, ScriptedDialog&, BatchChoices&) {}, asked, 1,
         {{"a", "a"}, {"b", "b"}, {"z", "c"}}},
        {"no", "x\nb\nc\n", [](World&, ScriptedDialog& dialog, BatchChoices&) { dialog.toApply = Answer::No; },
         {"planning", "plan", "apply?"}, 2, kListed},
        {"edit again", "x\nb\nc\n", [](World&, ScriptedDialog& dialog, BatchChoices&) { dialog.toApply = Answer::EditAgain; },
         {"planning", "plan", "apply?"}, 2, kListed,
         [](const Outcome& outcome, const World&) { EXPECT_TRUE(outcome.editAgain); }},
        {"a dry run", "x\nb\nc\n", [](World&, ScriptedDialog&, BatchChoices& choices) { choices.dryRun = true; },
         {"planning", "plan"}, 0, kListed},
        {"a dry run with a locked index says so", "x\nb\nc\n",
         [](World& world, ScriptedDialog&, BatchChoices& choices) {
             choices.dryRun = true;
             world.git.lock = "index.lock";
         },
         {"planning", "plan", "index locked"}, 0, kListed},
        {"a locked index: without git, no", "x\nb\nc\n",
         [](World& world, ScriptedDialog& dialog, BatchChoices&) {
             world.git.lock = "index.lock";
             dialog.withoutGit = false;
         },
         {"planning", "plan", "apply?", "without git?"}, 2, kListed},
        {"a locked index: without git, yes", "x\nb\nc\n",
         [](World& world, ScriptedDialog&, BatchChoices&) { world.git.lock = "index.lock"; },
         {"planning", "plan", "apply?", "without git?", "applying", "report"}, 0, renamed,
         [](const Outcome&, const World& world) { EXPECT_EQ(world.git.entries.count("/r/a"), 1u); }},
        {"git switched off", "x\nb\nc\n", [](World&, ScriptedDialog&, BatchChoices& choices) { choices.followGit = false; },
         asked, 0, renamed, [](const Outcome&, const World& world) { EXPECT_EQ(world.git.entries.count("/r/a"), 1u); }},
        {"cannot be undone: no", "x\nb\nc\n",
         [](World& world, ScriptedDialog& dialog, BatchChoices&) {
             world.store.FailCreating("read-only");
             dialog.unjournaled = false;
         },
         {"planning", "plan", "apply?", "unjournaled?"}, 2, kListed},
        {"cannot be undone: yes", "x\nb\nc\n",
         [](World& world, ScriptedDialog&, BatchChoices&) { world.store.FailCreating("read-only"); },
         {"planning", "plan", "apply?", "unjournaled?", "applying", "report"}, 0, renamed,
         [](const Outcome& outcome, const World&) { EXPECT_TRUE(outcome.notJournaled); }},
        {"another batch runs", "x\nb\nc\n",
         [](World& world, ScriptedDialog&, BatchChoices&) {
             world.other.Open(testing::Picking({"/r"}));
             std::string reason;
             world.other.PrepareBatch(world.held, reason);
         },
         {"planning", "plan", "apply?", "report"}, 2, kListed,
         [](const Outcome& outcome, const World&) { EXPECT_TRUE(outcome.busy); }},
        {"stopped while planning", "x\nb\nc\n", [](World&, ScriptedDialog& dialog, BatchChoices&) { dialog.stopPlanning = true; },
         {"planning", "report"}, 2, kListed},
        {"stopped while applying", "x\ny\nc\n", [](World&, ScriptedDialog& dialog, BatchChoices&) { dialog.stopApplyingAt = 2; },
         asked, 1, {{"x", "a"}, {"b", "b"}, {"c", "c"}}},
        {"an operation fails", "x\ny\nc\n", [](World& world, ScriptedDialog&, BatchChoices&) { world.files.FailOperation(1); },
         asked, 1, {{"a", "a"}, {"y", "b"}, {"c", "c"}}},
        {"the journal fails midway", "x\ny\nc\n",
         [](World& world, ScriptedDialog&, BatchChoices&) { world.store.FailAppendsFrom(3); }, asked, 1,
         {{"x", "a"}, {"y", "b"}, {"c", "c"}}},
        {"the git index cannot be written", "x\nb\nc\n",
         [](World& world, ScriptedDialog&, BatchChoices&) { world.git.fails = true; }, asked, 1, renamed},
        {"a line a transform emptied is refused", "\nb\nc\n",
         [](World&, ScriptedDialog&, BatchChoices& choices) { choices.emptiedByTransform = {1}; }, {"planning", "plan"}, 1,
         kListed},
    };
    for (const BatchRow& row : rows) {
        SCOPED_TRACE(row.name);
        World world;
        ScriptedDialog dialog;
        BatchChoices choices;
        row.given(world, dialog, choices);
        int found = 0;
        ASSERT_TRUE(world.session.ReadBack(row.edited, found));
        const Outcome outcome = RunBatch(world.session, dialog, choices);
        EXPECT_EQ(dialog.said, row.said);
        EXPECT_EQ(ExitStatus(outcome), row.status);
        EXPECT_EQ(world.Below(), row.after);
        if (row.check) row.check(outcome, world);
    }
}

struct UndoRow {
    const char* name;
    bool dryRun;
    std::function<void(World&, ScriptedDialog&)> given;  // after the batch x b c -> y
    std::vector<std::string> said;
    int status;
    Tree after;
};

TEST(Flow, TheUndoAskedAnsweredAndTold) {
    const Tree batch = {{"x", "a"}, {"y", "b"}, {"c", "c"}};
    const std::vector<std::string> asked = {"undo plan", "undo?", "applying", "report"};
    const std::vector<UndoRow> rows = {
        {"undone", false, [](World&, ScriptedDialog&) {}, asked, 0, kListed},
        {"no", false, [](World&, ScriptedDialog& dialog) { dialog.toUndo = false; }, {"undo plan", "undo?"}, 2, batch},
        {"a dry run", true, [](World&, ScriptedDialog&) {}, {"undo plan"}, 0, batch},
        {"a move back fails", false, [](World& world, ScriptedDialog&) { world.files.FailOperation(1); }, asked, 1,
         {{"x", "a"}, {"b", "b"}, {"c", "c"}}},
        {"every line refused: nothing asked", false, [](World& world, ScriptedDialog&) {
             world.files.Delete("/r/x", nullptr);
             world.files.Delete("/r/y", nullptr);
         },
         {"undo plan"}, 1, {{"c", "c"}}},
        {"nothing left to undo", false, [](World& world, ScriptedDialog&) { world.store.records.clear(); }, {"report"}, 2,
         batch},
    };
    for (const UndoRow& row : rows) {
        SCOPED_TRACE(row.name);
        World world;
        ScriptedDialog dialog;
        int found = 0;
        ASSERT_TRUE(world.session.ReadBack("x\ny\nc\n", found));
        RunBatch(world.session, dialog, {});
        dialog.said.clear();
        row.given(world, dialog);
        BatchChoices choices;
        choices.dryRun = row.dryRun;
        world.Relist();
        const Outcome outcome = RunUndo(world.session, dialog, choices);
        EXPECT_EQ(dialog.said, row.said);
        EXPECT_EQ(ExitStatus(outcome), row.status);
        EXPECT_EQ(world.Below(), row.after);
    }
}

// A stop that a signal asked for is 128 + the signal, before anything else.
TEST(Flow, ExitStatusOfASignalAndOfAWindowsBatches) {
    Outcome stopped;
    stopped.signal = 15;
    EXPECT_EQ(ExitStatus(stopped), 143);
    Outcome applied, failed, declined;
    applied.applied = failed.applied = true;
    failed.run.failures.push_back({1, "/r/a", "/r/b", OpResult::Failure(EIO, "no")});
    EXPECT_EQ(CombinedExitStatus({}), 0);
    EXPECT_EQ(CombinedExitStatus({declined}), 2);
    EXPECT_EQ(CombinedExitStatus({applied, declined}), 0);
    EXPECT_EQ(CombinedExitStatus({failed, applied, declined}), 1);
}

}  // namespace
}  // namespace quil
