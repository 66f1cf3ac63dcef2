#include "shell/panel/control_panel_dlg.h"

#include <shlobj.h>

#include <cstdio>
#include <optional>
#include <vector>

#include "engine/agent_log.h"
#include "platform/platform.h"
#include "platform/win32/registry_settings.h"
#include "resources/resource_ids.h"
#include "resources/texts.h"
#include "shell/agent_files.h"
#include "shell/exit_status.h"
#include "shell/service_text.h"
#include "shell/status_report.h"
#include "zentrada_version.h"
#include "shell/panel/log_view_dlg.h"
#include "shell/panel/main_window.h"

namespace zentrada::shell {
namespace {

constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kStatusTimerPeriodMs = 3000;
// Fires once, a moment after a worker was started: by then it has normally
// opened the port.
constexpr UINT_PTR kLookSoonTimer = 2;
constexpr UINT kLookSoonMs = 1000;
// How long each wait for the worker lets the window's messages through.
constexpr std::chrono::milliseconds kWaitSlice{50};

std::string ControlText(HWND dialog, int id) {
    const HWND control = GetDlgItem(dialog, id);
    std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    return text.data();
}

// Sets a control's text only when it differs, so that refreshing the
// controls at every paint neither flickers nor moves an edit box's caret.
void SetControlText(HWND dialog, int id, const std::string& text) {
    if (ControlText(dialog, id) != text) SetDlgItemTextA(dialog, id, text.c_str());
}

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

}  // namespace

CControlPanelDlg::CControlPanelDlg(engine::SharedState& shared, WorkerControl& worker,
                                   const platform::StoredSettings& settings, std::string logPath, bool serviceFront)
    : shared_(shared), worker_(worker), loaded_(settings), logPath_(std::move(logPath)), serviceFront_(serviceFront) {
    icon_ = LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_WINDOW_ICON));
}

CControlPanelDlg::~CControlPanelDlg() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool CControlPanelDlg::Create() {
    return CreateDialogParamA(Instance(), MAKEINTRESOURCEA(IDD_CONTROL_PANEL), nullptr, DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CControlPanelDlg::Destroy() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

int CControlPanelDlg::RunModalLoop() {
    MSG message;
    while (!ended_ && GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(hwnd_, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return result_;
}

INT_PTR CALLBACK CControlPanelDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* panel = reinterpret_cast<CControlPanelDlg*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, lParam);
        panel->hwnd_ = hwnd;
        panel->OnInitDialog();
        return TRUE;
    }
    auto* panel = reinterpret_cast<CControlPanelDlg*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return panel == nullptr ? FALSE : panel->HandleMessage(message, wParam, lParam);
}

INT_PTR CControlPanelDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (taskbarCreated_ != 0 && message == taskbarCreated_) {
        // Explorer restarted with a new notification area: without the icon
        // a hidden panel could not be brought back.
        AddTrayIcon();
        return TRUE;
    }
    switch (message) {
        case WM_PAINT:
            RefreshServiceStatus();
            return PaintIconIfMinimized();
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam));
        case WM_TIMER:
            if (wParam == kLookSoonTimer) KillTimer(hwnd_, kLookSoonTimer);
            OnStatusTimer();
            return TRUE;
        case WM_TRAY_CALLBACK:
            OnTrayCallback(lParam);
            return TRUE;
        case WM_WORKER_ENDED:
            OnWorkerEnded(static_cast<engine::WorkerEnd>(wParam));
            return TRUE;
        case WM_ACTIVATE:
            return TRUE;
        case WM_QUERYENDSESSION:
            OnQueryEndSession();
            SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) OnEndSession();
            return TRUE;
        case WM_DESTROY:
            RemoveTrayIcon();
            SetMainWindow(nullptr);
            return TRUE;
        default:
            return FALSE;
    }
}

bool CControlPanelDlg::OnCommand(int id) {
    // While the agent shuts down nothing else is started or saved.
    if (shuttingDown_) return true;
    switch (id) {
        case IDOK: OnApply(); return true;
        case IDCANCEL: ShutDown(kCloseWaitBound); return true;
        case IDC_START: OnStart(); return true;
        case IDC_STOP: OnStop(); return true;
        case IDC_BROWSE_INPUT: OnBrowse(true); return true;
        case IDC_BROWSE_OUTPUT: OnBrowse(false); return true;
        case IDC_MINIMIZE: ShowWindow(hwnd_, SW_HIDE); return true;
        case IDC_VIEW_LOG: OnViewLog(); return true;
        default: return false;
    }
}

void CControlPanelDlg::OnInitDialog() {
    ShowWindow(hwnd_, SW_HIDE);
    char versionText[20];
    std::snprintf(versionText, sizeof versionText, "%02d.%02d.%02d", ZENTRADA_VERSION_MAJOR, ZENTRADA_VERSION_MINOR,
                  ZENTRADA_VERSION_PATCH);
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
    AddTrayIcon();
    SetMainWindow(hwnd_);

    SetControlText(hwnd_, IDC_INPUT_DIRECTORY, loaded_.inputDirectory);
    SetControlText(hwnd_, IDC_OUTPUT_DIRECTORY, loaded_.outputDirectory);
    CheckDlgButton(hwnd_, IDC_SHOW_TASK_MSGS, loaded_.showTaskMsgs ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd_, IDC_SIMPLE_MODE, loaded_.simpleMode ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd_, IDC_AUTO_START, platform::LoadAutoStart() ? BST_CHECKED : BST_UNCHECKED);
    SetControlText(hwnd_, IDC_VERSION, engine::FillPattern(texts::kVersionLabel, {versionText}));
    RefreshServiceStatus();

    SetTimer(hwnd_, kStatusTimer, kStatusTimerPeriodMs, nullptr);
    LookSoon();
}

bool CControlPanelDlg::Checked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }

void CControlPanelDlg::LookSoon() { SetTimer(hwnd_, kLookSoonTimer, kLookSoonMs, nullptr); }

void CControlPanelDlg::RefreshServiceStatus() {
    const bool running = shared_.agentRunning;
    const char* status = running ? texts::kServiceActive : texts::kServiceInactive;
    SetControlText(hwnd_, IDC_SERVICE_STATUS, shuttingDown_ ? texts::kServiceStopping : status);
    EnableWindow(GetDlgItem(hwnd_, IDC_START), !running && !shuttingDown_);
    EnableWindow(GetDlgItem(hwnd_, IDC_STOP), running && !shuttingDown_);
    // While the agent shuts down nothing else is started or saved.
    for (int id : {IDOK, IDCANCEL, IDC_BROWSE_INPUT, IDC_BROWSE_OUTPUT, IDC_MINIMIZE})
        EnableWindow(GetDlgItem(hwnd_, id), !shuttingDown_);
    lastShownRunning_ = running;
}

BOOL CControlPanelDlg::PaintIconIfMinimized() {
    if (!IsIconic(hwnd_)) return FALSE;
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(hwnd_, &paint);
    SendMessageA(hwnd_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(hwnd_, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(hwnd_, &paint);
    return TRUE;
}

// A directory the agent's buffers cannot hold is refused whole: cut, it
// would name another directory.
bool CControlPanelDlg::DirectoryFits(const std::string& directory) {
    if (directory.size() <= platform::kMaxDirectoryLength) return true;
    const std::string text = engine::FillPattern(texts::kDirectoryTooLongPanel,
                                                 {std::to_string(platform::kMaxDirectoryLength), directory});
    ShowMessage(text.c_str(), texts::kPanelTitle, MB_ICONWARNING);
    return false;
}

void CControlPanelDlg::OnApply() {
    platform::StoredSettings settings;
    settings.inputDirectory = ControlText(hwnd_, IDC_INPUT_DIRECTORY);
    settings.outputDirectory = ControlText(hwnd_, IDC_OUTPUT_DIRECTORY);
    if (!DirectoryFits(settings.inputDirectory) || !DirectoryFits(settings.outputDirectory)) return;
    settings.showTaskMsgs = Checked(IDC_SHOW_TASK_MSGS);
    settings.simpleMode = Checked(IDC_SIMPLE_MODE);
    // The worker takes the new values at once, saved or not; the service
    // reads them from the registry once saved.
    shared_.SetDirectories(settings.inputDirectory, settings.outputDirectory);
    shared_.simpleMode = settings.simpleMode;
    if (!platform::SaveSettings(settings, Checked(IDC_AUTO_START))) {
        ShowMessage(texts::kSettingsNotSaved, texts::kPanelTitle, MB_ICONWARNING);
    } else if (serviceFront_ && platform::QueryAgentService() == platform::ServiceState::Running) {
        Told(platform::ReloadAgentService());
    }
}

bool CControlPanelDlg::Told(const platform::ServiceChange& change) {
    const std::string failure = ServiceChangeText(change);
    if (!failure.empty()) ShowMessage(failure.c_str(), texts::kPanelTitle, MB_ICONWARNING);
    return failure.empty();
}

void CControlPanelDlg::FollowService() {
    const platform::ServiceState state = platform::QueryAgentService();
    const std::string path = platform::JoinPath(DataDirectory(loaded_), StatusFileName(kConsoleHostName));
    const std::optional<std::string> text = platform::ReadFileBytes(path);
    const int status = ReportStatus(text ? &*text : nullptr, path, engine::UnixNow()).exitStatus;
    shared_.agentRunning = state == platform::ServiceState::Running && status != kStatusNotRunning;
    shared_.printerOnline = shared_.agentRunning && status == kStatusPrinterOnline;
}

void CControlPanelDlg::OnStart() {
    if (serviceFront_) {
        if (Told(platform::StartAgentService())) LookSoon();
        return;
    }
    if (worker_.Start() == WorkerControl::StartResult::ThreadNotCreated)
        ShowMessage(texts::kThreadStartFailed, texts::kErrorTitle, MB_ICONERROR);
    RefreshServiceStatus();
    LookSoon();
}

// Shows the agent inactive at once (the stop request clears its flag),
// although the worker may still be finishing the file in hand.
void CControlPanelDlg::OnStop() {
    if (serviceFront_ && !Told(platform::StopAgentService())) return;
    worker_.RequestStop();
    RefreshServiceStatus();
}

void CControlPanelDlg::OnBrowse(bool input) {
    BROWSEINFOA browse{};
    browse.hwndOwner = hwnd_;
    browse.lpszTitle = input ? texts::kBrowseInputTitle : texts::kBrowseOutputTitle;
    const LPITEMIDLIST item = SHBrowseForFolderA(&browse);
    if (item == nullptr) return;
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(item, path) && DirectoryFits(path)) {
        // The worker uses a browsed directory at once; only applying the
        // settings stores it.
        if (input) {
            shared_.SetDirectories(path, shared_.OutputDirectory());
        } else {
            shared_.SetDirectories(shared_.InputDirectory(), path);
        }
        SetControlText(hwnd_, input ? IDC_INPUT_DIRECTORY : IDC_OUTPUT_DIRECTORY, path);
    }
    IMalloc* allocator = nullptr;
    if (SHGetMalloc(&allocator) == S_OK) {
        allocator->Free(item);
        allocator->Release();
    }
}

void CControlPanelDlg::OnViewLog() { CLogViewDlg(logPath_).DoModal(hwnd_); }

void CControlPanelDlg::OnWorkerEnded(engine::WorkerEnd end) {
    // Without its driver library the agent cannot work: once the user has
    // read the worker's message, the agent ends.
    if (end == engine::WorkerEnd::DriverNotLoaded) {
        ShutDown(kCloseWaitBound);
        return;
    }
    if (!shuttingDown_) RefreshServiceStatus();
}

void CControlPanelDlg::OnQueryEndSession() {
    if (!worker_.HasLiveWorker()) return;
    wchar_t reason[256] = {};
    MultiByteToWideChar(1252, 0, texts::kShutdownBlockReason, -1, reason, 256);
    ShutdownBlockReasonCreate(hwnd_, reason);
}

void CControlPanelDlg::OnEndSession() {
    ShutDown(kSessionEndWaitBound);
    ShutdownBlockReasonDestroy(hwnd_);
    // The session ends once this message returns, without a destroy.
    RemoveTrayIcon();
}

void CControlPanelDlg::ShutDown(std::chrono::milliseconds bound) {
    shuttingDown_ = true;
    worker_.RequestStop();
    RefreshServiceStatus();
    if (!WaitForWorker(bound)) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(bound).count();
        engine::AgentLog(logPath_).WriteLog(engine::FillPattern(texts::kEndedWithoutWorker, {std::to_string(seconds)}));
        worker_.Abandon();
        abandoned_ = true;
    }
    ended_ = true;
    result_ = IDCANCEL;
}

// Waits for the worker while the window's messages go on, so the panel
// repaints and a message box of the worker, owned by the panel, can still
// be answered.
bool CControlPanelDlg::WaitForWorker(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!worker_.WaitForEnd(kWaitSlice)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return true;
}

}  // namespace zentrada::shell
