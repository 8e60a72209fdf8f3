#include "ui/framework/application.h"

#include <commctrl.h>
#include <mbctype.h>

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
    quil::ui::Application* application = quil::ui::Application::Instance();
    if (application != nullptr) application->InitInstance();
    return 0;
}
