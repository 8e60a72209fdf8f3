// The same cases over the fake file system and over this platform's real
// services in a temporary folder: listing, move, delete, and whole batches.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "tests/batch_support.h"
#include "tests/fake_dialog.h"
#include "tests/platform_helpers.h"

namespace quil {
namespace {

namespace fs = std::filesystem;

// A place to put files, read them back, and the services over it.
class World {
public:
    virtual ~World() = default;
    virtual FileServices& services() = 0;
    virtual std::string root() const = 0;  // ends in the separator
    virtual void Write(const std::string& relative, const std::string& content) = 0;
    virtual void MakeFolder(const std::string& relative) = 0;
    virtual bool IsFile(const std::string& relative) = 0;
    virtual std::string Read(const std::string& relative) = 0;
    // The stored spelling of the name, which may differ in case.
    virtual std::string StoredName(const std::string& relative) = 0;
    virtual void HideAndProtect(const std::string&) {}
    // A file by a name or path that only a raw path can make on Windows.
    virtual void WriteRaw(const std::string& relative, const std::string& content) = 0;
    virtual bool ExistsRaw(const std::string& relative) = 0;

    std::string Full(std::string relative) {
        for (char& ch : relative)
            if (ch == '\\') ch = services().conventions().separator;
        return root() + relative;
    }
};

class FakeWorld final : public World {
public:
    FileServices& services() override { return files_; }
    std::string root() const override { return root_; }
    void Write(const std::string& relative, const std::string& content) override { files_.AddFile(Full(relative), content); }
    void MakeFolder(const std::string& relative) override { files_.AddFolder(Full(relative)); }
    bool IsFile(const std::string& relative) override { return files_.IsFile(Full(relative)); }
    std::string Read(const std::string& relative) override { return files_.Content(Full(relative)); }
    std::string StoredName(const std::string& relative) override {
        std::string stored = files_.StoredPath(Full(relative));
        return stored.substr(stored.find_last_of(files_.conventions().separator) + 1);
    }
    void WriteRaw(const std::string& relative, const std::string& content) override { Write(relative, content); }
    bool ExistsRaw(const std::string& relative) override { return files_.IsFile(Full(relative)); }

    FakeWorld() {
        if (conventions_.windowsNames) files_.RewritePathsLikeWin32();
    }

private:
    const Conventions conventions_ = MakeSystemFileServices()->conventions();
    std::string root_ = conventions_.windowsNames ? "C:\\t\\" : "/t/";
    testing::FakeFileSystem files_{conventions_, root_.substr(0, root_.size() - 1)};
};

class RealWorld final : public World {
public:
    RealWorld() {
        static int serial = 0;
        folder_ = fs::temp_directory_path() / ("quil-contract-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                               "-" + std::to_string(++serial));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        root_ = folder_.string() + services_->conventions().separator;
    }
    ~RealWorld() override { testing::RemoveTree(folder_.string()); }
    FileServices& services() override { return *services_; }
    std::string root() const override { return root_; }
    void Write(const std::string& relative, const std::string& content) override {
        fs::path path = Full(relative);
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    void MakeFolder(const std::string& relative) override { fs::create_directories(Full(relative)); }
    bool IsFile(const std::string& relative) override { return fs::is_regular_file(Full(relative)); }
    std::string Read(const std::string& relative) override {
        std::ifstream in(Full(relative), std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }
    std::string StoredName(const std::string& relative) override {
        fs::path wanted = fs::u8path(Full(relative));
        for (const auto& entry : fs::directory_iterator(wanted.parent_path())) {
            std::string name = entry.path().filename().u8string();
            if (NameKey(name, services_->conventions()) == NameKey(wanted.filename().u8string(), services_->conventions()))
                return name;
        }
        return {};
    }
    void HideAndProtect(const std::string& relative) override { testing::HideAndProtect(Full(relative)); }
    void WriteRaw(const std::string& relative, const std::string& content) override {
        testing::WriteRaw(Full(relative), content);
    }
    bool ExistsRaw(const std::string& relative) override { return testing::ExistsRaw(Full(relative)); }

private:
    std::unique_ptr<FileServices> services_ = MakeSystemFileServices();
    fs::path folder_;
    std::string root_;
};

class Contract : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { FreshWorld(); }
    void FreshWorld() {
        world.reset();
        if (GetParam())
            world = std::make_unique<RealWorld>();
        else
            world = std::make_unique<FakeWorld>();
    }
    FileServices& services() { return world->services(); }
    std::unique_ptr<World> world;
};

TEST_P(Contract, ScanTakesEveryFileBreadthFirst) {
    world->Write("sub\\deeper\\c.txt", "c");
    world->Write("sub\\b", "b");
    world->Write("a.txt", "a");
    world->Write(".hidden", "h");
    world->HideAndProtect(".hidden");
    world->MakeFolder("empty");
    std::vector<std::string> table(16);
    ScanResult result = ScanTree(table, world->root(), 16, services());
    ASSERT_EQ(result.count, 4);
    // Root files first (in the platform's order), then sub, then sub's folder.
    std::set<std::string> rootFiles = {table[1], table[2]};
    EXPECT_EQ(rootFiles, (std::set<std::string>{world->Full("a.txt"), world->Full(".hidden")}));
    EXPECT_EQ(table[3], world->Full("sub\\b"));
    EXPECT_EQ(table[4], world->Full("sub\\deeper\\c.txt"));
}

TEST_P(Contract, MoveCreatesMissingFolders) {
    world->Write("a.txt", "a");
    ASSERT_TRUE(services().Move(world->Full("a.txt"), world->Full("one\\two\\a.txt"), nullptr).ok);
    EXPECT_FALSE(world->IsFile("a.txt"));
    EXPECT_EQ(world->Read("one\\two\\a.txt"), "a");
    EXPECT_EQ(services().Query(world->Full("one\\two")), PathKind::Folder);
}

TEST_P(Contract, CaseOnlyRenameChangesTheStoredName) {
    world->Write("name.txt", "n");
    ASSERT_TRUE(services().Move(world->Full("name.txt"), world->Full("NAME.txt"), nullptr).ok);
    EXPECT_EQ(world->StoredName("NAME.txt"), "NAME.txt");
    EXPECT_EQ(world->Read("NAME.txt"), "n");
}

TEST_P(Contract, MoveNeverReplacesAnExistingFile) {
    world->Write("a", "a");
    world->Write("b", "b");
    world->MakeFolder("f");
    EXPECT_FALSE(services().Move(world->Full("a"), world->Full("b"), nullptr).ok);
    EXPECT_FALSE(services().Move(world->Full("a"), world->Full("f"), nullptr).ok);
    EXPECT_EQ(world->Read("a"), "a");
    EXPECT_EQ(world->Read("b"), "b");
}

TEST_P(Contract, AMissingSourceIsAFailure) {
    OpResult result = services().Move(world->Full("missing"), world->Full("x"), nullptr);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.empty());
    EXPECT_FALSE(world->IsFile("x"));
    EXPECT_FALSE(services().Delete(world->Full("missing"), nullptr).ok);
}

TEST_P(Contract, DeleteRemovesTheFile) {
    world->Write("gone", "g");
    ASSERT_TRUE(services().Delete(world->Full("gone"), nullptr).ok);
    EXPECT_FALSE(world->IsFile("gone"));
    EXPECT_EQ(services().Query(world->Full("gone")), PathKind::Missing);
}

// What the runner and the undo rely on: a file keeps its identity when it
// is renamed, and another file has another; and folders made and removed
// one at a time, never over something already there.
TEST_P(Contract, LookupAndFolders) {
    world->Write("one", "1");
    world->Write("two", "2");
    const PathInfo one = services().Lookup(world->Full("one"));
    EXPECT_EQ(one.kind, PathKind::File);
    EXPECT_EQ(services().Lookup(world->Full("none")).kind, PathKind::Missing);
    ASSERT_TRUE(services().Move(world->Full("one"), world->Full("renamed"), nullptr).ok);
    EXPECT_TRUE(one.identity.Same(services().Lookup(world->Full("renamed")).identity, false));
    if (one.identity.known) {
        EXPECT_FALSE(one.identity.Same(services().Lookup(world->Full("two")).identity, false));
    }

    ASSERT_TRUE(services().MakeFolder(world->Full("f")).ok);
    EXPECT_EQ(services().Query(world->Full("f")), PathKind::Folder);
    EXPECT_FALSE(services().MakeFolder(world->Full("f")).ok);
    EXPECT_FALSE(services().MakeFolder(world->Full("two")).ok);
    world->Write("f\\inside", "i");
    EXPECT_FALSE(services().RemoveFolder(world->Full("f")).ok);
    EXPECT_EQ(world->Read("f\\inside"), "i");
    EXPECT_FALSE(services().RemoveFolder(world->Full("two")).ok);
    EXPECT_TRUE(world->IsFile("two"));
    ASSERT_TRUE(services().MakeFolder(world->Full("g")).ok);
    EXPECT_TRUE(services().RemoveFolder(world->Full("g")).ok);
    EXPECT_EQ(services().Query(world->Full("g")), PathKind::Missing);

    EXPECT_EQ(services().FoldsCase(world->root()), services().conventions().caseInsensitive);
}

TEST_P(Contract, WildcardNamesNeverReachAWindowsFileOperation) {
    if (!services().conventions().windowsNames || !GetParam()) GTEST_SKIP() << "Win32 services only";
    world->Write("ab.txt", "keep");
    world->Write("ac.txt", "keep too");
    EXPECT_FALSE(services().Move(world->Full("a?.txt"), world->Full("sub\\x.txt"), nullptr).ok);
    EXPECT_FALSE(services().Delete(world->Full("a*"), nullptr).ok);
    EXPECT_EQ(world->Read("ab.txt"), "keep");
    EXPECT_EQ(world->Read("ac.txt"), "keep too");
}

TEST_P(Contract, AFailedMoveTakesAwayTheFoldersItMade) {
    world->Write("a", "a");
    // Held open where the platform can do that; otherwise a name longer than
    // any file system takes, which the move finds out only at the end.
    std::shared_ptr<void> held = GetParam() ? testing::HoldAgainstMoves(world->Full("a")) : nullptr;
    const std::string name = held ? "b" : std::string(256, 'n');
    EXPECT_FALSE(services().Move(world->Full("a"), world->Full("new\\deeper\\" + name), nullptr).ok);
    held.reset();
    EXPECT_EQ(services().Query(world->Full("new")), PathKind::Missing);
    EXPECT_EQ(world->Read("a"), "a");
}

// Win32 strips a trailing dot or space from every path it is handed, so
// "x." would reach "x" (here a folder and its tree) and "y " would reach "y".
TEST_P(Contract, AnOperationReachesOnlyTheFileItNames) {
    world->Write("x\\keep", "k");
    world->WriteRaw("x.", "dot");
    world->Write("y", "y");
    world->WriteRaw("y ", "space");
    std::vector<std::string> table(16);
    EXPECT_EQ(ScanTree(table, world->root(), 16, services()).count, 4);
    const bool win32 = services().conventions().windowsNames;
    EXPECT_EQ(services().Delete(world->Full("x."), nullptr).ok, !win32);
    EXPECT_EQ(services().Move(world->Full("y "), world->Full("z"), nullptr).ok, !win32);
    EXPECT_FALSE(services().Delete(world->Full("x"), nullptr).ok);  // a folder
    EXPECT_EQ(world->Read("x\\keep"), "k");
    EXPECT_EQ(world->Read("y"), "y");
    EXPECT_EQ(world->ExistsRaw("x."), win32);
    EXPECT_EQ(world->ExistsRaw("y "), win32);
}

TEST_P(Contract, TheBatchRefusesNamesWin32WouldRewrite) {
    if (!services().conventions().windowsNames) GTEST_SKIP() << "Win32 name rules only";
    world->Write("x\\keep", "k");
    world->WriteRaw("x.", "dot");
    BatchState state;
    const std::string root = world->root();
    state.root = root;
    state.count = ScanTree(state.oldPaths, root, kTableSlots, services()).count;
    ASSERT_EQ(state.count, 2);
    BuildListText(state, services().conventions());
    testing::FakeDialog dialog;
    dialog.SetText(state.text);
    dialog.Type(state.text.find("x.") == 0 ? "\r\nx\\keep" : "x\\keep\r\n");
    dialog.answers = {kAnswerYes, kAnswerYes};
    ExecuteBatch(state, dialog, services());
    ASSERT_EQ(dialog.questions.size(), 2u);
    EXPECT_NE(dialog.questions[1].find("'x.' to '': Windows cannot reach this file by its name"), std::string::npos)
        << dialog.questions[1];
    EXPECT_TRUE(dialog.closed);
    EXPECT_EQ(world->Read("x\\keep"), "k");
    EXPECT_TRUE(world->ExistsRaw("x."));
}

// Past MAX_PATH the ANSI checks do not see a file that the file operation
// would still replace.
TEST_P(Contract, AFilePastMaxPathIsNeverReplaced) {
    world->Write("a", "a");
    world->Write("b", "b");
    const std::string folder(60, 'd');
    world->Write(folder + "\\short", "");
    const std::size_t length = 285 - world->root().size() - folder.size() - 1;
    const std::string taken = folder + "\\" + std::string(length, 'l');
    world->WriteRaw(taken, "long");
    EXPECT_FALSE(services().Move(world->Full("a"), world->Full(taken), nullptr).ok);
    EXPECT_EQ(world->Read("a"), "a");
    EXPECT_TRUE(world->ExistsRaw(taken));
    // A free path that long is refused on Windows, and works elsewhere.
    const bool win32 = services().conventions().windowsNames;
    EXPECT_EQ(services().Move(world->Full("b"), world->Full(folder + "\\" + std::string(length, 'm')), nullptr).ok,
              !win32);
    EXPECT_EQ(world->IsFile("b"), win32);
}

TEST_P(Contract, POSIXOpenLeavesNoChildBehind) {
    if (services().conventions().windowsNames || !GetParam()) GTEST_SKIP() << "POSIX services only";
    world->Write("a", "a");
    services().Open(world->Full("a"), nullptr);
    EXPECT_FALSE(testing::HasChildProcess());
}

// The batch as the dialog runs it: the edited lines parsed, planned, run;
// betweenPlanAndRun stands for whatever else happens to the files then.
std::vector<OpFailure> RunLines(World& world, const std::vector<std::string>& lines,
                                const std::function<void()>& betweenPlanAndRun = {}) {
    BatchState state;
    const std::string root = world.root();
    state.root = root;
    state.count = ScanTree(state.oldPaths, root, kTableSlots, world.services()).count;
    for (const std::string& line : lines) state.text += line + world.services().conventions().lineBreak;
    ParseListText(state, world.services().conventions());
    const BatchPlan plan = PlanBatch(state, world.services());
    EXPECT_TRUE(plan.refused.empty());
    if (betweenPlanAndRun) betweenPlanAndRun();
    return RunPlan(plan, world.services(), nullptr).failures;
}

// Another program (a sync client) puts a file at a line's target after the
// plan found it free: that line is reported as not moved, and nothing is
// replaced.
TEST_P(Contract, ATargetThatAppearsBetweenPlanAndRunIsNeverReplaced) {
    for (const std::string target : {"x.txt", "sub\\x.txt"}) {
        FreshWorld();
        world->Write("a.txt", "listed");
        const std::string line = world->Full(target).substr(world->root().size());
        const std::vector<OpFailure> failures = RunLines(*world, {line}, [&] { world->Write(target, "appeared"); });
        ASSERT_EQ(failures.size(), 1u) << target;
        EXPECT_EQ(failures[0].to, world->Full(target)) << target;
        EXPECT_FALSE(failures[0].result.message.empty()) << target;
        EXPECT_EQ(world->Read(target), "appeared") << target;
        EXPECT_EQ(world->Read("a.txt"), "listed") << target;
    }
}

TEST_P(Contract, ACaseOnlyRenameBeyondAscii) {
    world->Write("\xC3\xA9t\xC3\xA9.txt", "e");
    EXPECT_TRUE(RunLines(*world, {"\xC3\x89t\xC3\xA9.txt"}).empty());
    EXPECT_EQ(world->StoredName("\xC3\x89t\xC3\xA9.txt"), "\xC3\x89t\xC3\xA9.txt");
    EXPECT_EQ(world->Read("\xC3\x89t\xC3\xA9.txt"), "e");
}

TEST_P(Contract, ASlashInATargetIsASeparator) {
    world->Write("a.txt", "a");
    EXPECT_TRUE(RunLines(*world, {"sub/x.txt"}).empty());
    EXPECT_EQ(world->Read("sub\\x.txt"), "a");
    EXPECT_FALSE(world->IsFile("a.txt"));
}

TEST_P(Contract, WholeBatches) {
    // Swap, three-cycle, a move into a new folder and out of one, a delete.
    world->Write("a", "a");
    world->Write("b", "b");
    world->Write("c", "c");
    world->Write("d", "d");
    world->Write("e", "e");
    world->Write("s\\f", "f");
    BatchState state;
    const std::string root = world->root();
    state.root = root;
    state.count = ScanTree(state.oldPaths, world->root(), kTableSlots, services()).count;
    ASSERT_EQ(state.count, 6);
    std::map<std::string, std::string> wanted = {
        {"a", "b"}, {"b", "a"}, {"c", "d"}, {"d", "e"}, {"e", "c"}, {"s\\f", "new\\g"}};
    for (int slot = 1; slot <= state.count; ++slot) {
        std::string relative = state.oldPaths[slot].substr(world->root().size());
        for (char& ch : relative)
            if (ch == services().conventions().separator) ch = '\\';
        state.newPaths[slot] = world->Full(wanted.at(relative));
    }
    world->Write("x", "x");
    state.oldPaths[++state.count] = world->Full("x");  // emptied line
    const BatchPlan plan = PlanBatch(state, services());
    EXPECT_TRUE(plan.refused.empty());
    EXPECT_TRUE(RunPlan(plan, services(), nullptr).failures.empty());
    EXPECT_EQ(world->Read("a"), "b");
    EXPECT_EQ(world->Read("b"), "a");
    EXPECT_EQ(world->Read("c"), "e");
    EXPECT_EQ(world->Read("d"), "c");
    EXPECT_EQ(world->Read("e"), "d");
    EXPECT_EQ(world->Read("new\\g"), "f");
    EXPECT_FALSE(world->IsFile("s\\f"));
    EXPECT_FALSE(world->IsFile("x"));
}

INSTANTIATE_TEST_SUITE_P(FakeAndReal, Contract, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Real" : "Fake"; });

}  // namespace
}  // namespace quil
