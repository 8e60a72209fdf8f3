// quil on file systems whose rules differ from the home folder's: an exFAT
// image mounted through exfat-fuse on a loop device (case-blind, inode
// numbers per spelling), a tmpfs mounted inside the tree (another file
// system) or with no inode left, and an ext4 case-folding folder where the
// kernel has them. Mounting needs root, which CI has; every mount is undone
// when its test ends, failed or not.
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "tests/quil_process.h"

namespace quil {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;
using testing::Outcome;
using testing::QuilRun;

// A command's standard output; empty when it failed.
std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        if (pclose(pipe) != 0) return {};
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

bool Succeeds(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// A file system mounted at a folder for as long as it lives.
class Mounted {
public:
    ~Mounted() {
        if (!at_.empty() && !Succeeds("umount '" + at_.string() + "'")) Succeeds("umount -l '" + at_.string() + "'");
        if (!loop_.empty()) Succeeds("losetup -d " + loop_);
    }

    // An exFAT image of 16 MB through exfat-fuse on a loop device.
    static std::unique_ptr<Mounted> ExfatFuse(const fs::path& image, const fs::path& at) {
        auto mounted = std::make_unique<Mounted>();
        fs::create_directories(at);
        if (!Succeeds("truncate -s 16M '" + image.string() + "' && mkfs.exfat '" + image.string() + "'")) return nullptr;
        mounted->loop_ = Output("losetup -f --show '" + image.string() + "'");
        if (mounted->loop_.empty() || !Succeeds("mount.exfat-fuse " + mounted->loop_ + " '" + at.string() + "'"))
            return nullptr;
        mounted->at_ = at;
        return mounted;
    }

    static std::unique_ptr<Mounted> Tmpfs(const fs::path& at, const std::string& options) {
        auto mounted = std::make_unique<Mounted>();
        fs::create_directories(at);
        if (mount("quil-test", at.c_str(), "tmpfs", 0, options.c_str()) != 0) return nullptr;
        mounted->at_ = at;
        return mounted;
    }

    // ext4 with case folding, where the kernel offers it.
    static std::unique_ptr<Mounted> Ext4Casefold(const fs::path& image, const fs::path& at) {
        if (!fs::exists("/sys/fs/ext4/features/casefold")) return nullptr;
        auto mounted = std::make_unique<Mounted>();
        fs::create_directories(at);
        if (!Succeeds("truncate -s 16M '" + image.string() + "' && mkfs.ext4 -q -O casefold '" + image.string() + "'"))
            return nullptr;
        mounted->loop_ = Output("losetup -f --show '" + image.string() + "'");
        if (mounted->loop_.empty() || !Succeeds("mount " + mounted->loop_ + " '" + at.string() + "'")) return nullptr;
        mounted->at_ = at;
        return mounted;
    }

private:
    fs::path at_;
    std::string loop_;
};

class VolumesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "mounting needs root (CI runs as root)";
        base_ = fs::temp_directory_path() / ("quil-volumes-" + std::to_string(getpid()));
        fs::remove_all(base_);
        for (const char* folder : {"home", "data", "state"}) fs::create_directories(base_ / folder);
    }
    void TearDown() override {
        mounted_.reset();
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }

    Outcome Quil(const fs::path& tree, const std::string& edited, std::vector<std::string> options = {"--yes"}) {
        QuilRun run;
        run.args = {"--apply", "-"};
        run.args.insert(run.args.end(), options.begin(), options.end());
        run.args.push_back(tree.string());
        run.env = {{"HOME", (base_ / "home").string()},
                   {"XDG_DATA_HOME", (base_ / "data").string()},
                   {"XDG_STATE_HOME", (base_ / "state").string()},
                   {"NO_COLOR", "1"}};
        run.input = edited;
        return testing::RunQuil(run);
    }

    Outcome Undo(const fs::path& tree) {
        QuilRun run;
        run.args = {"--undo", "--yes", tree.string()};
        run.env = {{"HOME", (base_ / "home").string()},
                   {"XDG_DATA_HOME", (base_ / "data").string()},
                   {"XDG_STATE_HOME", (base_ / "state").string()}};
        return testing::RunQuil(run);
    }

    // The names a folder holds, as it spells them.
    static std::set<std::string> Names(const fs::path& folder) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
        return names;
    }

    // Changes of case on a case-blind folder, planned and read back.
    void CaseBlindRows(const fs::path& tree) {
        struct Row {
            const char* name;
            Tree files;
            std::string edited;  // in listing order: byte order
            Tree after;
            int status;
            std::string err;
        };
        const std::vector<Row> rows = {
            {"a change of case", {{"Photo.JPG", "p"}}, "photo.jpg\n", {{"photo.jpg", "p"}}, 0, ""},
            {"beyond ASCII", {{"\xC3\xA9t\xC3\xA9.txt", "e"}}, "\xC3\x89T\xC3\x89.txt\n", {{"\xC3\x89T\xC3\x89.txt", "e"}}, 0, ""},
            {"two names that fold to one", {{"a", "1"}, {"b", "2"}}, "x\nX\n", {{"a", "1"}, {"b", "2"}}, 1,
             "another line has the same name"},
            {"a swap by case", {{"a", "1"}, {"b", "2"}}, "B\nA\n", {{"A", "2"}, {"B", "1"}}, 0, ""},
            {"onto another file's other case", {{"a", "1"}, {"b", "2"}}, "B\nb\n", {{"a", "1"}, {"b", "2"}}, 1,
             "a file with that name exists"},
        };
        for (const Row& row : rows) {
            for (const auto& entry : fs::directory_iterator(tree)) fs::remove_all(entry.path());
            testing::WriteFiles(tree, row.files);
            const Outcome outcome = Quil(tree, row.edited);
            EXPECT_EQ(outcome.status, row.status) << row.name << "\n" << outcome.out << outcome.err;
            EXPECT_NE((outcome.out + outcome.err).find(row.err), std::string::npos) << row.name << "\n" << outcome.out;
            Tree after = testing::FilesBelow(tree);
            after.erase(".Trash-0");
            EXPECT_EQ(after, row.after) << row.name;
            std::set<std::string> spelt;
            for (const auto& [name, content] : row.after) spelt.insert(name);
            std::set<std::string> names = Names(tree);
            names.erase(".Trash-0");
            EXPECT_EQ(names, spelt) << row.name;
            if (row.status != 0) continue;
            const Outcome undo = Undo(tree);
            EXPECT_EQ(undo.status, 0) << row.name << "\n" << undo.err;
            EXPECT_EQ(testing::FilesBelow(tree), row.files) << row.name;
        }
    }

    fs::path base_;
    std::unique_ptr<Mounted> mounted_;
};

TEST_F(VolumesTest, ExfatThroughFuse) {
    mounted_ = Mounted::ExfatFuse(base_ / "exfat.img", base_ / "exfat");
    ASSERT_TRUE(mounted_) << "cannot mount an exFAT image through exfat-fuse";
    fs::create_directories(base_ / "exfat/tree");
    CaseBlindRows(base_ / "exfat/tree");

    // Emptied lines go to the Trash of the volume itself.
    fs::remove_all(base_ / "exfat/tree");
    testing::WriteFiles(base_ / "exfat/tree", {{"gone", "g"}});
    const Outcome trashed = Quil(base_ / "exfat/tree", "\n");
    EXPECT_EQ(trashed.status, 0) << trashed.err;
    EXPECT_TRUE(fs::exists(base_ / "exfat/.Trash-0/files/gone"));
    EXPECT_EQ(Undo(base_ / "exfat/tree").status, 0);
    EXPECT_EQ(testing::FilesBelow(base_ / "exfat/tree"), (Tree{{"gone", "g"}}));
}

TEST_F(VolumesTest, Ext4CaseFoldingFolder) {
    mounted_ = Mounted::Ext4Casefold(base_ / "ext4.img", base_ / "ext4");
    if (!mounted_) GTEST_SKIP() << "this kernel has no ext4 case folding";
    fs::create_directories(base_ / "ext4/tree");
    ASSERT_TRUE(Succeeds("chattr +F '" + (base_ / "ext4/tree").string() + "'"));
    CaseBlindRows(base_ / "ext4/tree");
}

TEST_F(VolumesTest, AMoveOntoAnotherFileSystemIsRefused) {
    const fs::path tree = base_ / "tree";
    testing::WriteFiles(tree, {{"a", "1"}, {"b", "2"}});
    mounted_ = Mounted::Tmpfs(tree / "mnt", "size=1M");
    ASSERT_TRUE(mounted_);
    const Outcome outcome = Quil(tree, "mnt/a\nc\n");
    EXPECT_EQ(outcome.status, 1) << outcome.err;
    EXPECT_NE(outcome.out.find("on another file system"), std::string::npos) << outcome.out;
    EXPECT_EQ(testing::FilesBelow(tree), (Tree{{"a", "1"}, {"c", "2"}}));
}

TEST_F(VolumesTest, ATrashWithNoFreeInodeIsAFailureAtOnce) {
    const fs::path full = base_ / "full";
    mounted_ = Mounted::Tmpfs(full, "size=1M,nr_inodes=16");
    ASSERT_TRUE(mounted_);
    testing::WriteFiles(full / "tree", {{"a", "1"}, {"b", "2"}});
    for (int i = 0;; ++i) {  // every inode taken
        std::ofstream file(full / ("filler" + std::to_string(i)));
        if (!file || !(file << "f").flush() || i > 100) break;
    }
    const Outcome outcome = Quil(full / "tree", "\nb\n");
    EXPECT_EQ(outcome.status, 1) << outcome.err;
    EXPECT_NE(outcome.err.find("cannot trash 'a'"), std::string::npos) << outcome.err;
    EXPECT_EQ(testing::FilesBelow(full / "tree"), (Tree{{"a", "1"}, {"b", "2"}}));
}

}  // namespace
}  // namespace quil
