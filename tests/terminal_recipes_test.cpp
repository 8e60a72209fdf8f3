// quil's recipes, names from a list and filters, run for real: a recipe
// does what its steps typed on the command line do, byte for byte; what
// cannot be used is refused with where it is; filtered-out files are never
// planned or touched.
#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/media_fixtures.h"
#include "tests/terminal_fixture.h"

namespace quil {
namespace {

using testing::MediaFixture;

// Sets a file's modification time, in seconds since 1970.
void Touch(const fs::path& path, long seconds) {
    const timeval times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimes(path.c_str(), times), 0);
}

}  // namespace

class RecipesTest : public TerminalTest {
protected:
    fs::path Recipes() const { return base_ / "config/quillane/recipes"; }
    Outcome Quil(std::vector<std::string> args) {
        args.push_back(tree_.string());
        return Run(args);
    }
    // quil under strace -f with options (which say where its record goes).
    Outcome Traced(std::vector<std::string> args, const std::vector<std::string>& options) {
        testing::QuilRun run;
        run.args = std::move(args);
        run.env = Environment("false");
        // LeakSanitizer cannot run under ptrace: a sanitized quil runs without it.
        const char* sanitizer = std::getenv("ASAN_OPTIONS");
        run.env["ASAN_OPTIONS"] = std::string(sanitizer ? sanitizer : "") + (sanitizer ? ":" : "") + "detect_leaks=0";
        run.wrapper = {"/usr/bin/strace", "-f"};
        run.wrapper.insert(run.wrapper.end(), options.begin(), options.end());
        return testing::RunQuil(run);
    }
};

// Saved, listed and run: the plan of a recipe is the plan of its steps
// typed out, in every case of a chain of steps.
TEST_F(RecipesTest, ARecipeRunsAsItsStepsTypedOut) {
    ASSERT_FALSE(testing::MediaFixtureFolder().empty());
    struct Case {
        const char* name;
        std::vector<std::string> steps;
    };
    const Case cases[] = {
        {"counter, scope and case",
         {"--scope", "full", "--start", "7", "--replace", "^IMG_", "p{n:3}_", "--case", "upper"}},
        {"fields, an order and names made unique",
         {"--sort", "taken", "-r", "--tz", "+02:00", "--replace", ".*", "{taken:%Y-%m}", "--unique"}},
        {"quotes, spaces and a filter",
         {"--literal", "-i", "--replace", "img_", "it's \"x\" ", "--number", "--filter", "sed 's/ /_/'"}},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        TearDown();
        SetUp();
        Write({{"IMG_1.jpg", MediaFixture("photo.jpg")}, {"IMG_2.jpg", MediaFixture("older.jpg")}, {"notes.txt", "n"}});
        std::vector<std::string> save{"--save-recipe", "mine"};
        save.insert(save.end(), each.steps.begin(), each.steps.end());
        const Outcome saved = Run(save);
        ASSERT_EQ(saved.status, 0) << saved.err;
        EXPECT_NE(Run({"--recipes"}).out.find("mine\n  "), std::string::npos);

        std::vector<std::string> typed{"-n", "--json"};
        typed.insert(typed.end(), each.steps.begin(), each.steps.end());
        const Outcome byHand = Quil(typed);
        const Outcome byRecipe = Quil({"-n", "--json", "--recipe", "mine"});
        EXPECT_EQ(byHand.status, 0) << byHand.err;
        EXPECT_NE(byHand.out.find("rename"), std::string::npos) << byHand.out;
        EXPECT_EQ(byRecipe.out, byHand.out);
        EXPECT_EQ(byRecipe.status, byHand.status) << byRecipe.err;
    }
}

// Saving again replaces the recipe of that name and keeps the rest of the
// file as the user wrote it.
TEST_F(RecipesTest, SavingAgainKeepsTheRestOfTheFile) {
    fs::create_directories(Recipes().parent_path());
    std::ofstream(Recipes()) << "# mine\n[a]\n--case lower\n\n# the second\n[b]\n--case upper\n";
    ASSERT_EQ(Run({"--save-recipe", "a", "--replace", "x", "y"}).status, 0);
    std::ifstream in(Recipes());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "# mine\n[a]\n--replace x y\n\n# the second\n[b]\n--case upper\n");
}

// A recipe file that does not read is refused with its file, line and
// reason, before anything is listed or changed; so is one that is missing.
TEST_F(RecipesTest, AWrongRecipeIsRefusedWithItsLine) {
    struct Case {
        const char* name;
        std::string file;
        std::vector<std::string> args;
        std::string err;
    };
    const std::string where = (base_ / "config/quillane/recipes").string();
    const Case cases[] = {
        {"an unknown step",
         "[tidy]\n--case lower\n--shout\n",
         {"--yes", "--recipe", "tidy"},
         where + ":3: '--shout' is not a step"},
        {"a bad value", "[tidy]\n\n--case loud\n", {"--yes", "--recipe", "tidy"}, where + ":3: --case takes upper"},
        {"an open quote",
         "[tidy]\n--replace 'a b\n",
         {"--yes", "--recipe", "tidy"},
         where + ":2: a ' that is not closed"},
        {"a step before any recipe", "--case lower\n", {"--recipes"}, where + ":1: a step before any [name] line"},
        {"no such recipe", "[tidy]\n--case lower\n", {"--yes", "--recipe", "neat"}, "no recipe is named 'neat'"},
        {"saved over a broken file", "[tidy]\n--shout\n", {"--save-recipe", "x", "--case", "upper"}, where + ":2:"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        Write({{"A.txt", "a"}});
        fs::create_directories(Recipes().parent_path());
        std::ofstream(Recipes(), std::ios::trunc) << each.file;
        const Outcome outcome = Quil(each.args);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_NE(outcome.err.find(each.err), std::string::npos) << outcome.err;
        EXPECT_EQ(Files(tree_), (Tree{{"A.txt", "a"}}));
        std::ifstream in(Recipes());
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), each.file);
    }
}

// A folder's own recipe is asked about on the terminal, and only then
// planned and asked again; never taken with --yes or without a terminal.
TEST_F(RecipesTest, AFoldersRecipeIsOfferedAndNeverTakenUnasked) {
    const Tree files{{".quillane-recipe", "--replace a b\n"}, {"a.txt", "1"}};
    Write(files);
    const auto env = Environment("false");
    const Outcome declined = OnTerminal({tree_.string()}, env, {{"Apply it? [y/N] ", "n"}});
    EXPECT_NE(declined.out.find("This folder has a recipe"), std::string::npos) << declined.out;
    EXPECT_EQ(declined.status, 2) << declined.out;  // then the editor, which fails
    EXPECT_EQ(Files(tree_), files);

    const Outcome stopped = OnTerminal({tree_.string()}, env, {{"Apply it? [y/N] ", "y"}, {"Apply? [y/N/e] ", "n"}});
    EXPECT_NE(stopped.out.find("a.txt -> b.txt"), std::string::npos) << stopped.out;
    EXPECT_EQ(Files(tree_), files);

    const Outcome taken = OnTerminal({tree_.string()}, env, {{"Apply it? [y/N] ", "y"}, {"Apply? [y/N/e] ", "y"}});
    EXPECT_EQ(taken.status, 0) << taken.out;
    EXPECT_EQ(Files(tree_), (Tree{{".quillane-recipe", "--replace a b\n"}, {"b.txt", "1"}}));

    const Outcome unasked = Run({"--yes", tree_.string()}, EditorSaving("c.txt\n"));
    EXPECT_EQ(unasked.status, 0) << unasked.err;
    EXPECT_EQ(Files(tree_), (Tree{{".quillane-recipe", "--replace a b\n"}, {"c.txt", "1"}}));
}

// Names from a CSV: the good rows form the plan, each bad row refused with
// its number; with --yes nothing runs while a row is refused.
TEST_F(RecipesTest, NamesFromAListRefuseTheRowsThatCannotBeUsed) {
    const Tree files{{"a.txt", "a"},   {"b.txt", "b"},   {"c.txt", "c"},
                     {"d/e.txt", "e"}, {"f g.txt", "f"}, {"h.txt", "h"}};
    const std::string csv =
        "\xEF\xBB\xBFold,new\r\n"
        "a.txt,one.txt\r\n"
        "b.txt,\"two, \"\"quoted\"\".txt\"\r\n"
        "nowhere.txt,x.txt\r\n"
        "c.txt,d/three.txt\r\n"
        "a.txt,again.txt\r\n"
        "d/e.txt,four.txt\r\n"
        "\"f g.txt\",five.txt\r\n";
    std::ofstream(base_ / "names.csv", std::ios::binary) << csv;
    const Tree renamed{{"one.txt", "a"},     {"two, \"quoted\".txt", "b"},
                       {"d/three.txt", "c"}, {"four.txt", "e"},
                       {"five.txt", "f"},    {"h.txt", "h"}};

    Write(files);
    const Outcome refused = Quil({"--yes", "--map", (base_ / "names.csv").string()});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("names.csv row 4: 'nowhere.txt' is not listed"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("names.csv row 6: a second row for 'a.txt' (row 2)"), std::string::npos) << refused.err;
    EXPECT_EQ(Files(tree_), files);

    const Outcome asked = OnTerminal({"--map", (base_ / "names.csv").string(), tree_.string()}, Environment("false"),
                                     {{"Go on with the 5 good rows? [y/N] ", "y"}, {"Apply? [y/N/e] ", "y"}});
    EXPECT_EQ(asked.status, 0) << asked.out;
    EXPECT_EQ(Files(tree_), renamed);
    ASSERT_EQ(Run({"--undo", "--yes", tree_.string()}).status, 0);
    EXPECT_EQ(Files(tree_), files);

    // A plain list: one name per listed line, in order, or nothing.
    std::ofstream(base_ / "names.txt") << "1.txt\n2.txt\n";
    const Outcome wrongCount = Quil({"--yes", "--map", (base_ / "names.txt").string()});
    EXPECT_EQ(wrongCount.status, 2);
    EXPECT_NE(wrongCount.err.find("the list has 2 names for 6 listed files"), std::string::npos) << wrongCount.err;
    // The listing's order: the folder's own files, then d's.
    std::ofstream(base_ / "names.txt") << "1.txt\n2.txt\n3.txt\n4.txt\n5.txt\nd/6.txt\n";
    EXPECT_EQ(Quil({"--yes", "--map", (base_ / "names.txt").string()}).status, 0);
    EXPECT_EQ(Files(tree_),
              (Tree{{"1.txt", "a"}, {"2.txt", "b"}, {"3.txt", "c"}, {"4.txt", "f"}, {"5.txt", "h"}, {"d/6.txt", "e"}}));
}

// Each filter, and filters together, over files of every kind, size and
// date: only what they keep is listed, planned and renamed; a folder the
// batch empties of listed files but that holds a filtered-out one stays.
TEST_F(RecipesTest, FiltersNarrowWhatIsPlannedAndTouched) {
    ASSERT_FALSE(testing::MediaFixtureFolder().empty());
    const std::string photo = MediaFixture("photo.jpg"), older = MediaFixture("older.jpg");
    const Tree files{{"new.jpg", photo},
                     {"old.jpg", older},
                     {"big.txt", std::string(4096, 'x')},
                     {"small.txt", "s"},
                     {"song.mp3", "not a song"},
                     {"d/pic.PNG", "png"},
                     {"d/keep.txt", "k"},
                     {"notes.pdf", std::string(2048, 'p')}};
    struct Case {
        const char* name;
        std::vector<std::string> filter;
        std::vector<std::string> listed;
    };
    const Case cases[] = {
        {"images", {"--type", "image"}, {"new.jpg", "old.jpg", "d/pic.PNG"}},
        {"extensions, any case", {"--type", "txt,PDF"}, {"big.txt", "notes.pdf", "small.txt", "d/keep.txt"}},
        {"audio and documents",
         {"--type", "audio,document"},
         {"big.txt", "notes.pdf", "small.txt", "song.mp3", "d/keep.txt"}},
        {"larger than 1k", {"--larger", "1k"}, {"big.txt", "notes.pdf"}},
        {"smaller than 2k and a document", {"--smaller", "2k", "--type", "document"}, {"small.txt", "d/keep.txt"}},
        {"changed after a date", {"--newer", "2021-06-01"}, {"notes.pdf", "song.mp3", "d/keep.txt", "d/pic.PNG"}},
        {"changed before a date", {"--older", "2021-06-01"}, {"big.txt", "new.jpg", "old.jpg", "small.txt"}},
        {"taken after", {"--taken-after", "2024-01-01"}, {"new.jpg"}},
        {"taken before, an image", {"--taken-before", "2024-07-14 09:30", "--type", "image"}, {"old.jpg"}},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        TearDown();
        SetUp();
        Write(files);
        for (const char* name : {"big.txt", "new.jpg", "old.jpg", "small.txt"})
            Touch(tree_ / name, 1577836800);  // 2020
        for (const char* name : {"d/keep.txt", "d/pic.PNG", "notes.pdf", "song.mp3"})
            Touch(tree_ / name, 1704067200);  // 2024

        std::vector<std::string> args = each.filter;
        args.push_back("--list");
        std::string expected;
        for (const std::string& line : each.listed) expected += line + "\n";
        EXPECT_EQ(Quil(args).out, expected);

        // Everything listed goes into one folder: only those move, and d
        // stays wherever it still holds a file left out.
        args = each.filter;
        args.insert(args.end(), {"--yes", "--scope", "path", "--replace", "^(?:d/)?", "in/"});
        const Outcome moved = Quil(args);
        EXPECT_EQ(moved.status, 0) << moved.err;
        std::vector<std::string> after, found;
        for (const auto& [path, content] : files) {
            const bool listed = std::find(each.listed.begin(), each.listed.end(), path) != each.listed.end();
            after.push_back(listed ? "in/" + fs::path(path).filename().string() : path);
        }
        for (const auto& [path, content] : Files(tree_)) found.push_back(path);
        std::sort(after.begin(), after.end());
        EXPECT_EQ(found, after);
        for (const fs::path& journal : Journals()) {
            std::ifstream in(journal);
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            for (const auto& [path, content] : files) {
                const bool listed = std::find(each.listed.begin(), each.listed.end(), path) != each.listed.end();
                EXPECT_TRUE(listed || text.find(fs::path(path).filename().string()) == std::string::npos) << path;
            }
        }
    }
}

// A plan longer than the pieces quil prints it in comes out whole: each
// row once and in order, then the summary.
TEST_F(RecipesTest, ALongPlanIsPrintedWhole) {
    constexpr int kFiles = 2000;  // about 200 KB of plan, printed 64 KiB at a time
    const std::string name = "a-rather-long-name-for-a-long-plan-";
    Tree files;
    for (int file = 0; file < kFiles; ++file) files[name + std::to_string(10000 + file) + ".txt"] = "";
    Write(files);
    const Outcome outcome = Quil({"-n", "--replace", "^a-", "b-"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    std::istringstream out(outcome.out);
    int rows = 0;
    std::string last;
    for (std::string line; std::getline(out, line); last = line) {
        if (line.rfind("rename ", 0) != 0) continue;
        const std::string number = std::to_string(10000 + rows++);
        ASSERT_EQ(line, "rename  " + name + number + ".txt -> b" + name.substr(1) + number + ".txt");
    }
    EXPECT_EQ(rows, kFiles);
    EXPECT_EQ(last, "2000 renames");
}

// The system calls a batch makes, counted by strace -c: one rename and one
// look at each file's inode per operation, whatever the batch's size; a
// list of paths reads each folder once instead of looking at each path.
TEST_F(RecipesTest, SystemCallsPerFileStayFew) {
    constexpr int kFolders = 3, kPerFolder = 100, kFiles = kFolders * kPerFolder;
    Tree files;
    std::string renamed, paths;
    for (int folder = 0; folder < kFolders; ++folder)
        for (int file = 0; file < kPerFolder; ++file) {
            const std::string path = "d" + std::to_string(folder) + "/f" + std::to_string(file);
            files[path] = "";
            renamed += path + ".r\n";
            paths += (tree_ / path).string() + "\n";
        }
    Write(files);
    std::ofstream(base_ / "renamed") << renamed;
    std::ofstream(base_ / "paths") << paths;
    // Calls by name from strace -c's table.
    auto count = [this](std::vector<std::string> args) {
        const fs::path table = base_ / "calls";
        const Outcome outcome = Traced(std::move(args), {"-c", "-o", table.string()});
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        std::map<std::string, long> calls;
        std::ifstream in(table);
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::vector<std::string> words;
            for (std::string word; fields >> word;) words.push_back(word);
            if (words.size() >= 5 && std::isdigit(static_cast<unsigned char>(words[0][0])))
                calls[words.back()] = std::stol(words[3]);
        }
        return calls;
    };
    auto looks = [](std::map<std::string, long> calls) {
        return calls["newfstatat"] + calls["fstatat64"] + calls["lstat"] + calls["stat"] + calls["statx"] +
               calls["readlink"];
    };

    std::map<std::string, long> fromList = count({"--from", (base_ / "paths").string(), "--list"});
    EXPECT_LT(looks(fromList), 40) << "--from looked at each path";

    std::map<std::string, long> applied = count({"--apply", (base_ / "renamed").string(), "--yes", tree_.string()});
    EXPECT_EQ(applied["renameat2"] + applied["rename"] + applied["renameat"], kFiles);
    EXPECT_LE(looks(applied), kFiles + 60) << "more than one look at each file";
}

// The libraries only some runs need are loaded by those runs alone (each
// took a part of every start): a listing loads none of them, a change of
// case ICU's module, a line sent to the Trash GIO's.
TEST_F(RecipesTest, LibrariesLoadOnlyWhenNeeded) {
    Write({{"a.txt", "a"}, {"b.txt", "b"}});
    std::ofstream(base_ / "emptied") << "a.txt\n\n";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> loaded;
    };
    const Case cases[] = {
        {"a listing", {"--list"}, {}},
        {"a change of case", {"--case", "upper", "-n"}, {"quil-case.so", "libicuuc"}},
        {"a line to the Trash", {"--apply", (base_ / "emptied").string(), "--yes"}, {"quil-trash.so", "libgio"}},
    };
    const char* const onDemand[] = {"quil-git.so",   "libgit2", "quil-case.so", "libicuuc",
                                    "quil-trash.so", "libgio",  "quil-tags.so", "libtag"};
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        const fs::path record = base_ / "opened";
        std::vector<std::string> args = each.args;
        args.push_back(tree_.string());
        const Outcome outcome = Traced(args, {"-e", "trace=openat,open", "-o", record.string()});
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        std::string opened;  // the files opened, one call a line
        std::ifstream in(record);
        for (std::string line; std::getline(in, line);)
            if (line.find("= -1") == std::string::npos) opened += line + "\n";
        for (const char* library : onDemand) {
            const bool wanted = std::count(each.loaded.begin(), each.loaded.end(), library) != 0;
            EXPECT_EQ(opened.find(library) != std::string::npos, wanted) << library;
        }
    }
}

}  // namespace quil
