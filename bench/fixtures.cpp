#include "bench/fixtures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace quil::bench {
namespace {

void Touch(const std::string& path) {
    int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path);
    close(fd);
}

}  // namespace

std::string MakeTempFolder(const std::string& name) {
    std::string pattern = (std::filesystem::temp_directory_path() / ("quil-bench-" + name + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern + "/";
}

void RemoveTree(const std::string& folder) { std::filesystem::remove_all(folder); }

void MakeTree(const std::string& root, int files) {
    std::vector<std::string> folders;
    for (int top = 0; top < 9; ++top) {
        std::string first = root + "level1-" + std::to_string(top) + "/";
        mkdir(first.c_str(), 0755);
        folders.push_back(first);
        for (int sub = 0; sub < 10; ++sub) {
            std::string second = first + "level2-" + std::to_string(sub) + "/";
            mkdir(second.c_str(), 0755);
            folders.push_back(second);
        }
    }
    for (int i = 0; i < files; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "file-%06d.dat", i);
        Touch(folders[i % folders.size()] + name);
    }
}

void MakeFlatFolder(const std::string& folder, const std::vector<std::string>& names) {
    mkdir(folder.c_str(), 0755);
    for (const std::string& name : names) Touch(folder + name);
}

std::vector<std::string> NumberedNames(const std::string& prefix, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%05d", prefix.c_str(), i);
        names.push_back(name);
    }
    return names;
}

}  // namespace quil::bench
