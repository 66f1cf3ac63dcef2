#include "shell/worker_control.h"

#include <algorithm>
#include <system_error>

namespace zentrada::shell {

WorkerControl::WorkerControl(engine::SharedState& shared, const engine::AgentEnvironment& environment,
                             EndedHandler onEnded)
    : shared_(shared), environment_(environment), onEnded_(std::move(onEnded)) {}

WorkerControl::~WorkerControl() {
    RequestStop();
    WaitForEnd(std::chrono::milliseconds::max());
    for (std::thread& thread : threads_)
        if (thread.joinable()) thread.join();
}

WorkerControl::StartResult WorkerControl::Start() {
    std::lock_guard lock(mutex_);
    if (finished_ < started_ && stoppedUpTo_ < started_) return StartResult::AlreadyRunning;
    JoinEnded();
    const std::uint64_t generation = started_ + 1;
    try {
        threads_.emplace_back([this, generation] { RunInTurn(generation); });
    } catch (const std::system_error&) {
        return StartResult::ThreadNotCreated;
    }
    started_ = generation;
    return StartResult::Started;
}

void WorkerControl::RunInTurn(std::uint64_t generation) {
    {
        std::unique_lock lock(mutex_);
        ended_.wait(lock, [&] { return finished_ + 1 == generation; });
        if (stoppedUpTo_ >= generation) {
            // Stopped before its turn came: it never touches the library.
            finished_ = generation;
            endedThreads_.push_back(std::this_thread::get_id());
            ended_.notify_all();
            return;
        }
        // A stop asked of an earlier run must not stop this one.
        shared_.stopRequested = false;
    }
    const engine::WorkerEnd end = engine::AgentThreadMain(shared_, environment_);
    if (onEnded_) onEnded_(end);
    std::lock_guard lock(mutex_);
    finished_ = generation;
    endedThreads_.push_back(std::this_thread::get_id());
    ended_.notify_all();
}

void WorkerControl::RequestStop() {
    std::lock_guard lock(mutex_);
    stoppedUpTo_ = started_;
    shared_.RequestStop();
}

bool WorkerControl::WaitForEnd(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    const auto done = [this] { return finished_ == started_; };
    if (bound == std::chrono::milliseconds::max()) {
        ended_.wait(lock, done);
        return true;
    }
    return ended_.wait_for(lock, bound, done);
}

bool WorkerControl::HasLiveWorker() const {
    std::lock_guard lock(mutex_);
    return finished_ < started_;
}

void WorkerControl::Abandon() {
    std::lock_guard lock(mutex_);
    for (std::thread& thread : threads_)
        if (thread.joinable()) thread.detach();
    threads_.clear();
    // Nothing waits for them any more.
    finished_ = started_;
}

// Joins the threads that have ended; called with the lock held. An ended
// thread may still be leaving RunInTurn, which join waits for.
void WorkerControl::JoinEnded() {
    for (const std::thread::id id : endedThreads_) {
        const auto found =
            std::find_if(threads_.begin(), threads_.end(), [id](const std::thread& t) { return t.get_id() == id; });
        if (found == threads_.end()) continue;
        found->join();
        threads_.erase(found);
    }
    endedThreads_.clear();
}

}  // namespace zentrada::shell
