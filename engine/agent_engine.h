// The agent engine: the worker that binds the driver library, opens the
// printer port, takes ready command files one per cycle, runs them, and polls
// the printer while idle. Chief header for the host that starts it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <tuple>

#include "engine/agent_status.h"
#include "engine/request_framer.h"
#include "engine/request_queue.h"

namespace zentrada::engine {

// What the worker shares with the host or the control panel. Flags are
// atomics and the directory texts are copied under a lock, so either side may
// change them at any time; the worker takes their values at each scan.
class SharedState {
public:
    std::atomic<bool> agentRunning{false};
    std::atomic<bool> printerOnline{false};
    std::atomic<bool> simpleMode{false};
    // What the worker counts for monitoring (agent_status.h).
    AgentStatus status;
    // Requests of the TCP channel, received whole and waiting for the worker.
    RequestQueue requests;

    // Asks the worker to stop after the file in hand. Unlike a bare clear of
    // agentRunning, a request made while the worker is still starting is not
    // lost when the worker sets agentRunning once the port is open. Whoever
    // starts a worker clears stopRequested first.
    std::atomic<bool> stopRequested{false};
    void RequestStop();

    void SetDirectories(std::string input, std::string output);
    std::string InputDirectory() const;
    std::string OutputDirectory() const;

    // An executed command file that could not be deleted, as it was then.
    struct FileIdentity {
        std::string path;
        std::int64_t lastWriteNs = 0;
        std::uint64_t size = 0;
        auto operator<=>(const FileIdentity&) const = default;
    };
    // Remembered for the life of the process, across worker runs, so that
    // such a file is never executed twice while it stays unchanged.
    void RememberUndeletedFile(const FileIdentity& file);
    bool IsUndeletedFile(const FileIdentity& file) const;

private:
    mutable std::mutex mutex_;
    std::string inputDirectory_;
    std::string outputDirectory_;
    std::set<FileIdentity> undeletedFiles_;
};

// The TCP channel: off while `port` is 0. Every bound holds per connection
// but `maxConnections`.
struct ChannelSettings {
    std::uint16_t port = 0;
    std::string address = "127.0.0.1";
    // Asked on the first line of every connection when set; needed for an
    // address other than a loopback one.
    std::string token;
    std::size_t maxConnections = 16;
    FramingLimits limits;
    // A request must arrive whole within this time from its first byte; the
    // token line within it, and 5 s at most, from the connection's start.
    std::chrono::milliseconds arrivalLimit{30000};
    // A connection with nothing arriving nor in hand is closed after this.
    std::chrono::milliseconds idleLimit{300000};
    // A connection refused for its token is closed after this.
    std::chrono::milliseconds refusalDelay{1000};
};

// What the host decides for the worker.
struct AgentEnvironment {
    std::string logPath;        // the agent log, Zentrada_log.txt
    // The record of the command file in hand and of the line being sent, kept
    // on disk so that a file cut short by a crash is never run again.
    std::string journalPath;
    // Executed command files that could not be deleted, so that no restart
    // runs one again; empty: remembered while the process lives.
    std::string undeletedFilesPath;
    // The agent's status, rewritten while the worker runs (agent_status.h);
    // empty: not written. Also written to `metricsPath` when one is set.
    std::string statusPath;
    std::string metricsPath;
    std::string driverLibrary;  // the driver library file to load
    // The driver library's own "Log" setting, read at every idle poll.
    std::function<std::int32_t()> readDriverLogSetting;
    // Tells the user about an error that stops the worker (title, text; cp1252).
    std::function<void(std::string_view, std::string_view)> showError;
    std::chrono::milliseconds startPause{500};
    std::chrono::milliseconds idlePause{100};
    // Whether the idle pause ends early when a file arrives in the input
    // directory; off, the pause always lasts its time.
    bool watchInputDirectory = true;
    // Whether each response record and each journal entry reaches the disk
    // before the next driver call.
    bool durableRecords = true;
    // Where agents that stored the TCP channel's requests as files kept
    // them: what they left is put away at start (request_answers.h).
    std::string spoolDirectory;
    ChannelSettings tcp;
    // The status as `--status` tells it, from the status text
    // (agent_status.h), for the channel's "?"; unset: the text itself.
    std::function<std::string(const std::string& statusText)> describeStatus;
};

enum class WorkerEnd {
    Stopped,          // agentRunning was cleared; port closed
    DriverNotLoaded,  // the driver library could not be loaded
    PortNotOpened,    // the printer port could not be opened
};

// The worker thread's procedure: runs until agentRunning is found false at
// the end of a cycle, or until it cannot start.
WorkerEnd AgentThreadMain(SharedState& shared, const AgentEnvironment& environment);

}  // namespace zentrada::engine
