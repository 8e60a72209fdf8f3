// A thin wrapper over an edit control's messages.
#pragma once

#include <windows.h>

#include <string>

namespace quil::ui {

class EditControl {
public:
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    HWND hwnd() const { return hwnd_; }

    int LineCount() const;
    void Undo();
    void EmptyUndoBuffer();
    bool Modified() const;
    // The selection start. Read through EM_GETSEL's pointer argument: its
    // return value is cut to 16 bits past 65,535 characters.
    DWORD SelectionStart() const;
    int LineFromChar(DWORD position) const;
    std::string Text() const;
    // At most size - 1 characters, as read into a buffer of size.
    std::string Text(std::size_t size) const;
    void SetText(const std::string& text);
    // 0 lifts the limit to the most the control can hold.
    void SetLimitText(UINT limit);
    void Focus();

private:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageA(hwnd_, message, wParam, lParam);
    }

    HWND hwnd_ = nullptr;
};

}  // namespace quil::ui
