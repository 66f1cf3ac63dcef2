// The panel's icon in the notification area and the printer status it
// announces: a timer samples the worker's printerOnline every 3 s.
#include <cstring>

#include "resources/resource_ids.h"
#include "resources/texts.h"
#include "shell/panel/control_panel_dlg.h"

namespace zentrada::shell {
namespace {

constexpr UINT kTrayIconId = 1;
constexpr UINT kBalloonTimeoutMs = 1000;

template <std::size_t N>
void CopyText(char (&target)[N], const char* text) {
    std::strncpy(target, text, N - 1);
    target[N - 1] = '\0';
}

}  // namespace

void CControlPanelDlg::AddTrayIcon() {
    trayIcon_ = NOTIFYICONDATAA{};
    // The record in its form with balloon fields, which every Windows
    // since 2000 takes.
    trayIcon_.cbSize = NOTIFYICONDATAA_V2_SIZE;
    trayIcon_.hWnd = hwnd_;
    trayIcon_.uID = kTrayIconId;
    trayIcon_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIcon_.uCallbackMessage = WM_TRAY_CALLBACK;
    trayIcon_.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TRAY_ICON));
    CopyText(trayIcon_.szTip, texts::kTrayTip);
    Shell_NotifyIconA(NIM_ADD, &trayIcon_);
}

void CControlPanelDlg::RemoveTrayIcon() {
    trayIcon_.hWnd = hwnd_;
    Shell_NotifyIconA(NIM_DELETE, &trayIcon_);
}

void CControlPanelDlg::OnStatusTimer() {
    if (serviceFront_) FollowService();
    const bool online = shared_.printerOnline;
    if (online != lastShownOnline_) {
        trayIcon_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
        CopyText(trayIcon_.szInfo, online ? texts::kBalloonOnline : texts::kBalloonOffline);
        trayIcon_.uTimeout = kBalloonTimeoutMs;
        CopyText(trayIcon_.szInfoTitle, texts::kBalloonTitle);
        trayIcon_.dwInfoFlags = NIIF_INFO;
        // The balloon box counts as it is ticked now, applied or not.
        if (IsDlgButtonChecked(hwnd_, IDC_SHOW_TASK_MSGS) == BST_CHECKED) Shell_NotifyIconA(NIM_MODIFY, &trayIcon_);
        SetDlgItemTextA(hwnd_, IDC_PRINTER_STATUS, online ? texts::kPrinterOnline : texts::kPrinterOffline);
        lastShownOnline_ = online;
    }
    // A worker that started or ended since the last paint shows so.
    if (shared_.agentRunning != lastShownRunning_) RefreshServiceStatus();
}

void CControlPanelDlg::OnTrayCallback(LPARAM mouseMessage) {
    if (mouseMessage == WM_LBUTTONDOWN) ShowWindow(hwnd_, SW_RESTORE);
}

}  // namespace zentrada::shell
