// Writes the agent's status while a worker runs: to its status file beside
// the log and, when one is set, to a monitoring exporter's directory. Each
// file is replaced whole (a new file renamed over the old), so a reader never
// sees half of one; on its own thread, so no command file waits for it.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "engine/agent_engine.h"
#include "engine/agent_log.h"
#include "engine/agent_status.h"

namespace zentrada::engine {

class StatusPublisher {
public:
    // Writes the first status before returning.
    StatusPublisher(SharedState& shared, const AgentEnvironment& environment, const AgentLog& log);
    // Writes the last status, as it stands when the worker has ended.
    ~StatusPublisher();
    StatusPublisher(const StatusPublisher&) = delete;
    StatusPublisher& operator=(const StatusPublisher&) = delete;

private:
    void Run();
    void Publish();
    // Replaces the file at `path`; false when it could not be written.
    static bool Replace(const std::string& path, const std::string& text);

    SharedState& shared_;
    const AgentEnvironment& environment_;
    const AgentLog& log_;
    BuildInfo build_;
    bool metricsFailing_ = false;  // logged once until written again
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace zentrada::engine
