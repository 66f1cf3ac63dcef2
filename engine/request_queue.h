// The requests of the TCP channel waiting for the worker. Each is stored in
// the spool directory before it is queued, so it is a command file like any
// other to the worker, its journal and recovery; the worker takes it or the
// oldest ready command file, whichever became ready first.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace zentrada::engine {

// Where a request's answers go besides its response file: the client that
// sent it. Called by the worker, which must never wait on the network.
class RequestClient {
public:
    virtual ~RequestClient() = default;
    // One record, as written to the response file.
    virtual void Record(std::string_view record) = 0;
    enum class Delivery {
        Delivered,  // every record and the end line went out: the response file may go
        Undelivered,  // the client is gone: the response file goes to the output directory
        Later,      // still going out; the client settles the response file itself
    };
    // The request ran to its end with `records` records, kept in
    // `responsePath` (empty when none was written).
    virtual Delivery Finish(std::size_t records, const std::string& responsePath) = 0;
    // The request's answers could not all be written: the client learns
    // nothing more of it.
    virtual void Abandon() = 0;
};

struct Request {
    std::string directory;  // the spool directory
    platform::FileEntry entry;  // its command file there
    std::string text;       // as text mode reads it
    // Nothing for a request found in the spool directory at start: its
    // client went with the last run.
    std::shared_ptr<RequestClient> client;
};

class RequestQueue {
public:
    void Push(Request request) {
        // Under the lock: once SetWake has taken it away, it is never called.
        const std::lock_guard lock(mutex_);
        requests_.push_back(std::move(request));
        if (wake_) wake_();
    }
    // When the oldest request became ready, on the file clock.
    std::optional<std::int64_t> OldestReadyNs() const {
        const std::lock_guard lock(mutex_);
        if (requests_.empty()) return std::nullopt;
        return requests_.front().entry.lastWriteNs;
    }
    // A request taken that could not be run yet: first again.
    void Return(Request request) {
        const std::lock_guard lock(mutex_);
        requests_.push_front(std::move(request));
    }
    std::optional<Request> Take() {
        const std::lock_guard lock(mutex_);
        if (requests_.empty()) return std::nullopt;
        Request request = std::move(requests_.front());
        requests_.pop_front();
        return request;
    }
    std::size_t Size() const {
        const std::lock_guard lock(mutex_);
        return requests_.size();
    }
    // Requests not taken when the worker stops stay in the spool directory,
    // for the next start.
    void Clear() {
        const std::lock_guard lock(mutex_);
        requests_.clear();
    }
    // What ends the worker's idle wait when a request arrives.
    void SetWake(std::function<void()> wake) {
        const std::lock_guard lock(mutex_);
        wake_ = std::move(wake);
    }

private:
    mutable std::mutex mutex_;
    std::deque<Request> requests_;
    std::function<void()> wake_;
};

}  // namespace zentrada::engine
