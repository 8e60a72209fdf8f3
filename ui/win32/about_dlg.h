// The About box, from the system menu.
#pragma once

#include "ui/win32/framework/dialog.h"

namespace quil::ui {

class CAboutDlg final : public Dialog {
public:
    explicit CAboutDlg(HWND parent);
};

}  // namespace quil::ui
