// The panel's window, once it exists: the owner of the worker's message
// boxes, and where the worker reports the end of a run.
#pragma once

#include <windows.h>

#include <atomic>

namespace zentrada::shell {

HWND MainWindow();
void SetMainWindow(HWND window);

// The panel's message boxes, all of them: owned by the panel once it exists
// (so they stay above it and end with it), else by nobody.
void ShowMessage(const char* text, const char* title, UINT icon);

}  // namespace zentrada::shell
