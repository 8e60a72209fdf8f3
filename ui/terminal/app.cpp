#include "ui/terminal/app.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>

#include "engine/metadata/order_listing.h"
#include "platform/git_index.h"
#include "ui/terminal/editor.h"
#include "ui/terminal/json_output.h"
#include "ui/terminal/scripted_edit.h"
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
            case ListProblem::Kind::NotAFolder: Error(path + " is not a folder, and -D lists folders; nothing changed"); break;
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
    const bool ordered = options.sortKey != metadata::SortKey::Name || options.reverse;
    if (ordered && !Reorder(options)) return quil::ExitStatus(Stopped());
    if (options.list) {
        std::cout << state.text << (state.count > 0 ? "\n" : "");
        return kDone;
    }

    std::string text = state.text + (state.count > 0 ? "\n" : "");
    // --replace, --case and --filter edit the list once; 'e' then opens the editor
    // on what they made. A line they emptied stays refused: only a line
    // the user empties goes to the Trash.
    bool scripted = EditsByScript(options);
    BatchChoices choices = Choices(options);
    for (;;) {
        int status = kNothingApplied;
        std::string error;
        if (scripted) {
            scripted = false;
            ScriptedEdit edit;
            bool edited = false;
            TerminalDialog(console_, options, state.root).RunLong(LongStep::Reading, [&](StepMonitor& monitor) {
                const ScriptContext context{state, files_, reader_.Get(), metadata::ReportingTo(monitor)};
                edited = EditByScript(options, context, text, edit, error);
            });
            if (!edited) {
                Error(error + "; nothing changed");
                return edit.stopped ? quil::ExitStatus(Stopped()) : kNothingApplied;
            }
            if (edit.onlyReordered && !AcceptReordering(options)) return kNothingApplied;
            choices.emptiedByTransform = std::move(edit.emptied);
            choices.notes = std::move(edit.notes);
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
        const Outcome outcome = quil::RunBatch(session_, dialog, choices);
        if (!outcome.editAgain) return StatusOf(outcome);
    }
}

// Each folder's files ordered by --sort before the list is edited.
bool TerminalApp::Reorder(const Options& options) {
    TerminalDialog dialog(console_, options, session_.state().root);
    if (metadata::OrderListing(session_, dialog, {options.sortKey, options.reverse, options.movieZone}, reader_.Get(), files_))
        return true;
    Error("stopped while reading the files; nothing changed");
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
    const std::string what = "the filter only changed the order of the lines: each file moved would take another's name";
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
