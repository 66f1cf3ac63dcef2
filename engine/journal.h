// The journal of the command file in hand: which file the worker took, where
// its answers go, and the line being sent to the printer, kept on disk ahead
// of every driver call. After a crash it tells the next start what may have
// reached the printer, so the file is never run a second time.
//
// Its text, one entry per line feed:
//   ZENTRADA EM EXECUCAO 1
//   pasta <length> <input directory>
//   arquivo <length> <command file name>
//   resposta <length> <response file path>
//   tamanho <bytes>
//   gravacao <last-write time, ns>
//   simplificado       in simplified mode, where the response's name is reused
//   anterior <bytes> <last-write time, ns>
//                      that response as it was before this file, if any
//   linha <n>          before line n is sent, once per line sent
//   registro <length> <bytes>
//                      a record the output directory did not take; no line
//                      is sent after it
//   fim                the file ran to its end, every record in its file
// An entry cut short by a crash has no line feed and is ignored: it was being
// written before the call it announces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/agent_log.h"
#include "platform/platform.h"

namespace zentrada::engine {

struct JournalState {
    std::string directory;
    std::string name;
    std::string responsePath;
    std::uint64_t size = 0;
    std::int64_t lastWriteNs = 0;
    bool simplified = false;
    struct Previous {
        std::uint64_t size = 0;
        std::int64_t lastWriteNs = 0;
        bool operator==(const Previous&) const = default;
    };
    std::optional<Previous> previousResponse;
    std::optional<std::int32_t> lastLine;  // the last line announced
    std::string keptRecords;               // records kept here, in order
    bool finished = false;
};

std::string JournalHeader(const JournalState& state);
// The entry of a record kept in the journal.
std::string KeptRecordEntry(std::string_view record);
// Nothing when the header is not whole: no line was sent under it.
std::optional<JournalState> ParseJournal(std::string_view text);

class Journal {
public:
    // An empty path keeps no journal.
    Journal(std::string path, bool durable, const AgentLog& log);

    // Before the first line of a file is read. The journal is emptied and
    // rewritten, never removed, so its name need not reach the disk again.
    void Begin(const JournalState& file);
    void Sending(std::int32_t line);
    // A record the response file did not take; false when the journal did
    // not take it either.
    bool KeepRecord(std::string_view record);
    // Before the executed file is deleted.
    void Finished();
    // After a crash's file was put right: nothing in hand.
    static bool Clear(const std::string& path, bool durable);

private:
    bool Append(std::string_view entry);

    std::string path_;
    bool durable_;
    const AgentLog& log_;
    platform::AppendFile file_;
    bool failed_ = false;  // logged once per command file
};

}  // namespace zentrada::engine
