#include "ui/win32/framework/dialog.h"

#include <exception>

#include "ui/win32/framework/application.h"
#include "ui/win32/framework/window_text.h"

namespace quil::ui {

Dialog::Dialog(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

INT_PTR Dialog::DoModal() {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent_, &Dialog::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

BOOL Dialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

void Dialog::OnOK() { EndDialog(hwnd_, IDOK); }

void Dialog::OnCancel() { EndDialog(hwnd_, IDCANCEL); }

const Dialog::MessageEntry* Dialog::MessageTable() const {
    static const MessageEntry none[] = {{0, 0, 0, nullptr}};
    return none;
}

void Dialog::BindEdit(EditControl& edit, int controlId) { edit.Attach(GetDlgItem(hwnd_, controlId)); }

INT_PTR Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return OnInitDialog();
    const UINT code = HIWORD(wParam), id = LOWORD(wParam);
    for (const MessageEntry* entry = MessageTable(); entry->handler != nullptr; ++entry) {
        if (entry->message != message) continue;
        if (message == WM_COMMAND && (entry->code != code || entry->id != id)) continue;
        return (this->*entry->handler)(wParam, lParam);
    }
    if (message != WM_COMMAND || code != BN_CLICKED) return FALSE;
    // Enter, Escape and the close box arrive as IDOK and IDCANCEL.
    if (id == IDOK) {
        OnOK();
        return TRUE;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return TRUE;
    }
    Application* application = Application::Instance();
    return application != nullptr && application->OnCommand(id);
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        reinterpret_cast<Dialog*>(lParam)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (self == nullptr) return FALSE;
    // No exception may unwind through the system's code that called us.
    try {
        return self->Dispatch(message, wParam, lParam);
    } catch (const std::exception& error) {
        MessageBoxW(hwnd, Wide(error.what()).c_str(), L"Quillane", MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxW(hwnd, L"Unexpected error.", L"Quillane", MB_OK | MB_ICONERROR);
    }
    return FALSE;
}

}  // namespace quil::ui
