// The baseline of quil --apply: list a folder and the folders below it with
// readdir, breadth-first, and rename each file with rename(2) to its name
// plus a suffix; nothing else.
#include <dirent.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    std::vector<std::string> folders{std::string(argv[1]) + "/"}, files;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        DIR* dir = opendir(folders[i].c_str());
        if (dir == nullptr) return 1;
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_type != DT_DIR)
                files.push_back(folders[i] + entry->d_name);
            else if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
                folders.push_back(folders[i] + entry->d_name + "/");
        }
        closedir(dir);
    }
    for (const std::string& file : files)
        if (rename(file.c_str(), (file + argv[2]).c_str()) != 0) perror(file.c_str());
    return 0;
}
