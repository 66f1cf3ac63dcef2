#include "bench/os.h"

#if defined(_WIN32)
#include <windows.h>
// windows.h first: psapi.h needs its types.
#include <psapi.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#endif

namespace bench {

#if defined(_WIN32)

namespace {

double Seconds(const FILETIME& time) {
    const ULONGLONG ticks = (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<double>(ticks) / 1e7;  // 100 ns ticks
}

PROCESS_MEMORY_COUNTERS MemoryCounters() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) counters = {};
    return counters;
}

}  // namespace

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    return Seconds(kernel) + Seconds(user);
}

std::uint64_t PeakResidentBytes() { return MemoryCounters().PeakWorkingSetSize; }
std::uint64_t ResidentBytes() { return MemoryCounters().WorkingSetSize; }
bool ResetPeakResident() { return false; }
std::uint64_t PhasePeakBytes() { return 0; }

bool AppendWithOsCalls(const std::string& path, std::string_view bytes, bool toDisk) {
    const HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    if (toDisk) ok = FlushFileBuffers(file) && ok;
    return CloseHandle(file) && ok;
}

ForcedAppendFile::ForcedAppendFile(const std::string& path)
    : handle_(reinterpret_cast<std::intptr_t>(CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                                          FILE_ATTRIBUTE_NORMAL, nullptr))) {}

ForcedAppendFile::~ForcedAppendFile() {
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

bool ForcedAppendFile::Append(std::string_view bytes) {
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    return FlushFileBuffers(file) && ok;
}

void SyncFileSystemOf(const std::string&) {}

void SetEnvironment(const char* name, const char* value) { _putenv_s(name, value); }

std::string WineVersion() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr) return {};
    using VersionFunction = const char*(__cdecl*)();
    const auto version =
        reinterpret_cast<VersionFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
    return version != nullptr ? std::string(version()) : std::string();
}

#else

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::uint64_t PeakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
#if defined(__APPLE__)
    return static_cast<std::uint64_t>(usage.ru_maxrss);  // bytes there
#else
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // KiB
#endif
}

std::uint64_t ResidentBytes() {
    // Linux: the second field of /proc/self/statm, in pages.
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return 0;
    unsigned long long size = 0, resident = 0;
    const bool read = std::fscanf(statm, "%llu %llu", &size, &resident) == 2;
    std::fclose(statm);
    return read ? resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) : 0;
}

// Linux: writing 5 to /proc/self/clear_refs restarts the peak that VmHWM of
// /proc/self/status shows (ru_maxrss keeps the peak of ended threads).
bool ResetPeakResident() {
    std::FILE* refs = std::fopen("/proc/self/clear_refs", "w");
    if (refs == nullptr) return false;
    const bool written = std::fputs("5", refs) >= 0;
    return std::fclose(refs) == 0 && written;
}

std::uint64_t PhasePeakBytes() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return 0;
    char line[256];
    unsigned long long kib = 0;
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::sscanf(line, "VmHWM: %llu kB", &kib) == 1) break;
    std::fclose(status);
    return kib * 1024;
}

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

bool AppendWithOsCalls(const std::string& path, std::string_view bytes, bool toDisk) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes);
    if (toDisk) ok = fsync(fd) == 0 && ok;
    return close(fd) == 0 && ok;
}

void SyncFileSystemOf(const std::string& path) {
#if defined(__linux__)
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    syncfs(fd);
    close(fd);
#else
    (void)path;
    sync();
#endif
}

ForcedAppendFile::ForcedAppendFile(const std::string& path)
    : handle_(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666)) {}

ForcedAppendFile::~ForcedAppendFile() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
}

bool ForcedAppendFile::Append(std::string_view bytes) {
    const int fd = static_cast<int>(handle_);
    return fd >= 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
}

void SetEnvironment(const char* name, const char* value) { setenv(name, value, 1); }

std::string WineVersion() { return {}; }

#endif

}  // namespace bench
