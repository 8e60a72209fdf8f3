#include "engine/batch_plan.h"

#include <cstring>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace quil {
namespace {

bool IsSeparator(char ch, const Conventions& conventions) {
    return ch == conventions.separator || (conventions.windowsNames && ch == '/');
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// Win32 reserves these base names in every folder, whatever the extension.
bool IsDeviceName(std::string_view part) {
    std::string_view base = part.substr(0, part.find('.'));
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (EqualIgnoringAsciiCase(base, device)) return true;
    if (base.size() == 4 && base[3] >= '1' && base[3] <= '9')
        return EqualIgnoringAsciiCase(base.substr(0, 3), "COM") || EqualIgnoringAsciiCase(base.substr(0, 3), "LPT");
    return false;
}

// Win32 refuses these characters in a name and strips a trailing space or
// dot, so such a target would not be the name the user typed.
std::optional<Refusal> CheckWindowsPart(std::string_view part) {
    for (char ch : part)
        if (static_cast<unsigned char>(ch) < 0x20 || std::strchr("<>:\"|?*", ch) != nullptr)
            return Refusal::InvalidName;
    if (part == "." || part == "..") return std::nullopt;
    if (part.back() == ' ' || part.back() == '.' || IsDeviceName(part)) return Refusal::InvalidName;
    return std::nullopt;
}

std::optional<Refusal> CheckTarget(const std::string& path, std::size_t rootLength, const Conventions& conventions) {
    if (path.size() > kMaxOperationPath) return Refusal::TooLong;
    std::string_view part;
    for (std::size_t start = rootLength, end = rootLength; end <= path.size(); ++end) {
        if (end < path.size() && !IsSeparator(path[end], conventions)) continue;
        part = std::string_view(path).substr(start, end - start);
        if (part.empty()) return Refusal::EmptyNamePart;
        if (conventions.windowsNames)
            if (auto refusal = CheckWindowsPart(part)) return refusal;
        start = end + 1;
    }
    if (part == "." || part == "..") return Refusal::InvalidName;  // names a folder
    return std::nullopt;
}

struct Line {
    int slot = 0;
    bool remove = false;
    bool active = true;
    Refusal reason = Refusal::TargetExists;
    std::string sourceKey;
    std::string targetKey;
};

class Planner {
public:
    Planner(const BatchState& state, FileServices& files)
        : state_(state), files_(files), conventions_(files.conventions()),
          rootLength_(std::strlen(state.root.data())) {}

    BatchPlan Run() {
        CollectChangedLines();
        RefuseUnsafeMoves();
        PropagateRefusals();
        OrderOperations();
        for (const Line& line : lines_)
            if (!line.active) plan_.refused.push_back({line.slot, line.reason});
        return std::move(plan_);
    }

private:
    const std::string& From(const Line& line) const { return state_.oldPaths[line.slot]; }
    const std::string& To(const Line& line) const { return state_.newPaths[line.slot]; }

    void Refuse(std::size_t index, Refusal reason) {
        if (!lines_[index].active) return;
        lines_[index].active = false;
        lines_[index].reason = reason;
        worklist_.push_back(index);
    }

    void CollectChangedLines() {
        for (int slot = 1; slot <= state_.count; ++slot) {
            if (state_.oldPaths[slot] == state_.newPaths[slot]) continue;
            Line line;
            line.slot = slot;
            line.remove = state_.newPaths[slot].empty();
            line.sourceKey = NameKey(state_.oldPaths[slot], conventions_);
            bySource_.emplace(line.sourceKey, lines_.size());
            lines_.push_back(std::move(line));
        }
    }

    void RefuseUnsafeMoves() {
        std::unordered_map<std::string, int> targets;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            Line& line = lines_[i];
            if (line.remove) continue;
            if (auto refusal = CheckTarget(To(line), rootLength_, conventions_)) {
                Refuse(i, *refusal);
                continue;
            }
            line.targetKey = NameKey(To(line), conventions_);
            ++targets[line.targetKey];
        }
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            Line& line = lines_[i];
            if (line.remove || !line.active) continue;
            if (targets[line.targetKey] > 1) {
                Refuse(i, Refusal::SharedTarget);
                continue;
            }
            byTarget_.emplace(line.targetKey, i);
            if (line.targetKey == line.sourceKey || bySource_.count(line.targetKey) != 0) continue;
            switch (files_.Query(To(line))) {
                case PathKind::Missing:
                    break;
                case PathKind::Folder:
                    Refuse(i, Refusal::TargetIsFolder);
                    break;
                case PathKind::File:
                    // Another spelling of the same file on a case-blind volume.
                    if (!(EqualIgnoringAsciiCase(From(line), To(line)) && files_.SameFile(From(line), To(line))))
                        Refuse(i, Refusal::TargetExists);
                    break;
            }
        }
    }

    // A refused line keeps its file, so a move onto that name would replace
    // it: refuse that move too, and so on down the chain.
    void PropagateRefusals() {
        while (!worklist_.empty()) {
            const Line& kept = lines_[worklist_.back()];
            worklist_.pop_back();
            auto blocked = byTarget_.find(kept.sourceKey);
            if (blocked != byTarget_.end() && &lines_[blocked->second] != &kept)
                Refuse(blocked->second, Refusal::TargetExists);
        }
    }

    // The active move that must leave before line can take its target.
    std::optional<std::size_t> Blocker(std::size_t index) const {
        auto it = bySource_.find(lines_[index].targetKey);
        if (it == bySource_.end() || it->second == index) return std::nullopt;
        const Line& other = lines_[it->second];
        if (!other.active || other.remove) return std::nullopt;
        return it->second;
    }

    void AddMove(std::size_t index, FileOp::Stage stage, const std::string& from, const std::string& to) {
        plan_.ops.push_back({FileOp::Kind::Move, stage, lines_[index].slot, from, to});
    }

    std::string TemporaryName(const std::string& path) {
        std::string name = path + ".quil-swap";
        for (int n = 2;; ++n) {
            const std::string key = NameKey(name, conventions_);
            if (bySource_.count(key) == 0 && byTarget_.count(key) == 0 && files_.Query(name) == PathKind::Missing)
                return name;
            name = path + ".quil-swap-" + std::to_string(n);
        }
    }

    void OrderOperations() {
        // Deletes first: they only free names.
        for (const Line& line : lines_)
            if (line.active && line.remove)
                plan_.ops.push_back({FileOp::Kind::Delete, FileOp::Stage::Direct, line.slot, From(line), {}});

        // Each move has at most one blocker and blocks at most one other, so
        // the moves form chains and cycles. Walk each from its first line
        // along the blockers, then emit back to front.
        enum Mark : char { Unseen, OnPath, Done };
        std::vector<Mark> marks(lines_.size(), Unseen);
        std::vector<std::size_t> path;
        for (std::size_t start = 0; start < lines_.size(); ++start) {
            if (!lines_[start].active || lines_[start].remove || marks[start] != Unseen) continue;
            path.clear();
            std::optional<std::size_t> next = start;
            while (next && marks[*next] == Unseen) {
                marks[*next] = OnPath;
                path.push_back(*next);
                next = Blocker(*next);
            }
            std::size_t chainEnd = path.size();
            if (next && marks[*next] == OnPath) {
                // path[first..] is a cycle: its first line steps aside to a
                // temporary name, the others follow back to front, and it
                // takes its target last.
                std::size_t first = 0;
                while (path[first] != *next) ++first;
                const Line& breaker = lines_[path[first]];
                const std::string temporary = TemporaryName(From(breaker));
                AddMove(path[first], FileOp::Stage::ToTemporary, From(breaker), temporary);
                for (std::size_t k = path.size(); k-- > first + 1;)
                    AddMove(path[k], FileOp::Stage::Direct, From(lines_[path[k]]), To(lines_[path[k]]));
                AddMove(path[first], FileOp::Stage::FromTemporary, temporary, To(breaker));
                chainEnd = first;
            }
            for (std::size_t k = chainEnd; k-- > 0;)
                AddMove(path[k], FileOp::Stage::Direct, From(lines_[path[k]]), To(lines_[path[k]]));
            for (std::size_t index : path) marks[index] = Done;
        }
    }

    const BatchState& state_;
    FileServices& files_;
    const Conventions& conventions_;
    const std::size_t rootLength_;
    std::vector<Line> lines_;
    std::unordered_map<std::string, std::size_t> bySource_;
    std::unordered_map<std::string, std::size_t> byTarget_;
    std::vector<std::size_t> worklist_;
    BatchPlan plan_;
};

}  // namespace

const char* Describe(Refusal reason) {
    switch (reason) {
        case Refusal::TargetExists: return "a file with that name exists";
        case Refusal::TargetIsFolder: return "a folder has that name";
        case Refusal::SharedTarget: return "another line has the same name";
        case Refusal::TooLong: return "the path is too long";
        case Refusal::InvalidName: return "the name is not allowed here";
        case Refusal::EmptyNamePart: return "the path has an empty folder or file name";
    }
    return "";
}

std::string NameKey(const std::string& path, const Conventions& conventions) {
    const char separator = conventions.separator;
    std::string key(path);
    for (char& ch : key) {
        if (conventions.windowsNames && ch == '/') ch = separator;
        if (conventions.caseInsensitive && ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    }
    const char dotPart[] = {separator, '.', '\0'};
    if (key.find(dotPart) == std::string::npos) return key;

    // Resolve "." and ".." parts by their names, as the file system does
    // before it looks a path up.
    std::vector<std::string_view> parts;
    std::string_view rest(key);
    for (;;) {
        std::size_t end = rest.find(separator);
        std::string_view part = rest.substr(0, end);
        if (part == ".." && parts.size() > 1)
            parts.pop_back();
        else if (part != "." || parts.empty())
            parts.push_back(part);
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    std::string resolved;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) resolved += separator;
        resolved.append(parts[i]);
    }
    return resolved;
}

BatchPlan PlanBatch(const BatchState& state, FileServices& files) { return Planner(state, files).Run(); }

}  // namespace quil
