#include "ui/launcher/command_line.h"

namespace quil::launcher {
namespace {

bool IsSpace(wchar_t ch) { return ch == L' ' || ch == L'\t'; }

// The text after the program's own name, which is quoted or ends at the
// first space.
std::wstring AfterProgramName(const std::wstring& line) {
    std::size_t at = 0;
    if (!line.empty() && line[0] == L'"') {
        at = line.find(L'"', 1);
        at = at == std::wstring::npos ? line.size() : at + 1;
    } else {
        while (at < line.size() && !IsSpace(line[at])) ++at;
    }
    return line.substr(at);
}

std::wstring Trimmed(std::wstring text) {
    while (!text.empty() && IsSpace(text.back())) text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && IsSpace(text[start])) ++start;
    return text.substr(start);
}

}  // namespace

Request ParseCommandLine(const std::wstring& commandLine) {
    Request request;
    std::wstring rest = Trimmed(AfterProgramName(commandLine));
    if (rest.empty()) return request;
    for (const auto& [option, action] : {std::pair{L"--register", Request::Action::Register},
                                         std::pair{L"--unregister", Request::Action::Unregister}}) {
        const std::wstring word = option;
        if (rest.compare(0, word.size(), word) != 0 || (rest.size() > word.size() && !IsSpace(rest[word.size()])))
            continue;
        request.action = action;
        const std::wstring flag = Trimmed(rest.substr(word.size()));
        request.quiet = flag == L"/quiet" || flag == L"--quiet";
        if (!flag.empty() && !request.quiet) request.action = Request::Action::Usage;
        return request;
    }
    // The folder: everything between the first quote and the last, or the
    // whole rest, so that a folder with spaces works unquoted too.
    if (rest[0] == L'"') {
        const std::size_t close = rest.rfind(L'"');
        rest = close > 0 ? rest.substr(1, close - 1) : rest.substr(1);
    }
    request.action = rest.empty() ? Request::Action::Usage : Request::Action::Open;
    request.folder = rest;
    return request;
}

}  // namespace quil::launcher
