#include "shell/panel/main_window.h"

namespace zentrada::shell {
namespace {

std::atomic<HWND> mainWindow{nullptr};

}  // namespace

HWND MainWindow() { return mainWindow.load(); }
void SetMainWindow(HWND window) { mainWindow = window; }

}  // namespace zentrada::shell
