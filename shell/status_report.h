// `zentrada --status`: the status the agent beside the program last wrote,
// told to a person in a few lines, with an exit status for scripts.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace zentrada::shell {

// The samples of a status text, by name with its labels as written
// ("zentrada_lines_total{outcome=\"success\"}"); lines that are not samples
// are passed over.
std::map<std::string, double, std::less<>> ParseStatusSamples(std::string_view text);

// After this many seconds without a rewrite the agent is taken as gone: it
// rewrites its status every 5 seconds, and at once when something changes.
inline constexpr double kStaleAfterSeconds = 15;

struct StatusReport {
    std::string text;  // cp1252 lines, each ending in "\n"
    int exitStatus = 0;
};
// The report on a status text (nothing when the file is missing), read at
// `now` (seconds since the Unix epoch); `path` is named when it is missing.
StatusReport ReportStatus(const std::string* text, const std::string& path, double now);

// Reads the status beside the executable and prints the report; the exit
// status.
int ShowStatus();

}  // namespace zentrada::shell
