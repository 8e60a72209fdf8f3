// quil-here.exe: starts quil.exe, from this program's own folder, with the
// folder given as its one argument as the working folder. Explorer's verbs
// call it with the folder ("%V"), so that the rules Explorer applies to a
// verb's working folder do not matter. It ends once quil.exe has started.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

const wchar_t kCaption[] = L"Quillane";

int Fail(const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONWARNING);
    return 1;
}

// The folder this program was started from, with its final backslash.
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

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The wide command line: a folder name outside the ANSI code page
    // arrives whole.
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count != 2) {
        if (arguments) LocalFree(arguments);
        return Fail(L"Start quil-here with the folder whose files you want to rename, for example from a "
                    L"folder's \"Rename files here with Quillane\" menu item.");
    }
    const std::wstring folder = arguments[1];
    LocalFree(arguments);

    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(L"The folder '" + folder + L"' does not exist or cannot be read. No file has been changed.");
    if (!SetCurrentDirectoryW(folder.c_str()))
        return Fail(L"The folder '" + folder + L"' cannot be opened. No file has been changed.");

    const std::wstring program = OwnFolder() + L"quil.exe";
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process))
        return Fail(L"Quillane cannot be started: '" + program + L"' is missing or cannot run.");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
