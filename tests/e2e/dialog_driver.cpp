#include "tests/e2e/dialog_driver.h"

#include <vector>

#include "res/resource.h"

namespace quil::e2e {
namespace {

constexpr UINT kSendTimeoutMs = 5000;

struct Search {
    DWORD processId;
    HWND owner;
    std::string caption;
    HWND found = nullptr;
};

std::wstring Utf16(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    const int size = static_cast<int>(utf8.size());
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), size)));
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    std::string utf8(3 * wide.size(), '\0');
    const int size = static_cast<int>(wide.size());
    utf8.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), 3 * size, nullptr, nullptr)));
    return utf8;
}

bool IsDialogWindow(HWND hwnd) {
    char className[32] = "";
    GetClassNameA(hwnd, className, sizeof className);
    return std::string(className) == "#32770" && IsWindowVisible(hwnd);
}

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (!IsDialogWindow(hwnd) || WindowText(hwnd) != search->caption) return TRUE;
    DWORD processId = 0;
    GetWindowThreadProcessId(hwnd, &processId);
    if (search->processId != 0 && processId != search->processId) return TRUE;
    // The main dialog has no owner; a message box over it, captioned as it
    // is when it reports at start, has.
    if (GetWindow(hwnd, GW_OWNER) != search->owner) return TRUE;
    search->found = hwnd;
    return FALSE;
}

HWND FindWindowOnce(DWORD processId, HWND owner, const std::string& caption) {
    Search search{processId, owner, caption};
    EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD processId, HWND owner, const std::string& caption, DWORD ms = kWaitMs) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(20))
        if (HWND found = FindWindowOnce(processId, owner, caption)) return found;
    return nullptr;
}

BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM param) {
    char className[32] = "";
    GetClassNameA(hwnd, className, sizeof className);
    std::string text = WindowText(hwnd);
    auto* longest = reinterpret_cast<std::string*>(param);
    if (_stricmp(className, "Static") == 0 && text.size() > longest->size()) *longest = text;
    return TRUE;
}

}  // namespace

// In UTF-16, so that what is read does not depend on either program's
// code page.
std::string WindowText(HWND hwnd) {
    // GetWindowText does not read another process's controls. The program
    // may change the text between the two messages (a Replace posted
    // before): a buffer it fills to the last unit is read again.
    for (;;) {
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) return {};
        std::wstring buffer(length + 2, L'\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                                 SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
            return {};
        if (copied > length) continue;
        buffer.resize(copied);
        return Utf8(buffer);
    }
}

Program::Program(const std::string& exe, const std::string& folder) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe + "\"";
    const DWORD start = GetTickCount();
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process_))
        return;
    dialog_ = WaitForWindow(process_.dwProcessId, nullptr, "Quillane", kStartMs);
    WaitUntilReady(start);
}

Program::Program(const Launched& launched) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string line = launched.commandLine;
    const std::string& folder = launched.folder;
    PROCESS_INFORMATION launcher{};
    const DWORD start = GetTickCount();
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &launcher))
        return;
    WaitForSingleObject(launcher.hProcess, kStartMs);
    CloseHandle(launcher.hThread);
    CloseHandle(launcher.hProcess);
    dialog_ = WaitForWindow(0, nullptr, "Quillane", kStartMs);
    if (dialog_ == nullptr) return;
    GetWindowThreadProcessId(dialog_, &process_.dwProcessId);
    process_.hProcess = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process_.dwProcessId);
    WaitUntilReady(start);
}

// Ready once the names box holds the list, or the box is empty on purpose.
void Program::WaitUntilReady(DWORD start) {
    if (dialog_ != nullptr) {
        for (DWORD waited = GetTickCount(); GetTickCount() - waited < 300 && Text(IDC_NAMES).empty(); Sleep(5)) {
        }
    }
    readyMs_ = GetTickCount() - start;
}

Program::~Program() {
    if (process_.hProcess == nullptr) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, kWaitMs);
    }
    if (process_.hThread) CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

std::string Program::Text(int id) const { return WindowText(Control(id)); }

void Program::SetText(int id, const std::string& text) const {
    DWORD_PTR ignored;
    SendMessageTimeoutW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Utf16(text).c_str()), SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &ignored);
}

bool Program::ReplaceNames(int start, int end, const std::string& text) const {
    DWORD_PTR ignored;
    HWND names = Control(IDC_NAMES);
    return SendMessageTimeoutW(names, EM_SETSEL, start, end, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored) &&
           SendMessageTimeoutW(names, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(Utf16(text).c_str()),
                               SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
}

void Program::Type(int position, const std::string& text) const { TypeOver(position, position, text); }

void Program::TypeOver(int start, int end, const std::string& text) const {
    HWND names = Control(IDC_NAMES);
    SetForegroundWindow(dialog_);
    DWORD_PTR ignored;
    SendMessageTimeoutW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(names), TRUE, SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &ignored);
    SendMessageTimeoutW(names, EM_SETSEL, start, end, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
    // One key press per UTF-16 unit, as an input method sends a letter
    // beyond U+FFFF.
    std::vector<INPUT> inputs;
    for (wchar_t unit : Utf16(text)) {
        for (DWORD flags : {DWORD{KEYEVENTF_UNICODE}, DWORD{KEYEVENTF_UNICODE | KEYEVENTF_KEYUP}}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = unit;
            input.ki.dwFlags = flags;
            inputs.push_back(input);
        }
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool Program::TypeLine(int line, const std::string& text) const {
    HWND names = Control(IDC_NAMES);
    DWORD_PTR start = 0, length = 0;
    if (!SendMessageTimeoutW(names, EM_LINEINDEX, line, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &start) ||
        !SendMessageTimeoutW(names, EM_LINELENGTH, start, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length))
        return false;
    TypeOver(static_cast<int>(start), static_cast<int>(start + length), text);
    for (DWORD begun = GetTickCount(); GetTickCount() - begun < kWaitMs; Sleep(20)) {
        const std::string listed = Text(IDC_NAMES);
        std::size_t at = 0;
        for (int skipped = 0; skipped < line && at != std::string::npos; ++skipped) {
            at = listed.find("\r\n", at);
            if (at != std::string::npos) at += 2;
        }
        if (at != std::string::npos && listed.compare(at, listed.find("\r\n", at) - at, text) == 0) return true;
    }
    return false;
}

namespace {

INPUT Key(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

void SendKeys(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

}  // namespace

void Program::PressKey(WORD key, int id, int caret) const {
    SetForegroundWindow(dialog_);
    DWORD_PTR ignored;
    SendMessageTimeoutW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(id)), TRUE, SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &ignored);
    // Focus from the dialog manager selects the whole text.
    if (id == IDC_NAMES)
        SendMessageTimeoutW(Control(id), EM_SETSEL, caret, caret, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored);
    SendKeys({Key(key, false), Key(key, true)});
}

void Program::ChooseLastSystemMenuItem() const {
    SetForegroundWindow(dialog_);
    SendKeys({Key(VK_MENU, false), Key(VK_SPACE, false), Key(VK_SPACE, true), Key(VK_MENU, true)});
    // The menu runs its own loop in the program; give it a moment to open.
    Sleep(300);
    SendKeys({Key(VK_END, false), Key(VK_END, true), Key(VK_RETURN, false), Key(VK_RETURN, true)});
}

// Posted, not sent: a handler that opens a message box would block a send.
void Program::Click(int id) const {
    PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Control(id)));
}

void Program::SysCommand(WPARAM command) const { PostMessageA(dialog_, WM_SYSCOMMAND, command, 0); }

HWND Program::WaitForBox(const std::string& caption) const { return WaitForWindow(0, dialog_, caption); }

bool Program::HasBox(const std::string& caption) const { return FindWindowOnce(0, dialog_, caption) != nullptr; }

std::string Program::BoxText(HWND box) {
    std::string longest;
    EnumChildWindows(box, &CollectStatic, reinterpret_cast<LPARAM>(&longest));
    return longest;
}

bool Program::Answer(HWND box, int id) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    // A closing box is still found for a moment; wait until it is gone.
    for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(10))
        if (!IsWindow(box) || !IsWindowVisible(box)) return true;
    return false;
}

bool Program::WaitForExit(DWORD ms) const { return WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0; }

}  // namespace quil::e2e
