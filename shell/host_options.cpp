#include "shell/host_options.h"

#include "resources/texts.h"

namespace zentrada::shell {

ParsedCommandLine ParseHostOptions(std::span<const std::string_view> arguments) {
    ParsedCommandLine parsed;
    HostOptions& options = parsed.options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--help") {
            options.action = HostOptions::Action::ShowHelp;
            return parsed;
        }
        if (argument == "--version") {
            options.action = HostOptions::Action::ShowVersion;
            return parsed;
        }
        if (argument == "--status") {
            options.action = HostOptions::Action::ShowStatus;
            return parsed;
        }
        if (argument == "--check" || argument == "--send") {
            const bool send = argument == "--send";
            const std::size_t first = i + (send ? 2 : 1);
            if (first >= arguments.size()) {
                parsed.error = std::string(texts::kMissingOptionValue).append(argument);
                return parsed;
            }
            options.action = send ? HostOptions::Action::Send : HostOptions::Action::Check;
            if (send) options.sendTo = std::string(arguments[i + 1]);
            options.checkFiles.assign(arguments.begin() + static_cast<std::ptrdiff_t>(first), arguments.end());
            return parsed;
        }
        if (argument == "--simple") {
            options.simpleMode = true;
            continue;
        }
        using Action = HostOptions::Action;
        const Action service = argument == "--install-service"     ? Action::InstallService
                                : argument == "--uninstall-service" ? Action::UninstallService
                                : argument == "--service"           ? Action::RunService
                                                                    : Action::Run;
        if (service != Action::Run) {
#if defined(_WIN32)
            options.action = service;
            continue;
#else
            parsed.error = std::string(texts::kServiceOnlyOnWindows).append(argument);
            return parsed;
#endif
        }
        std::optional<std::string>* target = argument == "--in"       ? &options.inputDirectory
                                             : argument == "--out"    ? &options.outputDirectory
                                             : argument == "--driver" ? &options.driverLibrary
                                             : argument == "--account" ? &options.account
                                             : argument == "--password" ? &options.password
                                                                      : nullptr;
        if (target == nullptr) {
            parsed.error = std::string(texts::kUnknownOption).append(argument);
            return parsed;
        }
        if (i + 1 == arguments.size()) {
            parsed.error = std::string(texts::kMissingOptionValue).append(argument);
            return parsed;
        }
        *target = std::string(arguments[++i]);
    }
    return parsed;
}

std::string VersionLine() { return "zentrada " ZENTRADA_VERSION; }

}  // namespace zentrada::shell
