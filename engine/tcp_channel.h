// The TCP channel: the requests of point-of-sale programs that would rather
// not write files. A thread accepts connections and one thread per
// connection frames its requests (request_framer.h); each request received
// whole is queued for the worker (request_queue.h), which runs it as a
// command file and sends its records back as it writes them. The channel
// never calls the driver.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "engine/agent_engine.h"
#include "engine/agent_log.h"

namespace zentrada::platform {
class Socket;
}

namespace zentrada::engine {

// Whether two tokens are equal, in a time that depends on `expected`'s
// length alone.
bool SameToken(std::string_view given, std::string_view expected);
// Whether a numeric address reaches this machine only.
bool IsLoopbackAddress(std::string_view address);

class TcpChannel {
public:
    TcpChannel(SharedState& shared, const AgentEnvironment& environment, const AgentLog& log);
    // Stops the channel.
    ~TcpChannel();
    TcpChannel(const TcpChannel&) = delete;
    TcpChannel& operator=(const TcpChannel&) = delete;

    // Listens as the settings say; false, logged, when it cannot: the files
    // are served all the same. A port in use is tried again every 2 s.
    bool Start();
    // Closes the listener and every connection. Requests queued and not
    // taken are not run.
    void Stop();
    // The port listened on (the one the system chose for port 0).
    std::uint16_t Port() const { return port_; }

    class Connection;

private:
    // Logs the outcome at the first try only.
    bool Listen(bool first);
    void Accept();
    void Serve(const std::shared_ptr<Connection>& connection);
    // The answer to "?": the status as `--status` tells it, line by line.
    std::string StatusAnswer() const;
    // Logs the refusal of a connection past the limit, once while they come.
    void Refuse(const std::string& peer);

    SharedState& shared_;
    const AgentEnvironment& environment_;
    const AgentLog& log_;
    std::unique_ptr<platform::Socket> listener_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::atomic<std::uint64_t> nextRequest_{1};

    struct Slot {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };
    std::list<Slot> slots_;  // the acceptor's
    std::atomic<std::size_t> live_{0};  // connections served, until their thread ends
    // When a token refusal was last logged, in steady clock ticks.
    std::atomic<std::int64_t> lastRefusalLogged_{std::numeric_limits<std::int64_t>::min() / 2};
    bool refusing_ = false;  // "too many connections" logged until a slot frees
};

}  // namespace zentrada::engine
