// What the worker does with each line of a command file: the checking pass
// ("/PRE") answers the lines it rejects, the execution pass sends command
// lines to the printer one by one, answers the lines it cannot send, and
// ends at the stop rule. The worker, recovery after a crash and
// `zentrada --check` all follow this one rule.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/reader.h"

namespace zentrada::engine {

// A record the agent writes itself, with its own code 3.
enum class AgentRecord { UnknownCommand, WrongParameterCount };
std::vector<std::string> AgentRecordFields(AgentRecord record);

// Whether the execution pass ends at an uncatalogued line: one whose name,
// cut at its first blank, is "." (". fim"). No record is written.
bool EndsExecutionPass(std::string_view name);

// What the handler frame answers a command line in checking mode, calling no
// driver function: -1 for an uncatalogued name or a wrong count.
std::int32_t CheckingAnswer(const FileLine& line);
// The checking pass's record for a command line, if any.
std::optional<AgentRecord> CheckingRecord(const FileLine& line);

using AgentAnswer = std::function<void(const FileLine& line, AgentRecord record)>;

// The checking pass ("/PRE") over a file's text: every command line it
// rejects goes to `answer`; true when it rejects the file.
bool CheckingPassRejects(std::string_view text, const AgentAnswer& answer);

// The execution pass over a file's text (as text mode reads it), read one
// line at a time. Next gives each line to send in turn; Sent takes its
// result. Lines the pass answers itself go to `answer`.
class ExecutionPass {
public:
    using Answer = AgentAnswer;

    ExecutionPass(std::string_view text, Answer answer);

    // The file's options, from its option block.
    const FileOptions& Options() const { return options_; }

    // The next line to send, a catalogued one (its entry is set), or nullptr
    // once the pass has ended. The end marker line "." is passed over,
    // neither sent nor answered.
    const FileLine* Next();  // valid until the next call
    // The result of the line last given by Next: 0 goes on; -1 (a wrong
    // count, or the same status from the driver) is answered with the
    // count record; any other fails. A failure ends the pass unless /NOSTOP.
    void Sent(std::int32_t result);
    // Puts the pass where it stood when line `number` was sent, every earlier
    // sent line having succeeded, without answering anything on the way.
    // False when the pass never sends that line.
    bool ResumeAt(std::int32_t number);

    bool Ended() const { return ended_; }
    // The line at which the pass ended early (a failure under the stop rule,
    // or ". fim"); 0 when it ran to the end of the file or has not ended.
    std::int32_t EndLine() const { return endLine_; }

private:
    void Fail(const FileLine& line);

    CommandFileReader reader_;
    FileOptions options_;
    Answer answer_;
    FileLine line_;
    const FileLine* current_ = nullptr;
    bool ended_ = false;
    std::int32_t endLine_ = 0;
};

}  // namespace zentrada::engine
