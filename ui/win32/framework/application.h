// The application object: one per program, constructed when the program
// loads; the program's WinMain runs its InitInstance.
#pragma once

#include <windows.h>

namespace quil::ui {

class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Start-up. Returning false says there is no message loop to run: every
    // window of this program is a modal dialog with its own.
    virtual BOOL InitInstance() = 0;

    // The standard help command.
    static constexpr UINT kHelpCommand = 0xE146;

    // Commands that no dialog handles come here; the standard help command
    // goes to OnHelp.
    bool OnCommand(UINT id);
    // The program has no help file, so by default nothing happens.
    virtual void OnHelp() {}

    // The one application object.
    static Application* Instance();

protected:
    // 3-D control drawing: the manifest's common controls 6 give every
    // control its current look, so there is nothing left to switch on.
    void Enable3dControls() {}
};

}  // namespace quil::ui
