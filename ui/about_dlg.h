// The About box, from the system menu.
#pragma once

#include "ui/framework/dialog.h"

namespace quil::ui {

class CAboutDlg final : public Dialog {
public:
    explicit CAboutDlg(HWND parent);
};

}  // namespace quil::ui
