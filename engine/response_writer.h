// The response file of the command file in hand: one record per answered
// line, "Line <n>: " followed by each field and "|", ending 13, 13, 10.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/command_context.h"
#include "engine/agent_log.h"

namespace zentrada::engine {

class Journal;

// "<base>.fpo" in simplified mode, else "<base>_<stamp>.fpo".
std::string ResponseFileName(const std::string& baseName, const std::string& stamp, bool simpleMode);

// The bytes of one record. When the first field reads as the number 1, the
// later fields are written empty.
std::string FormatRecord(std::int32_t lineNumber, const std::vector<std::string>& fields);

// The whole records at the head of a response text: what a crash in the
// middle of a record leaves of it is cut off.
std::string_view WholeRecords(std::string_view response);
// The records of a text, each with its line ending.
std::vector<std::string_view> SplitRecords(std::string_view records);
// A record's line number and first field.
std::optional<std::int32_t> RecordLine(std::string_view record);
std::string_view RecordStatus(std::string_view record);

// The response file of one command file. Its first records are written to a
// pending file beside it, "<name>.tmp", which then takes the response's name
// in one step: a crash never leaves an empty response file, nor the previous
// answers of a reused name (simplified mode) half replaced.
class ResponseFile {
public:
    // `named`: the records written so far are under the response's name;
    // else `pendingBytes` of them are in the pending file. When `durable`,
    // records and the name are on disk when Append returns.
    ResponseFile(std::string path, bool reusedName, bool durable, bool named = false,
                 std::uint64_t pendingBytes = 0);

    static std::string PendingPath(const std::string& path) { return path + ".tmp"; }
    // Empty pending files of `directory`: a crash between making one and
    // journaling its command file leaves one that no journal names.
    static void RemoveEmptyPending(const std::string& directory);

    // Whether no response of that name is there. Two command files of one
    // name taken within one second would share it: the later waits for the
    // clock's next second rather than empty the earlier's answers.
    bool NameFree() const;
    // Before the command file's first line is read; false when the output
    // directory does not take the file.
    bool CreatePending();
    // Appends whole records; false when they did not reach the file.
    bool Append(std::string_view records);
    // No record was written: the pending file goes.
    void Discard();
    // The records written, and the name, put on disk: before the journal
    // forgets them.
    void Sync();
    // A request's answers: kept in memory, as they go to its client, and
    // written (request_answers.h) only when the client did not get them.
    // The journal holds them meanwhile.
    void Hold() { holding_ = true; }
    const std::string& Held() const { return held_; }

    const std::string& Path() const { return path_; }
    bool ReusedName() const { return reusedName_; }

private:
    std::string path_;
    bool reusedName_;
    bool durable_;
    bool named_;
    std::uint64_t pendingBytes_;
    bool holding_ = false;
    std::string held_;
};

// The records of the file in hand, each journaled and written to the
// response file. Once the response file refuses one, no further line may be
// sent: the journal keeps them.
class ResponseWriter final : public commands::ResponseSink {
public:
    ResponseWriter(ResponseFile& file, const AgentLog& log, Journal* journal = nullptr);

    // The line the next records answer.
    void SetLine(std::int32_t line) { line_ = line; }
    // Each record, once in the response file, also goes to `copy`.
    void CopyTo(std::function<void(std::string_view)> copy) { copy_ = std::move(copy); }
    void WriteResponse(const std::vector<std::string>& fields) override;
    bool Failed() const { return failed_; }
    bool Written() const { return written_; }

private:
    ResponseFile& file_;
    const AgentLog& log_;
    Journal* journal_;
    std::int32_t line_ = 0;
    bool failed_ = false;
    bool written_ = false;
    std::function<void(std::string_view)> copy_;
};

}  // namespace zentrada::engine
