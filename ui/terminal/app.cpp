#include "ui/terminal/app.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>

#include "engine/list_text.h"
#include "engine/metadata/order_listing.h"
#include "engine/name_map.h"
#include "platform/command_filter.h"
#include "platform/git_index.h"
#include "ui/terminal/editor.h"
#include "ui/terminal/json_output.h"
#include "ui/terminal/terminal_dialog.h"

namespace quil::terminal {

namespace {

bool ReadAll(std::istream& in, std::string& text) {
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return !in.bad();
}

}  // namespace

int TerminalApp::Run(const Options& options) {
    console_.SetColour(options.colour);
    if (options.recipes) return ListRecipes();
    if (!options.saveRecipe.empty()) return SaveRecipe(options);
    session_.UseGit(OpenWorkTreeIndex);
    ProgressLine listing("listed");
    ListRequest request;
    if (!Request(options, request)) return kNothingApplied;
    request.scan.progress = [&](int files) {
        listing.Show(files, 0);
        return true;
    };
    if (const ListProblem problem = session_.Open(request)) {
        const std::string path = "'" + problem.path + "'";
        switch (problem.kind) {
            case ListProblem::Kind::Missing: Error(path + " does not exist; nothing changed"); break;
            case ListProblem::Kind::NotAFolder:
                Error(path + " is not a folder, and -D lists folders; nothing changed");
                break;
            case ListProblem::Kind::Unreadable: Error(path + " cannot be read; nothing changed"); break;
            case ListProblem::Kind::None: break;
        }
        return kNothingApplied;
    }
    if (options.history) return RunHistory(options);
    return options.undo ? RunUndo(options) : RunBatch(options);
}

// The paths of the command line, and of the --from list.
bool TerminalApp::Request(const Options& options, ListRequest& request) {
    request.paths = options.paths;
    request.folders = options.folders;
    request.pathsMayBeGone = options.undo || options.history;
    request.filter = options.listFilter;
    request.scan.naturalOrder = true;
    request.scan.threads = 2;
    request.scan.skipHidden = !options.all;
    request.scan.maxDepth = options.maxDepth;
    if (options.fromFile.empty()) return true;
    request.fromList = true;
    std::string list;
    bool read;
    if (options.fromFile == "-") {
        read = ReadAll(std::cin, list);
    } else {
        std::ifstream in(options.fromFile, std::ios::binary);
        read = in && ReadAll(in, list);
    }
    if (!read) {
        Error("cannot read '" + options.fromFile + "'; nothing changed");
        return false;
    }
    const char separator = options.nulSeparated ? '\0' : '\n';
    for (std::size_t start = 0; start < list.size();) {
        std::size_t end = list.find(separator, start);
        if (end == std::string::npos) end = list.size();
        std::string path = list.substr(start, end - start);
        if (!options.nulSeparated && !path.empty() && path.back() == '\r') path.pop_back();
        if (!path.empty()) request.paths.push_back(std::move(path));
        start = end + 1;
    }
    if (request.paths.empty()) {
        Error("'" + options.fromFile + "' names no file; nothing changed");
        return false;
    }
    return true;
}

int TerminalApp::RunBatch(const Options& options) {
    session_.List();
    const ScanResult& found = session_.scan();
    if (found.unlistable > 0)
        Error(std::to_string(found.unlistable) + " names hold a line break and are left out; they stay as they are");
    if (found.unreadableFolders > 0)
        Error(std::to_string(found.unreadableFolders) + " folders could not be read; their files are left out");
    const BatchState& state = session_.state();
    std::vector<EditSteps> chain;
    if (!options.list && !EditChain(options, chain)) return kNothingApplied;
    if (!NarrowAndOrder(options, options.steps.sort ? options.steps : OrderOf(chain)))
        return quil::ExitStatus(Stopped());
    if (options.list) {
        std::cout << state.text << (state.count > 0 ? "\n" : "");
        return kDone;
    }

    std::string text = state.text + (state.count > 0 ? "\n" : "");
    // The steps or the map edit the list once; 'e' then opens the editor
    // on what they made.
    bool scripted = !chain.empty() || !options.mapFile.empty();
    BatchChoices choices = Choices(options);
    for (;;) {
        int status = kNothingApplied;
        if (scripted) {
            scripted = false;
            const bool edited = options.mapFile.empty() ? EditByChain(options, chain, text, choices, status)
                                                        : EditByMap(options, text, status);
            if (!edited) return status;
        } else if (!EditedList(options, text, status)) {
            return status;
        }
        int found = 0;
        if (!session_.ReadBack(text, found)) {
            Error("expected " + std::to_string(state.count) + " lines, one per file, but found " +
                  std::to_string(found) + "; nothing changed");
            if (!options.applyFile.empty() || console_.Ask("Edit again? [Y/n] ", 'y') != 'y') return kNothingApplied;
            continue;
        }
        TerminalDialog dialog(console_, options, state.root);
        Outcome outcome = quil::RunBatch(session_, dialog, choices);
        if (!outcome.editAgain) return StatusOf(std::move(outcome));
    }
}

bool TerminalApp::EditChain(const Options& options, std::vector<EditSteps>& chain) {
    if (!options.recipe.empty()) {
        std::vector<Recipe> recipes;
        if (!LoadRecipes(recipes)) return false;
        const Recipe* recipe = FindRecipe(recipes, options.recipe);
        if (recipe == nullptr) {
            Error("no recipe is named '" + options.recipe + "' in " + config_.Where(kRecipesFile) +
                  "; nothing changed");
            return false;
        }
        chain = recipe->steps;
    }
    if (options.steps.Rewrites()) chain.push_back(options.steps);
    // A folder's own recipe only when nothing else edits, and only asked:
    // taken, it still goes through the plan and the question.
    if (EditsByScript(options) || !options.applyFile.empty() || options.yes || !console_.HasTerminal()) return true;
    const auto reader = MakeSystemFileReader();
    const FolderRecipe own = LookForFolderRecipe(*reader, session_.state().root, files_.conventions().separator);
    if (own.state == FolderRecipe::State::Unusable) Error(own.error + "; the folder's recipe is left out");
    if (own.state == FolderRecipe::State::Found &&
        console_.Ask("This folder has a recipe: Apply it? [y/N] ", 'n') == 'y')
        chain = own.recipe.steps;
    return true;
}

bool TerminalApp::NarrowAndOrder(const Options& options, const EditSteps& order) {
    TerminalDialog dialog(console_, options, session_.state().root);
    if (options.listFilter.ByDateTaken() &&
        !metadata::NarrowByTaken(session_, dialog, options.listFilter, order.movieZone, reader_.Get())) {
        Error("stopped while reading the files; nothing changed");
        return false;
    }
    const bool ordered = (order.sort && *order.sort != metadata::SortKey::Name) || order.reverse;
    if (!ordered) return true;
    const metadata::ListOrder listOrder{order.sort.value_or(metadata::SortKey::Name), order.reverse, order.movieZone};
    if (metadata::OrderListing(session_, dialog, listOrder, reader_.Get(), files_)) return true;
    Error("stopped while reading the files; nothing changed");
    return false;
}

bool TerminalApp::EditByChain(const Options& options, const std::vector<EditSteps>& chain, std::string& text,
                              BatchChoices& choices, int& status) {
    const BatchState& state = session_.state();
    const std::vector<std::string> before = SplitLines(text);
    std::vector<std::string> lines = before;
    const std::vector<std::string> paths(state.oldPaths.begin() + 1, state.oldPaths.end());
    StepResults results;
    std::string error;
    bool edited = false;
    TerminalDialog(console_, options, state.root).RunLong(LongStep::Reading, [&](StepMonitor& monitor) {
        const StepContext context{state, files_, reader_.Get(), metadata::ReportingTo(monitor), FilterThrough};
        edited = ApplyEditChain(chain, context, lines, paths, results, error);
    });
    status = kNothingApplied;
    if (!edited) {
        Error(error + "; nothing changed");
        if (results.stopped) status = quil::ExitStatus(Stopped());
        return false;
    }
    if (results.onlyReordered && !AcceptReordering(options)) return false;
    if (lines != before) text = JoinLines(lines) + (lines.empty() ? "" : "\n");
    // A line they emptied stays refused: only a line the user empties goes
    // to the Trash.
    choices.emptiedByTransform = LinesEmptied(before, lines);
    choices.notes = std::move(results.notes);
    return true;
}

bool TerminalApp::EditByMap(const Options& options, std::string& text, int& status) {
    status = kNothingApplied;
    std::string list;
    std::ifstream in(options.mapFile, std::ios::binary);
    if (!in || !ReadAll(in, list)) {
        Error("cannot read '" + options.mapFile + "'; nothing changed");
        return false;
    }
    std::vector<std::string> lines = SplitLines(text);
    const MappedNames mapped = MapNames(list, MapFormatOf(options.mapFile), session_.state(), lines);
    if (!mapped.error.empty()) {
        Error(options.mapFile + ": " + mapped.error + "; nothing changed");
        return false;
    }
    for (const MapRefusal& refusal : mapped.refused)
        Error(options.mapFile + " row " + std::to_string(refusal.row) + ": " + refusal.reason);
    // The good rows go on only when the user says so (a dry run only shows them).
    if (!mapped.refused.empty() && !options.dryRun) {
        const std::string good = std::to_string(mapped.rows - static_cast<int>(mapped.refused.size()));
        if (options.yes || !console_.HasTerminal()) {
            Error(std::to_string(mapped.refused.size()) + " rows refused; nothing changed");
            return false;
        }
        if (console_.Ask("Go on with the " + good + " good rows? [y/N] ", 'n') != 'y') {
            std::cout << "nothing changed\n";
            return false;
        }
    }
    text = JoinLines(lines) + (lines.empty() ? "" : "\n");
    return true;
}

int TerminalApp::ListRecipes() {
    std::vector<Recipe> recipes;
    if (!LoadRecipes(recipes)) return kNothingApplied;
    if (recipes.empty()) std::cout << "no recipe is saved in " << config_.Where(kRecipesFile) << "\n";
    for (const Recipe& recipe : recipes) {
        std::cout << recipe.name << "\n";
        for (const EditSteps& steps : recipe.steps)
            for (const std::vector<std::string>& words : StepLines(steps))
                std::cout << "  " << QuotedWords(words) << "\n";
    }
    return kDone;
}

int TerminalApp::SaveRecipe(const Options& options) {
    if (!ValidRecipeName(options.saveRecipe)) {
        Error("'" + options.saveRecipe +
              "' cannot name a recipe (no brackets, no line break, no space at "
              "either end)");
        return kNothingApplied;
    }
    const Recipe recipe{options.saveRecipe, {options.steps}};
    std::string text, error;
    std::vector<Recipe> recipes;
    // A file that does not read as recipes is not written over.
    if (!LoadRecipes(recipes)) return kNothingApplied;
    if (!Savable(recipe, error) || !config_.Read(kRecipesFile, text, error) ||
        !config_.Write(kRecipesFile, WithRecipe(text, recipe), error)) {
        Error(error + "; nothing saved");
        return kNothingApplied;
    }
    std::cout << "saved the recipe '" << recipe.name << "' in " << config_.Where(kRecipesFile) << "\n";
    return kDone;
}

bool TerminalApp::LoadRecipes(std::vector<Recipe>& recipes) {
    std::string text, error;
    if (!config_.Read(kRecipesFile, text, error)) {
        Error(error + "; nothing changed");
        return false;
    }
    RecipeProblem problem;
    if (ParseRecipes(text, recipes, problem)) return true;
    Error(ProblemText(config_.Where(kRecipesFile), problem) + "; nothing changed");
    return false;
}

Outcome TerminalApp::Stopped() {
    Outcome stopped;
    stopped.signal = interrupted != 0 ? static_cast<int>(interrupted) : SIGINT;
    return stopped;
}

BatchChoices TerminalApp::Choices(const Options& options) {
    BatchChoices choices;
    choices.permanent = options.permanent;
    choices.followGit = !options.noGit;
    choices.dryRun = options.dryRun;
    return choices;
}

int TerminalApp::StatusOf(Outcome outcome) {
    if (outcome.stopped()) outcome.signal = interrupted != 0 ? static_cast<int>(interrupted) : SIGINT;
    return quil::ExitStatus(outcome);
}

// A filter that sorted or shuffled the lines gives each file another's
// name: said, and asked about; never done with --yes.
bool TerminalApp::AcceptReordering(const Options& options) {
    const std::string what =
        "the filter only changed the order of the lines: "
        "each file moved would take another's name";
    if (options.yes || !console_.HasTerminal()) {
        Error(what + "; nothing changed");
        return false;
    }
    if (console_.Ask(what + ". Go on? [y/N] ", 'n') == 'y') return true;
    std::cout << "nothing changed\n";
    return false;
}

bool TerminalApp::EditedList(const Options& options, std::string& text, int& status) {
    status = kNothingApplied;
    if (options.applyFile == "-") return ReadAll(std::cin, text) || (Error("cannot read standard input"), false);
    if (!options.applyFile.empty()) {
        std::ifstream in(options.applyFile, std::ios::binary);
        if (in && ReadAll(in, text)) return true;
        Error("cannot read '" + options.applyFile + "'");
        return false;
    }
    std::string error;
    if (EditInEditor(text, error)) return true;
    Error(error + "; nothing changed");
    return false;
}

int TerminalApp::RunUndo(const Options& options) {
    TerminalDialog dialog(console_, options, session_.state().root);
    return StatusOf(quil::RunUndo(session_, dialog, Choices(options)));
}

int TerminalApp::RunHistory(const Options& options) {
    const std::vector<BatchJournal> batches = session_.History();
    if (options.json) {
        std::cout << HistoryJson(session_.state().root, batches) << std::flush;
        return kDone;
    }
    if (batches.empty()) {
        std::cout << "no batch was applied in '" << Printable(session_.state().root) << "'\n";
        return kDone;
    }
    for (const BatchJournal& batch : batches)
        std::cout << When(batch.started) << "  " << Printable(batch.root) << "  " << Summary(batch.counts)
                  << (batch.undone ? "  (undone)" : "") << '\n';
    return kDone;
}

}  // namespace quil::terminal
