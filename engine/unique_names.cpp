#include "engine/unique_names.h"

#include <unordered_set>

#include "engine/path_rules.h"
#include "engine/plan_rows.h"

namespace quil {
namespace {

class Names {
public:
    Names(const BatchState& listed, FileServices& files) : listed_(listed), files_(files) {
        for (int slot = 1; slot <= listed.count; ++slot) listedPaths_.insert(Key(listed.oldPaths[static_cast<std::size_t>(slot)]));
    }

    // Taken by a line that keeps or took it, or by a file the list does not
    // name (a listed file that leaves its name frees it).
    bool Taken(const std::string& line) const {
        const std::string full = listed_.root + line;
        if (claimed_.count(Key(full)) != 0) return true;
        return listedPaths_.count(Key(full)) == 0 && files_.Query(full) != PathKind::Missing;
    }
    void Claim(const std::string& line) { claimed_.insert(Key(listed_.root + line)); }

private:
    std::string Key(const std::string& path) const { return NameKey(path, files_.conventions()); }

    const BatchState& listed_;
    FileServices& files_;
    std::unordered_set<std::string> listedPaths_;
    std::unordered_set<std::string> claimed_;
};

// line with tag before its extension: "a/b.jpg" and "-1" give "a/b-1.jpg".
std::string Tagged(const std::string& line, const std::string& tag, const Conventions& conventions) {
    const std::size_t name = FolderLength(line, conventions);
    const std::size_t dot = line.rfind('.');
    const std::size_t at = dot == std::string::npos || dot <= name ? line.size() : dot;
    return line.substr(0, at) + tag + line.substr(at);
}

}  // namespace

std::size_t MakeUnique(std::vector<std::string>& lines, const BatchState& listed, FileServices& files,
                       const std::vector<std::string>& subSeconds) {
    const Conventions& conventions = files.conventions();
    Names names(listed, files);
    auto unchanged = [&](std::size_t line) {
        return line + 1 < listed.oldPaths.size() && Shown(listed.oldPaths[line + 1], listed.root) == lines[line];
    };
    // The lines that keep their names hold them first, wherever they stand.
    for (std::size_t line = 0; line < lines.size(); ++line)
        if (unchanged(line)) names.Claim(lines[line]);
    std::size_t changed = 0;
    for (std::size_t line = 0; line < lines.size(); ++line) {
        if (unchanged(line) || lines[line].empty()) continue;
        std::string name = lines[line];
        if (names.Taken(name) && line < subSeconds.size() && !subSeconds[line].empty())
            name = Tagged(lines[line], "_" + subSeconds[line], conventions);
        for (int n = 1; names.Taken(name); ++n) name = Tagged(lines[line], "-" + std::to_string(n), conventions);
        names.Claim(name);
        if (name != lines[line]) {
            lines[line] = std::move(name);
            ++changed;
        }
    }
    return changed;
}

}  // namespace quil
