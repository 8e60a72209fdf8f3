// The baseline of quil --apply: list one folder with readdir and rename each
// file with rename(2) to its name plus a suffix; nothing else.
#include <dirent.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::string folder = std::string(argv[1]) + "/";
    std::vector<std::string> names;
    DIR* dir = opendir(argv[1]);
    if (dir == nullptr) return 1;
    while (const dirent* entry = readdir(dir))
        if (entry->d_type != DT_DIR) names.emplace_back(entry->d_name);
    closedir(dir);
    for (const std::string& name : names)
        if (rename((folder + name).c_str(), (folder + name + argv[2]).c_str()) != 0) perror(name.c_str());
    return 0;
}
