// Identifiers of the Windows resources and of the panel's and log viewer's
// controls. Shared by the resource script and the shell, so plain #defines.
#pragma once

// Dialog templates.
#define IDD_CONTROL_PANEL 102
#define IDD_LOG_VIEW 143

// Icons and bitmaps.
#define IDI_WINDOW_ICON 128
#define IDI_TRAY_ICON 136
#define IDB_LOGO 137
#define IDB_BANNER 140

// Controls of the control panel (IDOK 1 and IDCANCEL 2 are the apply and
// shut-down buttons).
#define IDC_AUTO_START 1000
#define IDC_INPUT_DIRECTORY 1001
#define IDC_BROWSE_INPUT 1002
#define IDC_START 1004
#define IDC_STOP 1005
#define IDC_VIEW_LOG 1007
#define IDC_SERVICE_STATUS 1008
#define IDC_VERSION 1010
#define IDC_BROWSE_OUTPUT 1011
#define IDC_OUTPUT_DIRECTORY 1012
#define IDC_MINIMIZE 1016
#define IDC_SHOW_TASK_MSGS 1017
#define IDC_SETTINGS_GROUP 1018
#define IDC_INPUT_LABEL 1019
#define IDC_OUTPUT_LABEL 1020
#define IDC_SERVICE_GROUP 1021
#define IDC_COMMUNICATION_GROUP 1022
#define IDC_PRINTER_STATUS 1023
#define IDC_SIMPLE_MODE 1024

// Control of the log viewer.
#define IDC_LOG_TEXT 1001
