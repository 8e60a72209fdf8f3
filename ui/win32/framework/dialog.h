// A dialog run modally from a template. Each class lists the messages it
// handles in a static message table; one static dialog procedure finds the
// object and dispatches through that table.
#pragma once

#include <windows.h>

#include "ui/win32/framework/edit_control.h"

namespace quil::ui {

class Dialog {
public:
    // The handler's result is what the dialog procedure returns: TRUE for
    // handled, FALSE for the default handling, or a value such as a handle
    // for the few messages that return one directly.
    using Handler = INT_PTR (Dialog::*)(WPARAM, LPARAM);

    struct MessageEntry {
        UINT message;
        UINT code;  // notification code, for WM_COMMAND
        UINT id;    // control ID, for WM_COMMAND
        Handler handler;
    };

    Dialog(UINT templateId, HWND parent);
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    INT_PTR DoModal();
    HWND hwnd() const { return hwnd_; }

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange() {}
    // The class's table, ended by an entry with a null handler.
    virtual const MessageEntry* MessageTable() const;

    void BindEdit(EditControl& edit, int controlId);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND parent_;
    HWND hwnd_ = nullptr;
};

// Table entries; handlers are member functions of the derived class.
template <typename Derived>
Dialog::MessageEntry OnCommand(UINT code, UINT id, INT_PTR (Derived::*handler)(WPARAM, LPARAM)) {
    return {WM_COMMAND, code, id, static_cast<Dialog::Handler>(handler)};
}
template <typename Derived>
Dialog::MessageEntry OnMessage(UINT message, INT_PTR (Derived::*handler)(WPARAM, LPARAM)) {
    return {message, 0, 0, static_cast<Dialog::Handler>(handler)};
}

}  // namespace quil::ui
