// What the chaos soak needs from the operating system beyond the tests' own
// child process: the agent's memory and open handles where /proc tells them,
// an input directory made unreadable (POSIX only) and exact last-write times.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "../child_process.h"

namespace zentrada::soak {

namespace fs = std::filesystem;

struct Sample {
    long rssKb = 0;
    int handles = 0;
};

// The agent as a child process, with what /proc tells of it.
class Agent : public testing::ChildProcess {
public:
    Agent(const fs::path& program, const std::vector<std::string>& arguments,
          const std::vector<std::string>& environment, const fs::path& outputStem)
        : ChildProcess(program, arguments, environment, outputStem.string() + ".out", outputStem.string() + ".err") {}

    // Resident memory and open descriptors, from /proc; nothing elsewhere.
    std::optional<Sample> Measure() const {
#if defined(_WIN32)
        return std::nullopt;
#else
        const fs::path proc = "/proc/" + std::to_string(Pid());
        std::ifstream status(proc / "status");
        Sample sample;
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmRSS:", 0) == 0) sample.rssKb = std::stol(line.substr(6));
        std::error_code error;
        for (auto it = fs::directory_iterator(proc / "fd", error); !error && it != fs::directory_iterator();
             it.increment(error))
            ++sample.handles;
        if (sample.rssKb == 0 || error) return std::nullopt;
        return sample;
#endif
    }
};

// Makes a directory unreadable (or readable again). False where that cannot
// be done: on Windows, and for root, whom permissions do not stop.
inline bool LockDirectory(const fs::path& directory, bool locked) {
#if defined(_WIN32)
    (void)directory;
    (void)locked;
    return false;
#else
    if (locked && geteuid() == 0) return false;
    return chmod(directory.c_str(), locked ? 0 : 0755) == 0;
#endif
}

// Sets a file's last-write time to the microsecond (the C++ library's own
// setter keeps whole seconds on Windows).
inline bool SetLastWriteTime(const fs::path& path, std::chrono::system_clock::time_point when) {
#if defined(_WIN32)
    const HANDLE file = CreateFileW(path.wstring().c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // 100 ns units since 1601-01-01.
    const long long ticks =
        std::chrono::duration_cast<std::chrono::microseconds>(when.time_since_epoch()).count() * 10 +
        116444736000000000LL;
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const bool set = SetFileTime(file, nullptr, nullptr, &time) != 0;
    CloseHandle(file);
    return set;
#else
    std::error_code error;
    fs::last_write_time(path, std::chrono::file_clock::from_sys(when), error);
    return !error;
#endif
}

#if defined(_WIN32)
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

inline std::tm LocalTime(std::time_t t) {
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return local;
}

}  // namespace zentrada::soak
