// Command file intake: which file of the input directory is ready (ends with
// the marker line "."), the ".bad" names of abandoned files, and the removal
// of executed files.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/agent_engine.h"
#include "engine/agent_log.h"
#include "platform/platform.h"

namespace zentrada::engine {

// Whether a listed name is a command file: in simplified mode only
// COMANDO.FPI, otherwise any name ending in ".FPI"; letter case ignored.
bool IsCommandFileName(std::string_view name, bool simpleMode);

// Whether the last line of a text-mode text, cut at its first blank, is ".".
bool HasEndMarker(std::string_view text);

// Up to `count` bytes of a file from `offset`; nothing when unreadable.
using ReadRange = std::function<std::optional<std::string>(std::uint64_t offset, std::size_t count)>;
// HasEndMarker(FoldTextMode(bytes)) of a file of `size` bytes, reading only
// its last line and searching the rest for the Ctrl-Z that would end the
// text earlier. An unreadable part reads as no marker.
bool EndsWithMarker(std::uint64_t size, const ReadRange& read);

// Whether a file last written at `lastWrite` and still without its marker at
// `now` is abandoned: more than two whole minutes apart.
bool IsAbandoned(const platform::LocalTime& now, const platform::LocalTime& lastWrite);

// VENDA.FPI last written 2026-12-06 05:22:33.123, ".bad" →
// VENDA_20261206052233000123.bad: the name up to its first dot (leading dots
// kept), the time, the extension.
std::string StampedName(std::string_view name, const platform::LocalTime& time, std::string_view extension);
// The name an abandoned file is moved to: StampedName with ".bad".
std::string AbandonedName(std::string_view name, const platform::LocalTime& lastWrite);

// The name without its extension (cut at the last ".").
std::string BaseName(std::string_view name);

// YYYYMMDD_HHMMSS
std::string FormatStamp(const platform::LocalTime& time);

// A command file taken for execution.
struct TakenFile {
    std::string directory;
    std::string name;      // real name in the directory
    std::string baseName;
    std::string stamp;     // local time at which it was taken
    std::string text;      // content as text mode reads it, marker checked
    platform::FileEntry entry;
};

class Intake {
public:
    Intake(SharedState& shared, const AgentLog& log) : shared_(shared), log_(log) {}

    // The oldest ready command file (last-write time, then name), read whole;
    // abandoned files met on the way are moved to their ".bad" names.
    std::optional<TakenFile> ScanInputDirectory(const std::string& directory, bool simpleMode);

private:
    // The file's text when it is ready; moves it aside when abandoned.
    std::optional<std::string> CheckCommandFile(const std::string& directory, const platform::FileEntry& entry,
                                                const platform::LocalTime& now);
    void MoveAbandoned(const std::string& directory, const platform::FileEntry& entry);
    void ForgetVanishedWaitingFiles(const std::string& directory, const std::vector<platform::FileEntry>& listed);

    SharedState& shared_;
    const AgentLog& log_;
    // Files read and found without their marker, as they were then.
    std::set<SharedState::FileIdentity> waitingFiles_;
    // Abandoned files whose move failed, already logged once.
    std::set<std::pair<std::string, std::int64_t>> failedMoves_;
};

}  // namespace zentrada::engine
