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
    m_nid = NOTIFYICONDATAA{};
    // The record in its form with balloon fields, which every Windows
    // since 2000 takes.
    m_nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    m_nid.hWnd = hwnd_;
    m_nid.uID = kTrayIconId;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = WM_TRAY_CALLBACK;
    m_nid.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TRAY_ICON));
    CopyText(m_nid.szTip, texts::kTrayTip);
    Shell_NotifyIconA(NIM_ADD, &m_nid);
}

void CControlPanelDlg::RemoveTrayIcon() {
    m_nid.hWnd = hwnd_;
    Shell_NotifyIconA(NIM_DELETE, &m_nid);
}

void CControlPanelDlg::OnStatusTimer() {
    if (serviceFront_) FollowService();
    const bool online = shared_.printerOnline;
    if (online != lastShownOnline_) {
        m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
        CopyText(m_nid.szInfo, online ? texts::kBalloonOnline : texts::kBalloonOffline);
        m_nid.uTimeout = kBalloonTimeoutMs;
        CopyText(m_nid.szInfoTitle, texts::kBalloonTitle);
        m_nid.dwInfoFlags = NIIF_INFO;
        // The balloon box counts as it is ticked now, applied or not.
        if (IsDlgButtonChecked(hwnd_, IDC_SHOW_TASK_MSGS) == BST_CHECKED) Shell_NotifyIconA(NIM_MODIFY, &m_nid);
        SetDlgItemTextA(hwnd_, IDC_PRINTER_STATUS, online ? texts::kPrinterOnline : texts::kPrinterOffline);
        if (online) {
            ReadControls();
            EnableWindow(GetDlgItem(hwnd_, IDC_START), FALSE);
            EnableWindow(GetDlgItem(hwnd_, IDC_STOP), TRUE);
            RefreshControls();
        }
        lastShownOnline_ = online;
    }
    // A worker that started or ended since the last paint shows so.
    if (!shuttingDown_ && shared_.agentRunning != lastShownRunning_) RefreshServiceStatus();
}

void CControlPanelDlg::OnTrayCallback(LPARAM mouseMessage) {
    if (mouseMessage == WM_LBUTTONDOWN) ShowWindow(hwnd_, SW_RESTORE);
}

}  // namespace zentrada::shell
