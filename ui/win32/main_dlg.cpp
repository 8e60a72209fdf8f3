#include "ui/win32/main_dlg.h"

#include <cstdio>
#include <string>

#include "engine/batch_execute.h"
#include "engine/list_text.h"
#include "engine/replace.h"
#include "engine/scan.h"
#include "res/resource.h"
#include "ui/win32/about_dlg.h"
#include "ui/win32/framework/window_text.h"

namespace quil::ui {
namespace {

const char kBannerTemplate[] = "Quillane v%s - Quillane team - quillane.dev";
const wchar_t kHelpText[] =
    L"Edit the names in the text window to rename.\n\nAdd or remove backslashes at the appropriate location to\n"
    L"move files in and out of subdirectories.\n\nLeave the first field empty to add the second field to the\n"
    L"beginning of all filenames.\n\nLeave a line empty to delete a file.\n\nPress enter on a line to execute that "
    L"file.\n";
const char kUnpairedSurrogate[] =
    "The selected character cannot be part of a name: it is half of a character pair (an unpaired surrogate). "
    "Remove it and try again. Nothing has been changed.";

// Posted at the end of initialisation, so that the report appears over the
// dialog rather than before it.
constexpr UINT kStartupReport = WM_APP + 1;

std::string StartupReport(const ScanResult& scan) {
    std::string text;
    auto paragraph = [&](const std::string& words) { text += (text.empty() ? "" : "\n\n") + words; };
    if (scan.cutShort)
        paragraph("The folder holds more than " + std::to_string(kTableSlots - 1) + " files, or more than " +
                  std::to_string(kTableSlots - 1) + " subfolders. Only the first " + std::to_string(kTableSlots - 1) +
                  " files found are listed; the others stay as they are.");
    if (scan.unlistable > 0)
        paragraph(std::to_string(scan.unlistable) +
                  " names hold a line break and cannot be listed; they stay as they are.");
    if (scan.unshown > 0)
        paragraph(std::to_string(scan.unshown) +
                  " names could not be shown: they hold half of a character pair (an unpaired surrogate), which no "
                  "text here can hold. Those files and folders, and all that is in those folders, stay as they are.");
    if (scan.unreadableFolders > 0)
        paragraph(std::to_string(scan.unreadableFolders) +
                  " folders could not be read, or not to the end; the files not listed stay as they are.");
    return text;
}

}  // namespace

const Dialog::MessageEntry CMainDlg::kMessages[] = {
    OnCommand(EN_CHANGE, IDC_NAMES, &CMainDlg::OnNamesChange),
    OnCommand(BN_CLICKED, IDC_REPLACE, &CMainDlg::OnReplace),
    OnCommand(BN_CLICKED, IDC_EXECUTE, &CMainDlg::OnExecuteBatch),
    OnCommand(BN_CLICKED, IDC_HELP_BUTTON, &CMainDlg::OnHelpButton),
    OnMessage(WM_SYSCOMMAND, &CMainDlg::OnSysCommand),
    OnMessage(WM_PAINT, &CMainDlg::OnPaint),
    OnMessage(WM_QUERYDRAGICON, &CMainDlg::OnQueryDragIcon),
    OnMessage(kStartupReport, &CMainDlg::OnStartupReport),
    {0, 0, 0, nullptr},
};

const Dialog::MessageEntry* CMainDlg::MessageTable() const { return kMessages; }

CMainDlg::CMainDlg(FileServices& files)
    : Dialog(IDD_MAIN_DIALOG, nullptr),
      icon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      files(files) {}

void CMainDlg::DoDataExchange() {
    BindEdit(findEdit, IDC_FIND);
    BindEdit(replaceEdit, IDC_WITH);
    BindEdit(namesEdit, IDC_NAMES);
}

BOOL CMainDlg::OnInitDialog() {
    Dialog::OnInitDialog();
    AddAboutItem();
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    if (!ScanRoot()) return FALSE;
    BuildListText(state, files.conventions());

    char banner[256];
    std::snprintf(banner, sizeof banner, kBannerTemplate, QUIL_VERSION);
    SetDlgItemTextW(hwnd(), IDC_BANNER, Wide(banner).c_str());

    // The default limit (32,767 characters; 30,000 under Wine) is below a
    // list of a thousand files; past it the box refuses every keystroke.
    namesEdit.SetLimitText(0);
    namesEdit.SetText(state.text);
    namesEdit.Focus();
    return FALSE;  // the focus is set
}

void CMainDlg::AddAboutItem() {
    HMENU menu = GetSystemMenu(hwnd(), FALSE);
    if (menu == nullptr) return;
    wchar_t text[256] = L"";
    LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, text, sizeof text / sizeof text[0]);
    if (text[0] == L'\0') return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text);
}

// Captures the root and scans it. A root that cannot be used ends the
// dialog before it is shown, with no file touched.
bool CMainDlg::ScanRoot() {
    switch (CaptureRoot(state, files)) {
        case RootStatus::Captured:
            break;
        case RootStatus::Unavailable:
            Tell("The working folder cannot be read. No file has been changed.", "Quillane");
            Dialog::OnCancel();
            return false;
        case RootStatus::TooLong:
            Tell("The working folder's path is longer than " + std::to_string(kRootChars - 2) +
                     " characters, which this program cannot hold. No file has been changed.",
                 "Quillane");
            Dialog::OnCancel();
            return false;
    }
    const ScanResult scan = ScanTree(state.oldPaths, state.root, kTableSlots, files);
    state.count = scan.count;
    startupReport = StartupReport(scan);
    if (!startupReport.empty()) PostMessageW(hwnd(), kStartupReport, 0, 0);
    return true;
}

INT_PTR CMainDlg::OnStartupReport(WPARAM, LPARAM) {
    Tell(startupReport, "Quillane");
    namesEdit.Focus();
    return TRUE;
}

int CMainDlg::AskYesNo(const std::string& text, const std::string& caption) {
    return MessageBoxW(hwnd(), Wide(text).c_str(), Wide(caption).c_str(), MB_YESNO);
}

void CMainDlg::Tell(const std::string& text, const std::string& caption) {
    MessageBoxW(hwnd(), Wide(text).c_str(), Wide(caption).c_str(), MB_OK | MB_ICONWARNING);
}

// Where a control holds half of a surrogate pair, the character is selected
// and the user told: no name can be written with it.
bool CMainDlg::ReadText(EditControl& edit, std::string& text) {
    DWORD unpaired = 0;
    if (edit.Text(text, &unpaired)) return true;
    edit.Select(unpaired, unpaired + 1);
    Tell(kUnpairedSurrogate, "Quillane");
    edit.Focus();
    return false;
}

INT_PTR CMainDlg::OnNamesChange(WPARAM, LPARAM) {
    CheckLineCount(state, *this);
    return TRUE;
}

// The fields are read whole: ApplyReplace takes their first 255
// characters, as Windows counts them.
INT_PTR CMainDlg::OnReplace(WPARAM, LPARAM) {
    std::string find, with, names;
    if (!ReadText(findEdit, find) || !ReadText(replaceEdit, with) || !ReadText(namesEdit, names)) return TRUE;
    state.text = std::move(names);
    ApplyReplace(state, find, with, files.conventions());
    namesEdit.SetText(state.text);
    return TRUE;
}

INT_PTR CMainDlg::OnExecuteBatch(WPARAM, LPARAM) {
    std::string names;
    if (!ReadText(namesEdit, names)) return TRUE;
    state.text = std::move(names);
    ExecuteBatch(state, *this, files);
    return TRUE;
}

INT_PTR CMainDlg::OnHelpButton(WPARAM, LPARAM) {
    MessageBoxW(hwnd(), kHelpText, L"Quillane", MB_OK);
    return TRUE;
}

// Execute File and Enter: open the file that the caret's line was listed as.
void CMainDlg::OnOK() {
    const int line = namesEdit.LineFromChar(namesEdit.SelectionStart());
    const int slot = line + 1;
    // With no files the only line stands for the unused, empty slot 1: there
    // is nothing to open, and an empty path would open the working folder.
    if (slot >= 1 && slot < kTableSlots && !state.oldPaths[slot].empty()) files.Open(state.oldPaths[slot], hwnd());
    namesEdit.Focus();
}

void CMainDlg::OnCancel() {
    if (namesEdit.Modified() &&
        MessageBoxW(hwnd(), L"Are you sure?", L"Cancel = Lose Changes", MB_YESNO) == IDNO) {
        namesEdit.Focus();
        return;
    }
    Dialog::OnCancel();
}

INT_PTR CMainDlg::OnSysCommand(WPARAM command, LPARAM) {
    if ((command & 0xFFF0) != IDM_ABOUTBOX) return FALSE;
    CAboutDlg about(hwnd());
    about.DoModal();
    return TRUE;
}

INT_PTR CMainDlg::OnPaint(WPARAM, LPARAM) {
    if (!IsIconic(hwnd())) return FALSE;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(hwnd(), &client);
    const int x = (client.right - client.left - cx + 1) / 2;
    const int y = (client.bottom - client.top - cy + 1) / 2;
    DrawIcon(dc, x, y, icon);
    EndPaint(hwnd(), &paint);
    return TRUE;
}

INT_PTR CMainDlg::OnQueryDragIcon(WPARAM, LPARAM) { return reinterpret_cast<INT_PTR>(icon); }

}  // namespace quil::ui
