// The response file of the command file in hand: one record per answered
// line, "Line <n>: " followed by each field and "|", ending 13, 13, 10.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "commands/command_context.h"
#include "engine/agent_log.h"

namespace zentrada::engine {

// "<base>.fpo" in simplified mode, else "<base>_<stamp>.fpo".
std::string ResponseFileName(const std::string& baseName, const std::string& stamp, bool simpleMode);

// The bytes of one record. When the first field reads as the number 1, the
// later fields are written empty.
std::string FormatRecord(std::int32_t lineNumber, const std::vector<std::string>& fields);

class ResponseWriter final : public commands::ResponseSink {
public:
    // `lineNumber` gives the line in hand at the time of each record. When
    // `durable`, each record is on disk before WriteResponse returns.
    ResponseWriter(std::string path, const AgentLog& log, std::function<std::int32_t()> lineNumber,
                   bool durable = false);

    // The first record empties the file, so records of two command files
    // never mix; later records are appended. The file is closed after each.
    void WriteResponse(const std::vector<std::string>& fields) override;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    const AgentLog& log_;
    std::function<std::int32_t()> lineNumber_;
    bool durable_;
    bool started_ = false;
    bool failureLogged_ = false;
};

}  // namespace zentrada::engine
