// quil: the terminal edition. It lists a folder, hands the list to the
// user's editor (or takes it from --apply), shows the plan, asks, applies
// it through the engine's session and reports; or undoes the last batch.
#pragma once

#include <csignal>
#include <string>

#include "engine/session.h"
#include "ui/terminal/console.h"
#include "ui/terminal/options.h"

namespace quil::terminal {

// 128 + the signal after Ctrl-C (130), SIGTERM (143) or SIGHUP (129).
enum ExitStatus { kDone = 0, kPartly = 1, kNothingApplied = 2, kInterrupted = 130 };

class TerminalApp {
public:
    TerminalApp(FileServices& files, TrashService& trash, StateStore& store)
        : files_(files), session_(files, trash, store) {}

    int Run(const Options& options);

    // The signal that asked a batch to stop (SIGINT, SIGTERM, SIGHUP), set
    // by their handler while it runs; the run stops after the operation
    // under way, with its journal complete.
    static volatile std::sig_atomic_t interrupted;

private:
    int RunBatch(const Options& options);
    int RunUndo(const Options& options);
    int RunHistory(const Options& options);
    // The plan as rows for the user, or as JSON with --json; the rows'
    // paths are relative to root.
    void ShowPlan(const Options& options, const std::vector<PlanRow>& rows, const std::string& root);
    // Takes the folder's lock and the journal; asks when the batch could not
    // be undone. kDone to go on, or a status.
    int Prepare(const Options& options);
    // The paths to list, from the command line and the --from list; false
    // (the user told) when the list cannot be read.
    bool Request(const Options& options, ListRequest& request);
    // With -n: what applying would meet where the git index is locked.
    void SayIfIndexLocked(const Options& options, const std::string& root);
    // Whether to go on after a filter that only reordered the lines.
    bool AcceptReordering(const Options& options);
    // The edited list, read back; false (and the status) when there is none.
    bool EditedList(const Options& options, std::string& text, int& status);
    // Asks before applying a batch over root; kDone to go on (editAgain
    // set for 'e'), or a status.
    int Confirm(const Options& options, bool& editAgain, const std::string& root);
    int Report(const RunResult& result, bool refused, const std::string& verbForDeletes);
    int StoppedStatus() const;

    FileServices& files_;
    Session session_;
    Console console_;
};

}  // namespace quil::terminal
