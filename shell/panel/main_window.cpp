#include "shell/panel/main_window.h"

namespace zentrada::shell {
namespace {

std::atomic<HWND> mainWindow{nullptr};

}  // namespace

HWND MainWindow() { return mainWindow.load(); }
void SetMainWindow(HWND window) { mainWindow = window; }

void ShowMessage(const char* text, const char* title, UINT icon) {
    MessageBoxA(MainWindow(), text, title, MB_OK | icon);
}

}  // namespace zentrada::shell
