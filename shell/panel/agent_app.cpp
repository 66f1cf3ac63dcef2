#include "shell/panel/agent_app.h"

#include <commctrl.h>
#include <objbase.h>

#include "engine/agent_log.h"
#include "platform/platform.h"
#include "platform/service_control.h"
#include "platform/win32/registry_settings.h"
#include "resources/texts.h"
#include "shell/agent_files.h"
#include "shell/panel/control_panel_dlg.h"
#include "shell/panel/main_window.h"

namespace zentrada::shell {
namespace {

void ShowWorkerError(std::string_view title, std::string_view text) {
    ShowMessage(std::string(text).c_str(), std::string(title).c_str(), MB_ICONERROR);
}

}  // namespace

bool StartsMinimized(const std::string& commandLine) {
    return commandLine.find("start_minimized") != std::string::npos;
}

CAgentApp::CAgentApp() : worker_(shared_, environment_, [this](engine::WorkerEnd end) { OnWorkerEnded(end); }) {
    environment_.driverLibrary = platform::DefaultDriverLibrary();
    environment_.readDriverLogSetting = platform::ReadDriverLogSetting;
    environment_.showError = ShowWorkerError;
}

void CAgentApp::OnWorkerEnded(engine::WorkerEnd end) {
    if (const HWND panel = MainWindow()) PostMessageA(panel, WM_WORKER_ENDED, static_cast<WPARAM>(end), 0);
}

// The settings are loaded before the worker starts, so its first scan
// never sees empty directories. A stored directory too long for the agent's
// buffers is not used (cut, it would name another directory): the log says
// so, and the panel shows it as stored for the user to correct.
platform::StoredSettings CAgentApp::LoadSettingsForWorker() {
    const platform::StoredSettings settings = platform::LoadSettings();
    SetAgentFiles(environment_, settings);
    const engine::AgentLog log(environment_.logPath);
    const auto usable = [&log](const std::string& directory) {
        if (directory.size() <= platform::kMaxDirectoryLength) return directory;
        log.WriteLog(engine::FillPattern(texts::kDirectoryTooLong,
                                         {std::to_string(platform::kMaxDirectoryLength), directory}));
        return std::string();
    };
    shared_.SetDirectories(usable(settings.inputDirectory), usable(settings.outputDirectory));
    shared_.simpleMode = settings.simpleMode;
    environment_.durableRecords = settings.syncRecords;
    return settings;
}

int CAgentApp::Run(const char* commandLine) {
    InitCommonControls();
    // The folder browser needs COM on the window thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!platform::AcquireSingleInstance(platform::ExecutableBaseName())) {
        ShowMessage(texts::kAlreadyRunning, texts::kAlreadyRunningTitle, MB_ICONERROR);
        return 0;
    }
    if (platform::ExecutablePath().empty()) {
        ShowMessage(texts::kExecutablePathUnknown, texts::kErrorTitle, MB_ICONERROR);
        return 0;
    }
    const std::string command = commandLine != nullptr ? commandLine : "";
    const platform::StoredSettings settings = LoadSettingsForWorker();

    // With the service installed, the service is the agent and the panel
    // only its front: it starts no worker of its own.
    const bool serviceFront = platform::QueryAgentService() != platform::ServiceState::NotInstalled;
    if (!serviceFront && worker_.Start() == WorkerControl::StartResult::ThreadNotCreated)
        ShowMessage(texts::kThreadStartFailed, texts::kErrorTitle, MB_ICONERROR);

    CControlPanelDlg panel(shared_, worker_, settings, environment_.logPath, serviceFront);
    if (!panel.Create()) {
        worker_.RequestStop();
        return 0;
    }
    ShowWindow(panel.Window(), StartsMinimized(command) ? SW_HIDE : SW_SHOWNORMAL);
    panel.RunModalLoop();
    panel.Destroy();
    // A worker held past the wait (a driver call that never returns) ends
    // with the process, before anything it uses is destroyed.
    if (panel.AbandonedWorker()) ExitProcess(0);
    return 0;
}

}  // namespace zentrada::shell
