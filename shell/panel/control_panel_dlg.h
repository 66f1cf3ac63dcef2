// The control panel: the agent's always-on-top main window, built on dialog
// template 102. It shows whether the worker runs and whether the printer
// answers, sets the directories and flags, starts and stops the worker,
// hides to the tray icon and shuts the agent down.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <string>

#include "platform/service_control.h"
#include "platform/settings_store.h"
#include "shell/worker_control.h"

namespace zentrada::shell {

// Sent by the tray icon on mouse events over it.
inline constexpr UINT WM_TRAY_CALLBACK = WM_USER + 75;
// Posted by the worker's thread when a worker run ends; wParam is the
// engine::WorkerEnd.
inline constexpr UINT WM_WORKER_ENDED = WM_APP + 1;

class CControlPanelDlg {
public:
    // How long shutting down waits for the file in hand: when the user closes
    // the agent, and when the Windows session ends (Windows allows an
    // application only so long before it ends it regardless).
    static constexpr std::chrono::milliseconds kCloseWaitBound = kStopWaitBound;
    static constexpr std::chrono::milliseconds kSessionEndWaitBound{20000};

    // `settings` are the loaded settings; the log is where the panel notes a
    // shut-down that could not wait for the worker. With `serviceFront`, the
    // agent is the Windows service: the panel shows its state and status,
    // and starts, stops and reconfigures it, with no worker of its own.
    CControlPanelDlg(engine::SharedState& shared, WorkerControl& worker, const platform::StoredSettings& settings,
                     std::string logPath, bool serviceFront = false);
    ~CControlPanelDlg();
    CControlPanelDlg(const CControlPanelDlg&) = delete;
    CControlPanelDlg& operator=(const CControlPanelDlg&) = delete;

    // Creates the window from its template, modeless; its initialisation
    // runs inside.
    bool Create();
    // Runs the window's messages until the agent is shut down; returns the
    // result the dialog ended with.
    int RunModalLoop();
    void Destroy();
    HWND Window() const { return hwnd_; }
    // True when shutting down gave up waiting for a worker that is left
    // running: the process must end at once.
    bool AbandonedWorker() const { return abandoned_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCommand(int id);

    void OnInitDialog();
    // The service status and every button's state, from the worker's flag
    // and whether the agent is shutting down: the one place that enables
    // them.
    void RefreshServiceStatus();
    // A look at the worker's flag shortly after it was started, rather than
    // only at the next status period.
    void LookSoon();
    bool Checked(int id) const;
    BOOL PaintIconIfMinimized();

    void OnApply();
    void OnStart();
    void OnStop();
    void OnBrowse(bool input);
    void OnWorkerEnded(engine::WorkerEnd end);
    void OnViewLog();
    // Stops the worker in order, within `bound`, then ends the dialog.
    void ShutDown(std::chrono::milliseconds bound);
    bool WaitForWorker(std::chrono::milliseconds bound);
    void OnQueryEndSession();
    void OnEndSession();
    bool DirectoryFits(const std::string& directory);

    // Tray icon (control_panel_tray.cpp).
    void AddTrayIcon();
    void RemoveTrayIcon();
    void OnStatusTimer();
    // The service's state and published status, as the worker's flags.
    void FollowService();
    // Says what a change of the service could not do; true when it was done.
    bool Told(const platform::ServiceChange& change);
    void OnTrayCallback(LPARAM mouseMessage);

    engine::SharedState& shared_;
    WorkerControl& worker_;
    platform::StoredSettings loaded_;
    std::string logPath_;
    bool serviceFront_;
    bool abandoned_ = false;
    HWND hwnd_ = nullptr;
    bool ended_ = false;
    bool shuttingDown_ = false;
    int result_ = IDCANCEL;
    UINT taskbarCreated_ = 0;
    bool lastShownOnline_ = false;
    bool lastShownRunning_ = false;
    HICON icon_ = nullptr;
    NOTIFYICONDATAA trayIcon_{};
};

}  // namespace zentrada::shell
