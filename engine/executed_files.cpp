#include "engine/executed_files.h"

#include <charconv>
#include <optional>
#include <vector>

#include "resources/texts.h"

namespace zentrada::engine {
namespace {

using Identity = SharedState::FileIdentity;

// "<size> <last-write ns> <path length> <path>\n": paths may hold any byte.
std::string Entry(const Identity& file) {
    return std::to_string(file.size) + " " + std::to_string(file.lastWriteNs) + " " +
           std::to_string(file.path.size()) + " " + file.path + "\n";
}

template <typename Number>
bool TakeNumber(std::string_view& text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data() + text.size() || *end != ' ') return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 1);
    return true;
}

// The whole entries of the list; one cut short by a crash is dropped.
std::vector<Identity> ParseList(std::string_view text) {
    std::vector<Identity> files;
    for (;;) {
        Identity file;
        std::size_t length = 0;
        if (!TakeNumber(text, file.size) || !TakeNumber(text, file.lastWriteNs) || !TakeNumber(text, length) ||
            text.size() < length + 1 || text[length] != '\n')
            return files;
        file.path = std::string(text.substr(0, length));
        text.remove_prefix(length + 1);
        files.push_back(std::move(file));
    }
}

std::pair<std::string, std::string> Split(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    if (cut == std::string::npos) return {".", path};
    return {path.substr(0, cut + 1), path.substr(cut + 1)};
}

bool StillThere(const Identity& file) {
    const auto [directory, name] = Split(file.path);
    for (const platform::FileEntry& entry : platform::ListFiles(directory))
        if (entry.name == name) return entry.size == file.size && entry.lastWriteNs == file.lastWriteNs;
    return false;
}

}  // namespace

Identity IdentityOf(const std::string& directory, const platform::FileEntry& entry) {
    return {platform::JoinPath(directory, entry.name), entry.lastWriteNs, entry.size};
}

ExecutedFiles::ExecutedFiles(std::string path, SharedState& shared, const AgentLog& log, bool durable)
    : path_(std::move(path)), shared_(shared), log_(log), durable_(durable) {}

void ExecutedFiles::Load() {
    if (path_.empty()) return;
    const auto text = platform::ReadFileBytes(path_);
    if (!text || text->empty()) return;
    std::string kept;
    for (const Identity& file : ParseList(*text)) {
        if (!StillThere(file)) continue;
        shared_.RememberUndeletedFile(file);
        kept += Entry(file);
    }
    if (kept == *text) return;
    // Rewritten whole in one step: a crash leaves the old list or the new.
    const std::string fresh = path_ + ".tmp";
    if (platform::WriteFileBytes(fresh, kept, true, durable_) && platform::MoveFileReplacing(fresh, path_) && durable_)
        platform::SyncDirectoryOf(path_);
}

void ExecutedFiles::Remember(const std::string& directory, const platform::FileEntry& entry) {
    const Identity file = IdentityOf(directory, entry);
    shared_.RememberUndeletedFile(file);
    if (path_.empty()) return;
    const bool created = !platform::FileExists(path_);
    platform::WriteFileBytes(path_, Entry(file), false, durable_);
    if (created && durable_) platform::SyncDirectoryOf(path_);
}

void ExecutedFiles::Finish(const std::string& directory, const platform::FileEntry& entry) {
    const std::string path = platform::JoinPath(directory, entry.name);
    if (platform::RemoveFile(path)) {
        // The journal says the file ran; it must not come back after a
        // power cut with the journal emptied by the next file.
        if (durable_) platform::SyncDirectoryOf(path);
        return;
    }
    if (!platform::FileExists(path)) return;
    // Executing a sale twice is the worst this agent can do: a file that
    // stays behind is never run again unless it changes.
    Remember(directory, entry);
    shared_.status.FileHappened(FileEvent::Undeleted);
    log_.WriteLog(FillPattern(texts::kFileNotDeleted, {entry.name}));
}

}  // namespace zentrada::engine
