// The free file functions of platform.h, forwarded to the file system in use.
#include "platform/file_system.h"

#include <atomic>

namespace zentrada::platform {
namespace {

std::atomic<FileSystem*> replacement{nullptr};

FileSystem& Current() {
    FileSystem* fs = replacement.load(std::memory_order_acquire);
    return fs != nullptr ? *fs : OsFileSystem();
}

}  // namespace

ScopedFileSystem::ScopedFileSystem(FileSystem& fs) : previous_(replacement.exchange(&fs)) {}
ScopedFileSystem::~ScopedFileSystem() { replacement.store(previous_); }

std::vector<FileEntry> ListFiles(const std::string& directory) { return Current().ListFiles(directory); }
std::optional<std::string> ReadFileBytes(const std::string& path) { return Current().ReadFileBytes(path); }
std::optional<std::string> ReadFileRange(const std::string& path, std::uint64_t offset, std::size_t count) {
    return Current().ReadFileRange(path, offset, count);
}
bool WriteFileBytes(const std::string& path, std::string_view bytes, bool truncate, bool durable) {
    return Current().WriteFileBytes(path, bytes, truncate, durable);
}
bool SyncDirectoryOf(const std::string& path) { return Current().SyncDirectoryOf(path); }
bool TruncateFile(const std::string& path, std::uint64_t size, bool durable) {
    return Current().TruncateFile(path, size, durable);
}
bool MoveFileNoReplace(const std::string& from, const std::string& to) {
    return Current().MoveFileNoReplace(from, to);
}
bool MoveFileReplacing(const std::string& from, const std::string& to) { return Current().MoveFileReplacing(from, to); }
bool RemoveFile(const std::string& path) { return Current().RemoveFile(path); }
bool FileExists(const std::string& path) { return Current().FileExists(path); }
LocalTime Now() { return Current().Now(); }

std::optional<FileEntry> FindFile(const std::string& path) { return Current().FindFile(path); }

bool AppendFile::Open(const std::string& path) {
    Close();
    owner_ = &Current();
    handle_ = owner_->OpenAppend(path);
    return IsOpen();
}

bool AppendFile::Append(std::string_view bytes, bool durable) {
    return IsOpen() && owner_->Append(handle_, bytes, durable);
}

void AppendFile::Close() {
    if (IsOpen()) owner_->CloseAppend(handle_);
    handle_ = -1;
}

}  // namespace zentrada::platform
