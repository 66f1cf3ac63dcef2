#include "engine/interrupted_file.h"

#include <algorithm>

#include "commands/conversions.h"
#include "engine/intake.h"
#include "engine/journal.h"
#include "engine/pass_rule.h"
#include "engine/response_writer.h"
#include "engine/text_file.h"
#include "resources/texts.h"

namespace zentrada::engine {
namespace {

// The command file as the journal knew it, if it is still there unchanged.
std::optional<platform::FileEntry> FindUnchanged(const JournalState& state) {
    auto entry = platform::FindFile(platform::JoinPath(state.directory, state.name));
    if (entry && entry->size == state.size && entry->lastWriteNs == state.lastWriteNs) return entry;
    return std::nullopt;
}

// The records written for the file in hand: under the response's name, or
// still in the pending file when the first never took the name.
struct WrittenRecords {
    std::string path;
    std::string records;
    bool named = false;
};

WrittenRecords FindWrittenRecords(const JournalState& state, bool durable) {
    const std::string pending = ResponseFile::PendingPath(state.responsePath);
    const auto response = platform::FindFile(state.responsePath);
    // A reused name (simplified mode) still holding the previous answers is
    // not this file's.
    const bool named = response && !(state.previousResponse && *state.previousResponse ==
                                                                   JournalState::Previous{response->size,
                                                                                          response->lastWriteNs});
    // Once the name holds the records, a pending file is what a crash left
    // between the two steps of the move.
    if (named) platform::RemoveFile(pending);
    WrittenRecords written{named ? state.responsePath : pending, "", named};
    const std::string text = platform::ReadFileBytes(written.path).value_or("");
    written.records = WholeRecords(text);
    if (written.records.size() != text.size()) platform::TruncateFile(written.path, written.records.size(), durable);
    return written;
}

// The journal's records the file lacks. The two agree record by record as
// far as both go: the file may hold the last records the journal had not
// forced yet, or lack those a power cut took from it. What the file holds
// past a disagreement is cut off; the journal's copy is written instead.
std::string MissingRecords(const JournalState& state, WrittenRecords& written, bool durable) {
    const std::vector<std::string_view> file = SplitRecords(written.records);
    const std::vector<std::string_view> journal = SplitRecords(state.records);
    std::size_t common = 0, bytes = 0;
    while (common < file.size() && common < journal.size() && file[common] == journal[common])
        bytes += file[common++].size();
    if (common < file.size() && common < journal.size()) {
        platform::TruncateFile(written.path, bytes, durable);
        written.records.resize(bytes);
    }
    std::string missing;
    for (std::size_t i = std::max(common, file.size()); i < journal.size(); ++i) missing += journal[i];
    return missing;
}

struct Ending {
    std::string records;     // to add to the response
    bool finished = false;   // the pass had reached its end
};

// The records the pass would have written from the last line sent on, past
// those already there (`written`, response and journal together), and
// whether the pass ends there.
Ending EndingOf(const JournalState& state, const std::optional<std::string>& text, std::string_view written) {
    const std::int32_t sent = *state.lastLine;
    const std::string inFlight = FormatRecord(sent, {"3", texts::kLineInterrupted});
    // The pass writes in line order: what concerns the line sent is at the end.
    std::vector<std::string_view> tail = SplitRecords(written);
    std::erase_if(tail, [sent](std::string_view record) { return RecordLine(record).value_or(0) < sent; });

    Ending ending;
    std::vector<std::string> expected;
    if (tail.empty() || tail.front() == inFlight) {
        expected.push_back(inFlight);
    } else if (text) {
        expected.emplace_back(tail.front());
        ExecutionPass pass(FoldTextMode(*text), [&expected](const FileLine& line, AgentRecord record) {
            expected.push_back(FormatRecord(line.number, AgentRecordFields(record)));
        });
        if (!pass.ResumeAt(sent)) {
            expected = {inFlight};
        } else {
            pass.Sent(commands::ParseDecimal(RecordStatus(tail.front())));
            if (const FileLine* next = pass.Next()) {
                expected.push_back(FormatRecord(next->number, {"3", texts::kLineInterrupted}));
            } else {
                ending.finished = true;
            }
        }
    }
    for (std::size_t i = tail.size(); i < expected.size(); ++i) ending.records += expected[i];
    return ending;
}

void MoveAside(const JournalState& state, const platform::FileEntry& entry, ExecutedFiles& executed,
               const AgentLog& log, bool durable) {
    const std::string path = platform::JoinPath(state.directory, entry.name);
    const std::string newName = InterruptedName(entry.name, entry.lastWrite);
    if (platform::MoveFileNoReplace(path, platform::JoinPath(state.directory, newName))) {
        if (durable) platform::SyncDirectoryOf(path);
        log.WriteLog(FillPattern(texts::kFileInterrupted, {entry.name, newName}));
    } else {
        executed.Remember(state.directory, entry);
        log.WriteLog(FillPattern(texts::kFileInterruptedNotMoved, {entry.name, newName}));
    }
}

// Nothing reached the printer: what this run wrote goes, so the run from the
// start leaves no stale answers beside its own.
void RemoveWrittenRecords(const JournalState& state, bool named, bool durable) {
    const std::string path = named ? state.responsePath : ResponseFile::PendingPath(state.responsePath);
    if (platform::RemoveFile(path) && durable) platform::SyncDirectoryOf(path);
}

}  // namespace

std::string InterruptedName(std::string_view name, const platform::LocalTime& lastWrite) {
    return StampedName(name, lastWrite, ".interrompido");
}

Recovery RecoverInterruptedFile(const std::string& journalPath, ExecutedFiles& executed, const AgentLog& log,
                                bool durable, bool announce) {
    if (journalPath.empty()) return Recovery::Done;
    const auto journal = platform::ReadFileBytes(journalPath);
    const std::optional<JournalState> state = journal ? ParseJournal(*journal) : std::nullopt;
    if (!state) return Recovery::Done;
    // A request has no command file; its journal holds its text.
    const std::optional<platform::FileEntry> entry = state->request ? std::nullopt : FindUnchanged(*state);
    // A request's answers are in the journal alone until its client has them.
    const bool answersOwed = state->request && !state->delivered;
    bool cutShort = false;
    if (state->finished && !answersOwed) {
        // Its answers were whole on disk before "fim" (the point of sale may
        // have taken them away since): nothing is added.
        platform::RemoveFile(ResponseFile::PendingPath(state->responsePath));
        if (entry) executed.Finish(state->directory, *entry);
    } else if (!state->lastLine && !state->finished) {
        const WrittenRecords written = FindWrittenRecords(*state, durable);
        RemoveWrittenRecords(*state, written.named, durable);
        // A file is taken again from its start; a request's client is gone.
        if (state->request) log.WriteLog(FillPattern(texts::kTcpRequestNotSent, {state->name}));
    } else {
        WrittenRecords written = FindWrittenRecords(*state, durable);
        const std::string missing = MissingRecords(*state, written, durable);
        ResponseFile response(state->responsePath, state->simplified, durable, written.named,
                              written.records.size());
        const auto text = state->request ? state->request
                          : entry        ? platform::ReadFileBytes(platform::JoinPath(state->directory, entry->name))
                                         : std::nullopt;
        const Ending ending =
            state->finished ? Ending{{}, true} : EndingOf(*state, text, written.records + missing);
        // The answers reach the response file before anything else is done.
        if (!response.Append(missing + ending.records)) {
            if (announce) log.WriteLog(FillPattern(texts::kAnswersKept, {state->name, state->responsePath}));
            return Recovery::Pending;
        }
        const bool added = !missing.empty() || !ending.records.empty();
        if (!missing.empty() && !state->request) log.WriteLog(FillPattern(texts::kAnswersWritten, {state->responsePath}));
        if (written.records.empty() && !added) response.Discard();
        if (state->request && !ending.finished) {
            log.WriteLog(FillPattern(texts::kTcpRequestInterrupted, {state->name, state->responsePath}));
        } else if (state->request && added) {
            log.WriteLog(FillPattern(texts::kTcpAnswersSaved, {state->name, state->responsePath}));
        } else if (entry && ending.finished) {
            executed.Finish(state->directory, *entry);
        } else if (entry) {
            MoveAside(*state, *entry, executed, log, durable);
        } else if (!ending.finished) {
            log.WriteLog(FillPattern(texts::kFileInterruptedGone, {state->name}));
        }
        cutShort = !ending.finished;
    }
    // Emptied, so this start's work is not done twice by the next one.
    Journal::Clear(journalPath, durable);
    return cutShort ? Recovery::CutShort : Recovery::Done;
}

}  // namespace zentrada::engine
