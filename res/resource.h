// Resource and control IDs, shared by the .rc script and the dialogs.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_NAMES 1000
#define IDC_FIND 1002
#define IDC_WITH 1004
#define IDC_REPLACE 1005
#define IDC_EXECUTE 1006
#define IDC_BANNER 1007
#define IDC_HELP_BUTTON 1008

// The system-menu command of the About item; system commands keep the low
// four bits free.
#define IDM_ABOUTBOX 0x0010
