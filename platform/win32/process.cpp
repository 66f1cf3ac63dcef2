#include <windows.h>

#include <atomic>

#include "platform/fatal_text.h"
#include "platform/platform.h"
#include "platform/service_control.h"
#include "platform/win32/stop_request.h"

namespace zentrada::platform {

std::string ExecutablePath() {
    // GetModuleFileNameA fills the whole buffer, without a terminating NUL,
    // when the path does not fit: such a result is a cut path, so the buffer
    // grows until the path fits with room to spare.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size() && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

namespace {

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

}  // namespace

std::string ExecutableDirectory() {
    const std::string path = ExecutablePath();
    const auto separator = LastSeparator(path);
    return separator == std::string::npos ? std::string(".\\") : path.substr(0, separator + 1);
}

std::string ExecutableBaseName() {
    const std::string path = ExecutablePath();
    const auto separator = LastSeparator(path);
    std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// A console program writes to its standard error; a service, which has no
// desktop to show a message box on, to the event log; a program without
// either (the panel) shows a message box.
void ShowFatalError(std::string_view title, std::string_view text) {
    if (RunningAsService()) {
        WriteEventLog(true, FatalText(title, text));
        return;
    }
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error != nullptr && error != INVALID_HANDLE_VALUE) {
        WriteTerminalText(OutputStream::Error, FatalText(title, text));
        return;
    }
    const std::string titleText(title);
    const std::string bodyText(text);
    MessageBoxA(nullptr, bodyText.c_str(), titleText.c_str(), MB_OK | MB_ICONERROR);
}

// The named mutex is created initially owned and its handle is never
// closed, so it goes with the process however it ends.
bool AcquireSingleInstance(const std::string& name) {
    const HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    return !(mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS);
}

namespace {

HANDLE stopEvent = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    SetEvent(stopEvent);
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            return TRUE;
        default:
            // Closing the console, logging off or shutting down ends the
            // process once this handler returns: it never returns, so the
            // main thread can finish the file in hand and end the process
            // itself (Windows allows a few seconds for that).
            Sleep(INFINITE);
            return TRUE;
    }
}

}  // namespace

void BlockStopRequests() {
    if (stopEvent != nullptr) return;
    stopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void RequestStopFromOutside() {
    if (stopEvent != nullptr) SetEvent(stopEvent);
}

namespace {
std::atomic<bool> reloadRequested{false};
}  // namespace

void RequestReloadFromOutside() { reloadRequested = true; }

bool TakeReloadRequest() { return reloadRequested.exchange(false); }

bool WaitForStopRequest(std::chrono::milliseconds timeout) {
    const auto count = timeout.count() < 0 ? 0 : timeout.count();
    return stopEvent != nullptr && WaitForSingleObject(stopEvent, static_cast<DWORD>(count)) == WAIT_OBJECT_0;
}

}  // namespace zentrada::platform
