// Recipes as text a person edits, and names from a list: what is written
// reads back the same, and what cannot be used is refused with its place.
#include <gtest/gtest.h>

#include "engine/name_map.h"
#include "engine/recipes.h"

namespace quil {
namespace {

std::vector<std::string> LinesOf(const std::vector<EditSteps>& chain) {
    std::vector<std::string> lines;
    for (const EditSteps& steps : chain)
        for (const std::vector<std::string>& words : StepLines(steps)) lines.push_back(QuotedWords(words));
    return lines;
}

// Saved and read back, steps of every kind keep every setting, whatever
// their values hold (quotes, spaces, backslashes, dollars, tokens).
TEST(Recipes, StepsReadBackAsSaved) {
    struct Row {
        const char* name;
        std::vector<std::string> words;
    };
    const Row rows[] = {
        {"a replace with its settings",
         {"--literal", "-i", "--scope", "full", "--start", "-3", "--step", "2", "--per-folder", "--replace", "a b",
          "{n:3}"}},
        {"quotes and backslashes", {"--replace", "it's \"x\"", "\\1 $1 ${2}", "--replace", "", "pre_"}},
        {"an order with its zone", {"--sort", "taken", "--reverse", "--tz", "-05:30"}},
        {"case, numbers, a filter and unique",
         {"--scope", "ext", "--case", "lower", "--number", "--filter", "sed 's/a/b/' | tr x y", "--unique"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EditSteps steps;
        std::string error;
        ASSERT_TRUE(ParseStepWords(row.words, steps, error)) << error;
        const std::string text = WithRecipe("", {"r", {steps}});
        std::vector<Recipe> recipes;
        RecipeProblem problem;
        ASSERT_TRUE(ParseRecipes(text, recipes, problem)) << text << problem.line << problem.reason;
        ASSERT_EQ(recipes.size(), 1u);
        EXPECT_EQ(LinesOf(recipes[0].steps), LinesOf({steps})) << text;
        EXPECT_EQ(OrderOf(recipes[0].steps).sort, steps.sort);
    }
}

TEST(Recipes, WhatCannotBeReadIsRefusedWithItsLine) {
    struct Row {
        const char* text;
        int line;
        const char* reason;
    };
    const Row rows[] = {
        {"[a]\n--case lower\n--shout\n", 3, "'--shout' is not a step"},
        {"# notes\n\n[a]\n--case loud\n", 4, "--case takes upper, lower, title or sentence, not 'loud'"},
        {"[a]\n--replace x\n", 2, "--replace needs REGEX REPLACEMENT"},
        {"[a]\n--start ten\n", 2, "--start takes a whole number, not 'ten'"},
        {"[a]\n--replace \"a b\n", 2, "a \" that is not closed"},
        {"--unique\n", 1, "a step before any [name] line"},
        {"[a]\n--unique\n[a]\n--unique\n", 3, "a second recipe named 'a'"},
        {"[]\n", 1, "'[]' does not name a recipe"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        std::vector<Recipe> recipes;
        RecipeProblem problem;
        EXPECT_FALSE(ParseRecipes(row.text, recipes, problem));
        EXPECT_EQ(problem.line, row.line);
        EXPECT_EQ(problem.reason.rfind(row.reason, 0), 0u) << problem.reason;
    }
    // A folder's recipe may leave out its [name]; a line break cannot be saved.
    Recipe own;
    RecipeProblem problem;
    EXPECT_TRUE(ParseFolderRecipe("--case upper\n", own, problem));
    EXPECT_EQ(own.name, kFolderRecipeFile);
    EditSteps filter;
    filter.filter = "sed 's/a/b/'\nrm -rf x";
    std::string error;
    EXPECT_FALSE(Savable({"r", {filter}}, error));
}

BatchState Listed(const std::vector<std::string>& paths) {
    BatchState state;
    state.root = "/r/";
    state.oldPaths = {""};
    for (const std::string& path : paths) state.oldPaths.push_back("/r/" + path);
    state.count = static_cast<int>(paths.size());
    return state;
}

// Each CSV row that cannot be used is refused with its row (a quoted
// field's line break does not start a row); the good rows still apply.
TEST(NameMap, RowsThatCannotBeUsedAreRefusedWithTheirRows) {
    struct Row {
        const char* name;
        std::string csv;
        std::vector<std::string> after;
        std::vector<std::pair<int, std::string>> refused;
    };
    const Row rows[] = {
        {"a header, a BOM and CRLF", "\xEF\xBB\xBFOld,New\r\na,x\r\nb,\"y, z\"\r\n", {"x", "y, z", "c"}, {}},
        {"no header", "c,3\n", {"a", "b", "3"}, {}},
        {"a row naming nothing listed", "a,1\nzz,2\nb,3\n", {"1", "3", "c"}, {{2, "'zz' is not listed"}}},
        {"a second row for a file", "a,1\nb,2\na,3\n", {"1", "2", "c"}, {{3, "a second row for 'a' (row 1)"}}},
        {"three fields", "a,1,2\nb,2\n", {"a", "2", "c"}, {{1, "3 fields, not 2 (old,new)"}}},
        {"no new name", "a,\nb,2\n", {"a", "2", "c"}, {{1, "no new name (a list deletes nothing)"}}},
        {"a line break in a quoted name",
         "a,\"1\n2\"\nb,2\n",
         {"a", "2", "c"},
         {{1, "a name cannot hold a line break"}}},
    };
    const BatchState listed = Listed({"a", "b", "c"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> lines{"a", "b", "c"};
        const MappedNames mapped = MapNames(row.csv, MapFormat::Csv, listed, lines);
        EXPECT_EQ(lines, row.after);
        std::vector<std::pair<int, std::string>> refused;
        for (const MapRefusal& refusal : mapped.refused) refused.emplace_back(refusal.row, refusal.reason);
        EXPECT_EQ(refused, row.refused);
        EXPECT_TRUE(mapped.error.empty());
    }
    // A quote left open is a malformed row, not the rest of the file.
    std::vector<std::string> lines{"a", "b", "c"};
    const MappedNames open = MapNames("a,1\nb,\"2\nc,3\n", MapFormat::Csv, listed, lines);
    ASSERT_EQ(open.refused.size(), 1u);
    EXPECT_EQ(open.refused[0].row, 2);
    EXPECT_EQ(lines[0], "1");
}

// A plain list names the lines in order, or nothing when its length differs.
TEST(NameMap, APlainListMustHaveOneNamePerLine) {
    const BatchState listed = Listed({"a", "b"});
    std::vector<std::string> lines{"a", "b"};
    EXPECT_EQ(MapNames("1\n2\n3\n", MapFormat::List, listed, lines).error, "the list has 3 names for 2 listed files");
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(MapNames("\xEF\xBB\xBF"
                         "1\r\n2\r\n",
                         MapFormat::List, listed, lines)
                    .refused.empty());
    EXPECT_EQ(lines, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(MapFormatOf("names.CSV"), MapFormat::Csv);
    EXPECT_EQ(MapFormatOf("names.txt"), MapFormat::List);
}

}  // namespace
}  // namespace quil
