// The headless host's command line.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zentrada::shell {

struct HostOptions {
    enum class Action { Run, ShowHelp, ShowVersion, Check, ShowStatus, Send, InstallService, UninstallService, RunService };
    Action action = Action::Run;
    // Each given option overrides the settings file.
    std::optional<std::string> inputDirectory;   // --in DIR
    std::optional<std::string> outputDirectory;  // --out DIR
    std::optional<std::string> driverLibrary;    // --driver FILE
    bool simpleMode = false;                     // --simple
    std::vector<std::string> checkFiles;         // --check FILE... and --send HOST:PORT FILE..., the rest of the arguments
    std::string sendTo;                          // --send HOST:PORT
    // Windows: --install-service, --uninstall-service, --service.
    std::optional<std::string> account;          // --account NAME: the service's account
    std::optional<std::string> password;         // --password TEXT: its password
};

struct ParsedCommandLine {
    HostOptions options;
    std::string error;  // cp1252; empty when the command line is valid
};

// Parses the arguments that follow the program name. --help and --version
// take effect at once and leave the rest unread; --check takes every argument
// after it as a file, at least one; --send its address, then the files.
ParsedCommandLine ParseHostOptions(std::span<const std::string_view> arguments);

// "zentrada <version>", the version being the project's.
std::string VersionLine();

}  // namespace zentrada::shell
