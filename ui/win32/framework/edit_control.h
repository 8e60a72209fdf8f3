// A thin wrapper over an edit control's messages. Its text is UTF-8 on the
// program's side, converted exactly here.
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
    // Selects [start, end) and scrolls it into view.
    void Select(DWORD start, DWORD end);
    // False where the text holds an unpaired surrogate (pasted from an NTFS
    // name that has one), which no UTF-8 can hold; *unpaired is then where.
    bool Text(std::string& text, DWORD* unpaired = nullptr) const;
    void SetText(const std::string& text);
    // 0 lifts the limit to the most the control can hold.
    void SetLimitText(UINT limit);
    void Focus();

private:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageW(hwnd_, message, wParam, lParam);
    }

    HWND hwnd_ = nullptr;
};

}  // namespace quil::ui
