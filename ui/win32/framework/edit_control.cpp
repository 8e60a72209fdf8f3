#include "ui/win32/framework/edit_control.h"

#include <vector>

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

std::string EditControl::Text() const {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(hwnd_)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string EditControl::Text(std::size_t size) const {
    std::vector<char> buffer(size, '\0');
    GetWindowTextA(hwnd_, buffer.data(), static_cast<int>(size));
    return buffer.data();
}

void EditControl::SetText(const std::string& text) { SetWindowTextA(hwnd_, text.c_str()); }

void EditControl::SetLimitText(UINT limit) { Send(EM_SETLIMITTEXT, limit); }

void EditControl::Focus() { SetFocus(hwnd_); }

}  // namespace quil::ui
