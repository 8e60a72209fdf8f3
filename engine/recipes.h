// Recipes: named chains of edit steps, for the renames people repeat (every
// import from the camera, every album). They are kept as plain text that a
// person may edit ($XDG_CONFIG_HOME/quillane/recipes):
//
//   # Imports from the camera: by the time taken, oldest first
//   [camera]
//   --sort taken
//   --replace '.*' '{taken}'
//   --unique
//
// A "[name]" line starts a recipe; each line after it is one step, in
// quil's option words quoted as sh quotes them, with the settings it uses
// on the same line (--scope ext --case lower). Blank lines and lines that
// start with # mean nothing. The steps apply in turn, each as quil applies
// its command line; the last --sort orders the listing before any of them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/edit_steps.h"
#include "platform/file_reader.h"

namespace quil {

// A folder's own recipe, offered when the folder is listed.
constexpr const char* kFolderRecipeFile = ".quillane-recipe";
// The user's recipes, in the configuration folder.
constexpr const char* kRecipesFile = "recipes";

struct Recipe {
    std::string name;
    std::vector<EditSteps> steps;
};

struct RecipeProblem {
    int line = 0;  // 1 for the first; 0 for the whole
    std::string reason;
};

// Every recipe of the text; false with the first problem (an unknown step,
// a bad value, a step before any [name], a name twice).
bool ParseRecipes(std::string_view text, std::vector<Recipe>& recipes, RecipeProblem& problem);
// A folder's recipe: its steps, under a [name] line or not (then named
// after the file).
bool ParseFolderRecipe(std::string_view text, Recipe& recipe, RecipeProblem& problem);

// "FILE:LINE: reason" (no line for the whole file), for the user.
std::string ProblemText(const std::string& where, const RecipeProblem& problem);

// What the folder being listed holds as its own recipe.
struct FolderRecipe {
    enum class State { None, Found, Unusable } state = State::None;
    std::string where;  // the file's path
    Recipe recipe;      // Found
    std::string error;  // Unusable: what ProblemText says, or why it cannot be read
};
FolderRecipe LookForFolderRecipe(FileReader& reader, const std::string& folder, char separator);

// Whether the recipe can be written as its lines: no value holds a line
// break; false with the reason.
bool Savable(const Recipe& recipe, std::string& error);

// The recipe of that name, or null.
const Recipe* FindRecipe(const std::vector<Recipe>& recipes, std::string_view name);
// Whether name can name a recipe: not empty, no line break or bracket, no
// space at either end.
bool ValidRecipeName(std::string_view name);

// text with recipe in place of the recipe of its name, or added at its end;
// everything else kept as it was.
std::string WithRecipe(std::string_view text, const Recipe& recipe);

// Its steps into one EditSteps for the order (the last --sort, its
// --reverse and --tz): the rest of each step is left out.
EditSteps OrderOf(const std::vector<EditSteps>& steps);

// One line's words, as sh splits them: spaces between words, '...' and
// "..." quote, \ takes the next character; false with the reason.
bool SplitWords(std::string_view line, std::vector<std::string>& words, std::string& error);
// words quoted so that SplitWords gives them back.
std::string QuotedWords(const std::vector<std::string>& words);

}  // namespace quil
