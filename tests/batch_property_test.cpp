// Random trees and random edits over the fake file system, in both naming
// modes, with and without an injected failure. Whatever the plan refuses or
// an operation fails, no file is lost and no file outside the batch changes.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "tests/batch_support.h"

namespace quil {
namespace {

using testing::BatchFixture;

// Names a tree may hold; "s" and "a\\z" stand for a file whose name is
// another file's folder.
const std::vector<std::string> kNames = {"a", "b", "c", "A", "B", "d.txt", "s\\a", "s\\b", "s\\t\\c", "new\\x",
                                         "s", "a\\z", "\xC3\xA9", "\xC3\x89"};
// Lines may also say the same names another way, or delete.
const std::vector<std::string> kEdits = {"m\\..\\a", ".\\b", "s/b", "x\\..\\..\\r\\c", ""};

// True when one path is a folder on the way to the other.
bool OnTheWay(const std::string& a, const std::string& b) {
    return (a.size() > b.size() && a.compare(0, b.size(), b) == 0 && a[b.size()] == '\\') ||
           (b.size() > a.size() && b.compare(0, a.size(), a) == 0 && b[a.size()] == '\\');
}

void CheckRandomBatches(const Conventions& conventions, unsigned seed, bool injectFailure) {
    std::mt19937 random(seed);
    auto pick = [&](std::size_t size) { return std::uniform_int_distribution<std::size_t>(0, size - 1)(random); };

    for (int round = 0; round < 1500; ++round) {
        // A tree of distinct names (as the file system compares them).
        std::vector<std::string> files;
        std::set<std::string> keys;
        for (std::size_t n = 1 + pick(6), tries = 0; files.size() < n && tries < 50; ++tries) {
            const std::string name = kNames[pick(kNames.size())];
            const std::string key = conventions.caseInsensitive ? UpperCaseName(name) : name;
            bool clash = false;
            for (const std::string& other : keys) clash |= OnTheWay(key, other);
            if (!clash && keys.insert(key).second) files.push_back(name);
        }
        BatchFixture fixture(conventions, files);
        const int count = fixture.state.count;
        std::vector<std::string> listed;
        for (int slot = 1; slot <= count; ++slot) listed.push_back(fixture.Relative(fixture.state.oldPaths[slot]));

        // Keep, rename to any name (duplicates and existing names included),
        // swap with another line, or empty.
        std::vector<std::string> lines = listed;
        for (int slot = 0; slot < count; ++slot) {
            switch (pick(4)) {
                case 0: break;
                case 1: {
                    const std::size_t k = pick(kNames.size() + kEdits.size());
                    lines[slot] = k < kNames.size() ? kNames[k] : kEdits[k - kNames.size()];
                    break;
                }
                case 2: std::swap(lines[slot], lines[pick(count)]); break;
                case 3: lines[slot] = listed[(slot + 1) % count]; break;
            }
        }

        const BatchPlan plan = fixture.Plan(lines);
        if (injectFailure) fixture.files.FailOperation(1 + static_cast<int>(pick(plan.ops.size() + 1)));
        const std::vector<OpFailure> failures = RunPlan(plan, fixture.files, nullptr).failures;
        if (!injectFailure) {
            ASSERT_TRUE(failures.empty()) << "seed " << seed << " round " << round;
        }

        std::set<int> refused;
        for (const RefusedLine& line : plan.refused) refused.insert(line.slot);
        std::set<std::string> reported;
        for (const OpFailure& failure : failures) reported.insert(fixture.Relative(failure.from));

        std::map<std::string, std::string> where;  // content -> relative path
        for (const auto& [path, content] : fixture.Tree()) {
            ASSERT_EQ(where.count(content), 0u) << "content doubled";
            where[content] = path;
        }
        ASSERT_LE(where.size(), listed.size());
        for (int slot = 1; slot <= count; ++slot) {
            const std::string& source = listed[slot - 1];
            const std::string& typed = lines[slot - 1];
            const std::string target = typed.empty() ? "" : fixture.Relative(fixture.state.newPaths[slot]);
            const bool changed = fixture.state.oldPaths[slot] != fixture.state.newPaths[slot];
            auto found = where.find(source);  // content is the listed name
            SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round) + " slot " +
                         std::to_string(slot) + ": " + source + " -> " + typed);
            if (!changed || refused.count(slot) != 0) {
                ASSERT_NE(found, where.end());
                EXPECT_EQ(found->second, source);
            } else if (target.empty()) {
                if (found != where.end()) {
                    EXPECT_TRUE(injectFailure && found->second == source);
                }
            } else if (found == where.end()) {
                FAIL() << "file lost";
            } else if (found->second != target) {
                // Only a failure may leave a file at its source or under a
                // temporary name, and the report then names that path.
                ASSERT_TRUE(injectFailure) << "at " << found->second;
                EXPECT_TRUE(found->second == source || reported.count(found->second) != 0) << found->second;
            }
        }
    }
}

TEST(BatchProperty, CaseSensitiveNames) {
    for (unsigned seed : {1u, 2u}) CheckRandomBatches(kPosixConventions, seed, false);
}

TEST(BatchProperty, CaseBlindNames) {
    for (unsigned seed : {3u, 4u}) CheckRandomBatches(kWindowsConventions, seed, false);
}

TEST(BatchProperty, OneFailedOperationLosesNothing) {
    CheckRandomBatches(kPosixConventions, 5, true);
    CheckRandomBatches(kWindowsConventions, 6, true);
}

}  // namespace
}  // namespace quil
