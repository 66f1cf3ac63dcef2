// The file operations of the agent behind one interface. The free functions
// of platform.h forward to the file system in use: the OS's, or, in tests, one
// that keeps files in memory and can cut the power at any operation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace zentrada::platform {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual std::vector<FileEntry> ListFiles(const std::string& directory) = 0;
    // The entry ListFiles would give for the path's last part, looked up
    // alone: a regular file of exactly that name, or nothing.
    virtual std::optional<FileEntry> FindFile(const std::string& path) = 0;
    virtual std::optional<std::string> ReadFileBytes(const std::string& path) = 0;
    virtual std::optional<std::string> ReadFileRange(const std::string& path, std::uint64_t offset,
                                                     std::size_t count) = 0;
    virtual bool WriteFileBytes(const std::string& path, std::string_view bytes, bool truncate, bool durable) = 0;
    virtual bool SyncDirectoryOf(const std::string& path) = 0;
    // Cuts a file to `size` bytes (never lengthens it); on disk on return
    // when `durable`.
    virtual bool TruncateFile(const std::string& path, std::uint64_t size, bool durable) = 0;
    virtual bool MoveFileNoReplace(const std::string& from, const std::string& to) = 0;
    // Moves a file over `to` in one step: `to` is either the old file or the
    // new one, never missing.
    virtual bool MoveFileReplacing(const std::string& from, const std::string& to) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    virtual bool FileExists(const std::string& path) = 0;

    // A file kept open for appending: a handle, or -1 when it cannot be
    // opened. Open creates the file or empties it.
    virtual std::intptr_t OpenAppend(const std::string& path) = 0;
    virtual bool Append(std::intptr_t handle, std::string_view bytes, bool durable) = 0;
    virtual void CloseAppend(std::intptr_t handle) = 0;

    // The clock the file times are read against.
    virtual LocalTime Now() = 0;
};

// The operating system's file system (posix/files.cpp, win32/files.cpp).
FileSystem& OsFileSystem();

// Puts `replacement` in place of the file system in use for the whole
// process, for as long as the object lives. For tests; not to be nested
// across threads.
class ScopedFileSystem {
public:
    explicit ScopedFileSystem(FileSystem& replacement);
    ~ScopedFileSystem();
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

private:
    FileSystem* previous_;
};

}  // namespace zentrada::platform
