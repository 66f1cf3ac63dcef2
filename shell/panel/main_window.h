// The panel's window, once it exists: the owner of the worker's message
// boxes, and where the worker reports the end of a run.
#pragma once

#include <windows.h>

#include <atomic>

namespace zentrada::shell {

HWND MainWindow();
void SetMainWindow(HWND window);

}  // namespace zentrada::shell
