#include "tests/e2e/system.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "tests/e2e/dialog_driver.h"

namespace quil::e2e {

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& ch : path)
        if (ch == '/') ch = '\\';
    return path;
}

std::string PathFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? WindowsPath(value) : std::string();
}

namespace {

bool Start(const std::string& commandLine, const std::string& folder, PROCESS_INFORMATION& process) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = commandLine;
    return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &process) != FALSE;
}

struct BoxSearch {
    DWORD processId;
    HWND found = nullptr;
};

BOOL CALLBACK MatchBox(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    char className[32] = "";
    GetClassNameA(hwnd, className, sizeof className);
    DWORD processId = 0;
    GetWindowThreadProcessId(hwnd, &processId);
    if (std::string(className) != "#32770" || processId != search->processId || !IsWindowVisible(hwnd)) return TRUE;
    search->found = hwnd;
    return FALSE;
}

void CollectValues(HKEY root, const std::string& path, std::string& out) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    char name[512];
    BYTE data[2048];
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
        out += path + " [" + name + "] = " + std::string(reinterpret_cast<char*>(data), dataSize) + "\n";
    }
    std::vector<std::string> children;
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& child : children) {
        out += path + "\\" + child + "\n";
        CollectValues(root, path + "\\" + child, out);
    }
}

// Wine's Unix name of a Windows path; empty elsewhere.
std::string UnixPath(const std::string& path) {
    using UnixFileName = char*(CDECL*)(LPCWSTR);
    // Through void (*)(), which stands for any function type.
    const auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    if (unixFileName == nullptr) return {};
    std::wstring wide(path.size() + 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    char* name = unixFileName(wide.c_str());
    if (name == nullptr) return {};
    const std::string unixName = name;
    HeapFree(GetProcessHeap(), 0, name);
    return unixName;
}

}  // namespace

// Wine starts a Unix program as it starts a Windows one, but cannot wait
// for it or give its exit code: the link is waited for instead.
FolderLink::FolderLink(const std::string& link, const std::string& target)
    : link_(std::filesystem::u8path(link).wstring()), unixLink_(UnixPath(link)) {
    const std::string unixTarget = UnixPath(target);
    if (unixLink_.empty() || unixTarget.empty()) return;
    RunAndWait("/bin/ln -s \"" + unixTarget + "\" \"" + unixLink_ + "\"");
    for (DWORD start = GetTickCount(); !made_ && GetTickCount() - start < kWaitMs; Sleep(20)) {
        const DWORD attributes = GetFileAttributesW(link_.c_str());
        made_ = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
}

// Gone before anything removes the folders around it, which would reach
// the target's files through it.
FolderLink::~FolderLink() {
    if (!made_) return;
    RunAndWait("/bin/rm \"" + unixLink_ + "\"");
    for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(20))
        if (GetFileAttributesW(link_.c_str()) == INVALID_FILE_ATTRIBUTES) return;
}

DWORD RunAndWait(const std::string& commandLine, const std::string& folder) {
    PROCESS_INFORMATION process{};
    if (!Start(commandLine, folder, process)) return GetLastError();
    WaitForSingleObject(process.hProcess, 120000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::string UserValue(const std::string& key, const char* name) {
    char value[2048];
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return "(missing)";
    return value;
}

bool UserKeyExists(const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

std::string UserTree(const std::string& key) {
    std::string out;
    CollectValues(HKEY_CURRENT_USER, key, out);
    return out;
}

Shown RunAndReadMessage(const std::string& commandLine, const std::string& folder) {
    Shown shown;
    PROCESS_INFORMATION process{};
    if (!Start(commandLine, folder, process)) return shown;
    for (DWORD start = GetTickCount(); GetTickCount() - start < kStartMs;) {
        BoxSearch search{process.dwProcessId};
        EnumWindows(&MatchBox, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            shown.message = Program::BoxText(search.found);
            Program::Answer(search.found, IDOK);
            break;
        }
        if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) break;
    }
    WaitForSingleObject(process.hProcess, kWaitMs);
    GetExitCodeProcess(process.hProcess, &shown.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return shown;
}

}  // namespace quil::e2e
