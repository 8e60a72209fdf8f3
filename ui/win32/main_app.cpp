#include "ui/win32/main_app.h"

#include <memory>

#include "platform/file_services.h"
#include "ui/win32/main_dlg.h"

namespace quil::ui {

// The one application object.
CMainApp theApp;

BOOL CMainApp::InitInstance() {
    Enable3dControls();
    std::unique_ptr<FileServices> files = MakeSystemFileServices();
    // The modal dialog is the program's only window: nothing in this
    // framework asks for a main window, so none is recorded.
    CMainDlg dialog(*files);
    dialog.DoModal();  // OK or Cancel: the process ends either way
    return FALSE;
}

}  // namespace quil::ui
