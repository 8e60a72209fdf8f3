#include <windows.h>


#include "tests/platform_helpers.h"

namespace quil::testing {
namespace {

// The test executables run with the UTF-8 code page, as quil.exe does.
std::wstring RawPath(const std::string& path) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), size);
    wide.resize(size - 1);
    return L"\\\\?\\" + wide;
}

}  // namespace

// Hidden and system only: a read-only file cannot be deleted by the file
// operation, which the temporary folder's clean-up needs.
void HideAndProtect(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

namespace {

void RemoveRawTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveRawTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

// Through "\\?\" paths, so that names Win32 would rewrite and paths past
// MAX_PATH go too.
void RemoveTree(const std::string& folder) {
    std::string path = folder;
    while (!path.empty() && path.back() == '\\') path.pop_back();
    RemoveRawTree(RawPath(path));
}

void WriteRaw(const std::string& path, const std::string& content) {
    HANDLE file = CreateFileW(RawPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

void MakeFolderRaw(const std::string& path) { CreateDirectoryW(RawPath(path).c_str(), nullptr); }

bool ExistsRaw(const std::string& path) { return GetFileAttributesW(RawPath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::shared_ptr<void> HoldAgainstMoves(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::shared_ptr<void>(file, [](void* handle) { CloseHandle(handle); });
}

bool HasChildProcess() { return false; }

}  // namespace quil::testing
