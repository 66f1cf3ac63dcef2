#include "shell/headless/service_host.h"

#include <string>

#include "engine/agent_engine.h"
#include "engine/agent_log.h"
#include "platform/platform.h"
#include "platform/service_control.h"
#include "platform/settings_store.h"
#include "platform/win32/registry_settings.h"
#include "resources/texts.h"
#include "shell/agent_files.h"
#include "shell/exit_status.h"
#include "shell/service_text.h"
#include "shell/headless/run_agent.h"
#include "shell/worker_control.h"

namespace zentrada::shell {
namespace {

using engine::FillPattern;
using namespace std::chrono_literals;

// Says what became of a change of the service; its exit status.
int Told(const platform::ServiceChange& change, const std::string& done) {
    const std::string failure = ServiceChangeText(change);
    if (failure.empty()) {
        platform::WriteTerminalText(platform::OutputStream::Output, done + "\n");
        return kExitStopped;
    }
    platform::ShowFatalError(texts::kErrorTitle, failure);
    return kExitServiceFailed;
}

}  // namespace

int InstallAgentService(const HostOptions& options) {
    platform::ServiceDefinition definition;
    definition.commandLine = "\"" + platform::ExecutablePath() + "\" --service";
    definition.description = texts::kServiceDescription;
    definition.account = options.account.value_or("");
    definition.password = options.password.value_or("");
    // Windows waits this long at shutdown for the file in hand.
    definition.shutdownBound = kStopWaitBound + 10s;
    const int status = Told(platform::InstallService(definition),
                            FillPattern(texts::kServiceInstalled, {definition.commandLine}));
    if (status != kExitStopped || (!options.inputDirectory && !options.outputDirectory)) return status;
    platform::StoredSettings settings = platform::LoadSettings();
    settings.inputDirectory = options.inputDirectory.value_or(settings.inputDirectory);
    settings.outputDirectory = options.outputDirectory.value_or(settings.outputDirectory);
    if (platform::SaveSettings(settings, platform::LoadAutoStart())) return kExitStopped;
    platform::ShowFatalError(texts::kErrorTitle, texts::kServiceSettingsNotSaved);
    return kExitServiceFailed;
}

int UninstallAgentService() {
    return Told(platform::UninstallService(kStopWaitBound + 10s), texts::kServiceUninstalled);
}

int RunAgentService(const HostOptions& options) {
    const auto run = [&options] {
        platform::WriteEventLog(false, texts::kServiceStarted);
        int status = kExitAlreadyRunning;
        if (platform::AcquireSingleInstance(platform::ExecutableBaseName())) {
            status = RunAgent(options);
        } else {
            platform::ShowFatalError(texts::kAlreadyRunningTitle, texts::kAlreadyRunning);
        }
        platform::WriteEventLog(status != kExitStopped,
                                status == kExitStopped
                                    ? std::string(texts::kServiceStopped)
                                    : FillPattern(texts::kServiceStoppedWithStatus, {std::to_string(status)}));
        return status;
    };
    // A driver call that never returns: the service ends all the same, as
    // the panel's close does, and says so.
    const auto boundPassed = [] {
        engine::AgentEnvironment files;
        SetAgentFiles(files, platform::LoadSettings());
        const std::string seconds =
            std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kStopWaitBound).count());
        engine::AgentLog(files.logPath).WriteLog(FillPattern(texts::kEndedWithoutWorker, {seconds}));
        platform::WriteEventLog(true, FillPattern(texts::kEndedWithoutWorker, {seconds}));
    };
    if (platform::RunAsService(run, kStopWaitBound, boundPassed)) return kExitStopped;
    platform::ShowFatalError(texts::kErrorTitle, texts::kServiceNotStartedByManager);
    return kExitUsage;
}

}  // namespace zentrada::shell
