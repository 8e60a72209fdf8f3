#include "engine/path_rules.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace quil {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'a' && x <= 'z' ? x - 32 : x) == (y >= 'a' && y <= 'z' ? y - 32 : y);
           });
}

// "¹", "²" and "³" in UTF-8 and in code page 1252.
bool IsDeviceDigit(std::string_view digit) {
    if (digit.size() == 1) return (digit[0] >= '1' && digit[0] <= '9') || digit[0] == '\xB9' || digit[0] == '\xB2' ||
                                  digit[0] == '\xB3';
    return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

// Win32 reserves these base names in every folder, whatever the extension,
// and ignores spaces before the extension ("CON .txt" is the console).
bool IsDeviceName(std::string_view part) {
    std::string_view base = part.substr(0, part.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (EqualIgnoringAsciiCase(base, device)) return true;
    if (base.size() < 4) return false;
    const std::string_view prefix = base.substr(0, 3);
    return (EqualIgnoringAsciiCase(prefix, "COM") || EqualIgnoringAsciiCase(prefix, "LPT")) &&
           IsDeviceDigit(base.substr(3));
}

// Win32 refuses these characters in a name, strips a trailing space or dot,
// and maps device names to devices, so such a name is not the one stored.
// The second byte of a double-byte character can be "|" and is no such
// character.
bool IsWindowsUnsafe(std::string_view part, LeadBytePredicate isLeadByte) {
    for (std::size_t at = 0; at < part.size(); ++at) {
        const auto byte = static_cast<unsigned char>(part[at]);
        if (IsWindowsReservedCharacter(byte)) return true;
        if (isLeadByte != nullptr && isLeadByte(byte)) ++at;
    }
    return part.back() == ' ' || part.back() == '.' || IsDeviceName(part);
}

// Calls visit(part) for every name part of path from start on; stops at the
// first call that returns true and returns it.
template <typename Visit>
bool AnyPart(std::string_view path, std::size_t start, const Conventions& conventions, Visit visit) {
    for (;;) {
        const std::size_t end = FindSeparator(path, conventions.separator, start, conventions.isLeadByte);
        if (visit(path.substr(start, end == npos ? npos : end - start))) return true;
        if (end == npos) return false;
        start = end + 1;
    }
}

bool IsDotPart(std::string_view part) { return part == "." || part == ".."; }

}  // namespace

bool IsWindowsReservedCharacter(unsigned char byte) { return byte < 0x20 || std::strchr("<>:\"|?*/", byte) != nullptr; }

const char* Describe(Refusal reason) {
    switch (reason) {
        case Refusal::TargetExists: return "a file with that name exists";
        case Refusal::TargetIsFolder: return "a folder has that name";
        case Refusal::SharedTarget: return "another line has the same name";
        case Refusal::TooLong: return "the path is too long";
        case Refusal::InvalidName: return "the name is not allowed here";
        case Refusal::EmptyNamePart: return "the path has an empty folder or file name";
        case Refusal::NameTooLong: return "a folder or file name is too long";
        case Refusal::ParentIsFile: return "a file has the name of a folder on the path";
        case Refusal::FolderForAnotherLine: return "another line needs a folder of that name";
        case Refusal::SourceUnreachable: return "Windows cannot reach this file by its name";
        case Refusal::SourceMissing: return "the file is no longer there";
        case Refusal::DeletedForGood: return "it was deleted permanently";
        case Refusal::OtherFileSystem: return "on another file system";
        case Refusal::FolderCaseOnly: return "only the case of a folder differs; rename the folder itself";
        case Refusal::NotMovedByBatch: return "not the file this batch moved";
        case Refusal::NotInTrash: return "no longer in the Trash";
        case Refusal::Lost: return "cannot be found where the batch left it";
        case Refusal::IntoItself: return "a folder cannot move into itself";
        case Refusal::InsideMovedFolder: return "a folder above it moves in this batch too";
        case Refusal::NotEmpty: return "not empty: it can only go to the Trash";
        case Refusal::Submodule: return "a git submodule, or a folder holding one: move it with git mv";
        case Refusal::TransformLeftNoName: return "the transform left no name";
    }
    return "";
}

void CanonicalizePath(std::string& path, const Conventions& conventions) {
    const char separator = conventions.separator;
    if (conventions.windowsNames) std::replace(path.begin(), path.end(), '/', separator);

    // Most lines hold no "." or ".." part: find that out without splitting.
    if (!AnyPart(path, 0, conventions, IsDotPart)) return;
    std::vector<std::string_view> parts;
    AnyPart(path, 0, conventions, [&](std::string_view part) {
        parts.push_back(part);
        return false;
    });

    // The parts that name the drive or share: "C:", or "", "", server, share;
    // on POSIX the empty part before the leading "/".
    const bool unc = conventions.windowsNames && path.size() > 1 && path[0] == separator && path[1] == separator;
    const std::size_t anchor = std::min<std::size_t>(unc ? 4 : 1, parts.size());
    std::vector<std::string_view> kept(parts.begin(), parts.begin() + anchor);
    for (std::size_t i = anchor; i < parts.size(); ++i) {
        if (parts[i] == "..") {
            if (kept.size() > anchor) kept.pop_back();
        } else if (parts[i] != ".") {
            kept.push_back(parts[i]);
        }
    }
    std::string resolved;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) resolved += separator;
        resolved.append(kept[i]);
    }
    if (kept.size() == anchor) resolved += separator;  // the top itself: "C:\" or "/"
    path.swap(resolved);
}

std::size_t FolderLength(std::string_view path, const Conventions& conventions) {
    if (conventions.isLeadByte == nullptr) return path.rfind(conventions.separator) + 1;  // npos + 1 is 0
    std::size_t length = 0;
    for (std::size_t at = FindSeparator(path, conventions.separator, 0, conventions.isLeadByte); at != npos;
         at = FindSeparator(path, conventions.separator, at + 1, conventions.isLeadByte))
        length = at + 1;
    return length;
}

std::string NameKey(const std::string& path, const Conventions& conventions) {
    return conventions.caseInsensitive ? UpperCaseName(path) : path;
}

std::optional<Refusal> CheckTargetPath(std::string_view path, std::size_t start, const Conventions& conventions) {
    if (PathLength(path, conventions) > conventions.maxPath) return Refusal::TooLong;
    std::optional<Refusal> refusal;
    AnyPart(path, start, conventions, [&](std::string_view part) {
        if (part.empty())
            refusal = Refusal::EmptyNamePart;
        else if (PathLength(part, conventions) > conventions.maxNamePart)
            refusal = Refusal::NameTooLong;
        else if (conventions.windowsNames && IsWindowsUnsafe(part, conventions.isLeadByte))
            refusal = Refusal::InvalidName;
        return refusal.has_value();
    });
    return refusal;
}

bool HasWindowsUnsafePart(std::string_view path, std::size_t start, const Conventions& conventions) {
    return conventions.windowsNames &&
           AnyPart(path, start, conventions, [&](std::string_view part) { return !part.empty() && IsWindowsUnsafe(part, conventions.isLeadByte); });
}

}  // namespace quil
