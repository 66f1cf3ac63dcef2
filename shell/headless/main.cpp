// The headless host: runs the agent worker in the foreground of a terminal
// or under a service manager, stopped by SIGINT or SIGTERM; with --check it
// only reports on command files.
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "resources/texts.h"
#include "shell/exit_status.h"
#include "shell/headless/check_files.h"
#include "shell/headless/run_agent.h"
#include "shell/headless/send_files.h"
#include "shell/host_options.h"
#if defined(_WIN32)
#include "shell/headless/service_host.h"
#endif
#include "shell/status_report.h"

int main(int argc, char** argv) {
    using namespace zentrada;
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const shell::ParsedCommandLine parsed = shell::ParseHostOptions(arguments);
    if (!parsed.error.empty()) {
        platform::WriteTerminalText(platform::OutputStream::Error,
                                    "zentrada: " + parsed.error + "\n" + texts::kSeeHelp + "\n");
        return shell::kExitUsage;
    }
    switch (parsed.options.action) {
        case shell::HostOptions::Action::ShowHelp:
            platform::WriteTerminalText(platform::OutputStream::Output, texts::kHostUsage);
            return shell::kExitStopped;
        case shell::HostOptions::Action::ShowStatus:
            return shell::ShowStatus();
        case shell::HostOptions::Action::ShowVersion:
            platform::WriteTerminalText(platform::OutputStream::Output, shell::VersionLine() + "\n");
            return shell::kExitStopped;
        case shell::HostOptions::Action::Check:
            // Reads the files only: no lock, no settings, no driver library.
            return shell::CheckCommandFiles(parsed.options.checkFiles, [](std::string_view text) {
                platform::WriteTerminalText(platform::OutputStream::Output, text);
            });
        case shell::HostOptions::Action::Send:
            // A client only: no lock, no settings, no driver library.
            return shell::SendCommandFiles(parsed.options.sendTo, parsed.options.checkFiles,
                                           parsed.options.outputDirectory);
#if defined(_WIN32)
        case shell::HostOptions::Action::InstallService:
            return shell::InstallAgentService(parsed.options);
        case shell::HostOptions::Action::UninstallService:
            return shell::UninstallAgentService();
        case shell::HostOptions::Action::RunService:
            return shell::RunAgentService(parsed.options);
#else
        case shell::HostOptions::Action::InstallService:
        case shell::HostOptions::Action::UninstallService:
        case shell::HostOptions::Action::RunService:
#endif
        case shell::HostOptions::Action::Run:
            break;
    }

    if (!platform::AcquireSingleInstance(platform::ExecutableBaseName())) {
        platform::ShowFatalError(texts::kAlreadyRunningTitle, texts::kAlreadyRunning);
        return shell::kExitAlreadyRunning;
    }
    return shell::RunAgent(parsed.options);
}
