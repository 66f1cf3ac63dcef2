// The agent as a Windows program: one instance per executable name, the
// worker started at launch, the control panel shown or kept in the tray,
// and an orderly end when the user shuts it down.
#pragma once

#include <windows.h>

#include <string>

#include "engine/agent_engine.h"
#include "platform/settings_store.h"
#include "shell/worker_control.h"

namespace zentrada::shell {

class CAgentApp {
public:
    CAgentApp();
    // Runs the agent from start-up to shut-down; the process's exit status.
    int Run(const char* commandLine);

private:
    platform::StoredSettings LoadSettingsForWorker();
    void OnWorkerEnded(engine::WorkerEnd end);

    engine::SharedState shared_;
    engine::AgentEnvironment environment_;
    WorkerControl worker_;
};

// Whether the command line asks to start in the tray: "start_minimized"
// anywhere in it, in this letter case.
bool StartsMinimized(const std::string& commandLine);

}  // namespace zentrada::shell
