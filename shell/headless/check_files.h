// zentrada --check: command files read as the agent reads them, and what it
// would do with each line, without a driver library and without running
// anything.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/pass_rule.h"

namespace zentrada::shell {

// What the agent would do with a command line, the driver answering 0 to
// every call.
enum class Verdict {
    CallsDriver,    // sent, answered by the driver
    Answers,        // answered by the agent itself with `record`
    EndMarker,      // ".": passed over
    EndsExecution,  // ". fim": the execution pass ends here
    NotReached,     // after `endLine`, where the execution pass ended
    RejectedByPre,  // the checking pass ("/PRE") rejected the file
};

struct LineVerdict {
    std::int32_t number = 0;
    Verdict verdict = Verdict::CallsDriver;
    engine::AgentRecord record = engine::AgentRecord::UnknownCommand;  // for Answers
    std::int32_t endLine = 0;                                           // for NotReached
};

// The verdict on each command line of a file's text, as text mode reads it,
// in order; other lines have none.
std::vector<LineVerdict> JudgeCommandLines(std::string_view text);

// Writes a report of each file through `write` (code page 1252 text, one
// call per file): whether it has its end marker, its options, and each line
// as the reader numbers it, with the record the agent would write or why it
// would not run. Returns kExitStopped when every file would be taken and
// every command line would reach the driver, else kExitCheckFailed.
int CheckCommandFiles(std::span<const std::string> files, const std::function<void(std::string_view)>& write);

}  // namespace zentrada::shell
