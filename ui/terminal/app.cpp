#include "ui/terminal/app.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/git_index.h"
#include "ui/terminal/editor.h"
#include "ui/terminal/json_output.h"
#include "ui/terminal/scripted_edit.h"

namespace quil::terminal {

volatile std::sig_atomic_t TerminalApp::interrupted = 0;

namespace {

void Error(const std::string& message) { std::cerr << "quil: " << Printable(message) << '\n'; }

bool ReadAll(std::istream& in, std::string& text) {
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return !in.bad();
}

// Stops a run between operations on Ctrl-C, SIGTERM or SIGHUP (a closed
// terminal), for as long as it lives.
class InterruptCatcher {
public:
    InterruptCatcher() {
        TerminalApp::interrupted = 0;
        struct sigaction action {};
        action.sa_handler = [](int signal) { TerminalApp::interrupted = signal; };
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &previous_[i]);
    }
    ~InterruptCatcher() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
    }

private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> previous_{};
};

class RunProgress final : public RunObserver {
public:
    void Progress(int applied, int total) override { line_.Show(applied, total); }
    bool StopRequested() override { return TerminalApp::interrupted != 0; }

private:
    ProgressLine line_{"applied"};
};

// "2026-12-08 15:40" in local time.
std::string When(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

}  // namespace

int TerminalApp::Run(const Options& options) {
    if (options.help) {
        std::cout << kUsage;
        return kDone;
    }
    if (options.version) {
        std::cout << "quil (Quillane) " QUIL_VERSION "\n";
        return kDone;
    }
    console_.SetColour(options.colour);
    if (!options.noGit) session_.FollowGit(OpenWorkTreeIndex);
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
    if (options.list) {
        std::cout << state.text << (state.count > 0 ? "\n" : "");
        return kDone;
    }

    std::string text = state.text + (state.count > 0 ? "\n" : "");
    // --replace and --filter edit the list once; 'e' then opens the editor
    // on what they made. A line they emptied stays refused: only a line
    // the user empties goes to the Trash.
    bool scripted = !options.replaces.empty() || !options.filter.empty();
    std::vector<int> emptiedByTransform;
    for (;;) {
        int status = kNothingApplied;
        std::string error;
        if (scripted) {
            scripted = false;
            ScriptedEdit edit;
            if (!EditByScript(options, text, edit, error)) {
                Error(error + "; nothing changed");
                return kNothingApplied;
            }
            if (edit.onlyReordered && !AcceptReordering(options)) return kNothingApplied;
            emptiedByTransform = std::move(edit.emptied);
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
        BatchPlan plan;
        {
            InterruptCatcher catcher;
            ProgressLine progress("planning");
            plan = session_.Plan(options.permanent, emptiedByTransform, [&](double fraction) {
                progress.ShowFraction(fraction);
                return interrupted == 0;
            });
        }
        if (plan.stopped) {
            Error("stopped while planning; nothing changed");
            return StoppedStatus();
        }
        ShowPlan(options, session_.Describe(plan, options.permanent), state.root);  // and let the rows go before the run
        const bool refused = !plan.refused.empty();
        if (options.dryRun && !plan.ops.empty()) SayIfIndexLocked(options, state.root);
        if (plan.ops.empty() || options.dryRun) return refused ? kPartly : kDone;
        bool editAgain = false;
        status = Confirm(options, editAgain, state.root);
        if (editAgain) continue;
        if (status != kDone) return status;
        if (const int ready = Prepare(options); ready != kDone) return ready;
        InterruptCatcher catcher;
        RunProgress progress;
        const RunResult result = session_.Apply(plan, options.permanent, progress);
        return Report(result, refused, options.permanent ? "delete" : "trash");
    }
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

namespace {

std::string IndexLocked(const std::string& lock) {
    return "the git index is locked by another git command ('" + Printable(lock) + "')";
}

}  // namespace

// What applying would meet: the question, or with --yes the stop.
void TerminalApp::SayIfIndexLocked(const Options& options, const std::string& root) {
    const std::string lock = session_.HeldIndexLock(root);
    if (lock.empty()) return;
    Error(IndexLocked(lock) + (options.yes || !console_.HasTerminal()
                                   ? "; applying would change nothing until it is done, or with --no-git"
                                   : "; applying would ask whether to go on without updating the index"));
}

int TerminalApp::Confirm(const Options& options, bool& editAgain, const std::string& root) {
    // A git command running, or one killed, holds the index: the batch may
    // then only go ahead without it, and only when the user says so.
    const std::string lock = session_.HeldIndexLock(root);
    if (!lock.empty() && (options.yes || !console_.HasTerminal())) {
        Error(IndexLocked(lock) + "; nothing changed. Apply again once it is done, or pass --no-git to leave the index as it is");
        return kNothingApplied;
    }
    if (!lock.empty()) {
        std::string question = IndexLocked(lock) + ". Apply without updating the index? [y/N] ";
        question[0] = 'T';
        if (console_.Ask(question, 'n') != 'y') {
            std::cout << "nothing changed\n";
            return kNothingApplied;
        }
        session_.StopFollowingGit();
        return kDone;
    }
    if (options.yes) return kDone;
    if (!console_.HasTerminal()) {
        Error("no terminal to ask whether to apply; pass --yes to apply without asking");
        return kNothingApplied;
    }
    const bool canEdit = options.applyFile.empty() && !options.undo;
    const char answer = console_.Ask(canEdit ? "Apply? [y/N/e] " : "Apply? [y/N] ", 'n');
    if (answer == 'y') return kDone;
    if (answer == 'e' && canEdit) {
        editAgain = true;
        return kDone;
    }
    std::cout << "nothing changed\n";
    return kNothingApplied;
}

int TerminalApp::Prepare(const Options& options) {
    std::string reason;
    switch (session_.PrepareBatch(reason)) {
        case Session::Readiness::Ready: return kDone;
        case Session::Readiness::Busy: Error(reason + "; nothing changed"); return kNothingApplied;
        case Session::Readiness::Unjournaled: break;
    }
    if (options.yes) {
        Error("warning: this batch cannot be undone (" + reason + ")");
        return kDone;
    }
    if (console_.Ask("This batch cannot be undone (" + Printable(reason) + "). Apply anyway? [y/N] ", 'n') == 'y')
        return kDone;
    std::cout << "nothing changed\n";
    return kNothingApplied;
}

int TerminalApp::StoppedStatus() const { return 128 + (interrupted != 0 ? static_cast<int>(interrupted) : SIGINT); }

int TerminalApp::Report(const RunResult& result, bool refused, const std::string& verbForDeletes) {
    const std::string& root = session_.state().root;
    for (const OpFailure& failure : result.failures) {
        const std::string from = "'" + Printable(Shown(failure.from, root)) + "'";
        const std::string to = "'" + Printable(Shown(failure.to, root)) + "'";
        switch (failure.kind) {
            case FileOp::Kind::Delete: Error("cannot " + verbForDeletes + " " + from + ": " + failure.result.message); break;
            case FileOp::Kind::Move: Error("cannot move " + from + " to " + to + ": " + failure.result.message); break;
            case FileOp::Kind::Restore: Error("cannot restore " + from + " to " + to + ": " + failure.result.message); break;
            case FileOp::Kind::MakeFolder: Error("cannot make the folder " + from + ": " + failure.result.message); break;
            case FileOp::Kind::RemoveFolder: Error("cannot remove the folder " + from + ": " + failure.result.message); break;
        }
    }
    std::string applied = "applied " + std::to_string(result.applied) + " of " + std::to_string(result.total) + " changes";
    if (result.indexChanged > 0) applied += ", the git index following " + std::to_string(result.indexChanged);
    if (!result.indexError.empty()) {
        Error("the git index was left as it was: " + result.indexError);
        refused = true;
    }
    if (!result.journalError.empty()) {
        Error(result.journalError + (result.stopped ? "; stopped so that what was done can be undone; " : "; ") + applied);
        return kPartly;
    }
    if (result.stopped) {
        Error("stopped; " + applied);
        return StoppedStatus();
    }
    if (!result.failures.empty()) {
        Error(applied);
        return kPartly;
    }
    std::cout << applied << '\n';
    return refused ? kPartly : kDone;
}

int TerminalApp::RunUndo(const Options& options) {
    UndoPlan undo;
    if (!session_.PlanUndo(undo)) {
        Error("no batch to undo in '" + session_.state().root + "'");
        return kNothingApplied;
    }
    if (!options.json)
        std::cout << "undo the batch of " << When(undo.batch.started) << " in '" << Printable(undo.batch.root) << "' ("
                  << Summary(undo.batch.counts) << ")\n";
    ShowPlan(options, undo.rows, undo.batch.root);
    const bool refused = undo.refused > 0;
    if (options.dryRun) return refused ? kPartly : kDone;
    // Nothing left to move: what an undo cut short left to write down, and
    // the folders it made to finish, are done without a question.
    const bool movesNothing = undo.refused == static_cast<int>(undo.rows.size());
    if (movesNothing && !undo.DoesSomething()) return refused ? kPartly : kDone;
    bool editAgain = false;
    if (const int status = movesNothing ? kDone : Confirm(options, editAgain, undo.batch.root); status != kDone)
        return status;
    std::string reason;
    if (session_.PrepareUndo(undo, reason) == Session::Readiness::Busy) {
        Error(reason + "; nothing changed");
        return kNothingApplied;
    }
    InterruptCatcher catcher;
    RunProgress progress;
    return Report(session_.ApplyUndo(undo, progress), refused, "restore");
}

void TerminalApp::ShowPlan(const Options& options, const std::vector<PlanRow>& rows, const std::string& root) {
    if (options.json)
        std::cout << PlanJson(root, rows) << std::flush;
    else
        console_.PrintPlan(rows);
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
