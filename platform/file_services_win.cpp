// Win32 file services: GetCurrentDirectoryA, FindFirstFileA/FindNextFileA,
// SHFileOperationA with FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR,
// and ShellExecuteA.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "platform/file_services.h"

namespace quil {
namespace {

// pFrom and pTo are lists of paths ended by two zero characters.
constexpr std::size_t kOperationBuffer = 1024;
constexpr FILEOP_FLAGS kOperationFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;  // 0x214

OpResult Win32Failure(DWORD code) {
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                   sizeof text, nullptr);
    std::size_t length = std::strlen(text);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n')) text[--length] = 0;
    return OpResult::Failure(static_cast<long>(code), text);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// SHFileOperationA expands wildcards in pFrom and pTo; a name holding them
// (the form an unmappable character takes in an ANSI listing) would reach
// other files.
bool HasWildcard(const std::string& path) { return path.find_first_of("*?") != std::string::npos; }

class WinFileServices final : public FileServices {
public:
    WinFileServices() : conventions_(kWindowsConventions) { conventions_.isLeadByte = ActiveLeadBytes(); }

    const Conventions& conventions() const override { return conventions_; }

    bool CurrentFolder(std::string& folder) override {
        // The result is the length written, or the size needed (with its
        // terminating zero) when the buffer is too small, or 0 on failure.
        char buffer[MAX_PATH];
        DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
        if (length == 0) return false;
        if (length < sizeof buffer) {
            folder.assign(buffer, length);
            return true;
        }
        std::vector<char> longer(length);
        length = GetCurrentDirectoryA(static_cast<DWORD>(longer.size()), longer.data());
        if (length == 0 || length >= longer.size()) return false;
        folder.assign(longer.data(), length);
        return true;
    }

    bool AbsolutePath(const std::string& path, std::string& absolute) override {
        char buffer[MAX_PATH];
        const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
        if (length == 0 || length >= sizeof buffer || !Exists(buffer)) return false;
        absolute.assign(buffer, length);
        return true;
    }

    bool ListFolder(const std::string& folder, const EntryVisitor& visit) override {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &data);
        // A drive's top level has no "." and "..": when it is empty, the
        // find fails with ERROR_FILE_NOT_FOUND, which is a complete listing.
        if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
        bool complete = true;
        for (;;) {
            if (!visit(data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) break;
            if (!FindNextFileA(find, &data)) {
                // A name that does not fit the ANSI record (over 260 bytes in
                // UTF-8) ends the listing with an error, not ERROR_NO_MORE_FILES.
                complete = GetLastError() == ERROR_NO_MORE_FILES;
                break;
            }
        }
        FindClose(find);
        return complete;
    }

    OpResult Move(const std::string& from, const std::string& to, WindowHandle owner) override {
        if (OpResult listed = CheckListedFile(from); !listed.ok) return listed;
        if (OpResult target = CheckTarget(to); !target.ok) return target;
        if (Exists(to)) {
            // With FOF_NOCONFIRMATION the operation would replace the target.
            // Only the file itself may be there, under another spelling of
            // its name: a case-only rename.
            if (!SameFile(from, to)) return Win32Failure(ERROR_FILE_EXISTS);
            return RenameThroughTemporary(from, to, owner);
        }
        std::vector<std::string> created;
        if (!CreateParentFolders(to, created)) {
            const DWORD error = GetLastError();
            RemoveFolders(created);
            return Win32Failure(error);
        }
        OpResult result = CheckedMove(from, to, owner);
        if (!result.ok) RemoveFolders(created);
        return result;
    }

    OpResult Delete(const std::string& path, WindowHandle owner) override {
        if (OpResult listed = CheckListedFile(path); !listed.ok) return listed;
        OpResult result = RunFileOperation(FO_DELETE, path, std::string(), owner);
        if (result.ok && Exists(path)) return OpResult::Failure(ERROR_ACCESS_DENIED, "the file was not deleted");
        return result;
    }

    void Open(const std::string& path, WindowHandle owner) override {
        ShellExecuteA(static_cast<HWND>(owner), "open", path.c_str(), "", "", SW_SHOWNOACTIVATE);
    }

    PathInfo Lookup(const std::string& path) override {
        PathInfo result;
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES)
            result.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
        return result;
    }

    // NTFS and FAT compare names without case.
    bool FoldsCase(const std::string&) override { return true; }

    OpResult MakeFolder(const std::string& path) override {
        if (CreateDirectoryA(path.c_str(), nullptr)) return OpResult::Success();
        return Win32Failure(GetLastError());
    }

    OpResult RemoveFolder(const std::string& path) override {
        if (RemoveDirectoryA(path.c_str())) return OpResult::Success();
        return Win32Failure(GetLastError());
    }

private:
    bool SameFile(const std::string& a, const std::string& b) {
        BY_HANDLE_FILE_INFORMATION infoA, infoB;
        return Identify(a, &infoA) && Identify(b, &infoB) &&
               infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
               infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;
    }

    // Where the last name of path starts. "/" is a separator to Win32 too,
    // and is never the second byte of a double-byte character.
    std::size_t NamePart(const std::string& path) const {
        std::size_t start = 0;
        for (std::size_t at = 0; at < path.size(); ++at) {
            if (path[at] == '\\' || path[at] == '/')
                start = at + 1;
            else if (conventions_.isLeadByte && conventions_.isLeadByte(static_cast<unsigned char>(path[at])))
                ++at;
        }
        return start;
    }

    // The folders above path, nearest last.
    std::vector<std::string> Ancestors(const std::string& path) const {
        std::vector<std::string> folders;
        for (std::size_t at = 0; at < path.size(); ++at) {
            if ((path[at] == '\\' || path[at] == '/') && at > 0) folders.push_back(path.substr(0, at));
            else if (conventions_.isLeadByte && conventions_.isLeadByte(static_cast<unsigned char>(path[at]))) ++at;
        }
        return folders;
    }

    // The name as the file system stores it at path, or empty.
    static std::string FoundName(const std::string& path, DWORD* attributes = nullptr) {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(path.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return {};
        FindClose(find);
        if (attributes) *attributes = data.dwFileAttributes;
        return data.cFileName;
    }

    // Win32 rewrites every path it is handed before it looks it up: a
    // trailing dot or space goes, a device name (CON, NUL, COM1) means the
    // device, and a path of MAX_PATH or more is not seen by the ANSI calls.
    // So a listed name such as "x." would reach the file "x", or a folder of
    // that name with its whole tree. The file operation is only called when
    // a find on the very path returns a file of exactly that name.
    OpResult CheckListedFile(const std::string& path) const {
        if (HasWildcard(path)) return Win32Failure(ERROR_INVALID_NAME);
        if (path.size() >= MAX_PATH) return Win32Failure(ERROR_FILENAME_EXCED_RANGE);
        DWORD attributes = 0;
        const std::string found = FoundName(path, &attributes);
        if (found.empty()) return Win32Failure(ERROR_FILE_NOT_FOUND);
        if (found != path.substr(NamePart(path)))
            return OpResult::Failure(ERROR_INVALID_NAME, "Windows would take this name for another file");
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return OpResult::Failure(ERROR_DIRECTORY, "this is a folder");
        return OpResult::Success();
    }

    OpResult CheckTarget(const std::string& path) const {
        if (HasWildcard(path)) return Win32Failure(ERROR_INVALID_NAME);
        if (path.size() >= MAX_PATH) return Win32Failure(ERROR_FILENAME_EXCED_RANGE);
        const char last = path.empty() ? '\\' : path.back();
        if (last == '.' || last == ' ' || last == '\\' || last == '/') return Win32Failure(ERROR_INVALID_NAME);
        return OpResult::Success();
    }

    // Windows creates missing destination folders itself with
    // FOF_NOCONFIRMMKDIR; Wine fails the move with 1223 instead. Creating
    // them first gives the same result on both, and lets a failed move take
    // away exactly the folders it made.
    bool CreateParentFolders(const std::string& path, std::vector<std::string>& created) const {
        std::vector<std::string> folders = Ancestors(path);
        std::size_t existing = folders.size();
        while (existing > 0 && !Exists(folders[existing - 1])) --existing;
        for (std::size_t i = existing; i < folders.size(); ++i) {
            if (!CreateDirectoryA(folders[i].c_str(), nullptr)) {
                if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
                return false;
            }
            created.push_back(folders[i]);
        }
        return true;
    }

    // RemoveDirectoryA fails on a folder that is not empty, so only folders
    // that are still as the move found them go.
    static void RemoveFolders(const std::vector<std::string>& created) {
        for (auto it = created.rbegin(); it != created.rend(); ++it) RemoveDirectoryA(it->c_str());
    }

    static OpResult RunFileOperation(UINT function, const std::string& from, const std::string& to, WindowHandle owner) {
        if (from.size() > kOperationBuffer - 2 || to.size() > kOperationBuffer - 2)
            return Win32Failure(ERROR_FILENAME_EXCED_RANGE);
        char fromList[kOperationBuffer] = {};
        char toList[kOperationBuffer] = {};
        std::memcpy(fromList, from.data(), from.size());
        std::memcpy(toList, to.data(), to.size());

        SHFILEOPSTRUCTA request = {};
        request.hwnd = static_cast<HWND>(owner);
        request.wFunc = function;
        request.pFrom = fromList;
        request.pTo = toList;
        request.fFlags = kOperationFlags;
        int result = SHFileOperationA(&request);
        if (result != 0)
            return OpResult::Failure(result, "the file operation failed (code " + std::to_string(result) + ")");
        return OpResult::Success();
    }

    // Wine returns 0 for a case-only rename that changes nothing, and for a
    // move whose source is missing; a zero result is only trusted once the
    // file is seen at its target.
    OpResult CheckedMove(const std::string& from, const std::string& to, WindowHandle owner) const {
        OpResult result = RunFileOperation(FO_MOVE, from, to, owner);
        if (!result.ok) return result;
        if (FoundName(to) != to.substr(NamePart(to))) return OpResult::Failure(ERROR_FILE_NOT_FOUND, "the file was not moved");
        return result;
    }

    // A direct case-only rename can report success and change nothing, so it
    // goes through a free temporary name in the same folder, short enough to
    // stay within MAX_PATH.
    OpResult RenameThroughTemporary(const std::string& from, const std::string& to, WindowHandle owner) const {
        const std::string folder = from.substr(0, NamePart(from));
        std::string temporary;
        for (int n = 1; temporary.empty() || Exists(temporary); ++n) temporary = folder + "~quil" + std::to_string(n);
        if (temporary.size() >= MAX_PATH) return Win32Failure(ERROR_FILENAME_EXCED_RANGE);
        OpResult first = CheckedMove(from, temporary, owner);
        if (!first.ok) return first;
        OpResult second = CheckedMove(temporary, to, owner);
        if (!second.ok) CheckedMove(temporary, from, owner);  // put the name back
        return second;
    }

    static bool Identify(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
        HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        BOOL ok = GetFileInformationByHandle(file, info);
        CloseHandle(file);
        return ok != FALSE;
    }

    Conventions conventions_;
};

}  // namespace

std::unique_ptr<FileServices> MakeSystemFileServices() { return std::make_unique<WinFileServices>(); }

}  // namespace quil
