// The conversation of a batch and of an undo in the Linux editions, start
// to end, written once: plan with progress and a way to stop, show the
// plan, ask, settle the git index and the journal, apply, report, and the
// exit status. The steps, the decisions and the outcome live here; each
// front end only words the questions and shows the answers, through
// BatchDialog.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/session.h"

namespace quil {

// What a long step reports, and how the user asks it to stop.
class StepMonitor {
public:
    virtual ~StepMonitor() = default;
    // done of total (total 0: done is a percentage).
    virtual void Progress(long done, long total) = 0;
    virtual bool StopRequested() = 0;
};

enum class LongStep { Reading, Planning, Applying };

// The whole story of one batch or undo.
struct Outcome {
    bool planned = false;       // a plan was made (not stopped while planning)
    bool nothingToDo = false;   // no line asked for anything, or every one was refused
    bool dryRun = false;        // the plan was only shown
    bool declined = false;      // the user said no, or nobody could be asked
    bool editAgain = false;     // the user asked to edit the list again
    bool busy = false;          // another batch runs over the folder
    bool noBatch = false;       // an undo with no batch left to undo
    bool applied = false;       // the run took place
    bool notJournaled = false;  // applied although it cannot be undone
    std::string reason;         // why busy, or why it cannot be undone
    int refused = 0;            // lines refused in the plan
    std::vector<PlanRow> rows;  // the plan as shown
    BatchPlan plan;             // the batch's plan, for what to list after it
    RunResult run;              // what the run did, failed and was told
    int signal = 0;             // the signal that asked it to stop (the terminal's)

    // Stopped while planning, or while applying.
    bool stopped() const { return run.stopped || (!planned && !busy && !noBatch && !declined); }
};

// 0 done or nothing to do; 1 a line refused or failed, or a safety net (the
// journal, the git index) failed; 2 nothing applied; 128 + the signal that
// stopped it.
int ExitStatus(const Outcome& outcome);

// The statuses of the batches of one window, taken together: the worst of
// those applied, or 2 when none was.
int CombinedExitStatus(const std::vector<Outcome>& outcomes);

// Asked by the flow; each front end words it its own way.
class BatchDialog {
public:
    enum class Answer { Apply, No, EditAgain };

    virtual ~BatchDialog() = default;
    // Runs work, showing its progress and taking the user's stop.
    virtual void RunLong(LongStep step, const std::function<void(StepMonitor&)>& work) = 0;
    // The plan, before the question (or alone, with a dry run).
    virtual void ShowPlan(const std::vector<PlanRow>& rows) = 0;
    virtual void ShowUndo(const UndoPlan& undo) = 0;
    // With a dry run, where the git index is locked: what applying would meet.
    virtual void NoteIndexLocked(const std::string& lock) = 0;
    virtual Answer AskToApply(const std::vector<PlanRow>& rows) = 0;
    virtual bool AskToUndo(const UndoPlan& undo) = 0;
    // Another git command holds the index: go on without following it?
    virtual bool ApplyWithoutGit(const std::string& lock) = 0;
    // The batch cannot be undone (reason): go on all the same?
    virtual bool ApplyUnjournaled(const std::string& reason) = 0;
    // What came of it, once it is over (not after a plain no).
    virtual void Report(const Outcome& outcome) = 0;
};

struct BatchChoices {
    bool permanent = false;          // emptied lines deleted for good, not to the Trash
    bool followGit = true;           // the git index follows, where there is one
    bool dryRun = false;             // show the plan and stop
    std::vector<int> emptiedByTransform;  // slots a transform emptied: refused
    std::vector<std::string> notes;       // by line: what a transform says of it (where a field came from)
};

// The batch of the list text the session holds.
Outcome RunBatch(Session& session, BatchDialog& dialog, const BatchChoices& choices);

// The undo of the newest batch over the session's root not yet undone.
Outcome RunUndo(Session& session, BatchDialog& dialog, const BatchChoices& choices);

}  // namespace quil
