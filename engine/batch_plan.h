// Turning the parsed targets into an ordered list of file operations that
// never replaces a file: chains run back to front, cycles go through a
// temporary name, and lines that would overwrite or that the platform cannot
// take are refused with a reason. Planning queries the file system but
// changes nothing.
#pragma once

#include <string>
#include <vector>

#include "engine/batch_state.h"
#include "platform/file_services.h"

namespace quil {

// pFrom and pTo hold one path ended by two zero characters in 1024 bytes.
constexpr std::size_t kMaxOperationPath = 1022;

enum class Refusal {
    TargetExists,
    TargetIsFolder,
    SharedTarget,
    TooLong,
    InvalidName,
    EmptyNamePart,
};

const char* Describe(Refusal reason);

struct RefusedLine {
    int slot;
    Refusal reason;
};

struct FileOp {
    enum class Kind { Delete, Move };
    // A cycle is broken by moving one file to a temporary name first and
    // from there to its target last.
    enum class Stage { Direct, ToTemporary, FromTemporary };
    Kind kind;
    Stage stage;
    int slot;
    std::string from;
    std::string to;  // empty for a delete
};

struct BatchPlan {
    std::vector<FileOp> ops;
    std::vector<RefusedLine> refused;  // in slot order
};

// How the file system compares names: case-blind on Windows, and "\" and "/"
// are one separator there. "." and ".." parts are resolved.
std::string NameKey(const std::string& path, const Conventions& conventions);

BatchPlan PlanBatch(const BatchState& state, FileServices& files);

}  // namespace quil
