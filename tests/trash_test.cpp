// The Trash's contract, held by the fake the engine tests use and by GIO's
// Trash on a real file system alike: files of one name each found by their
// identity, a restore that never replaces, names near the length limit
// that keep where they came from, and a Trash reached through another
// mount of the same device.
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/trash.h"
#include "tests/fake_linux_services.h"

namespace quil {
namespace {

namespace fs = std::filesystem;

// GLib reads XDG_DATA_HOME once, at its first use: before any test runs.
const fs::path kBase = fs::temp_directory_path() / ("quil-trash-" + std::to_string(getpid()));
const bool kDataHomeSet = [] {
    setenv("XDG_DATA_HOME", (kBase / "data").c_str(), 1);
    return true;
}();

class World {
public:
    virtual ~World() = default;
    virtual FileServices& files() = 0;
    virtual TrashService& trash() = 0;
    virtual std::string Full(const std::string& relative) const = 0;
    virtual void Write(const std::string& relative, const std::string& content) = 0;
    virtual std::string Read(const std::string& path) = 0;
    // The record the Trash keeps of a file it holds; empty for the fake.
    virtual std::string RecordOf(const std::string& trashedAs) = 0;
};

class FakeWorld final : public World {
public:
    FileServices& files() override { return files_; }
    TrashService& trash() override { return trash_; }
    std::string Full(const std::string& relative) const override { return "/w/" + relative; }
    void Write(const std::string& relative, const std::string& content) override { files_.AddFile(Full(relative), content); }
    std::string Read(const std::string& path) override { return files_.Content(path); }
    std::string RecordOf(const std::string&) override { return {}; }

private:
    testing::FakeFileSystem files_{kPosixConventions, "/w"};
    testing::FakeTrash trash_{files_, "/trash"};
};

class RealWorld final : public World {
public:
    RealWorld() {
        fs::remove_all(kBase);
        fs::create_directories(kBase / "w");
    }
    ~RealWorld() override {
        std::error_code ignored;
        fs::remove_all(kBase, ignored);
    }
    FileServices& files() override { return *files_; }
    TrashService& trash() override { return *trash_; }
    std::string Full(const std::string& relative) const override { return (kBase / "w" / relative).string(); }
    void Write(const std::string& relative, const std::string& content) override {
        fs::create_directories(fs::path(Full(relative)).parent_path());
        std::ofstream(Full(relative), std::ios::binary) << content;
    }
    std::string Read(const std::string& path) override {
        std::ostringstream content;
        content << std::ifstream(path, std::ios::binary).rdbuf();
        return content.str();
    }
    std::string RecordOf(const std::string& trashedAs) override {
        const fs::path trashed(trashedAs);
        return Read((trashed.parent_path().parent_path() / "info" / trashed.filename()).string() + ".trashinfo");
    }

private:
    std::unique_ptr<FileServices> files_ = MakeSystemFileServices();
    std::unique_ptr<TrashService> trash_ = MakeSystemTrash(*files_);
};

class TrashContract : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam()) world_ = std::make_unique<RealWorld>();
        else world_ = std::make_unique<FakeWorld>();
    }
    bool real() const { return GetParam(); }

    std::unique_ptr<World> world_;
};

TEST_P(TrashContract, FilesOfOneNameAreEachFoundByTheirIdentity) {
    World& w = *world_;
    w.Write("a/x", "first");
    w.Write("b/x", "second");
    const FileIdentity first = w.files().Lookup(w.Full("a/x")).identity;
    const FileIdentity second = w.files().Lookup(w.Full("b/x")).identity;
    std::string trashedFirst, trashedSecond;
    ASSERT_TRUE(w.trash().MoveToTrash(w.Full("a/x"), trashedFirst).ok);
    ASSERT_TRUE(w.trash().MoveToTrash(w.Full("b/x"), trashedSecond).ok);
    EXPECT_NE(trashedFirst, trashedSecond);
    std::string found;
    ASSERT_TRUE(w.trash().Locate(w.Full("b/x"), second, found));
    EXPECT_EQ(found, trashedSecond);
    ASSERT_TRUE(w.trash().Locate(w.Full("a/x"), first, found));
    EXPECT_EQ(found, trashedFirst);
    EXPECT_TRUE(w.trash().Restore(trashedSecond, w.Full("b/x")).ok);
    EXPECT_TRUE(w.trash().Restore(trashedFirst, w.Full("a/x")).ok);
    EXPECT_EQ(w.Read(w.Full("a/x")), "first");
    EXPECT_EQ(w.Read(w.Full("b/x")), "second");
    EXPECT_FALSE(w.trash().Locate(w.Full("a/x"), first, found));
}

TEST_P(TrashContract, ARestoreOntoANameNowTakenReplacesNothing) {
    World& w = *world_;
    w.Write("x", "trashed");
    const FileIdentity identity = w.files().Lookup(w.Full("x")).identity;
    std::string trashedAs;
    ASSERT_TRUE(w.trash().MoveToTrash(w.Full("x"), trashedAs).ok);
    w.Write("x", "new");
    EXPECT_FALSE(w.trash().Restore(trashedAs, w.Full("x")).ok);
    EXPECT_EQ(w.Read(w.Full("x")), "new");
    std::string found;
    EXPECT_TRUE(w.trash().Locate(w.Full("x"), identity, found));
}

// A record whose own name is past the limit cannot be made: such a file
// stays where it is. One just below it keeps where the file came from.
TEST_P(TrashContract, NamesNearTheLimitKeepWhereTheyCameFrom) {
    if (!real()) GTEST_SKIP() << "the records are GIO's";
    World& w = *world_;
    for (const std::size_t length : {200, 238, 239, 242, 245}) {
        const std::string name(length, 'n');
        w.Write(name, "content");
        std::string trashedAs;
        ASSERT_TRUE(w.trash().MoveToTrash(w.Full(name), trashedAs).ok) << length;
        const std::string record = w.RecordOf(trashedAs);
        EXPECT_NE(record.find("\nPath=" + w.Full(name) + "\n"), std::string::npos) << length << "\n" << record;
        EXPECT_TRUE(w.trash().Restore(trashedAs, w.Full(name)).ok) << length;
    }
    const std::string tooLong(250, 'n');
    w.Write(tooLong, "content");
    std::string trashedAs;
    EXPECT_FALSE(w.trash().MoveToTrash(w.Full(tooLong), trashedAs).ok);
    EXPECT_EQ(w.Read(w.Full(tooLong)), "content");
}

// A bind mount is the same device at another place: rename(2) will not
// cross it, so GIO uses the Trash of that mount, or fails; either way
// the file is found or left where it was.
TEST_P(TrashContract, AFileOnAnotherMountOfTheSameDevice) {
    if (!real()) GTEST_SKIP() << "mounts are the real file system's";
    if (geteuid() != 0) GTEST_SKIP() << "a bind mount needs root";
    World& w = *world_;
    w.Write("source/f", "content");
    fs::create_directories(w.Full("mount"));
    ASSERT_EQ(mount(w.Full("source").c_str(), w.Full("mount").c_str(), nullptr, MS_BIND, nullptr), 0);
    const FileIdentity identity = w.files().Lookup(w.Full("mount/f")).identity;
    std::string trashedAs;
    const bool trashed = w.trash().MoveToTrash(w.Full("mount/f"), trashedAs).ok;
    if (trashed) {
        std::string found;
        EXPECT_TRUE(w.trash().Locate(w.Full("mount/f"), identity, found));
        EXPECT_EQ(found, trashedAs);
        EXPECT_TRUE(w.trash().Restore(trashedAs, w.Full("mount/f")).ok);
    }
    EXPECT_EQ(w.Read(w.Full("mount/f")), "content");
    // The mount's own Trash, where GIO made one, goes with it.
    std::error_code ignored;
    fs::remove_all(w.Full("mount/.Trash-0"), ignored);
    EXPECT_EQ(umount(w.Full("mount").c_str()), 0);
}

INSTANTIATE_TEST_SUITE_P(FakeAndGio, TrashContract, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Gio" : "Fake"; });

}  // namespace
}  // namespace quil
