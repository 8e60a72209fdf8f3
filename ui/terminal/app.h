// quil: the terminal edition. It lists what was picked, hands the list to
// the user's editor (or to --replace, --filter or --apply), and runs the
// batch through the engine's flow, which asks and reports through the
// terminal; or undoes the last batch, or lists the history.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/batch_flow.h"
#include "engine/metadata/system_reader.h"
#include "engine/recipes.h"
#include "platform/config_store.h"
#include "ui/terminal/console.h"
#include "ui/terminal/options.h"

namespace quil::terminal {

// For the front end's own stops, before a batch is planned; the flow's
// outcome gives every other status (ExitStatus in engine/batch_flow.h).
enum : int { kDone = 0, kNothingApplied = 2 };

class TerminalApp {
public:
    TerminalApp(FileServices& files, TrashService& trash, StateStore& store, ConfigStore& config)
        : files_(files), config_(config), session_(files, trash, store) {}

    int Run(const Options& options);

private:
    int RunBatch(const Options& options);
    int RunUndo(const Options& options);
    int RunHistory(const Options& options);
    static BatchChoices Choices(const Options& options);
    // --recipes and --save-recipe, which list nothing.
    int ListRecipes();
    int SaveRecipe(const Options& options);
    // The user's recipes; false (the user told) when they cannot be read.
    bool LoadRecipes(std::vector<Recipe>& recipes);
    // The steps to edit by: --recipe's then the command line's, or the
    // folder's recipe when the user takes it; false (the user told) when a
    // recipe cannot be used.
    bool EditChain(const Options& options, std::vector<EditSteps>& chain);
    // The listing narrowed by the date taken, then ordered; false when stopped.
    bool NarrowAndOrder(const Options& options, const EditSteps& order);
    // The lines edited by chain into text; false (and the status) when nothing is
    // to be done.
    bool EditByChain(const Options& options, const std::vector<EditSteps>& chain, std::string& text,
                     BatchChoices& choices, int& status);
    // The lines named by --map into text; false (and the status) when nothing is
    // to be done.
    bool EditByMap(const Options& options, std::string& text, int& status);
    static Outcome Stopped();
    // A stop was a signal's (128 + the signal).
    static int StatusOf(Outcome outcome);
    // The paths to list, from the command line and the --from list; false
    // (the user told) when the list cannot be read.
    bool Request(const Options& options, ListRequest& request);
    // Whether to go on after a filter that only reordered the lines.
    bool AcceptReordering(const Options& options);
    // The edited list, read back; false (and the status) when there is none.
    bool EditedList(const Options& options, std::string& text, int& status);

    FileServices& files_;
    ConfigStore& config_;
    Session session_;
    Console console_;
    metadata::SystemMetadataReader reader_;
};

}  // namespace quil::terminal
