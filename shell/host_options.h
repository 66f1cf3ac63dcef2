// The headless host's command line.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zentrada::shell {

struct HostOptions {
    enum class Action { Run, ShowHelp, ShowVersion };
    Action action = Action::Run;
    // Each given option overrides the settings file.
    std::optional<std::string> inputDirectory;   // --in DIR
    std::optional<std::string> outputDirectory;  // --out DIR
    std::optional<std::string> driverLibrary;    // --driver FILE
    bool simpleMode = false;                     // --simple
};

struct ParsedCommandLine {
    HostOptions options;
    std::string error;  // cp1252; empty when the command line is valid
};

// Parses the arguments that follow the program name. --help and --version
// take effect at once and leave the rest unread.
ParsedCommandLine ParseHostOptions(std::span<const std::string_view> arguments);

// "zentrada <version>", the version being the project's.
std::string VersionLine();

}  // namespace zentrada::shell
