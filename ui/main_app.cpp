#include "ui/main_app.h"

#include <memory>

#include "platform/file_services.h"
#include "ui/main_dlg.h"

namespace quil::ui {

// The one application object.
CMainApp theApp;

BOOL CMainApp::InitInstance() {
    Enable3dControls();
    std::unique_ptr<FileServices> files = MakeSystemFileServices();
    {
        CMainDlg dialog(*files);
        mainWindow = &dialog;
        dialog.DoModal();  // OK or Cancel: the process ends either way
        mainWindow = nullptr;
    }
    return FALSE;
}

}  // namespace quil::ui
