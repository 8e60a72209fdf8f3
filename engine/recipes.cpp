#include "engine/recipes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/list_text.h"

namespace quil {
namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

bool IsHeader(std::string_view line) { return line.size() >= 2 && line.front() == '[' && line.back() == ']'; }
bool IsNothing(std::string_view line) { return line.empty() || line.front() == '#'; }

// Reads text's lines into recipes; steps before any header go to a recipe
// named loose (empty: refused).
bool Parse(std::string_view text, const std::string& loose, std::vector<Recipe>& recipes, RecipeProblem& problem) {
    recipes.clear();
    const std::vector<std::string> lines = SplitLines(text);
    for (std::size_t at = 0; at < lines.size(); ++at) {
        const std::string_view line = Trimmed(lines[at]);
        problem.line = static_cast<int>(at) + 1;
        if (IsNothing(line)) continue;
        if (IsHeader(line)) {
            const std::string_view name = line.substr(1, line.size() - 2);
            if (!ValidRecipeName(name)) {
                problem.reason = "'" + std::string(line) + "' does not name a recipe";
                return false;
            }
            if (FindRecipe(recipes, name) != nullptr) {
                problem.reason = "a second recipe named '" + std::string(name) + "'";
                return false;
            }
            recipes.push_back({std::string(name), {}});
            continue;
        }
        if (recipes.empty()) {
            if (loose.empty()) {
                problem.reason = "a step before any [name] line";
                return false;
            }
            recipes.push_back({loose, {}});
        }
        std::vector<std::string> words;
        EditSteps steps;
        if (!SplitWords(line, words, problem.reason) || !ParseStepWords(words, steps, problem.reason)) return false;
        recipes.back().steps.push_back(std::move(steps));
    }
    problem = {};
    return true;
}

}  // namespace

bool ParseRecipes(std::string_view text, std::vector<Recipe>& recipes, RecipeProblem& problem) {
    return Parse(text, {}, recipes, problem);
}

bool ParseFolderRecipe(std::string_view text, Recipe& recipe, RecipeProblem& problem) {
    std::vector<Recipe> recipes;
    if (!Parse(text, kFolderRecipeFile, recipes, problem)) return false;
    if (recipes.empty() || recipes.front().steps.empty()) {
        problem = {0, "it holds no step"};
        return false;
    }
    recipe = std::move(recipes.front());
    return true;
}

const Recipe* FindRecipe(const std::vector<Recipe>& recipes, std::string_view name) {
    const auto found =
        std::find_if(recipes.begin(), recipes.end(), [&](const Recipe& each) { return each.name == name; });
    return found == recipes.end() ? nullptr : &*found;
}

bool ValidRecipeName(std::string_view name) {
    return !name.empty() && name.find_first_of("[]\r\n") == std::string_view::npos && Trimmed(name) == name;
}

std::string WithRecipe(std::string_view text, const Recipe& recipe) {
    std::string section = "[" + recipe.name + "]\n";
    for (const EditSteps& steps : recipe.steps)
        for (const std::vector<std::string>& words : StepLines(steps)) section += QuotedWords(words) + "\n";
    std::vector<std::string> lines = SplitLines(text);
    const std::string header = "[" + recipe.name + "]";
    const auto begin =
        std::find_if(lines.begin(), lines.end(), [&](const std::string& line) { return Trimmed(line) == header; });
    if (begin == lines.end()) {
        std::string joined(text);
        if (!joined.empty() && joined.back() != '\n') joined += '\n';
        return joined + (joined.empty() ? "" : "\n") + section;
    }
    // Up to the next recipe, less the blank lines and comments before it,
    // which belong to that one.
    auto end = std::find_if(begin + 1, lines.end(), [](const std::string& line) { return IsHeader(Trimmed(line)); });
    while (end != begin + 1 && end != lines.end() && IsNothing(Trimmed(*(end - 1)))) --end;
    std::string joined;
    for (auto line = lines.begin(); line != begin; ++line) joined += *line + "\n";
    joined += section;
    for (auto line = end; line != lines.end(); ++line) joined += *line + "\n";
    return joined;
}

EditSteps OrderOf(const std::vector<EditSteps>& steps) {
    EditSteps order;
    for (const EditSteps& step : steps)
        if (step.sort) {
            order.sort = step.sort;
            order.reverse = step.reverse;
            order.movieZone = step.movieZone;
        }
    return order;
}

bool SplitWords(std::string_view line, std::vector<std::string>& words, std::string& error) {
    words.clear();
    std::string word;
    bool inWord = false;
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char ch = line[at];
        if (ch == ' ' || ch == '\t') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (ch == '\\' && at + 1 < line.size()) {
            word += line[++at];
        } else if (ch == '\'') {
            const std::size_t close = line.find('\'', at + 1);
            if (close == std::string_view::npos) {
                error = "a ' that is not closed";
                return false;
            }
            word.append(line.substr(at + 1, close - at - 1));
            at = close;
        } else if (ch == '"') {
            for (++at; at < line.size() && line[at] != '"'; ++at) {
                // Inside "...", \ quotes only what sh lets it quote.
                if (line[at] == '\\' && at + 1 < line.size() &&
                    std::string_view("\"\\$`").find(line[at + 1]) != std::string_view::npos)
                    ++at;
                word += line[at];
            }
            if (at >= line.size()) {
                error = "a \" that is not closed";
                return false;
            }
        } else {
            word += ch;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return true;
}

std::string QuotedWords(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) {
        if (!line.empty()) line += ' ';
        const bool plain = !word.empty() && word.find_first_not_of(
                                                "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                "0123456789-_=+:,./%@") == std::string::npos;
        if (plain) {
            line += word;
            continue;
        }
        line += '\'';
        for (const char ch : word) line += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
        line += '\'';
    }
    return line;
}

std::string ProblemText(const std::string& where, const RecipeProblem& problem) {
    return where + (problem.line > 0 ? ":" + std::to_string(problem.line) : "") + ": " + problem.reason;
}

FolderRecipe LookForFolderRecipe(FileReader& reader, const std::string& folder, char separator) {
    // A recipe is a few lines; anything larger is not one.
    constexpr std::size_t kLargest = 1 << 20;
    FolderRecipe found;
    found.where =
        folder + (folder.empty() || folder.back() == separator ? "" : std::string(1, separator)) + kFolderRecipeFile;
    int error = 0;
    const std::unique_ptr<ReadableFile> file = reader.Open(found.where, error);
    if (!file) {
        if (error == ENOENT || error == EISDIR) return found;
        found.state = FolderRecipe::State::Unusable;
        found.error = found.where + ": " + std::strerror(error);
        return found;
    }
    found.state = FolderRecipe::State::Unusable;
    if (file->Size() > kLargest) {
        found.error = found.where + ": too large for a recipe";
        return found;
    }
    std::string text(static_cast<std::size_t>(file->Size()), '\0');
    const ReadResult read = file->ReadAt(0, text.data(), text.size());
    if (read.error != 0) {
        found.error = found.where + ": " + std::strerror(read.error);
        return found;
    }
    text.resize(read.count);
    RecipeProblem problem;
    if (!ParseFolderRecipe(text, found.recipe, problem)) {
        found.error = ProblemText(found.where, problem);
        return found;
    }
    found.state = FolderRecipe::State::Found;
    return found;
}

bool Savable(const Recipe& recipe, std::string& error) {
    for (const EditSteps& steps : recipe.steps)
        for (const std::vector<std::string>& words : StepLines(steps))
            for (const std::string& word : words)
                if (word.find_first_of("\r\n") != std::string::npos) {
                    error = "'" + word + "' holds a line break, which a recipe's line cannot";
                    return false;
                }
    return true;
}

}  // namespace quil
