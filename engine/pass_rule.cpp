#include "engine/pass_rule.h"

#include <utility>

#include "commands/catalogue.h"
#include "commands/command_context.h"
#include "resources/texts.h"

namespace zentrada::engine {

std::vector<std::string> AgentRecordFields(AgentRecord record) {
    return {"3", record == AgentRecord::UnknownCommand ? texts::kUnknownCommand : texts::kWrongParameterCount};
}

bool EndsExecutionPass(std::string_view name) { return name.substr(0, name.find(' ')) == "."; }

namespace {

// Checking mode writes no record.
class NoRecords final : public commands::ResponseSink {
public:
    void WriteResponse(const std::vector<std::string>&) override {}
};

}  // namespace

std::int32_t CheckingAnswer(const FileLine& line) {
    if (line.entry == nullptr) return -1;
    static const driver::DriverBinding kNoDriver{};
    NoRecords records;
    commands::DriverLogSetting driverLog;
    commands::CommandContext context{kNoDriver, records, driverLog, true};
    return commands::RunEntry(*line.entry, line.command.params, context);
}

std::optional<AgentRecord> CheckingRecord(const FileLine& line) {
    if (line.entry == nullptr) return AgentRecord::UnknownCommand;
    if (CheckingAnswer(line) == -1) return AgentRecord::WrongParameterCount;
    return std::nullopt;
}

bool CheckingPassRejects(std::string_view text, const AgentAnswer& answer) {
    CommandFileReader reader{std::string(text)};
    FileOptions options;
    reader.ReadOptions(options);
    bool rejected = false;
    while (const auto line = reader.ReadNextLine()) {
        if (line->kind != LineKind::Command) continue;
        if (const auto record = CheckingRecord(*line)) {
            answer(*line, *record);
            rejected = true;
        }
    }
    return rejected;
}

ExecutionPass::ExecutionPass(std::string_view text, Answer answer)
    : reader_(std::string(text)), answer_(std::move(answer)) {
    reader_.ReadOptions(options_);
}

const FileLine* ExecutionPass::Next() {
    current_ = nullptr;
    while (!ended_) {
        auto read = reader_.ReadNextLine();
        if (!read) break;
        line_ = std::move(*read);
        const FileLine& line = line_;
        if (line.kind != LineKind::Command || line.Code() == commands::kEndMarkerCode) continue;
        if (line.entry != nullptr) {
            current_ = &line;
            return current_;
        }
        if (EndsExecutionPass(line.command.name)) {
            ended_ = true;
            endLine_ = line.number;
            break;
        }
        if (answer_) answer_(line, AgentRecord::UnknownCommand);
        Fail(line);
    }
    ended_ = true;
    return nullptr;
}

void ExecutionPass::Sent(std::int32_t result) {
    if (current_ == nullptr || result == 0) return;
    if (result == -1 && answer_) answer_(*current_, AgentRecord::WrongParameterCount);
    Fail(*current_);
}

void ExecutionPass::Fail(const FileLine& line) {
    if (!options_.stopOnError) return;
    ended_ = true;
    endLine_ = line.number;
}

bool ExecutionPass::ResumeAt(std::int32_t number) {
    Answer answer = std::exchange(answer_, nullptr);
    bool found = false;
    while (const FileLine* line = Next()) {
        if (line->number >= number) {
            found = line->number == number;
            break;
        }
        Sent(0);
    }
    answer_ = std::move(answer);
    return found;
}

}  // namespace zentrada::engine
