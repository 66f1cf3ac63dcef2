// The log viewer: a modal window, dialog template 143, showing the agent
// log as it is when the window opens.
#pragma once

#include <windows.h>

#include <string>

namespace zentrada::shell {

class CLogViewDlg {
public:
    explicit CLogViewDlg(std::string logPath) : logPath_(std::move(logPath)) {}
    INT_PTR DoModal(HWND owner);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    std::string logPath_;
};

}  // namespace zentrada::shell
