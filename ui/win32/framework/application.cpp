#include "ui/win32/framework/application.h"

#include <commctrl.h>
#include <mbctype.h>
#include <objbase.h>

namespace quil::ui {
namespace {

// Set by the constructor of the one application object.
Application* theApplication = nullptr;

}  // namespace

Application::Application() { theApplication = this; }

Application::~Application() { theApplication = nullptr; }

Application* Application::Instance() { return theApplication; }

bool Application::OnCommand(UINT id) {
    if (id != kHelpCommand) return false;
    OnHelp();
    return true;
}

}  // namespace quil::ui

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Multi-byte string functions follow the ANSI code page.
    _setmbcp(_MB_CP_ANSI);
    // Loads common controls 6, which the manifest selects.
    InitCommonControls();
    // ShellExecute and SHFileOperation may run shell extensions through COM;
    // their documentation asks for COM to be initialised on the calling
    // thread first, single-threaded and without OLE1 DDE.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    quil::ui::Application* application = quil::ui::Application::Instance();
    if (application != nullptr) application->InitInstance();
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}
