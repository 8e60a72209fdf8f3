// What the Windows end-to-end tests read and run beside the dialog: paths
// handed over by CTest, processes, the user's registry, message boxes of
// programs that have no dialog of their own.
#pragma once

#include <windows.h>

#include <string>

namespace quil::e2e {

// A Unix path from CTest as Wine sees it (drive Z:), or a Windows path as is.
std::string WindowsPath(std::string path);
// The environment variable as a Windows path.
std::string PathFromEnvironment(const char* name);

// Runs a command line (in folder, when given) and waits for its exit code.
DWORD RunAndWait(const std::string& commandLine, const std::string& folder = {});

// The value of HKCU\key (its default value without a name), or "(missing)".
std::string UserValue(const std::string& key, const char* name = nullptr);
bool UserKeyExists(const std::string& key);
// Every key and value below HKCU\key, one per line, to compare before and after.
std::string UserTree(const std::string& key);

// A link at link to the folder target, while the object lives: Scoop's
// apps\NAME\current junction. Under Wine only: Wine 8 has no junctions
// (CreateSymbolicLinkW reports success and makes nothing), and a Unix
// symbolic link, which Wine follows as Windows follows a junction, stands in.
class FolderLink {
public:
    FolderLink(const std::string& link, const std::string& target);
    ~FolderLink();
    FolderLink(const FolderLink&) = delete;
    FolderLink& operator=(const FolderLink&) = delete;
    bool Made() const { return made_; }

private:
    std::wstring link_;
    std::string unixLink_;
    bool made_ = false;
};

// A message box a program shows with no window of its own: its text, read
// once it appears (empty when none came), then answered with OK. exitCode
// is the program's, once it has ended.
struct Shown {
    std::string message;
    DWORD exitCode = STILL_ACTIVE;
};
Shown RunAndReadMessage(const std::string& commandLine, const std::string& folder = {});

}  // namespace quil::e2e
