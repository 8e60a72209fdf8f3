// The main dialog: the names box, the find and replacement fields, and the
// commands that drive the engine. It provides the engine's dialog operations.
#pragma once

#include "engine/batch_state.h"
#include "engine/dialog_ops.h"
#include "engine/scan.h"
#include "platform/file_services.h"
#include "ui/win32/framework/dialog.h"
#include "ui/win32/framework/edit_control.h"

namespace quil::ui {

class CMainDlg final : public Dialog, public DialogOps {
public:
    explicit CMainDlg(FileServices& files);

    // DialogOps
    int NamesLineCount() override { return namesEdit.LineCount(); }
    void UndoNames() override { namesEdit.Undo(); }
    void EmptyNamesUndo() override { namesEdit.EmptyUndoBuffer(); }
    bool NamesModified() override { return namesEdit.Modified(); }
    // OnExecuteBatch has read the box into state.text; the modal question
    // asked since leaves no way to edit it.
    std::string NamesText() override { return state.text; }
    void FocusNames() override { namesEdit.Focus(); }
    int AskYesNo(const std::string& text, const std::string& caption) override;
    void Tell(const std::string& text, const std::string& caption) override;
    void CloseWithOk() override { Dialog::OnOK(); }
    WindowHandle Owner() override { return hwnd(); }

private:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    const MessageEntry* MessageTable() const override;

    INT_PTR OnNamesChange(WPARAM, LPARAM);
    INT_PTR OnReplace(WPARAM, LPARAM);
    INT_PTR OnExecuteBatch(WPARAM, LPARAM);
    INT_PTR OnHelpButton(WPARAM, LPARAM);
    INT_PTR OnSysCommand(WPARAM, LPARAM);
    INT_PTR OnPaint(WPARAM, LPARAM);
    INT_PTR OnQueryDragIcon(WPARAM, LPARAM);
    INT_PTR OnStartupReport(WPARAM, LPARAM);

    void AddAboutItem();
    bool ScanRoot();
    bool ReadText(EditControl& edit, std::string& text);

    static const MessageEntry kMessages[];

    BatchState state;
    EditControl findEdit;
    EditControl replaceEdit;
    EditControl namesEdit;
    HICON icon;
    FileServices& files;
    std::string startupReport;  // shown over the dialog once it is up
};

}  // namespace quil::ui
