// Command file intake: which file of the input directory is ready (ends with
// the marker line "."), the ".bad" names of abandoned files, and the removal
// of executed files.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/agent_engine.h"
#include "engine/agent_log.h"
#include "platform/directory_watch.h"
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
    Intake(SharedState& shared, const AgentLog& log, std::chrono::milliseconds listEvery = std::chrono::seconds(1))
        : shared_(shared), log_(log), listEvery_(listEvery) {}

    // The oldest ready command file (last-write time, then name), read whole;
    // abandoned files met on the way are moved to their ".bad" names. The
    // directory is listed whole.
    std::optional<TakenFile> ScanInputDirectory(const std::string& directory, bool simpleMode);
    // The same choice, from the files known since the last listing: only
    // the names in `changes`, and a file before it is read, are looked up
    // again. The directory is listed instead when the changes are
    // incomplete, the directory or the mode differ from the last scan's, and
    // every `listEvery`: only then are waiting files looked at for
    // abandonment.
    std::optional<TakenFile> NextFile(const std::string& directory, bool simpleMode,
                                      const platform::DirectoryChanges& changes);

    // The command files known to be in the directory, but `taken`, and the
    // last write of the oldest (0 when none).
    struct WaitingFiles {
        std::uint64_t count = 0;
        std::int64_t oldestNs = 0;
    };
    WaitingFiles Waiting(const std::optional<TakenFile>& taken) const;

private:
    struct KnownFile {
        platform::FileEntry entry;
        bool waiting = false;  // read and found without its marker, unchanged since
    };
    // The order files are taken in, last-write time then name: a POS
    // expects its files answered in the order it wrote them.
    using Order = std::pair<std::int64_t, std::string>;

    void List(const std::string& directory, bool simpleMode);
    // The file under `name` as it is now, or forgotten.
    void LookUp(const std::string& directory, const std::string& name);
    // What is known under `name` replaced by `entry`, or forgotten.
    void Replace(const std::string& name, std::optional<platform::FileEntry> entry);
    // Adds a file; `was` is what was known under its name before.
    void Know(platform::FileEntry entry, const KnownFile* was);
    // The first ready file in order; only the files not known to be waiting
    // unless `all`. `uncertain` is set when a file met could not be read.
    std::optional<TakenFile> Choose(const std::string& directory, bool all, bool* uncertain = nullptr);
    // The file's text when it is ready; moves it aside when abandoned.
    std::optional<std::string> CheckCommandFile(const std::string& directory, KnownFile& file,
                                                const platform::LocalTime& now);
    void MoveAbandoned(const std::string& directory, const platform::FileEntry& entry);

    SharedState& shared_;
    const AgentLog& log_;
    const std::chrono::milliseconds listEvery_;
    // The command files of the directory last scanned, as listed or looked
    // up since.
    std::string directory_;
    bool simpleMode_ = false;
    bool listed_ = false;
    // The last pass found every known file waiting (or left undeleted) and
    // nothing has changed since.
    bool settled_ = false;
    std::chrono::steady_clock::time_point listedAt_;
    std::map<Order, KnownFile> files_;
    std::unordered_map<std::string, std::int64_t> lastWrites_;  // by name: their place in files_
    // Abandoned files whose move failed, already logged once.
    std::set<std::pair<std::string, std::int64_t>> failedMoves_;
};

}  // namespace zentrada::engine
