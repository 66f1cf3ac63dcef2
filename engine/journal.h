// The journal of the command file in hand, the write-ahead log of its
// answers: which file the worker took, where its answers go, every record
// written, and the line being sent to the printer. One entry is forced to
// disk per line sent, carrying the records written since the last one and
// the intent to send the next line: the only forced write before the call.
// The response file is written without forcing; after a crash the next start
// completes it from here, and learns what may have reached the printer, so
// the file is never run a second time.
//
// Its text, one entry per line feed, from the header of the file in hand
// (requests follow one another: the last whole header is the one in hand):
//   ZENTRADA EM EXECUCAO 1
//   pasta <length> <input directory>
//   arquivo <length> <command file name>
//   resposta <length> <response file path>
//   tamanho <bytes>
//   gravacao <last-write time, ns>
//   simplificado       in simplified mode, where the response's name is reused
//   anterior <bytes> <last-write time, ns>
//                      that response as it was before this file, if any
//   pedido <length> <text>
//                      a request of the TCP channel, which has no command
//                      file: its text, as the worker read it
//   linha <n>          before line n is sent, once per line sent
//   registro <length> <bytes>
//                      a record of the response, in order
//   fim                the file ran to its end, every record in its file
//                      (a request's records are in the journal alone)
//   entregue           the request's client had every record
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
    // A request's text: it has no command file, and its answers are
    // written to the response file only when its client did not get them.
    std::optional<std::string> request;
    std::optional<std::int32_t> lastLine;  // the last line announced
    std::string records;                   // every record journaled, in order
    bool finished = false;
    bool delivered = false;
};

std::string JournalHeader(const JournalState& state);
// The journal entry of a record.
std::string RecordEntry(std::string_view record);
// Nothing when the header is not whole: no line was sent under it.
std::optional<JournalState> ParseJournal(std::string_view text);

class Journal {
public:
    // An empty path keeps no journal.
    Journal(std::string path, bool durable, const AgentLog& log);

    // Before the first line of a file is read. The journal is emptied and
    // rewritten (a request's entries may follow the last request's), never
    // removed, so its name need not reach the disk again; it stays open from
    // one file to the next. Written with the first entry, which forces it.
    void Begin(const JournalState& file);
    // A record of the response, forced with the next entry. A request's
    // record is written at once: the journal is its only copy on disk.
    void Record(std::string_view record);
    // Before line `line` is sent: forced with the records before it.
    void Sending(std::int32_t line);
    // Everything journaled is on disk on return.
    void Force();
    // Before the executed file is deleted: forced with the last records.
    // `delivered`: a request's client had every record.
    void Finished(bool delivered = false);
    // After a crash's file was put right: nothing in hand.
    static bool Clear(const std::string& path, bool durable);

private:
    bool Append(std::string_view entry, bool force);

    std::string path_;
    bool durable_;
    const AgentLog& log_;
    platform::AppendFile file_;
    std::string unwritten_;  // records not yet in the file
    bool forced_ = false;    // something of this command file forced
    bool failed_ = false;    // logged once per command file
    bool request_ = false;   // the file in hand is a request
    std::uint64_t size_ = 0;  // bytes written since it was emptied
};

}  // namespace zentrada::engine
