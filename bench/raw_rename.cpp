// The baseline of quil --apply: list a folder and the folders below it with
// readdir, breadth-first, and rename each file with rename(2) to its name
// plus a suffix (with OLD, only names ending in OLD, which the suffix
// replaces); nothing else.
#include <dirent.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: raw_rename FOLDER SUFFIX [OLD]\n");
        return 2;
    }
    const std::string old = argc == 4 ? argv[3] : "";
    std::vector<std::string> folders{std::string(argv[1]) + "/"}, files;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        DIR* dir = opendir(folders[i].c_str());
        if (dir == nullptr) return 1;
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (entry->d_type == DT_DIR) {
                if (name != "." && name != "..") folders.push_back(folders[i] + name + "/");
            } else if (name.size() >= old.size() && name.compare(name.size() - old.size(), old.size(), old) == 0) {
                files.push_back(folders[i] + name);
            }
        }
        closedir(dir);
    }
    for (const std::string& file : files)
        if (rename(file.c_str(), (file.substr(0, file.size() - old.size()) + argv[2]).c_str()) != 0) perror(file.c_str());
    return 0;
}
