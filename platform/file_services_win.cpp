// Win32 file services through the wide calls: GetCurrentDirectoryW,
// FindFirstFileW/FindNextFileW, MoveFileExW for renames and moves,
// SHFileOperationW with FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR
// for the permanent delete, and ShellExecuteW. Paths arrive in UTF-8 and are
// converted here, so that every name Windows holds is reached as itself and
// lengths are counted in UTF-16 units, as Windows counts them.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "platform/file_services.h"
#include "platform/wide_text.h"

namespace quil {
namespace {

// pFrom and pTo are lists of paths ended by two zero characters.
constexpr std::size_t kOperationBuffer = 1024;
constexpr FILEOP_FLAGS kOperationFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;  // 0x214

const char kTargetTaken[] =
    "another file or folder has the new name now: nothing was replaced, and the file was not moved";

OpResult Win32Failure(DWORD code) {
    wchar_t text[256] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                   sizeof text / sizeof text[0], nullptr);
    std::wstring wide = text;
    while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n')) wide.pop_back();
    std::string message;
    if (!FromWide(wide, message)) message = "Windows error " + std::to_string(code);
    return OpResult::Failure(static_cast<long>(code), message);
}

OpResult Untranslatable() { return Win32Failure(ERROR_NO_UNICODE_TRANSLATION); }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// FindFirstFileW and SHFileOperationW expand wildcards; a name holding them
// would reach other files.
bool HasWildcard(const std::wstring& path) { return path.find_first_of(L"*?") != std::wstring::npos; }

// Where the last name of path starts. "/" is a separator to Win32 too.
std::size_t NamePart(const std::wstring& path) {
    const std::size_t last = path.find_last_of(L"\\/");
    return last == std::wstring::npos ? 0 : last + 1;
}

// The folders above path, nearest last.
std::vector<std::wstring> Ancestors(const std::wstring& path) {
    std::vector<std::wstring> folders;
    for (std::size_t at = 1; at < path.size(); ++at)
        if (path[at] == L'\\' || path[at] == L'/') folders.push_back(path.substr(0, at));
    return folders;
}

// The name as the file system stores it at path, or empty.
std::wstring FoundName(const std::wstring& path, DWORD* attributes = nullptr) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return {};
    FindClose(find);
    if (attributes) *attributes = data.dwFileAttributes;
    return data.cFileName;
}

class WinFileServices final : public FileServices {
public:
    const Conventions& conventions() const override { return kWindowsConventions; }

    bool CurrentFolder(std::string& folder) override {
        // The result is the length written, or the size needed (with its
        // terminating zero) when the buffer is too small, or 0 on failure.
        std::wstring buffer(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
            if (length == 0) return false;
            if (length < buffer.size()) {
                buffer.resize(length);
                return FromWide(buffer, folder);
            }
            buffer.resize(length);
        }
    }

    bool AbsolutePath(const std::string& path, std::string& absolute) override {
        std::wstring wide;
        if (!ToWide(path, wide)) return false;
        std::wstring full(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
            if (length == 0) return false;
            if (length < full.size()) {
                full.resize(length);
                break;
            }
            full.resize(length);
        }
        return Exists(full) && FromWide(full, absolute);
    }

    bool ListFolder(const std::string& folder, const EntryVisitor& visit, int* unshown = nullptr) override {
        std::wstring pattern;
        if (!ToWide(folder + "*.*", pattern)) return false;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(pattern.c_str(), &data);
        // A drive's top level has no "." and "..": when it is empty, the
        // find fails with ERROR_FILE_NOT_FOUND, which is a complete listing.
        if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
        bool complete = true;
        std::string name;
        for (;;) {
            // A name with an unpaired surrogate has no UTF-8 form: any form
            // of it would be listed as another name.
            if (!FromWide(data.cFileName, name)) {
                if (unshown != nullptr)
                    ++*unshown;
                else
                    complete = false;
            } else if (!visit(name.c_str(), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) {
                break;
            }
            if (!FindNextFileW(find, &data)) {
                complete = complete && GetLastError() == ERROR_NO_MORE_FILES;
                break;
            }
        }
        FindClose(find);
        return complete;
    }

    OpResult Move(const std::string& from, const std::string& to, WindowHandle) override {
        std::wstring source, target;
        if (!ToWide(from, source) || !ToWide(to, target)) return Untranslatable();
        if (OpResult listed = CheckListedFile(source); !listed.ok) return listed;
        if (OpResult free = CheckTarget(target); !free.ok) return free;
        // The file itself under another spelling of its name: a case-only
        // rename, the one move onto an existing name.
        if (SameFile(source, target)) return RenameThroughTemporary(source, target);
        std::vector<std::wstring> created;
        if (!CreateParentFolders(target, created)) {
            const DWORD error = GetLastError();
            RemoveFolders(created);
            return Win32Failure(error);
        }
        OpResult result = MoveWithoutReplacing(source, target);
        if (!result.ok) RemoveFolders(created);
        return result;
    }

    OpResult Delete(const std::string& path, WindowHandle owner) override {
        std::wstring wide;
        if (!ToWide(path, wide)) return Untranslatable();
        if (OpResult listed = CheckListedFile(wide); !listed.ok) return listed;
        OpResult result = DeletePermanently(wide, owner);
        if (result.ok && Exists(wide)) return OpResult::Failure(ERROR_ACCESS_DENIED, "the file was not deleted");
        return result;
    }

    void Open(const std::string& path, WindowHandle owner) override {
        std::wstring wide;
        if (ToWide(path, wide))
            ShellExecuteW(static_cast<HWND>(owner), L"open", wide.c_str(), L"", L"", SW_SHOWNOACTIVATE);
    }

    PathInfo Lookup(const std::string& path) override {
        PathInfo result;
        std::wstring wide;
        if (!ToWide(path, wide)) return result;
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES)
            result.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
        return result;
    }

    // NTFS and FAT compare names without case.
    bool FoldsCase(const std::string&) override { return true; }

    OpResult MakeFolder(const std::string& path) override {
        std::wstring wide;
        if (!ToWide(path, wide)) return Untranslatable();
        if (CreateDirectoryW(wide.c_str(), nullptr)) return OpResult::Success();
        return Win32Failure(GetLastError());
    }

    OpResult RemoveFolder(const std::string& path) override {
        std::wstring wide;
        if (!ToWide(path, wide)) return Untranslatable();
        if (RemoveDirectoryW(wide.c_str())) return OpResult::Success();
        return Win32Failure(GetLastError());
    }

private:
    static bool SameFile(const std::wstring& a, const std::wstring& b) {
        BY_HANDLE_FILE_INFORMATION infoA, infoB;
        return Identify(a, &infoA) && Identify(b, &infoB) &&
               infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
               infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;
    }

    // Win32 rewrites every path it is handed before it looks it up: a
    // trailing dot or space goes, a device name (CON, NUL, COM1) means the
    // device, and a path of MAX_PATH units or more is refused. So a listed
    // name such as "x." would reach the file "x", or a folder of that name
    // with its whole tree. The file operation is only called when a find on
    // the very path returns a file of exactly that name.
    static OpResult CheckListedFile(const std::wstring& path) {
        if (HasWildcard(path)) return Win32Failure(ERROR_INVALID_NAME);
        if (path.size() >= MAX_PATH) return Win32Failure(ERROR_FILENAME_EXCED_RANGE);
        DWORD attributes = 0;
        const std::wstring found = FoundName(path, &attributes);
        if (found.empty()) return Win32Failure(ERROR_FILE_NOT_FOUND);
        if (found != path.substr(NamePart(path)))
            return OpResult::Failure(ERROR_INVALID_NAME, "Windows would take this name for another file");
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return OpResult::Failure(ERROR_DIRECTORY, "this is a folder");
        return OpResult::Success();
    }

    static OpResult CheckTarget(const std::wstring& path) {
        if (HasWildcard(path)) return Win32Failure(ERROR_INVALID_NAME);
        if (path.size() >= MAX_PATH) return Win32Failure(ERROR_FILENAME_EXCED_RANGE);
        const wchar_t last = path.empty() ? L'\\' : path.back();
        if (last == L'.' || last == L' ' || last == L'\\' || last == L'/') return Win32Failure(ERROR_INVALID_NAME);
        return OpResult::Success();
    }

    // MoveFileExW makes no folders: the missing ones are made first, so that
    // a failed move can take away exactly the folders it made.
    static bool CreateParentFolders(const std::wstring& path, std::vector<std::wstring>& created) {
        std::vector<std::wstring> folders = Ancestors(path);
        std::size_t existing = folders.size();
        while (existing > 0 && !Exists(folders[existing - 1])) --existing;
        for (std::size_t i = existing; i < folders.size(); ++i) {
            if (!CreateDirectoryW(folders[i].c_str(), nullptr)) {
                if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
                return false;
            }
            created.push_back(folders[i]);
        }
        return true;
    }

    // RemoveDirectoryW fails on a folder that is not empty, so only folders
    // that are still as the move found them go.
    static void RemoveFolders(const std::vector<std::wstring>& created) {
        for (auto it = created.rbegin(); it != created.rend(); ++it) RemoveDirectoryW(it->c_str());
    }

    // Without MOVEFILE_REPLACE_EXISTING the move refuses a target that
    // exists in the same step that takes the name, so a file that came there
    // after the plan (another program, a sync client) is never replaced. To
    // another volume (a folder mounted below the root) it is a copy that
    // refuses the same way, then a delete, which the system reports as done
    // even where the original could not be deleted.
    static OpResult MoveWithoutReplacing(const std::wstring& from, const std::wstring& to) {
        if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED)) {
            const DWORD error = GetLastError();
            if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
                return OpResult::Failure(static_cast<long>(error), kTargetTaken);
            return Win32Failure(error);
        }
        if (Exists(from))
            return OpResult::Failure(ERROR_ACCESS_DENIED,
                                     "copied to the new name, but the original could not be deleted: both are there");
        return OpResult::Success();
    }

    // Wine's MoveFileExW reports a case-only rename done and changes nothing,
    // so it goes through a free temporary name in the same folder, short
    // enough to stay within MAX_PATH.
    static OpResult RenameThroughTemporary(const std::wstring& from, const std::wstring& to) {
        const std::wstring folder = from.substr(0, NamePart(from));
        std::wstring temporary;
        for (int n = 1; temporary.empty() || Exists(temporary); ++n) temporary = folder + L"~quil" + std::to_wstring(n);
        if (temporary.size() >= MAX_PATH) return Win32Failure(ERROR_FILENAME_EXCED_RANGE);
        OpResult first = MoveWithoutReplacing(from, temporary);
        if (!first.ok) return first;
        OpResult second = MoveWithoutReplacing(temporary, to);
        if (!second.ok) MoveWithoutReplacing(temporary, from);  // put the name back
        return second;
    }

    // The file operation deletes for good without FOF_ALLOWUNDO; pTo is an
    // empty list.
    static OpResult DeletePermanently(const std::wstring& path, WindowHandle owner) {
        if (path.size() > kOperationBuffer - 2) return Win32Failure(ERROR_FILENAME_EXCED_RANGE);
        wchar_t fromList[kOperationBuffer] = {};
        const wchar_t toList[2] = {};
        std::memcpy(fromList, path.data(), path.size() * sizeof(wchar_t));

        SHFILEOPSTRUCTW request = {};
        request.hwnd = static_cast<HWND>(owner);
        request.wFunc = FO_DELETE;
        request.pFrom = fromList;
        request.pTo = toList;
        request.fFlags = kOperationFlags;
        const int result = SHFileOperationW(&request);
        if (result != 0)
            return OpResult::Failure(result, "the file operation failed (code " + std::to_string(result) + ")");
        return OpResult::Success();
    }

    static bool Identify(const std::wstring& path, BY_HANDLE_FILE_INFORMATION* info) {
        HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        BOOL ok = GetFileInformationByHandle(file, info);
        CloseHandle(file);
        return ok != FALSE;
    }
};

}  // namespace

std::unique_ptr<FileServices> MakeSystemFileServices() { return std::make_unique<WinFileServices>(); }

}  // namespace quil
