#include "engine/run_plan.h"

#include <unordered_set>

namespace quil {
namespace {

class Runner {
public:
    Runner(const BatchPlan& plan, FileServices& files, WindowHandle owner, const RunOptions& options)
        : plan_(plan), files_(files), owner_(owner), options_(options) {}

    RunResult Run() {
        std::unordered_set<int> slots;
        for (const FileOp& op : plan_.ops) slots.insert(op.slot);
        result_.total = static_cast<int>(slots.size());
        for (std::size_t index = 0; index < plan_.ops.size(); ++index) {
            // A stop inside a cycle waits for its end, so that no file is
            // left under a name that the user never typed.
            if (aside_.empty() && options_.observer && options_.observer->StopRequested()) {
                result_.stopped = true;
                break;
            }
            RunOne(index);
            if (options_.observer) options_.observer->Progress(result_.applied, result_.total);
        }
        return std::move(result_);
    }

private:
    void Done(const FileOp& op, const std::string& trashedAs = {}) {
        if (options_.observer) options_.observer->Done(op, trashedAs);
    }

    void RunOne(std::size_t index) {
        const FileOp& op = plan_.ops[index];
        OpResult result;
        std::string trashedAs;
        if (op.kind == FileOp::Kind::Delete) {
            result = options_.trash ? options_.trash->MoveToTrash(op.from, trashedAs) : files_.Delete(op.from, owner_);
        } else if (op.stage == FileOp::Stage::FromTemporary && stuckBeforeTemporary_.count(op.slot) != 0) {
            return;  // the file never left its name; its failure is reported
        } else {
            // When the operation that was to free this target failed, the
            // move fails too: the services never replace a file.
            result = files_.Move(op.from, op.to, owner_);
        }
        if (result.ok) {
            Done(op, trashedAs);
            if (op.stage == FileOp::Stage::ToTemporary) {
                aside_.insert(op.slot);
            } else {
                ++result_.applied;
                aside_.erase(op.slot);
            }
            return;
        }
        std::string source = op.from;
        std::string target = op.to;
        if (op.stage == FileOp::Stage::ToTemporary) {
            // Report the line's own target; the cycle's last step names it.
            stuckBeforeTemporary_.insert(op.slot);
            for (std::size_t later = index + 1; later < plan_.ops.size(); ++later)
                if (plan_.ops[later].slot == op.slot) {
                    target = plan_.ops[later].to;
                    break;
                }
        }
        // The cycle could not finish: the file goes back to its own name if
        // that is free, so that no name the user never typed is left.
        if (op.stage == FileOp::Stage::FromTemporary) {
            aside_.erase(op.slot);
            if (PutBack(op.from, op.restore, op.slot)) source = op.restore;
        }
        result_.failures.push_back({op.slot, source, target, result});
    }

    bool PutBack(const std::string& temporary, const std::string& original, int slot) {
        if (!files_.Move(temporary, original, owner_).ok) return false;
        Done({FileOp::Kind::Move, FileOp::Stage::Direct, slot, temporary, original, {}});
        return true;
    }

    const BatchPlan& plan_;
    FileServices& files_;
    WindowHandle owner_;
    const RunOptions& options_;
    RunResult result_;
    std::unordered_set<int> stuckBeforeTemporary_;
    std::unordered_set<int> aside_;  // slots whose file waits under a temporary name
};

}  // namespace

RunResult RunPlan(const BatchPlan& plan, FileServices& files, WindowHandle owner, const RunOptions& options) {
    return Runner(plan, files, owner, options).Run();
}

}  // namespace quil
