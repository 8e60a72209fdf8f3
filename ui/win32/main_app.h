// The application: runs the main dialog once, then the process ends.
#pragma once

#include "ui/win32/framework/application.h"

namespace quil::ui {

class CMainApp final : public Application {
public:
    BOOL InitInstance() override;
};

}  // namespace quil::ui
