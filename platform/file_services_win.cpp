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

std::size_t NamePart(const std::string& path) {
    std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? 0 : slash + 1;
}

// The name as the file system stores it, whatever case the path asks with.
std::string StoredName(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return {};
    FindClose(find);
    return data.cFileName;
}

// Windows creates missing destination folders itself with
// FOF_NOCONFIRMMKDIR; Wine fails the move with 1223 instead. Creating them
// first gives the same result on both.
bool CreateParentFolders(const std::string& path) {
    std::vector<std::size_t> missing;
    for (std::size_t slash = path.find_last_of('\\'); slash != std::string::npos && slash > 0;
         slash = path.find_last_of('\\', slash - 1)) {
        if (Exists(path.substr(0, slash))) break;
        missing.push_back(slash);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!CreateDirectoryA(path.substr(0, *it).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return true;
}

OpResult RunFileOperation(UINT function, const std::string& from, const std::string& to, WindowHandle owner) {
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
    if (result != 0) return OpResult::Failure(result, "the file operation failed (code " + std::to_string(result) + ")");
    return OpResult::Success();
}

// Wine returns 0 for a case-only rename that changes nothing, and for a move
// whose source is missing; a zero result is only trusted once the file is
// seen at its target.
OpResult CheckedMove(const std::string& from, const std::string& to, WindowHandle owner) {
    OpResult result = RunFileOperation(FO_MOVE, from, to, owner);
    if (!result.ok) return result;
    if (StoredName(to) != to.substr(NamePart(to)))
        return OpResult::Failure(ERROR_FILE_NOT_FOUND, "the file was not moved");
    return result;
}

class WinFileServices final : public FileServices {
public:
    const Conventions& conventions() const override { return kWindowsConventions; }

    bool CurrentFolder(char* buffer, std::size_t size) override {
        // The result is the length written, or the size needed when the
        // buffer is too small, or 0 on failure.
        DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(size), buffer);
        return length != 0 && length < size;
    }

    bool ListFolder(const std::string& folder, const EntryVisitor& visit) override {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return false;
        do {
            if (!visit(data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) break;
        } while (FindNextFileA(find, &data));
        FindClose(find);
        return true;
    }

    OpResult Move(const std::string& from, const std::string& to, WindowHandle owner) override {
        if (HasWildcard(from) || HasWildcard(to)) return Win32Failure(ERROR_INVALID_NAME);
        if (!Exists(from)) return Win32Failure(ERROR_FILE_NOT_FOUND);
        if (Exists(to)) {
            // With FOF_NOCONFIRMATION the operation would replace the target.
            // Only the file itself may be there, under another spelling of
            // its name: a case-only rename.
            if (!SameFile(from, to)) return Win32Failure(ERROR_FILE_EXISTS);
            return RenameThroughTemporary(from, to, owner);
        }
        if (!CreateParentFolders(to)) return Win32Failure(GetLastError());
        return CheckedMove(from, to, owner);
    }

    OpResult Delete(const std::string& path, WindowHandle owner) override {
        if (HasWildcard(path)) return Win32Failure(ERROR_INVALID_NAME);
        if (!Exists(path)) return Win32Failure(ERROR_FILE_NOT_FOUND);
        OpResult result = RunFileOperation(FO_DELETE, path, std::string(), owner);
        if (result.ok && Exists(path)) return OpResult::Failure(ERROR_ACCESS_DENIED, "the file was not deleted");
        return result;
    }

    void Open(const std::string& path, WindowHandle owner) override {
        ShellExecuteA(static_cast<HWND>(owner), "open", path.c_str(), "", "", SW_SHOWNOACTIVATE);
    }

    PathKind Query(const std::string& path) override {
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
    }

    bool SameFile(const std::string& a, const std::string& b) override {
        BY_HANDLE_FILE_INFORMATION infoA, infoB;
        return Identify(a, &infoA) && Identify(b, &infoB) &&
               infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber &&
               infoA.nFileIndexHigh == infoB.nFileIndexHigh && infoA.nFileIndexLow == infoB.nFileIndexLow;
    }

private:
    // A direct case-only rename can report success and change nothing, so it
    // goes through a free temporary name in the same folder.
    static OpResult RenameThroughTemporary(const std::string& from, const std::string& to, WindowHandle owner) {
        std::string temporary;
        for (int n = 1; temporary.empty() || Exists(temporary); ++n)
            temporary = from + ".quil-case-" + std::to_string(n);
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
};

}  // namespace

std::unique_ptr<FileServices> MakeSystemFileServices() { return std::make_unique<WinFileServices>(); }

}  // namespace quil
