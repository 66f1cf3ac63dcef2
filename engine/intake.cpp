#include "engine/intake.h"

#include <algorithm>
#include <cstdio>

#include "commands/ascii.h"
#include "engine/executed_files.h"
#include "engine/text_file.h"
#include "resources/texts.h"

namespace zentrada::engine {
namespace {

constexpr std::size_t kMarkerPieceChars = 2999;
constexpr std::size_t kScanChunk = 65536;

// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - static_cast<int>(era * 400);
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::int64_t MinuteIndex(const platform::LocalTime& t) {
    return (DaysFromCivil(t.year, t.month, t.day) * 24 + t.hour) * 60 + t.minute;
}

}  // namespace

bool IsCommandFileName(std::string_view name, bool simpleMode) {
    if (simpleMode) return commands::EqualIgnoringAsciiCase(name, "COMANDO.FPI");
    return commands::EndsWithIgnoringAsciiCase(name, ".FPI");
}

bool HasEndMarker(std::string_view text) {
    PieceReader pieces(text);
    std::optional<std::string_view> last;
    while (auto piece = pieces.Next(kMarkerPieceChars)) last = piece;
    if (!last) return false;
    const std::string_view marker = last->substr(0, last->find(' '));
    return marker == "." || marker == ".\n";
}

namespace {

// Where the last line of the first `size` bytes starts (after the last line
// feed but a final one); `tail` gets the bytes from there on.
std::optional<std::uint64_t> LastLineStart(std::uint64_t size, const ReadRange& read, std::string& tail) {
    tail.clear();
    std::uint64_t start = size;
    while (start > 0) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(start, kScanChunk));
        const auto chunk = read(start - count, count);
        if (!chunk || chunk->size() != count) return std::nullopt;
        // The file's very last byte may be its last line's own line feed.
        const std::size_t searchEnd = tail.empty() && !chunk->empty() ? chunk->size() - 1 : chunk->size();
        const auto feed = std::string_view(*chunk).substr(0, searchEnd).rfind('\n');
        if (feed != std::string_view::npos) {
            tail.insert(0, *chunk, feed + 1);
            return start - count + feed + 1;
        }
        tail.insert(0, *chunk);
        start -= count;
    }
    return 0;
}

// Where the first Ctrl-Z before `end` lies, if any.
std::optional<std::uint64_t> FindCtrlZ(std::uint64_t end, const ReadRange& read, bool& failed) {
    for (std::uint64_t offset = 0; offset < end; offset += kScanChunk) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(end - offset, kScanChunk));
        const auto chunk = read(offset, count);
        if (!chunk || chunk->size() != count) {
            failed = true;
            return std::nullopt;
        }
        const auto place = chunk->find('\x1A');
        if (place != std::string::npos) return offset + place;
    }
    return std::nullopt;
}

}  // namespace

bool EndsWithMarker(std::uint64_t size, const ReadRange& read) {
    std::string tail;
    const auto start = LastLineStart(size, read, tail);
    if (!start) return false;
    bool failed = false;
    // A Ctrl-Z ends the text: the marker is then looked for before it.
    std::optional<std::uint64_t> ctrlZ = FindCtrlZ(*start, read, failed);
    if (failed) return false;
    if (!ctrlZ) {
        const auto place = tail.find('\x1A');
        if (place == std::string::npos) return HasEndMarker(FoldTextMode(tail));
        ctrlZ = *start + place;
    }
    return EndsWithMarker(*ctrlZ, read);
}

bool IsAbandoned(const platform::LocalTime& now, const platform::LocalTime& lastWrite) {
    return MinuteIndex(now) - MinuteIndex(lastWrite) > 2;
}

std::string StampedName(std::string_view name, const platform::LocalTime& t, std::string_view extension) {
    const auto firstNonDot = name.find_first_not_of('.');
    const auto cut = firstNonDot == std::string_view::npos ? std::string_view::npos : name.find('.', firstNonDot);
    char digits[64];
    std::snprintf(digits, sizeof digits, "_%04d%02d%02d%02d%02d%02d%06d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.millisecond);
    return std::string(name.substr(0, cut)) + digits + std::string(extension);
}

std::string AbandonedName(std::string_view name, const platform::LocalTime& t) { return StampedName(name, t, ".bad"); }

std::string BaseName(std::string_view name) { return std::string(name.substr(0, name.rfind('.'))); }

std::string FormatStamp(const platform::LocalTime& t) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return stamp;
}

std::optional<TakenFile> Intake::ScanInputDirectory(const std::string& directory, bool simpleMode) {
    List(directory, simpleMode);
    settled_ = false;
    return Choose(directory, true);
}

std::optional<TakenFile> Intake::NextFile(const std::string& directory, bool simpleMode,
                                          const platform::DirectoryChanges& changes) {
    if (!changes.complete || !listed_ || directory != directory_ || simpleMode != simpleMode_ ||
        std::chrono::steady_clock::now() - listedAt_ >= listEvery_)
        return ScanInputDirectory(directory, simpleMode);
    bool changed = false;
    for (const std::string& name : changes.names) {
        if (!IsCommandFileName(name, simpleMode)) continue;
        LookUp(directory, name);
        changed = true;
    }
    // Nothing changed since a pass that found every known file waiting:
    // another would find the same, and a cycle costs nothing per file.
    if (!changed && settled_) return std::nullopt;
    bool uncertain = false;
    std::optional<TakenFile> taken = Choose(directory, false, &uncertain);
    settled_ = !taken && !uncertain;
    return taken;
}

void Intake::List(const std::string& directory, bool simpleMode) {
    std::map<Order, KnownFile> known;
    if (listed_ && directory == directory_ && simpleMode == simpleMode_) known = std::move(files_);
    files_.clear();
    lastWrites_.clear();
    directory_ = directory;
    simpleMode_ = simpleMode;
    listed_ = true;
    listedAt_ = std::chrono::steady_clock::now();
    std::vector<std::pair<Order, platform::FileEntry>> listed;
    for (platform::FileEntry& entry : platform::ListFiles(directory)) {
        if (IsCommandFileName(entry.name, simpleMode))
            listed.emplace_back(Order{entry.lastWriteNs, entry.name}, std::move(entry));
    }
    // In the order of both, so that each file meets what was known of it in
    // one pass.
    std::sort(listed.begin(), listed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    lastWrites_.reserve(listed.size());
    auto was = known.begin();
    for (auto& [order, entry] : listed) {
        while (was != known.end() && was->first < order) ++was;
        Know(std::move(entry), was != known.end() && was->first == order ? &was->second : nullptr);
    }
}

void Intake::LookUp(const std::string& directory, const std::string& name) {
    Replace(name, platform::FindFile(platform::JoinPath(directory, name)));
}

void Intake::Replace(const std::string& name, std::optional<platform::FileEntry> entry) {
    std::optional<KnownFile> was;
    if (const auto place = lastWrites_.find(name); place != lastWrites_.end()) {
        was = std::move(files_.extract(Order{place->second, name}).mapped());
        lastWrites_.erase(place);
    }
    if (entry) Know(std::move(*entry), was ? &*was : nullptr);
}

void Intake::Know(platform::FileEntry entry, const KnownFile* was) {
    // What was read of a file holds while it stays the same file.
    const bool waiting =
        was != nullptr && was->waiting && IdentityOf(directory_, was->entry) == IdentityOf(directory_, entry);
    lastWrites_[entry.name] = entry.lastWriteNs;
    Order order{entry.lastWriteNs, entry.name};
    files_.emplace_hint(files_.end(), std::move(order), KnownFile{std::move(entry), waiting});
}

std::optional<TakenFile> Intake::Choose(const std::string& directory, bool all, bool* uncertain) {
    const platform::LocalTime now = platform::Now();
    for (auto at = files_.begin(); at != files_.end();) {
        KnownFile& file = at->second;
        // A known waiting file changes only under a name notified; its age
        // is looked at with each listing.
        if ((file.waiting && !all) || shared_.IsUndeletedFile(IdentityOf(directory, file.entry))) {
            ++at;
            continue;
        }
        // Read against its entry as it is now, as right after a listing:
        // the entry is what the journal records of the file. One changed
        // meanwhile may have its place before.
        if (!all) {
            auto current = platform::FindFile(platform::JoinPath(directory, file.entry.name));
            if (!current || IdentityOf(directory, *current) != IdentityOf(directory, file.entry)) {
                Replace(std::string(at->first.second), std::move(current));
                at = files_.begin();
                continue;
            }
        }
        if (auto text = CheckCommandFile(directory, file, now)) {
            return TakenFile{directory, file.entry.name, BaseName(file.entry.name), FormatStamp(platform::Now()),
                             std::move(*text), file.entry};
        }
        // Neither ready nor known to be waiting (it could not be read): to
        // be looked at again.
        if (!file.waiting && uncertain != nullptr) *uncertain = true;
        ++at;
    }
    return std::nullopt;
}

namespace {

// The file's text when it ends with its marker. A file larger than one read
// has its end looked at first, so a slow writer's long file is not read
// whole at each change; a smaller one is read whole at once, since a ready
// file's bytes are needed anyway. The bytes checked are the bytes executed:
// a file rewritten after the check is not run half-new.
std::optional<std::string> ReadyText(const std::string& path, std::uint64_t size, bool& unreadable) {
    if (size > kScanChunk) {
        const ReadRange read = [&](std::uint64_t offset, std::size_t count) {
            auto bytes = platform::ReadFileRange(path, offset, count);
            unreadable = unreadable || !bytes;
            return bytes;
        };
        if (!EndsWithMarker(size, read)) return std::nullopt;
    }
    const auto bytes = platform::ReadFileBytes(path);
    if (!bytes) {
        unreadable = true;
        return std::nullopt;
    }
    std::string text = FoldTextMode(*bytes);
    if (!HasEndMarker(text)) return std::nullopt;
    return text;
}

}  // namespace

std::optional<std::string> Intake::CheckCommandFile(const std::string& directory, KnownFile& file,
                                                    const platform::LocalTime& now) {
    // A waiting file that has not changed since it was read is not read
    // again: a slow writer's files would otherwise be read at every scan. Its
    // age still counts for abandonment.
    if (!file.waiting) {
        bool unreadable = false;
        if (auto text = ReadyText(platform::JoinPath(directory, file.entry.name), file.entry.size, unreadable))
            return text;
        if (unreadable) return std::nullopt;
        file.waiting = true;
    }
    if (IsAbandoned(now, file.entry.lastWrite)) {
        file.waiting = false;
        MoveAbandoned(directory, file.entry);
    }
    return std::nullopt;
}

void Intake::MoveAbandoned(const std::string& directory, const platform::FileEntry& entry) {
    const std::string newName = AbandonedName(entry.name, entry.lastWrite);
    const auto key = std::make_pair(platform::JoinPath(directory, entry.name), entry.lastWriteNs);
    if (platform::MoveFileNoReplace(key.first, platform::JoinPath(directory, newName))) {
        failedMoves_.erase(key);
        shared_.status.FileHappened(FileEvent::Abandoned);
        log_.WriteLog(FillPattern(texts::kFileRenamed, {entry.name, newName}));
    } else if (failedMoves_.insert(key).second) {
        log_.WriteLog(FillPattern(texts::kFileRenameFailed, {entry.name, newName}));
    }
}

Intake::WaitingFiles Intake::Waiting(const std::optional<TakenFile>& taken) const {
    const bool known = taken && lastWrites_.contains(taken->name);
    WaitingFiles waiting{files_.size() - (known ? 1 : 0), 0};
    for (const auto& [order, file] : files_) {
        if (known && order.second == taken->name) continue;
        waiting.oldestNs = order.first;
        break;
    }
    return waiting;
}

}  // namespace zentrada::engine
