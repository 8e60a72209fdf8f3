// What the engine may ask of the main dialog. The dialog provides it; tests
// provide a fake, so the engine runs without any window.
#pragma once

#include <string>

#include "platform/file_services.h"

namespace quil {

// Message-box answers, as the platform numbers them.
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

class DialogOps {
public:
    virtual ~DialogOps() = default;

    virtual int NamesLineCount() = 0;
    virtual void UndoNames() = 0;
    virtual void EmptyNamesUndo() = 0;
    virtual bool NamesModified() = 0;
    virtual std::string NamesText() = 0;
    virtual void FocusNames() = 0;

    // A Yes/No message box owned by the dialog; returns the answer.
    virtual int AskYesNo(const std::string& text, const std::string& caption) = 0;
    // A message box with an OK button only, owned by the dialog.
    virtual void Tell(const std::string& text, const std::string& caption) = 0;

    // Ends the modal run with the OK result, through the framework's own OK
    // handling (never the dialog's OnOK, which opens a file).
    virtual void CloseWithOk() = 0;

    virtual WindowHandle Owner() = 0;
};

}  // namespace quil
