// The few things the benchmark asks the operating system directly, kept in
// one file with a POSIX and a Windows branch: the process's CPU time and
// memory, appends that are forced to disk, and whether Wine runs it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bench {

// User and system CPU time of the whole process so far, in seconds.
double ProcessCpuSeconds();
// The most memory the process has held in RAM so far, and what it holds
// now (0 where the OS does not tell).
std::uint64_t PeakResidentBytes();
std::uint64_t ResidentBytes();
// Starts a new peak from what the process holds now, so that each part of the
// run shows its own; false where the OS cannot (Windows), PhasePeakBytes()
// is then 0.
bool ResetPeakResident();
std::uint64_t PhasePeakBytes();
// Opens `path` for appending (created when missing), writes `bytes`, forces
// them to disk first when `toDisk`, and closes it again.
bool AppendWithOsCalls(const std::string& path, std::string_view bytes, bool toDisk);
// Everything written to the file system that holds `path` is on disk on
// return (Linux; elsewhere nothing is done).
void SyncFileSystemOf(const std::string& path);
// A file kept open for appending, each append forced to disk before it
// returns: what a journal costs per entry.
class ForcedAppendFile {
public:
    // Created, or emptied.
    explicit ForcedAppendFile(const std::string& path);
    ~ForcedAppendFile();
    ForcedAppendFile(const ForcedAppendFile&) = delete;
    ForcedAppendFile& operator=(const ForcedAppendFile&) = delete;
    bool Append(std::string_view bytes);

private:
    std::intptr_t handle_;
};
void SetEnvironment(const char* name, const char* value);
// Wine's version when the program runs under Wine, else empty.
std::string WineVersion();

}  // namespace bench
