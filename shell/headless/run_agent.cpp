#include "shell/headless/run_agent.h"

#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

#include "engine/agent_engine.h"
#include "engine/agent_log.h"
#include "platform/platform.h"
#include "platform/settings_store.h"
#include "resources/texts.h"
#include "shell/agent_files.h"
#include "shell/exit_status.h"

namespace zentrada::shell {
namespace {

// How often the wait for stop requests looks whether the worker has ended.
constexpr std::chrono::milliseconds kStopPollInterval{200};

int ExitStatusOf(engine::WorkerEnd end) {
    switch (end) {
        case engine::WorkerEnd::Stopped: return kExitStopped;
        case engine::WorkerEnd::DriverNotLoaded: return kExitDriverNotLoaded;
        case engine::WorkerEnd::PortNotOpened: return kExitPortNotOpened;
    }
    return kExitStopped;
}

// A directory longer than the agent's buffers is refused whole: cut, it
// would name another directory.
bool DirectoryFits(const std::string& directory) {
    if (directory.size() <= platform::kMaxDirectoryLength) return true;
    platform::ShowFatalError(texts::kErrorTitle,
                             engine::FillPattern(texts::kDirectoryTooLong,
                                                 {std::to_string(platform::kMaxDirectoryLength), directory}));
    return false;
}

// The directories and the mode the worker takes files with, from the
// settings unless the command line gave them; false, changing nothing, when a
// directory is too long.
bool UseSettings(engine::SharedState& shared, const HostOptions& options, const platform::StoredSettings& settings) {
    const std::string input = options.inputDirectory.value_or(settings.inputDirectory);
    const std::string output = options.outputDirectory.value_or(settings.outputDirectory);
    if (!DirectoryFits(input) || !DirectoryFits(output)) return false;
    shared.SetDirectories(input, output);
    shared.simpleMode = options.simpleMode || settings.simpleMode;
    return true;
}

}  // namespace

int RunAgent(const HostOptions& options) {
    // The log and the default directories lie beside the executable.
    if (platform::ExecutablePath().empty()) {
        platform::ShowFatalError(texts::kErrorTitle, texts::kExecutablePathUnknown);
        return kExitBadPath;
    }
    const platform::StoredSettings settings = platform::LoadSettings();
    engine::SharedState shared;
    if (!UseSettings(shared, options, settings)) return kExitBadPath;

    engine::AgentEnvironment environment;
    SetAgentFiles(environment, settings);
    environment.driverLibrary = options.driverLibrary.value_or(platform::DefaultDriverLibrary());
    environment.readDriverLogSetting = platform::ReadDriverLogSetting;
    environment.showError = platform::ShowFatalError;
    environment.durableRecords = settings.syncRecords;

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
        // Changed directories and mode are taken at the next scan, without a
        // restart; the rest of the settings at the next start.
        if (platform::TakeReloadRequest() && UseSettings(shared, options, platform::LoadSettings()))
            engine::AgentLog(environment.logPath)
                .WriteLog(engine::FillPattern(texts::kSettingsReloaded, {shared.InputDirectory(), shared.OutputDirectory()}));
    }
    worker.join();
    return ExitStatusOf(end);
}

}  // namespace zentrada::shell
