// The requests of the TCP channel waiting for the worker, in memory: the
// worker takes the oldest or the oldest ready command file, whichever became
// ready first, and runs it as a command file. Its journal carries its text,
// so that recovery can put right a request cut short as it does a file. A
// request not yet taken when the agent ends is never run: its client had no
// answer, and may send it again.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>


namespace zentrada::engine {

// Where a request's answers go besides its response file: the client that
// sent it. Called by the worker, which must never wait on the network.
class RequestClient {
public:
    virtual ~RequestClient() = default;
    // One record, as written to the response file.
    virtual void Record(std::string_view record) = 0;
    enum class Delivery {
        Delivered,    // every record and the end line went out
        Undelivered,  // the client is gone: the answers go to the response file
        Later,        // still going out; the client writes the response file itself if it goes
    };
    // The request ran to its end with `records` records, `answers` (empty
    // when none was written), whose response file would be `responsePath`.
    virtual Delivery Finish(std::size_t records, const std::string& answers, const std::string& responsePath) = 0;
    // The request's answers could not all be written: the client learns
    // nothing more of it.
    virtual void Abandon() = 0;
};

struct Request {
    std::string name;       // "TCP_127.0.0.1_54321_7.FPI" (request_answers.h)
    std::int64_t readyNs = 0;  // when it was received whole, on the file clock
    std::string text;       // as text mode reads it
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
        return requests_.front().readyNs;
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
    // Requests not taken when the worker stops are not run: their names.
    std::vector<std::string> Clear() {
        const std::lock_guard lock(mutex_);
        std::vector<std::string> names;
        for (const Request& request : requests_) names.push_back(request.name);
        requests_.clear();
        return names;
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
