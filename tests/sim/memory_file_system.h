// A file system in memory for tests, which can cut the power at any
// operation and then tell every state the disk may hold afterwards.
//
// The model: a POSIX disk with a page cache and a metadata journal.
// - Directories exist only when a test adds them (AddDirectory); nesting is
//   not modelled. A path's directory is the text before its last '/' or '\'
//   ("." when it has none; trailing separators of a directory do not count);
//   an operation in a missing directory fails, and one that changes a
//   directory made unwritable (SetWritable) fails too: creating, writing,
//   truncating, moving into or out of it, removing from it, and appending
//   through a handle opened in it.
// - A directory maps names to inode ids. It keeps the names on disk
//   (durable) and the operations since its last sync (pending): create,
//   link (also the target side of a move between directories; replaces),
//   rename within the directory (atomic), remove. What the agent sees is
//   the durable map with the pending operations applied in order.
// - An inode keeps its content on disk and the pending content operations
//   since its last sync: truncate to a size, append bytes. Reads see the
//   content with them applied, and each one sets the file's last-write time.
//   A sync of the file makes them durable. A step that would change nothing
//   (no bytes, a file already short enough) is not made.
// - A file that was created since its directory's last sync exists after a
//   power cut only when its create survived; links to it elsewhere die with
//   it.
// - MoveFileNoReplace is two operations, link then unlink, as on POSIX;
//   MoveFileReplacing is one rename (an operation in each directory when the two
//   differ). WriteFileBytes with truncate and durable also syncs the
//   directory, as posix/files.cpp does.
//
// Every mutating step gets the next operation index. CutPowerAt(k) makes
// step k and everything mutating after it fail and change nothing; reads
// keep answering. PowerCutStates then gives the disks the cut may have left:
// the durable state plus, per directory and per inode independently, any
// prefix of the pending operations, where the last kept append may be cut
// at any byte.
//
// The clock advances by kStep at every call of the FileSystem interface,
// reads included; file times come from it. Local time is taken as UTC.
//
// The test helpers (AddDirectory, Put, ...) act at once and durably: they
// stand for the world outside the agent, so they use no operation index,
// ignore the cut and leave the clock alone.
//
// One mutex guards everything: the agent may run on a worker thread while
// the test reads.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace zentrada::testing {

class MemoryFileSystem final : public platform::FileSystem {
public:
    static constexpr std::chrono::milliseconds kStep{1};
    // 2026-12-08 10:00:00.000 unless set otherwise.
    static platform::LocalTime DefaultStart();

    explicit MemoryFileSystem(const platform::LocalTime& start = DefaultStart());
    MemoryFileSystem(const MemoryFileSystem& other);
    MemoryFileSystem(MemoryFileSystem&& other) noexcept;
    MemoryFileSystem& operator=(const MemoryFileSystem& other);
    MemoryFileSystem& operator=(MemoryFileSystem&& other) noexcept;
    ~MemoryFileSystem() override;

    // --- platform::FileSystem ---
    // ListFiles lists files only; FileExists is true for a directory too.
    std::vector<platform::FileEntry> ListFiles(const std::string& directory) override;
    std::optional<platform::FileEntry> FindFile(const std::string& path) override;
    std::optional<std::string> ReadFileBytes(const std::string& path) override;
    std::optional<std::string> ReadFileRange(const std::string& path, std::uint64_t offset,
                                             std::size_t count) override;
    bool WriteFileBytes(const std::string& path, std::string_view bytes, bool truncate, bool durable) override;
    bool SyncDirectoryOf(const std::string& path) override;
    bool TruncateFile(const std::string& path, std::uint64_t size, bool durable) override;
    bool MoveFileNoReplace(const std::string& from, const std::string& to) override;
    bool MoveFileReplacing(const std::string& from, const std::string& to) override;
    bool RemoveFile(const std::string& path) override;
    bool FileExists(const std::string& path) override;
    std::intptr_t OpenAppend(const std::string& path) override;
    bool Append(std::intptr_t handle, std::string_view bytes, bool durable) override;
    void CloseAppend(std::intptr_t handle) override;
    platform::LocalTime Now() override;

    // --- the world outside the agent ---
    void AddDirectory(const std::string& directory);
    // Removes the directory with whatever it holds, as another program
    // would; files still open for appending there then refuse writes.
    void DropDirectory(const std::string& directory);
    void SetWritable(const std::string& directory, bool writable);
    // Creates or overwrites a file, on disk at once; false when its
    // directory is missing.
    bool Put(const std::string& path, std::string_view bytes);
    std::optional<std::string> Get(const std::string& path) const;
    // The file names of a directory, sorted.
    std::vector<std::string> Names(const std::string& directory) const;
    // Every directory and file with size, content and what is still pending.
    std::string Dump() const;

    // --- clock ---
    void SetClock(const platform::LocalTime& moment);
    void Advance(std::chrono::milliseconds by);

    // --- operations and the power cut ---
    std::size_t OperationCount() const;
    // What operation `index` did, e.g. "append 12 bytes to /out/X.fpo".
    std::string Describe(std::size_t index) const;
    void CutPowerAt(std::size_t index);
    bool PowerIsCut() const;
    // The disks the power cut may leave (a cut at this moment when none was
    // set), each once: all of them when at most `maxStates`, else a sample
    // drawn with `seed`. The first is the one keeping nothing pending, the
    // second the one keeping everything (when they differ; these two even
    // when `maxStates` is smaller), then, as far as they fit, for each
    // directory and each file the one where only it loses its pending
    // operations. A sample tries a few byte cuts per append (1, middle, last
    // but one) instead of all. Each state is a fresh file system: all on
    // disk, no operations, no cut, its clock one second past this one's.
    std::vector<MemoryFileSystem> PowerCutStates(std::size_t maxStates, std::uint64_t seed) const;

private:
    struct State;
    explicit MemoryFileSystem(std::unique_ptr<State> state);

    mutable std::mutex mutex_;
    std::unique_ptr<State> s_;
};

}  // namespace zentrada::testing
