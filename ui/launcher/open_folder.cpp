#include "ui/launcher/open_folder.h"

#include <windows.h>

namespace quil::launcher {
namespace {

// quil.exe keeps the working folder, with its final backslash, in a buffer
// of 256 characters.
constexpr std::size_t kLongestFolder = 254;

const wchar_t kUnchanged[] = L" No file has been changed.";

int Fail(const std::wstring& text) {
    Say(text + kUnchanged, true);
    return 1;
}

// The last name of a path as written, ignoring final separators.
std::wstring LastName(std::wstring path) {
    while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FullPath(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return {};
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);
    }
}

}  // namespace

void Say(const std::wstring& text, bool warning) {
    MessageBoxW(nullptr, text.c_str(), L"Quillane", MB_OK | (warning ? MB_ICONWARNING : MB_ICONINFORMATION));
}

std::wstring OwnFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

int OpenFolder(const std::wstring& folder) {
    // Win32 drops a final dot or space from every name it is handed, so
    // "Photos." would open its neighbour "Photos".
    const std::wstring name = LastName(folder);
    if (name != L"." && name != L".." && !name.empty() && (name.back() == L'.' || name.back() == L' '))
        return Fail(L"Windows programs cannot open the folder '" + folder +
                    L"' by its name, which ends in a dot or a space. Give it another name first.");

    // One absolute path, for the check and for quil.exe alike: a relative
    // one would be taken relative to the folder twice.
    const std::wstring absolute = FullPath(folder);
    const DWORD attributes = absolute.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(absolute.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Fail(L"The folder '" + folder + L"' does not exist or cannot be read.");
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(L"'" + folder + L"' is a file, not a folder. Start Quillane with the folder that holds the files "
                    L"you want to rename.");
    const std::size_t length = absolute.size() + (absolute.back() == L'\\' ? 0 : 1);
    if (length > kLongestFolder + 1)
        return Fail(L"The folder's path is longer than " + std::to_wstring(kLongestFolder) +
                    L" characters, which Quillane cannot hold.");

    const std::wstring program = OwnFolder() + L"quil.exe";
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, absolute.c_str(),
                        &startup, &process))
        return Fail(L"Quillane cannot be started: '" + program + L"' is missing or cannot run.");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

}  // namespace quil::launcher
