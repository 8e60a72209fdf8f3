#include "ui/launcher/folder_verbs.h"

#include <windows.h>

namespace quil::launcher {
namespace {

const wchar_t kText[] = L"Rename files here with Quillane";
// Per user: HKCU\Software\Classes is merged into HKEY_CLASSES_ROOT.
const wchar_t* const kVerbs[] = {
    L"Software\\Classes\\Directory\\Background\\shell\\Quillane",
    L"Software\\Classes\\Directory\\shell\\Quillane",
    L"Software\\Classes\\Drive\\shell\\Quillane",
};

std::wstring CommandFor(const std::wstring& launcher) { return L"\"" + launcher + L"\" \"%V\""; }

// The launcher a registered command starts, or empty.
std::wstring RegisteredLauncher(const wchar_t* verb) {
    wchar_t value[2048];
    DWORD size = sizeof value;
    const std::wstring key = std::wstring(verb) + L"\\command";
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return {};
    std::wstring command = value;
    if (command.size() < 2 || command[0] != L'"') return {};
    return command.substr(1, command.find(L'"', 1) - 1);
}

// Without FILE_FLAG_OPEN_REPARSE_POINT the open goes through links to the
// file itself; FILE_FLAG_BACKUP_SEMANTICS opens a folder as well, whichever
// a registered path names.
bool Identify(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const BOOL ok = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    return ok != FALSE;
}

// One copy has as many paths as there are links to its folder: Scoop
// registers through apps\quillane\current, a junction, and uninstalls from
// the version's own folder. The volume and the file index tell.
bool SameFile(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION infoA, infoB;
    return Identify(a, infoA) && Identify(b, infoB) && infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
           infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool SetValue(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool WriteVerb(const wchar_t* verb, const std::wstring& launcher, const std::wstring& icon) {
    HKEY key, command;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, verb, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = SetValue(key, nullptr, kText) && SetValue(key, L"Icon", icon);
    if (ok && RegCreateKeyExW(key, L"command", 0, nullptr, 0, KEY_WRITE, nullptr, &command, nullptr) == ERROR_SUCCESS) {
        ok = SetValue(command, nullptr, CommandFor(launcher));
        RegCloseKey(command);
    } else {
        ok = false;
    }
    RegCloseKey(key);
    return ok;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\') + 1); }

// Why the verbs that start other, not launcher, stay.
std::wstring LeftInPlace(const std::wstring& other, const std::wstring& launcher) {
    if (!Exists(other))
        return L"The menu items start '" + other + L"', which is no longer there, not this copy; they have been left "
               L"as they are. Run this copy's quil-here.exe with --register and then with --unregister to take them "
               L"away.";
    return L"The menu items start the Quillane in '" + FolderOf(other) + L"', not this copy in '" + FolderOf(launcher) +
           L"'; they have been left as they are. Uninstall that one, or run its quil-here.exe with --unregister.";
}

// The keys above a verb that registering made (shell, Background,
// Directory, Drive) go with it once nothing else is in them; the classes'
// own key stays.
void RemoveEmptyParents(std::wstring key) {
    const std::wstring top = L"Software\\Classes";
    for (key.resize(key.rfind(L'\\')); key.size() > top.size(); key.resize(key.rfind(L'\\'))) {
        HKEY handle;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
        DWORD keys = 0, values = 0;
        const bool empty = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values, nullptr,
                                            nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                           keys == 0 && values == 0;
        RegCloseKey(handle);
        if (!empty || RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str()) != ERROR_SUCCESS) return;
    }
}

}  // namespace

int RegisterVerbs(const std::wstring& launcher, std::wstring& said) {
    for (const wchar_t* verb : kVerbs) {
        const std::wstring other = RegisteredLauncher(verb);
        if (other.empty() || !Exists(other) || SameFile(other, launcher)) continue;
        said = L"The menu items already start the Quillane in '" + FolderOf(other) +
               L"'. Uninstall that one, or run its quil-here.exe with --unregister, and try again. Nothing has been "
               L"changed.";
        return 1;
    }
    const std::wstring icon = FolderOf(launcher) + L"quil.exe";
    for (const wchar_t* verb : kVerbs)
        if (!WriteVerb(verb, launcher, icon)) {
            said = L"The menu items could not be written to the registry.";
            return 1;
        }
    said = std::wstring(L"Every folder, folder window and drive now offers \"") + kText +
           L"\" in its menu (on Windows 11 under \"Show more options\"), starting the Quillane in '" +
           FolderOf(launcher) + L"'. Run quil-here.exe --unregister before you move or delete this folder.";
    return 0;
}

int UnregisterVerbs(const std::wstring& launcher, std::wstring& said) {
    int removed = 0;
    std::wstring other;  // the launcher of verbs that stay
    for (const wchar_t* verb : kVerbs) {
        const std::wstring registered = RegisteredLauncher(verb);
        if (registered.empty()) continue;
        if (!SameFile(registered, launcher)) {
            other = registered;
            continue;
        }
        if (RegDeleteTreeW(HKEY_CURRENT_USER, verb) != ERROR_SUCCESS) {
            said = L"The menu items could not be removed from the registry.";
            return 1;
        }
        RemoveEmptyParents(verb);
        ++removed;
    }
    if (!other.empty()) {
        said = (removed > 0 ? L"This copy's own menu items have been removed. " : L"") + LeftInPlace(other, launcher);
        return 1;
    }
    if (removed > 0)
        said = L"The menu items of the Quillane in '" + FolderOf(launcher) + L"' have been removed.";
    else
        said = L"No menu item of Quillane was registered.";
    return 0;
}

}  // namespace quil::launcher
