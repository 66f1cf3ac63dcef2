#include "engine/interrupted_file.h"

#include <charconv>

#include "engine/intake.h"
#include "engine/journal.h"
#include "engine/reader.h"
#include "engine/record_bytes.h"
#include "engine/response_writer.h"
#include "engine/text_file.h"
#include "engine/worker.h"
#include "resources/texts.h"

namespace zentrada::engine {
namespace {

// The command file as the journal knew it, if it is still there unchanged.
std::optional<platform::FileEntry> FindUnchanged(const JournalState& state) {
    for (platform::FileEntry& entry : platform::ListFiles(state.directory)) {
        if (entry.name == state.name && entry.size == state.size && entry.lastWriteNs == state.lastWriteNs)
            return std::move(entry);
    }
    return std::nullopt;
}

std::string_view LastRecord(std::string_view response) {
    constexpr std::string_view kEnd = kRecordEnd;
    if (response.size() < kEnd.size() || response.substr(response.size() - kEnd.size()) != kEnd) return {};
    response.remove_suffix(kEnd.size());
    const auto previous = response.rfind(kEnd);
    return previous == std::string_view::npos ? response : response.substr(previous + kEnd.size());
}

// An executed file still there is deleted now; one that cannot be is never
// taken again by this process.
void DeleteExecuted(const JournalState& state, const platform::FileEntry& entry, SharedState& shared,
                    const AgentLog& log) {
    const std::string path = platform::JoinPath(state.directory, entry.name);
    if (platform::RemoveFile(path)) return;
    shared.RememberUndeletedFile({path, entry.lastWriteNs, entry.size});
    log.WriteLog(FillPattern(texts::kFileNotDeleted, {entry.name}));
}

// The line to mark when the line sent was answered: the next one the pass
// would run. Nothing when there is none, the file being at its end.
std::optional<std::int32_t> NextLineOf(const JournalState& state, const platform::FileEntry& entry) {
    const auto bytes = platform::ReadFileBytes(platform::JoinPath(state.directory, entry.name));
    if (!bytes) return std::nullopt;
    return NextCommandLine(FoldTextMode(*bytes), *state.lastLine);
}

void AppendInterruptedRecord(const JournalState& state, std::int32_t line, const std::string& response,
                             const AgentLog& log, bool durable) {
    const std::string record = FormatRecord(line, {"3", texts::kLineInterrupted});
    if (!platform::WriteFileBytes(state.responsePath, record, response.empty(), durable))
        log.WriteLog(FillPattern(texts::kResponseNotWritten, {state.responsePath}));
}

void MoveAside(const JournalState& state, const platform::FileEntry& entry, SharedState& shared,
               const AgentLog& log) {
    const std::string path = platform::JoinPath(state.directory, entry.name);
    const std::string newName = InterruptedName(entry.name, entry.lastWrite);
    if (platform::MoveFileNoReplace(path, platform::JoinPath(state.directory, newName))) {
        log.WriteLog(FillPattern(texts::kFileInterrupted, {entry.name, newName}));
    } else {
        shared.RememberUndeletedFile({path, entry.lastWriteNs, entry.size});
        log.WriteLog(FillPattern(texts::kFileInterruptedNotMoved, {entry.name, newName}));
    }
    platform::SyncDirectoryOf(path);
}

}  // namespace

// A file cut short: the line in flight, or the next one when that was
// answered, gets its record, and the file is moved aside. One answered to its
// last line only missed its deletion.
static void PutRightCutShort(const JournalState& state, const std::optional<platform::FileEntry>& entry,
                             const std::string& response, SharedState& shared, const AgentLog& log, bool durable) {
    std::optional<std::int32_t> line = state.lastLine;
    if (LastRecordLine(response) == line) {
        line = entry ? NextLineOf(state, *entry) : std::nullopt;
        if (entry && !line) {
            DeleteExecuted(state, *entry, shared, log);
            return;
        }
    }
    if (line) AppendInterruptedRecord(state, *line, response, log, durable);
    if (entry) {
        MoveAside(state, *entry, shared, log);
    } else {
        log.WriteLog(FillPattern(texts::kFileInterruptedGone, {state.name}));
    }
}

std::string InterruptedName(std::string_view name, const platform::LocalTime& lastWrite) {
    return StampedName(name, lastWrite, ".interrompido");
}

std::optional<std::int32_t> LastRecordLine(std::string_view response) {
    std::string_view record = LastRecord(response);
    constexpr std::string_view kPrefix = "Line ";
    if (record.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    record.remove_prefix(kPrefix.size());
    std::int32_t line = 0;
    const auto [end, error] = std::from_chars(record.data(), record.data() + record.size(), line);
    if (error != std::errc{} || end == record.data() + record.size() || *end != ':') return std::nullopt;
    return line;
}

std::optional<std::int32_t> NextCommandLine(const std::string& text, std::int32_t line) {
    CommandFileReader reader(text);
    FileOptions options;
    reader.ReadOptions(options);
    commands::CommandLine command;
    while (reader.ReadNextCommandLine(command)) {
        if (reader.LineNumber() <= line) continue;
        if (EndsExecutionPass(command.name)) return std::nullopt;
        return reader.LineNumber();
    }
    return std::nullopt;
}

void RecoverInterruptedFile(const std::string& journalPath, SharedState& shared, const AgentLog& log,
                            bool durable) {
    if (journalPath.empty()) return;
    const auto text = platform::ReadFileBytes(journalPath);
    if (!text) return;
    const std::optional<JournalState> state = ParseJournal(*text);
    // Nothing reached the printer: the file is taken again as it stands.
    if (!state || (!state->lastLine && !state->finished)) return;
    const std::optional<platform::FileEntry> entry = FindUnchanged(*state);
    const std::string response = platform::ReadFileBytes(state->responsePath).value_or("");
    if (state->finished) {
        if (entry) DeleteExecuted(*state, *entry, shared, log);
    } else if (LastRecord(response).find(texts::kLineInterrupted) != std::string_view::npos) {
        // A start cut short while putting the file right left its record.
        if (entry) MoveAside(*state, *entry, shared, log);
    } else {
        PutRightCutShort(*state, entry, response, shared, log, durable);
    }
    // Emptied, so this start's work is not done twice by the next one.
    platform::WriteFileBytes(journalPath, "", true, durable);
}

}  // namespace zentrada::engine
