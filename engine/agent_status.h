// The agent's status as people, scripts and monitoring read it: whether the
// agent runs, whether its printer answers, and what became of the command
// files and lines since the start. The worker counts; the publisher writes it
// out in the Prometheus text format.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace zentrada::engine {

// What a command line's answer was: the driver's success, a status the
// driver returned, or a record the agent wrote itself (code 3).
enum class LineOutcome { Success, DriverStatus, AgentError };
inline constexpr std::size_t kLineOutcomes = 3;

// What became of a command file besides being run: cut short by a crash
// (answered with the interruption record), abandoned without its end marker
// (".bad"), or executed and left undeletable.
enum class FileEvent { Interrupted, Abandoned, Undeleted };
inline constexpr std::size_t kFileEvents = 3;

// Upper bounds, in seconds, of the buckets of the time from a command file
// being ready to its last record.
inline constexpr std::array<double, 13> kDurationBuckets{0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5,
                                                         1,     2.5,  5,     10,   30,  60};

struct DirectoryState {
    bool present = false;
    bool writable = false;
};

// Times are seconds since the Unix epoch; 0 for "never".
struct StatusSnapshot {
    double startTime = 0;
    bool agentRunning = false;
    bool printerOnline = false;
    double printerSince = 0;  // when printerOnline took its value
    std::uint64_t filesAnswered = 0;
    std::uint64_t filesFailed = 0;  // ended by a failed line, or rejected by /PRE
    std::array<std::uint64_t, kFileEvents> fileEvents{};
    std::array<std::uint64_t, kLineOutcomes> lines{};
    std::array<std::uint64_t, kDurationBuckets.size() + 1> durations{};  // per bucket, the last unbounded
    double durationSum = 0;
    std::uint64_t filesWaiting = 0;
    std::int64_t oldestWaitingNs = 0;  // last write of the oldest, on the file clock; 0: none waits
    double oldestWaitingSeconds = 0;   // its age when the status is written
    double lastFile = 0;
    double lastSuccess = 0;
    DirectoryState input;
    DirectoryState output;
};

struct BuildInfo {
    std::string version;
    std::string program;
    std::string architecture;
};
// This build's version and architecture, with `program` as the program's name.
BuildInfo ThisBuild(const std::string& program);

// Seconds since the Unix epoch, now.
double UnixNow();

// The status in the Prometheus text exposition format, as written at `now`.
std::string FormatStatus(const StatusSnapshot& status, const BuildInfo& build, double now);

// The counts of one run of the agent, shared by the worker, which keeps
// them, and the publisher, which is woken at once by the changes a person
// would care about.
class AgentStatus {
public:
    // A new run: everything back to zero, the printer off line.
    void Start(double now);
    // The agent began or ended taking files.
    void RunningChanged(bool running);
    void PrinterPolled(bool online);
    void LineAnswered(LineOutcome outcome);
    // A file run to its end (`failed`: ended early by a failed line, or
    // rejected), `seconds` after it was ready; `succeeded`: every line did.
    void FileRun(bool failed, bool succeeded, double seconds);
    void FileHappened(FileEvent event);
    void Waiting(std::uint64_t count, std::int64_t oldestNs);

    StatusSnapshot Snapshot() const;
    // Waits for a change worth publishing at once, at most `timeout`; true
    // when one came (or Wake was called).
    bool WaitForNews(std::chrono::milliseconds timeout);
    void Wake();

private:
    void Tell();  // the caller holds the mutex

    mutable std::mutex mutex_;
    std::condition_variable news_;
    bool hasNews_ = false;
    StatusSnapshot status_;
};

}  // namespace zentrada::engine
