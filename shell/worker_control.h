// Starts and stops the agent worker thread for the control panel, so that
// two workers never call the driver library at once: a worker started while
// a stopped one still finishes its file waits for that one to end before it
// binds the library. Shutting down waits, within a bound, for the file in
// hand to finish.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/agent_engine.h"

namespace zentrada::shell {

// How long closing the agent waits for the file in hand before it ends
// regardless (a driver call that never returns): the panel's close and the
// Windows service's stop.
inline constexpr std::chrono::milliseconds kStopWaitBound{60000};

class WorkerControl {
public:
    // Called on the worker's thread when a run ends, with how it ended; a run
    // that was stopped before it had its turn is not reported.
    using EndedHandler = std::function<void(engine::WorkerEnd)>;

    WorkerControl(engine::SharedState& shared, const engine::AgentEnvironment& environment, EndedHandler onEnded);
    // Stops the worker and waits for it, however long it takes.
    ~WorkerControl();
    WorkerControl(const WorkerControl&) = delete;
    WorkerControl& operator=(const WorkerControl&) = delete;

    enum class StartResult { Started, AlreadyRunning, ThreadNotCreated };
    // A new worker run, queued behind a stopped one that has not ended yet.
    // A run that has not been asked to stop makes this a no-op.
    StartResult Start();
    // Asks every run, started or queued, to stop after the file in hand.
    void RequestStop();
    // Waits up to `bound` for every run to end; true when none is left.
    bool WaitForEnd(std::chrono::milliseconds bound);
    // True while a run exists that has not ended.
    bool HasLiveWorker() const;
    // Leaves the threads that did not end to the end of the process.
    void Abandon();

private:
    void RunInTurn(std::uint64_t generation);
    void JoinEnded();

    engine::SharedState& shared_;
    const engine::AgentEnvironment& environment_;
    EndedHandler onEnded_;

    mutable std::mutex mutex_;
    std::condition_variable ended_;
    std::uint64_t started_ = 0;    // runs handed out, numbered from 1
    std::uint64_t finished_ = 0;   // runs ended, in the order they were started
    std::uint64_t stoppedUpTo_ = 0;  // every run up to this one was asked to stop
    std::vector<std::thread> threads_;
    std::vector<std::thread::id> endedThreads_;
};

}  // namespace zentrada::shell
