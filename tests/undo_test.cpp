// Undo through the journal over the fake file system: after batches and
// undos that failed or stopped at every step, a file replaced by hand, the
// folders a batch made, history, the lock, and a journal that cannot be
// written.
#include <gtest/gtest.h>

#include "engine/session.h"
#include "tests/fake_linux_services.h"

namespace quil {
namespace {

using testing::FakeFileSystem;
using testing::FakeStateStore;
using testing::FakeTrash;
using testing::Stopper;
using Tree = std::map<std::string, std::string>;

// A folder /r of files whose content is their name, a Trash, a store.
struct World {
    explicit World(const std::vector<std::string>& names) {
        for (const std::string& name : names) files.AddFile("/r/" + name, name);
        files.AddFolder("/trash");
    }

    Session Opened() {
        Session session(files, trash, store);
        EXPECT_EQ(session.Open(testing::Picking({"/r"})).kind, ListProblem::Kind::None);
        session.List();
        return session;
    }

    // Lists /r afresh and applies the edited list.
    RunResult Apply(const std::string& edited, RunObserver&& observer = Stopper()) {
        Session session = Opened();
        int found = 0;
        EXPECT_TRUE(session.ReadBack(edited, found)) << edited;
        return testing::ApplyNow(session, session.Plan(false), false, observer);
    }

    // Undoes the newest batch not undone; false when there was none.
    bool Undo(RunResult* result = nullptr, RunObserver&& observer = Stopper()) {
        Session session = Opened();
        UndoPlan undo;
        if (!session.PlanUndo(undo)) return false;
        RunResult run = testing::UndoNow(session, undo, observer);
        if (result) *result = run;
        return true;
    }

    // The files below root, and its folders as "name/" -> "".
    Tree Below(const std::string& root = "/r/") const {
        Tree tree;
        for (const auto& [path, content] : files.Files())
            if (path.compare(0, root.size(), root) == 0) tree[path.substr(root.size())] = content;
        for (const std::string& folder : files.Folders())
            if (folder.size() > root.size() && folder.compare(0, root.size(), root) == 0)
                tree[folder.substr(root.size()) + "/"] = "";
        return tree;
    }

    // How many changes applying edited makes, counted on a world of its own.
    static int OperationsOf(const std::vector<std::string>& names, const std::string& edited, bool andUndo) {
        World world(names);
        world.Apply(edited);
        const int batch = world.files.operations();
        if (!andUndo) return batch;
        world.Undo();
        return world.files.operations() - batch;
    }

    FakeFileSystem files{kPosixConventions, "/home"};
    FakeTrash trash{files, "/trash"};
    FakeStateStore store;
};

// The names as files whose content is their name, with their folders.
Tree Original(const std::vector<std::string>& names) {
    Tree tree;
    for (const std::string& name : names) {
        tree[name] = name;
        for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
            tree[name.substr(0, slash + 1)] = "";
    }
    return tree;
}

// A three-cycle, a chain, a move into new folders, a trash and a folder
// emptied, failed at each change in turn (folders made and removed
// included); then its undo failed at each of its changes in turn; a second
// undo brings back every file and folder.
TEST(Undo, AfterAnyFailedStepAndAnyFailedUndoStepASecondUndoBringsEverythingBack) {
    const std::vector<std::string> names = {"a", "b", "c", "x", "y", "gone", "s/d"};
    const std::string edited = "b\nc\na\ny\nz\n\nnew/deep/d\n";
    const int batchChanges = World::OperationsOf(names, edited, false);
    const int undoChanges = World::OperationsOf(names, edited, true);
    ASSERT_GE(batchChanges, 10);
    for (int failing = 0; failing <= batchChanges; ++failing) {
        for (int undoFailing = 0; undoFailing <= undoChanges; ++undoFailing) {
            World world(names);
            if (failing > 0) world.files.FailOperation(failing);
            world.Apply(edited);
            if (undoFailing > 0) world.files.FailOperation(undoFailing);
            world.Undo();
            world.Undo();
            EXPECT_EQ(world.Below(), Original(names)) << failing << " " << undoFailing;
            for (const auto& [path, content] : world.files.Files())
                EXPECT_EQ(path.find("quil-swap"), std::string::npos) << failing << " " << undoFailing << " " << path;
        }
    }
}

TEST(Undo, StoppedAnywhereAndThenUndoneAgainBringsEverythingBack) {
    const std::vector<std::string> names = {"a", "b", "c", "gone", "s/d"};
    for (int stopAt = 1; stopAt <= 8; ++stopAt) {
        World world(names);
        world.Apply("b\nc\na\n\nnew/d\n");
        RunResult stopped;
        ASSERT_TRUE(world.Undo(&stopped, Stopper(stopAt)));
        if (stopped.stopped) {
            EXPECT_LT(stopped.applied, stopped.total) << stopAt;
            ASSERT_TRUE(world.Undo()) << stopAt;  // the rest
        }
        EXPECT_EQ(world.Below(), Original(names)) << stopAt;
        EXPECT_FALSE(world.Opened().CanUndo()) << stopAt;
    }
}

TEST(Undo, AFileReplacedByHandIsNotMoved) {
    World world({"a", "c"});
    world.Apply("c\nd\n");  // a -> c, c -> d
    ASSERT_EQ(world.Below(), (Tree{{"c", "a"}, {"d", "c"}}));
    world.files.Delete("/r/c", nullptr);
    world.files.AddFile("/r/c", "new c");
    Session session = world.Opened();
    UndoPlan undo;
    ASSERT_TRUE(session.PlanUndo(undo));
    bool named = false;
    for (const PlanRow& row : undo.rows) named |= row.action == LineAction::Refuse && row.reason == Refusal::NotMovedByBatch;
    EXPECT_TRUE(named);
    Stopper never;
    testing::UndoNow(session, undo, never);
    EXPECT_EQ(world.Below(), (Tree{{"c", "new c"}, {"d", "c"}}));
}

TEST(Undo, FoldersTheBatchMadeGoSoThatFilesComeBackToTheirNames) {
    // a goes to the Trash and b into a folder of a's name; x to a new
    // folder e, and e's own file to x's name.
    World world({"a", "b", "e", "x"});
    world.Apply("\na/b\nx\ne/x\n");
    ASSERT_EQ(world.Below(), (Tree{{"a/", ""}, {"a/b", "b"}, {"e/", ""}, {"e/x", "x"}, {"x", "e"}}));
    ASSERT_TRUE(world.Undo());
    EXPECT_EQ(world.Below(), Original({"a", "b", "e", "x"}));
    EXPECT_EQ(world.files.Query("/r/a"), PathKind::File);
    EXPECT_FALSE(world.Opened().CanUndo());
}

TEST(Undo, AFileGoneFromTheTrashIsDroppedAfterSayingSo) {
    World world({"a", "b"});
    world.Apply("\nc\n");
    for (const auto& [path, content] : world.files.Files())
        if (path.rfind("/trash/", 0) == 0) world.files.Delete(path, nullptr);
    Session session = world.Opened();
    UndoPlan undo;
    ASSERT_TRUE(session.PlanUndo(undo));
    ASSERT_EQ(undo.refused, 1);
    EXPECT_EQ(undo.rows.back().reason, Refusal::NotInTrash);
    Stopper never;
    testing::UndoNow(session, undo, never);
    EXPECT_EQ(world.Below(), (Tree{{"b", "b"}}));
    EXPECT_FALSE(world.Opened().CanUndo());
}

TEST(Undo, RepeatedUndosWalkBackThroughTheHistory) {
    World world({"a"});
    world.Apply("b\n");
    world.Apply("c\n");
    world.Apply("d\n");
    EXPECT_EQ(world.Opened().History().size(), 3u);
    ASSERT_TRUE(world.Undo());
    EXPECT_EQ(world.Below(), (Tree{{"c", "a"}}));
    ASSERT_TRUE(world.Undo());
    EXPECT_EQ(world.Below(), (Tree{{"b", "a"}}));
    ASSERT_TRUE(world.Undo());
    EXPECT_EQ(world.Below(), (Tree{{"a", "a"}}));
    EXPECT_FALSE(world.Undo());
    const std::vector<BatchJournal> history = world.Opened().History();
    ASSERT_EQ(history.size(), 3u);
    for (const BatchJournal& batch : history) {
        EXPECT_TRUE(batch.undone);
        EXPECT_EQ(batch.counts.renames, 1);
    }
}

TEST(Undo, TheLastBatchesOfAFolderAreKept) {
    World world({"a"});
    for (int i = 0; i < 25; ++i) world.Apply(i % 2 == 0 ? "b\n" : "a\n");
    EXPECT_EQ(world.Opened().History().size(), kBatchesKept);
}

TEST(Undo, ABatchThatDoesNothingReplacesNothing) {
    World world({"a", "b"});
    world.Apply("x\nb\n");
    world.files.FailOperation(1);
    world.Apply("x\nz\n");  // its only operation fails
    Stopper stopFirst(1);
    world.Apply("y\nb\n", std::move(stopFirst));  // stopped before its first
    ASSERT_TRUE(world.Undo());
    EXPECT_EQ(world.Below(), Original({"a", "b"}));
}

TEST(Undo, OneBatchAtATimePerFolder) {
    World world({"a"});
    Session first = world.Opened();
    Session second = world.Opened();
    std::string reason;
    Session::Prepared held, refused;
    ASSERT_EQ(first.PrepareBatch(held, reason), Session::Readiness::Ready);
    EXPECT_EQ(second.PrepareBatch(refused, reason), Session::Readiness::Busy);
    EXPECT_NE(reason.find("another batch"), std::string::npos);
    UndoPlan undo;
    undo.batch.root = "/r/";
    EXPECT_EQ(second.PrepareUndo(undo, refused, reason), Session::Readiness::Busy);
    int found;
    ASSERT_TRUE(first.ReadBack("b\n", found));
    Stopper never;
    first.Apply(std::move(held), first.Plan(false), false, never);
    EXPECT_EQ(second.PrepareBatch(refused, reason), Session::Readiness::Ready);
}

TEST(Undo, AJournalThatCannotBeWrittenIsSaidBeforeAnything) {
    World world({"a"});
    world.store.FailCreating("state: Read-only file system");
    Session session = world.Opened();
    std::string reason;
    Session::Prepared prepared;
    EXPECT_EQ(session.PrepareBatch(prepared, reason), Session::Readiness::Unjournaled);
    EXPECT_EQ(reason, "state: Read-only file system");
    EXPECT_EQ(world.Below(), (Tree{{"a", "a"}}));
}

// The journal's writes after its header: the chunk of announcements, the
// failure of the second move, the end. Whichever fails, it is said, no file
// is left under a temporary name, and the batch can still be undone.
TEST(Undo, AJournalThatFailsMidwayStopsTheBatchWhereItCanStillBeUndone) {
    const std::vector<std::string> names = {"a", "b", "c", "x"};
    for (int failAt = 1; failAt <= 3; ++failAt) {
        World world(names);
        Session session = world.Opened();
        std::string reason;
        Session::Prepared prepared;
        ASSERT_EQ(session.PrepareBatch(prepared, reason), Session::Readiness::Ready);
        world.store.FailAppendsFrom(failAt);
        world.files.FailOperation(2);
        int found;
        ASSERT_TRUE(session.ReadBack("b\nc\na\ny\n", found));
        Stopper never;
        const RunResult result = session.Apply(std::move(prepared), session.Plan(false), false, never);
        EXPECT_FALSE(result.journalError.empty()) << failAt;
        for (const auto& [path, content] : world.files.Files())
            EXPECT_EQ(path.find("quil-swap"), std::string::npos) << failAt << " " << path;
        world.store.FailAppendsFrom(0);
        world.Undo();
        EXPECT_EQ(world.Below(), Original(names)) << failAt;
    }
}

// Any name round-trips through the journal; of a batch that ended without
// its end record, the operations announced are looked for by identity.
TEST(Undo, TheJournalKeepsAnyNameAndLooksForWhatARunCutShortLeftOpen) {
    World world({"tab\there", "back\\slash", "x"});
    world.Apply("back\\slash2\ntab\tthere2\ny\n");
    ASSERT_EQ(world.store.records.size(), 1u);
    std::string& text = world.store.records.begin()->second;
    const std::string name = world.store.records.begin()->first;
    BatchJournal batch;
    ASSERT_TRUE(ReadBatch(world.store, name, batch));
    ASSERT_EQ(batch.entries.size(), 3u);
    EXPECT_EQ(batch.entries[0].original, "/r/back\\slash");
    EXPECT_EQ(batch.entries[1].original, "/r/tab\there");
    EXPECT_EQ(batch.counts.renames, 3);
    for (const JournalEntry& entry : batch.entries) EXPECT_TRUE(entry.open.empty());

    // Cut before its end, after an announcement whose move never happened,
    // and in the middle of a record.
    const std::size_t end = text.rfind("E\t");
    ASSERT_NE(end, std::string::npos);
    text.resize(end);
    text += "M\t100\t3\ty\tz\nM\t101\t1\tback";
    ASSERT_TRUE(ReadBatch(world.store, name, batch));
    ASSERT_EQ(batch.entries[2].open.size(), 2u);  // x -> y, then y -> z
    SettleOpen(batch, world.files, world.trash);
    EXPECT_EQ(batch.entries[2].now, "/r/y");  // found at y: the move to z did not happen
    EXPECT_EQ(batch.entries[2].state, JournalEntry::State::Here);
    ASSERT_TRUE(world.Undo());
    EXPECT_EQ(world.Below(), Original({"tab\there", "back\\slash", "x"}));
}

// The runner: a line whose way a file was to clear, which did not leave,
// is skipped (here the move of l fails, so x must not go below l).
TEST(Undo, ALineIsSkippedWhenTheFileInItsWayCouldNotLeave) {
    World world({"d/l", "x"});
    world.files.FailOperation(1);
    const RunResult result = world.Apply("d/l/x\ne\n");  // x -> d/l/x, d/l -> e
    ASSERT_EQ(result.failures.size(), 2u);
    EXPECT_EQ(result.failures[1].result.message, kNameNotCleared);
    EXPECT_EQ(world.Below(), Original({"d/l", "x"}));
}

TEST(Undo, AFolderThatTookAListedFilesNameIsNotTouched) {
    World world({"a", "b"});
    Session session = world.Opened();
    world.files.Delete("/r/a", nullptr);
    world.files.AddFile("/r/a/inside", "inside");  // a is a folder now
    int found;
    ASSERT_TRUE(session.ReadBack("\nz\n", found));
    Stopper never;
    const RunResult result = testing::ApplyNow(session, session.Plan(false), false, never);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].result.message, kNoLongerListed);
    EXPECT_EQ(world.Below(), (Tree{{"a/", ""}, {"a/inside", "inside"}, {"z", "b"}}));
}

TEST(Undo, AMoveOntoAnotherFileSystemIsRefusedInThePlan) {
    World world({"a", "b"});
    world.files.AddFolder("/r/mnt");
    world.files.Mount("/r/mnt", 2);
    Session session = world.Opened();
    int found;
    ASSERT_TRUE(session.ReadBack("mnt/a\nmnt/new/b\n", found));
    const BatchPlan plan = session.Plan(false);
    ASSERT_EQ(plan.refused.size(), 2u);
    EXPECT_EQ(plan.refused[0].reason, Refusal::OtherFileSystem);
    EXPECT_EQ(plan.refused[1].reason, Refusal::OtherFileSystem);
}

// A cycle through a file a sync client deleted after the listing: its
// line is reported, and the rest of the cycle finishes, since nothing is
// left at its name; no file stays under a temporary name.
TEST(Undo, ACycleThroughAFileThatVanishedFinishesWithoutIt) {
    World world({"foo", "bar", "baz", "qux", "quux"});
    Session session = world.Opened();  // bar baz foo quux qux
    world.files.Delete("/r/quux", nullptr);
    int found;
    ASSERT_TRUE(session.ReadBack("foo\nqux\nbar\nbaz\nquux\n", found));
    Stopper never;
    const RunResult result = testing::ApplyNow(session, session.Plan(false), false, never);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].from, "/r/quux");
    EXPECT_EQ(result.failures[0].result.message, kNoLongerListed);
    EXPECT_EQ(world.Below(), (Tree{{"bar", "foo"}, {"foo", "bar"}, {"quux", "qux"}, {"qux", "baz"}}));
}

// The undo sets the file aside outside the folder it removes, not in it.
TEST(Undo, AMoveIntoAFolderOfTheFilesOwnNameIsUndone) {
    World world({"a"});
    world.Apply("a/f\n");
    ASSERT_EQ(world.Below(), (Tree{{"a/", ""}, {"a/f", "a"}}));
    RunResult undone;
    ASSERT_TRUE(world.Undo(&undone));
    EXPECT_TRUE(undone.failures.empty());
    EXPECT_EQ(world.Below(), Original({"a"}));
    EXPECT_FALSE(world.Opened().CanUndo());
}

// The folder of a move cannot be made: the move never happened, and the
// journal says so; the undo takes back the other line only.
TEST(Undo, AMoveWhoseFolderCannotBeMadeIsNotTakenForDone) {
    World world({"a", "b"});
    world.files.FailOperation(1);  // the folder new
    const RunResult result = world.Apply("new/a\nc\n");
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(world.Below(), (Tree{{"a", "a"}, {"c", "b"}}));
    Session session = world.Opened();
    UndoPlan undo;
    ASSERT_TRUE(session.PlanUndo(undo));
    EXPECT_EQ(undo.refused, 0);
    Stopper never;
    EXPECT_TRUE(testing::UndoNow(session, undo, never).failures.empty());
    EXPECT_EQ(world.Below(), Original({"a", "b"}));
    EXPECT_FALSE(world.Opened().CanUndo());
}

// Killed once its file was in the Trash, before the journal said so: the
// first undo finds it there, writes that down, and fails to bring it
// back; the second brings it back.
TEST(Undo, WhatAnUndoFoundAfterAKillOutlivesItsFailure) {
    World world({"a", "b"});
    world.Apply("\nb\n");
    std::string& text = world.store.records.begin()->second;
    text.resize(text.find("\nt\t") + 1);  // the trash announced, nothing after
    world.files.FailOperation(1);
    RunResult failed;
    ASSERT_TRUE(world.Undo(&failed));
    ASSERT_EQ(failed.failures.size(), 1u);
    EXPECT_EQ(world.Below(), (Tree{{"b", "b"}}));
    ASSERT_TRUE(world.Undo());
    EXPECT_EQ(world.Below(), Original({"a", "b"}));
}

// The removal of the folders the batch made fails once; the next undo
// removes every one of them, innermost first.
TEST(Undo, FoldersLeftByAFailedRemovalGoWithTheNextUndo) {
    const std::vector<std::string> names = {"x", "y"};
    const std::string edited = "d1/d2/x\nd1/y\n";
    const int undoChanges = World::OperationsOf(names, edited, true);
    for (int failing = 1; failing <= undoChanges; ++failing) {
        World world(names);
        world.Apply(edited);
        world.files.FailOperation(failing);
        world.Undo();
        world.Undo();
        EXPECT_EQ(world.Below(), Original(names)) << failing;
    }
}

// A folder the batch emptied and removed comes back with its permissions
// and times: made private while it is filled, as it was once filled.
TEST(Undo, AFolderMadeAgainGetsItsAttributesBack) {
    World world({"private/a", "b"});
    FolderAttributes attributes;
    attributes.known = true;
    attributes.mode = 0750;
    attributes.owner = 1001;
    attributes.group = 1002;
    attributes.accessed = 111;
    attributes.modified = 222;
    world.files.SetFolderAttributes("/r/private", attributes);
    world.Apply("a\nb\n");
    ASSERT_EQ(world.files.Query("/r/private"), PathKind::Missing);
    ASSERT_TRUE(world.Undo());
    const FolderAttributes back = world.files.Lookup("/r/private").attributes;
    EXPECT_TRUE(back.known);
    EXPECT_EQ(back.mode, 0750u);
    EXPECT_EQ(back.owner, 1001u);
    EXPECT_EQ(back.group, 1002u);
    EXPECT_EQ(back.accessed, 111);
    EXPECT_EQ(back.modified, 222);
    EXPECT_EQ(world.Below(), Original({"private/a", "b"}));
}

}  // namespace
}  // namespace quil
