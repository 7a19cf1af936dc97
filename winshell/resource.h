// Identifiers of the Win32 window's resources (update.rc) and controls.
#pragma once

// Menus, accelerators and dialogs.
#define IDR_MAINMENU 100
#define IDR_ACCELERATORS 101
#define IDD_VERSION 102
#define IDD_V24 103
#define IDI_UPDATE 104

// Menu commands.
#define ID_DEV_MULTI 1001
#define ID_DEV_PH 1002
#define ID_DEV_OXI 1003
#define ID_DEV_COND 1004
#define ID_BENCH 1010
#define ID_END 1011
#define ID_DEUTSCH 1020
#define ID_ENGLISCH 1021
#define ID_README 1030
#define ID_SWVERSION 1031

// Key combinations (accelerators).
#define ID_KEY_CLOCK 1040
#define ID_KEY_DEBUG 1041
#define ID_KEY_VERSION_CHECK 1042

// Controls of the main window.
#define IDC_SPEEDBUTTON 1100
#define IDC_STATUSBAR 1101
#define IDC_MEMO 1102

// The version box.
#define IDC_VERSION_ICON 1200
#define IDC_VERSION_TEXT 1201

// The port settings dialog: ten labels, ten boxes (in the order of the rows).
#define IDC_V24_LABEL 1300
#define IDC_V24_BOX 1320
#define IDC_V24_PANEL 1340
#define IDC_V24_PANEL1 1341
