#include "ui/win32/about_dlg.h"

#include "res/resource.h"

namespace quil::ui {

CAboutDlg::CAboutDlg(HWND parent) : Dialog(IDD_ABOUTBOX, parent) {}

}  // namespace quil::ui
