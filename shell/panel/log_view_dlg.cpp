#include "shell/panel/log_view_dlg.h"

#include "resources/resource_ids.h"
#include "shell/log_text.h"

namespace zentrada::shell {

INT_PTR CLogViewDlg::DoModal(HWND owner) {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_LOG_VIEW), owner, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CLogViewDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* viewer = reinterpret_cast<CLogViewDlg*>(lParam);
        // The whole log, however long: no limit on the box's text.
        SendDlgItemMessageA(hwnd, IDC_LOG_TEXT, EM_SETLIMITTEXT, 0, 0);
        SetDlgItemTextA(hwnd, IDC_LOG_TEXT, LogTextForViewer(viewer->logPath_).c_str());
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(hwnd, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace zentrada::shell
