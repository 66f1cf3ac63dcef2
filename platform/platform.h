// The thin OS layer: every call the agent makes into the operating system
// goes through these functions, so the engine above runs unchanged on POSIX
// and Win32. Texts are code page 1252 bytes throughout; paths are narrow.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zentrada::platform {

// A moment in local time, as the agent's file names and log lines show it.
struct LocalTime {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The longest input or output directory the agent takes: on Windows the
// shared directory buffers hold 254 characters, and a longer text is
// refused rather than cut into another directory.
#if defined(_WIN32)
inline constexpr std::size_t kMaxDirectoryLength = 254;
#else
inline constexpr std::size_t kMaxDirectoryLength = 4095;
#endif

// One regular file of a directory listing.
struct FileEntry {
    std::string name;            // bare name, as the directory holds it
    LocalTime lastWrite;         // last-write time in local time
    std::int64_t lastWriteNs = 0;  // the same time, for ordering and identity
    std::uint64_t size = 0;
};

// --- files (files.cpp; every one goes through file_system.h) ---
// Regular files of a directory; empty when it cannot be listed.
std::vector<FileEntry> ListFiles(const std::string& directory);
// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path);
// At most `count` bytes of a file from `offset` (fewer at its end), or
// nothing when it cannot be read.
std::optional<std::string> ReadFileRange(const std::string& path, std::uint64_t offset, std::size_t count);
// Writes bytes to a file: emptied first when `truncate`, else appended. The
// file is created when missing and closed again before returning. When
// `durable`, the bytes (and a created file's name) are on disk on return.
bool WriteFileBytes(const std::string& path, std::string_view bytes, bool truncate, bool durable = false);
// Puts on disk the directory entries of the directory holding `path`: a
// removal or a move is then not undone by a power cut.
bool SyncDirectoryOf(const std::string& path);

// Cuts a file to `size` bytes (never lengthens it): on disk on return when
// `durable`.
bool TruncateFile(const std::string& path, std::uint64_t size, bool durable);

class FileSystem;

// A file kept open for appending, for records written many times a second.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile() { Close(); }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Creates the file, or empties it.
    bool Open(const std::string& path);
    // When `durable`, the bytes are on disk on return.
    bool Append(std::string_view bytes, bool durable);
    void Close();
    bool IsOpen() const { return handle_ != -1; }

private:
    FileSystem* owner_ = nullptr;  // the file system that opened it
    std::intptr_t handle_ = -1;    // its descriptor or handle
};
// Moves a file within its file system; never replaces an existing file.
bool MoveFileNoReplace(const std::string& from, const std::string& to);
// Moves a file over `to` in one step, written through: `to` is then either
// the old file or the new one, never missing, even after a power cut.
bool MoveFileReplacing(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
bool FileExists(const std::string& path);
// The listing entry of one file, if it is there.
std::optional<FileEntry> FindFile(const std::string& path);
// Whether a directory is there and the agent may create files in it, asked
// without creating any.
struct DirectoryAccess {
    bool present = false;
    bool writable = false;
};
DirectoryAccess CheckDirectory(const std::string& directory);
// Creates a directory of the agent's own (not its parents); true when it is
// there. Straight to the OS, not through file_system.h.
bool MakeDirectory(const std::string& directory);
// The path of `name` inside `directory`, with the OS's separator.
std::string JoinPath(const std::string& directory, const std::string& name);

// --- process (process.cpp) ---
// Full path of the running executable, never cut; empty when it cannot be
// had whole.
std::string ExecutablePath();
// Directory of the running executable, ending with the separator.
std::string ExecutableDirectory();
// The executable's file name without directory and extension.
std::string ExecutableBaseName();
// Tells the user about an error that stops the agent (a message box on a
// desktop, standard error on a headless host). Title and text are cp1252.
void ShowFatalError(std::string_view title, std::string_view text);
// Holds a process-wide lock named `name` until the process ends; false when
// another process holds it already.
bool AcquireSingleInstance(const std::string& name);
// Stop requests from outside (SIGINT and SIGTERM on POSIX). Called before any
// other thread starts, BlockStopRequests keeps them from ending the process;
// WaitForStopRequest then waits up to `timeout` for one: true when one came.
void BlockStopRequests();
bool WaitForStopRequest(std::chrono::milliseconds timeout);
// Whether the settings were asked to be read again (SIGHUP on POSIX, met by
// WaitForStopRequest; the Windows service's reload request) since the last
// call.
bool TakeReloadRequest();

// --- service manager (service_notify.cpp) ---
// Tells the service manager that started the agent how it stands: "READY=1"
// once the printer port is open, "WATCHDOG=1" while its loop turns,
// "STOPPING=1" when it ends (systemd's notify protocol, to the socket
// NOTIFY_SOCKET names; nothing when there is none, and nothing on Windows,
// whose service reports its states itself).
void NotifyServiceManager(std::string_view state);
// How often the service manager wants "WATCHDOG=1" at the least; zero when
// it watches nothing.
std::chrono::milliseconds ServiceWatchdogInterval();

// --- terminal (terminal.cpp) ---
// Writes cp1252 text to standard output or standard error, converted to the
// character set the environment's locale names.
enum class OutputStream { Output, Error };
void WriteTerminalText(OutputStream stream, std::string_view text);
// Writes bytes to standard output unchanged (no conversion, no line-end
// translation): response records as the files hold them.
void WriteOutputBytes(std::string_view bytes);

// --- time (time.cpp) ---
// The clock of the file system in use (file_system.h).
LocalTime Now();
// The OS's clock, whatever file system is in use.
LocalTime SystemNow();
// The OS's clock in the unit and epoch of FileEntry::lastWriteNs.
std::int64_t FileClockNow();
// A time given in seconds since the Unix epoch, in local time.
LocalTime UnixTimeToLocal(std::int64_t seconds);

// --- shared libraries (library.cpp) ---
// Loads a shared library; nullptr when it cannot be loaded. Never unloaded.
void* LoadSharedLibrary(const std::string& file);
// The address of an exported symbol, or nullptr.
void* FindSymbol(void* library, const char* name);
// The driver library loaded when no other is named: on Windows the bare
// name InterfaceTorva.dll, found through the system's search order (the
// executable's directory first); elsewhere libInterfaceTorva.so beside the
// executable when it is there, else that bare name.
std::string DefaultDriverLibrary();

}  // namespace zentrada::platform
