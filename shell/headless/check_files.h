// zentrada --check: command files read as the agent reads them, and what it
// would do with each line, without a driver library and without running
// anything.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace zentrada::shell {

// Writes a report of each file through `write` (code page 1252 text, one
// call per file): whether it has its end marker, its options, and each line
// as the reader numbers it, with the record the agent would write or why it
// would not run. Returns kExitStopped when every file would be taken and
// every command line would reach the driver, else kExitCheckFailed.
int CheckCommandFiles(std::span<const std::string> files, const std::function<void(std::string_view)>& write);

}  // namespace zentrada::shell
