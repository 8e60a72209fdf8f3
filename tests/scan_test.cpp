// Root capture and the breadth-first scan, with the Windows conventions
// against the fake file system.
#include <gtest/gtest.h>

#include "engine/natural_order.h"
#include "engine/scan.h"
#include "tests/fake_file_system.h"

namespace quil {
namespace {

using testing::FakeFileSystem;

TEST(CaptureRoot, AddsTheSeparatorOnlyWhereMissing) {
    struct Row {
        std::string workingFolder;
        std::string root;
    };
    for (const Row& row : {Row{"C:\\work", "C:\\work\\"}, Row{"C:\\", "C:\\"}, Row{"D:\\a b\\c", "D:\\a b\\c\\"}}) {
        FakeFileSystem files(kWindowsConventions, row.workingFolder);
        BatchState state;
        EXPECT_EQ(CaptureRoot(state, files), RootStatus::Captured);
        EXPECT_STREQ(state.root.data(), row.root.c_str());
    }
}

TEST(CaptureRoot, ReportsAFolderThatCannotBeHeld) {
    FakeFileSystem failing(kWindowsConventions, "C:\\work");
    failing.FailCurrentFolder();
    BatchState state;
    EXPECT_EQ(CaptureRoot(state, failing), RootStatus::Unavailable);

    // 255 characters fit the buffer, but not with the separator.
    FakeFileSystem deep(kWindowsConventions, "C:\\" + std::string(252, 'x'));
    EXPECT_EQ(CaptureRoot(state, deep), RootStatus::TooLong);
    EXPECT_STREQ(state.root.data(), "");

    FakeFileSystem fits(kWindowsConventions, "C:\\" + std::string(251, 'x'));
    EXPECT_EQ(CaptureRoot(state, fits), RootStatus::Captured);

    // Counted in UTF-16 units, as Windows counts: 90 CJK letters are 270
    // bytes but 90 units.
    std::string letters;
    for (int i = 0; i < 90; ++i) letters += "\xE6\x96\x87";
    FakeFileSystem wide(kWindowsConventions, "C:\\" + letters);
    EXPECT_EQ(CaptureRoot(state, wide), RootStatus::Captured);

    // Longer than any buffer the platform was first handed: still too long,
    // not unreadable.
    FakeFileSystem deeper(kWindowsConventions, "C:\\" + std::string(300, 'x'));
    EXPECT_EQ(CaptureRoot(state, deeper), RootStatus::TooLong);
}

class ScanTreeTest : public ::testing::Test {
protected:
    FakeFileSystem files{kWindowsConventions, "C:\\r"};
    std::vector<std::string> table = std::vector<std::string>(kTableSlots);

    std::vector<std::string> Scan(int capacity = kTableSlots, const std::string& root = "C:\\r\\") {
        result = ScanTree(table, root, capacity, files);
        return {table.begin() + 1, table.begin() + 1 + result.count};
    }
    ScanResult result;
};

TEST_F(ScanTreeTest, ListsBreadthFirstInListingOrder) {
    files.AddFile("C:\\r\\s\\b");
    files.AddFile("C:\\r\\s\\t\\c");
    files.AddFile("C:\\r\\a");
    EXPECT_EQ(Scan(), (std::vector<std::string>{"C:\\r\\a", "C:\\r\\s\\b", "C:\\r\\s\\t\\c"}));
    EXPECT_FALSE(result.cutShort);
    EXPECT_EQ(table[0], "");
}

TEST_F(ScanTreeTest, FoldersKeepTheOrderTheyWereMet) {
    files.AddFile("C:\\r\\s\\zzz");
    files.AddFile("C:\\r\\u\\aaa");
    files.AddFile("C:\\r\\s\\deeper\\x");
    EXPECT_EQ(Scan(), (std::vector<std::string>{"C:\\r\\s\\zzz", "C:\\r\\u\\aaa", "C:\\r\\s\\deeper\\x"}));
}

TEST_F(ScanTreeTest, EmptyRootsGiveNoFiles) {
    EXPECT_TRUE(Scan().empty());
    files.AddFolder("C:\\r\\empty");
    files.AddFolder("C:\\r\\empty\\too");
    EXPECT_TRUE(Scan().empty());
    for (const std::string& slot : table) EXPECT_EQ(slot, "");
}

TEST_F(ScanTreeTest, NamesWithoutDotAndDriveRootAreKept) {
    FakeFileSystem drive(kWindowsConventions, "C:\\");
    drive.AddFile("C:\\README");
    drive.AddFile("C:\\x\\.hidden");
    std::vector<std::string> paths(10);
    EXPECT_EQ(ScanTree(paths, "C:\\", 10, drive).count, 2);
    EXPECT_EQ(paths[1], "C:\\README");
    EXPECT_EQ(paths[2], "C:\\x\\.hidden");
}

TEST_F(ScanTreeTest, AnUnlistableFolderContributesNothing) {
    files.AddFile("C:\\r\\locked\\secret");
    files.AddFile("C:\\r\\open\\file");
    files.FailListing("C:\\r\\locked\\");
    EXPECT_EQ(Scan(), (std::vector<std::string>{"C:\\r\\open\\file"}));
    EXPECT_EQ(result.unreadableFolders, 1);
    EXPECT_EQ(result.firstUnreadable, "C:\\r\\locked\\");
    files.FailListing("C:\\r\\");
    EXPECT_TRUE(Scan().empty());
    EXPECT_EQ(result.unreadableFolders, 1);
}

// Not the folder's fault: it was read to its end, in either scan order.
TEST_F(ScanTreeTest, NamesThatCannotBeShownAreCountedApartFromUnreadableFolders) {
    files.AddFile("C:\\r\\a");
    files.AddFile("C:\\r\\s\\b");
    files.AddUnshowableName("C:\\r\\");
    files.AddUnshowableName("C:\\r\\s\\");
    files.AddUnshowableName("C:\\r\\s\\");
    for (const bool naturalOrder : {false, true}) {
        ScanOptions options;
        options.naturalOrder = naturalOrder;
        std::vector<std::string> paths(10);
        const ScanResult scanned = ScanTree(paths, "C:\\r\\", options, files);
        EXPECT_EQ(scanned.count, 2) << naturalOrder;
        EXPECT_EQ(scanned.unshown, 3) << naturalOrder;
        EXPECT_EQ(scanned.unreadableFolders, 0) << naturalOrder;
    }
}

TEST_F(ScanTreeTest, StopsAtCapacityAndSaysSo) {
    for (char name = 'a'; name <= 'f'; ++name) files.AddFile(std::string("C:\\r\\") + name);
    EXPECT_EQ(Scan(6).size(), 5u);
    EXPECT_TRUE(result.cutShort);
    EXPECT_EQ(table[6], "");  // nothing written past the capacity

    EXPECT_EQ(Scan(7).size(), 6u);
    EXPECT_FALSE(result.cutShort);
}

TEST_F(ScanTreeTest, AFullFolderQueueIsReportedButQueuedFoldersAreListed) {
    files.AddFile("C:\\r\\p\\1");
    files.AddFolder("C:\\r\\q");
    files.AddFolder("C:\\r\\t");
    files.AddFile("C:\\r\\u\\dropped");
    files.AddFile("C:\\r\\top");
    // A queue of 4 holds the root and three folders, so u is not queued.
    EXPECT_EQ(Scan(4), (std::vector<std::string>{"C:\\r\\top", "C:\\r\\p\\1"}));
    EXPECT_TRUE(result.cutShort);
}

TEST(ScanTreePosix, NamesWithLineBreaksAreLeftOutAndCounted) {
    FakeFileSystem files(kPosixConventions, "/r");
    files.AddFile("/r/good");
    files.AddFile("/r/bad\nname");
    files.AddFile("/r/also\rbad");
    files.AddFile("/r/bad\ndir/inside");
    std::vector<std::string> table(10);
    ScanResult result = ScanTree(table, "/r/", 10, files);
    EXPECT_EQ(result.count, 1);
    EXPECT_EQ(table[1], "/r/good");
    EXPECT_EQ(result.unlistable, 3);
}

TEST(ScanTreeOptions, SortedHiddenDepthAndUnlimited) {
    FakeFileSystem files(kPosixConventions, "/r");
    for (const char* path : {"/r/b", "/r/B", "/r/a", "/r/.dot", "/r/z/2", "/r/z/1", "/r/.git/config", "/r/y/deep/x",
                             "/r/\xC3\xA9"})
        files.AddFile(path);
    auto options = [](bool sorted, bool skipHidden, int maxDepth) {
        ScanOptions options;
        options.capacity = kUnlimited;
        options.naturalOrder = sorted;
        options.skipHidden = skipHidden;
        options.maxDepth = maxDepth;
        return options;
    };
    struct Row {
        const char* name;
        ScanOptions options;
        std::vector<std::string> listed;
    };
    const std::vector<Row> rows = {
        {"listing order", options(false, false, -1),
         {"/r/b", "/r/B", "/r/a", "/r/.dot", "/r/\xC3\xA9", "/r/z/2", "/r/z/1", "/r/.git/config", "/r/y/deep/x"}},
        {"natural order, folders in that order", options(true, false, -1),
         {"/r/.dot", "/r/a", "/r/B", "/r/b", "/r/\xC3\xA9", "/r/.git/config", "/r/z/1", "/r/z/2", "/r/y/deep/x"}},
        {"hidden left out", options(true, true, -1),
         {"/r/a", "/r/B", "/r/b", "/r/\xC3\xA9", "/r/z/1", "/r/z/2", "/r/y/deep/x"}},
        {"depth 0: the folder's own files", options(true, true, 0), {"/r/a", "/r/B", "/r/b", "/r/\xC3\xA9"}},
        {"depth 1", options(true, true, 1), {"/r/a", "/r/B", "/r/b", "/r/\xC3\xA9", "/r/z/1", "/r/z/2"}},
    };
    for (const Row& row : rows) {
        for (const int threads : {0, 2}) {
            ScanOptions options = row.options;
            options.threads = threads;
            std::vector<std::string> table(1);
            const ScanResult result = ScanTree(table, "/r/", options, files);
            EXPECT_EQ(std::vector<std::string>(table.begin() + 1, table.begin() + 1 + result.count), row.listed)
                << row.name << ", " << threads << " threads";
            EXPECT_FALSE(result.cutShort) << row.name;
        }
    }
}

// Folders read ahead on other threads give what one thread gives, in the
// same order, and stop where the caller stops.
TEST(ScanTreeOptions, ReadingAheadChangesNothing) {
    FakeFileSystem files(kPosixConventions, "/r");
    for (int folder = 0; folder < 150; ++folder)
        for (int file = 0; file < 7; ++file)
            files.AddFile("/r/d" + std::to_string(folder) + "/s" + std::to_string(file % 2) + "/f" + std::to_string(file));
    files.FailListing("/r/d77/s1/");
    for (const int stopAfter : {-1, 40}) {
        ScanResult results[2];
        std::vector<std::string> tables[2];
        for (const int threads : {0, 2}) {
            ScanOptions options;
            options.capacity = kUnlimited;
            options.naturalOrder = true;
            options.threads = threads;
            int calls = 0;
            options.progress = [&](int) { return stopAfter < 0 || ++calls < stopAfter; };
            std::vector<std::string>& table = tables[threads / 2];
            table.assign(1, std::string());
            results[threads / 2] = ScanTree(table, "/r/", options, files);
        }
        EXPECT_EQ(tables[0], tables[1]) << stopAfter;
        EXPECT_EQ(results[0].count, results[1].count) << stopAfter;
        EXPECT_EQ(results[0].cutShort, stopAfter > 0);
        EXPECT_EQ(results[1].cutShort, stopAfter > 0);
        EXPECT_EQ(results[1].unreadableFolders, stopAfter > 0 ? 0 : 1);
        EXPECT_EQ(results[1].firstUnreadable, stopAfter > 0 ? "" : "/r/d77/s1/");
    }
}

// Runs of digits as numbers, letters without case first, then bytes: a
// total order, as file managers show names.
TEST(NaturalOrder, SortsAsFileManagersShowNames) {
    struct Row {
        std::vector<std::string> sorted;
    };
    for (const Row& row : std::vector<Row>{
             {{"img1", "img2", "IMG3", "img10"}},
             {{"a.txt", "B.txt", "c.txt"}},
             {{"File", "fILE", "file"}},                        // equal but for case: by bytes
             {{"x01", "x1", "x001a", "x2"}},                    // equal numbers: by bytes, then on
             {{"a", "a0", "a1", "a9", "a10", "a99", "a100"}},
             {{"2020-1-9", "2020-1-10", "2020-12-1"}},
             {{"v1.9.txt", "v1.10.txt", "v10.1.txt"}},
             {{"z", "\xC3\xA9", "\xE6\x96\x87"}},                 // beyond ASCII: by code point
             {{"", "0", "00", "1", "a"}},
             {{"18446744073709551616", "99999999999999999999999"}},  // numbers longer than any integer
         }) {
        for (std::size_t i = 0; i < row.sorted.size(); ++i)
            for (std::size_t j = 0; j < row.sorted.size(); ++j) {
                const int expected = i < j ? -1 : i > j ? 1 : 0;
                EXPECT_EQ(CompareNatural(row.sorted[i], row.sorted[j]), expected) << row.sorted[i] << " " << row.sorted[j];
                std::string x, y;
                AppendNaturalKey(row.sorted[i], x);
                AppendNaturalKey(row.sorted[j], y);
                EXPECT_EQ(x.compare(y) < 0, expected < 0) << row.sorted[i] << " " << row.sorted[j];
            }
    }
}

// The keys the scan sorts by order names as CompareNatural does, on names
// built from the pieces that matter: digits, zeros, case, other bytes.
TEST(NaturalOrder, KeysAgreeWithTheComparison) {
    const char* pieces[] = {"0", "00", "1", "9", "10", "007", "a", "A", "z", "-", ".", "\xC3\xA9", "_", "b1", "B01"};
    std::vector<std::string> names = {""};
    for (int round = 0; round < 2; ++round) {
        const std::vector<std::string> shorter = names;
        for (const std::string& name : shorter)
            for (const char* piece : pieces) names.push_back(name + piece);
    }
    std::vector<std::string> keys;
    for (const std::string& name : names) AppendNaturalKey(name, keys.emplace_back());
    for (std::size_t i = 0; i < names.size(); ++i)
        for (std::size_t j = 0; j < names.size(); j += 7) {
            const int compared = CompareNatural(names[i], names[j]);
            const int byKey = keys[i].compare(keys[j]);
            ASSERT_EQ(compared < 0, byKey < 0) << names[i] << " / " << names[j];
            ASSERT_EQ(compared == 0, byKey == 0) << names[i] << " / " << names[j];
        }
}

}  // namespace
}  // namespace quil
