#include "shell/headless/run_agent.h"

#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

#include "engine/agent_engine.h"
#include "platform/platform.h"
#include "platform/settings_store.h"
#include "resources/texts.h"
#include "shell/exit_status.h"

namespace zentrada::shell {
namespace {

constexpr char kLogFileName[] = "Zentrada_log.txt";
// How often the wait for stop requests looks whether the worker has ended.
constexpr std::chrono::milliseconds kStopPollInterval{200};

// The driver library beside the executable when it is there, else the bare
// name, for the dynamic loader to find on the library path.
std::string DefaultDriverLibrary() {
    const std::string name = platform::DefaultDriverLibraryName();
    const std::string beside = platform::JoinPath(platform::ExecutableDirectory(), name);
    return platform::FileExists(beside) ? beside : name;
}

int ExitStatusOf(engine::WorkerEnd end) {
    switch (end) {
        case engine::WorkerEnd::Stopped: return kExitStopped;
        case engine::WorkerEnd::DriverNotLoaded: return kExitDriverNotLoaded;
        case engine::WorkerEnd::PortNotOpened: return kExitPortNotOpened;
    }
    return kExitStopped;
}

}  // namespace

int RunAgent(const HostOptions& options) {
    const platform::StoredSettings settings = platform::LoadSettings();

    engine::SharedState shared;
    shared.SetDirectories(options.inputDirectory.value_or(settings.inputDirectory),
                          options.outputDirectory.value_or(settings.outputDirectory));
    shared.simpleMode = options.simpleMode || settings.simpleMode;

    engine::AgentEnvironment environment;
    environment.logPath = platform::JoinPath(platform::ExecutableDirectory(), kLogFileName);
    environment.driverLibrary = options.driverLibrary.value_or(DefaultDriverLibrary());
    environment.readDriverLogSetting = platform::ReadDriverLogSetting;
    environment.showError = platform::ShowFatalError;

    // Blocked before the worker exists, so the signals stay pending for the
    // wait below in whichever thread they land.
    platform::BlockStopRequests();

    std::atomic<bool> workerEnded{false};
    engine::WorkerEnd end = engine::WorkerEnd::Stopped;
    std::thread worker;
    try {
        worker = std::thread([&] {
            end = engine::AgentThreadMain(shared, environment);
            workerEnded = true;
        });
    } catch (const std::system_error&) {
        platform::ShowFatalError(texts::kErrorTitle, texts::kThreadStartFailed);
        return kExitThreadNotStarted;
    }

    while (!workerEnded) {
        if (platform::WaitForStopRequest(kStopPollInterval)) shared.RequestStop();
    }
    worker.join();
    return ExitStatusOf(end);
}

}  // namespace zentrada::shell
