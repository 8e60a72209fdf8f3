#include "engine/batch_execute.h"


#include "engine/list_text.h"

namespace quil {
namespace {

const char kCaption[] = "Execute renaming batch";

// The path below the root, cut in the middle when it would not fit a line of
// a message box, between whole UTF-8 characters (a continuation byte is
// 10xxxxxx).
std::string Relative(const std::string& path, const std::string& root) {
    constexpr std::size_t kShown = 100;
    std::string relative = path.compare(0, root.size(), root) == 0 ? path.substr(root.size()) : path;
    if (relative.size() <= kShown) return relative;
    auto continues = [&](std::size_t at) { return (static_cast<unsigned char>(relative[at]) & 0xC0) == 0x80; };
    std::size_t head = kShown / 2, tail = relative.size() - kShown / 2;
    while (head > 0 && continues(head)) --head;
    while (tail < relative.size() && continues(tail)) ++tail;
    return relative.replace(head, tail - head, "...");
}

}  // namespace

std::string RefusalQuestion(const BatchState& state, const std::vector<RefusedLine>& refused) {
    const std::string& root = state.root;
    std::string text = "These lines cannot be applied:\n\n";
    for (std::size_t i = 0; i < refused.size() && i < kListedInReport; ++i) {
        const int slot = refused[i].slot;
        text += "'" + Relative(state.oldPaths[slot], root) + "' to '" +
                Relative(state.newPaths[slot], root) + "': " + Describe(refused[i].reason) + "\n";
    }
    if (refused.size() > kListedInReport) text += "and " + std::to_string(refused.size() - kListedInReport) + " more\n";
    return text + "\nApply the other changes?";
}

std::string FailureReport(const std::vector<OpFailure>& failures) {
    std::string text;
    for (std::size_t i = 0; i < failures.size() && i < kListedInReport; ++i) {
        const OpFailure& failure = failures[i];
        if (i > 0) text += "\n\n";
        text += "Error renaming\n\n'" + failure.from + "'\n\nto\n\n'" + failure.to + "'";
        if (!failure.result.message.empty()) text += "\n(" + failure.result.message + ")";
    }
    if (failures.size() > kListedInReport) text += "\n\nand " + std::to_string(failures.size() - kListedInReport) + " more";
    return text;
}

void ExecuteBatch(BatchState& state, DialogOps& dialog, FileServices& files) {
    if (!dialog.NamesModified() && state.replaced == 0) {
        dialog.CloseWithOk();
        return;
    }
    if (dialog.AskYesNo("Are you sure?", kCaption) == kAnswerNo) {
        dialog.FocusNames();
        return;
    }
    state.text = dialog.NamesText();
    ParseListText(state, files.conventions());
    const BatchPlan plan = PlanBatch(state, files);
    if (!plan.refused.empty() && dialog.AskYesNo(RefusalQuestion(state, plan.refused), kCaption) == kAnswerNo) {
        dialog.FocusNames();
        return;
    }
    const std::vector<OpFailure> failures = RunPlan(plan, files, dialog.Owner()).failures;
    if (!failures.empty()) dialog.Tell(FailureReport(failures), kCaption);
    dialog.CloseWithOk();
}

}  // namespace quil
