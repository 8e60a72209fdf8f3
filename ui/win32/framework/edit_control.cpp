#include "ui/win32/framework/edit_control.h"

#include "platform/wide_text.h"
#include "ui/win32/framework/window_text.h"

namespace quil::ui {

int EditControl::LineCount() const { return static_cast<int>(Send(EM_GETLINECOUNT)); }

void EditControl::Undo() { Send(EM_UNDO); }

void EditControl::EmptyUndoBuffer() { Send(EM_EMPTYUNDOBUFFER); }

bool EditControl::Modified() const { return Send(EM_GETMODIFY) != 0; }

DWORD EditControl::SelectionStart() const {
    DWORD start = 0, end = 0;
    Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return start;
}

int EditControl::LineFromChar(DWORD position) const { return static_cast<int>(Send(EM_LINEFROMCHAR, position)); }

void EditControl::Select(DWORD start, DWORD end) {
    Send(EM_SETSEL, start, end);
    Send(EM_SCROLLCARET);
}

bool EditControl::Text(std::string& text, DWORD* unpaired) const {
    std::wstring wide(static_cast<std::size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    wide.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, wide.data(), static_cast<int>(wide.size()))));
    if (FromWide(wide, text)) return true;
    if (unpaired != nullptr) *unpaired = static_cast<DWORD>(UnpairedSurrogate(wide));
    return false;
}

void EditControl::SetText(const std::string& text) { SetWindowTextW(hwnd_, Wide(text).c_str()); }

void EditControl::SetLimitText(UINT limit) { Send(EM_SETLIMITTEXT, limit); }

void EditControl::Focus() { SetFocus(hwnd_); }

}  // namespace quil::ui
