#include "engine/tcp_channel.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "engine/record_bytes.h"
#include "engine/request_framer.h"
#include "engine/request_answers.h"
#include "engine/text_file.h"
#include "platform/socket.h"
#include "resources/texts.h"

namespace zentrada::engine {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long a connection's thread waits on its socket before it looks at the
// clock and at a stop again.
constexpr auto kTurn = 50ms;
// How often a port in use is tried again.
constexpr auto kRelisten = 2s;

std::string Seconds(std::chrono::milliseconds span) {
    return std::to_string((span.count() + 999) / 1000);
}

std::string ErrorLine(std::string_view reason) { return std::string(kAnswerError) + std::string(reason) + kRecordEnd; }

}  // namespace

bool SameToken(std::string_view given, std::string_view expected) {
    unsigned difference = given.size() == expected.size() ? 0 : 1;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const unsigned char other = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
        difference |= other ^ static_cast<unsigned char>(expected[i]);
    }
    return difference == 0;
}

bool IsLoopbackAddress(std::string_view address) {
    return address.starts_with("127.") || address == "::1" || address.starts_with("::ffff:127.");
}

// One client: its socket, and what the worker sends it. The worker writes
// to the socket itself while the system takes the bytes, so a record leaves
// as soon as it is written; what the system does not take waits in the
// outbox for the connection's thread. Nothing here waits on the network.
class TcpChannel::Connection final : public RequestClient {
public:
    Connection(platform::Socket socket, std::string address, std::uint16_t port, std::function<std::string()> status)
        : socket_(std::move(socket)), address_(std::move(address)), port_(port), status_(std::move(status)) {}

    std::string Peer() const { return address_ + ":" + std::to_string(port_); }
    const std::string& Address() const { return address_; }
    std::uint16_t PeerPort() const { return port_; }
    const platform::Socket& Socket() const { return socket_; }

    // Sent at once, apart from the end line: a client gone meanwhile refuses
    // the second send, and its answers are kept.
    void Record(std::string_view record) override {
        const std::lock_guard lock(mutex_);
        Queue(record);
    }
    Delivery Finish(std::size_t records, const std::string& answers, const std::string& responsePath) override {
        const std::lock_guard lock(mutex_);
        Queue(std::string(kAnswerEnd) + std::to_string(records) + kRecordEnd);
        const bool gone = gone_;
        if (!gone && !outbox_.empty() && !answers.empty()) unsettled_.push_back({responsePath, answers});
        const bool sent = outbox_.empty();
        Next();
        return gone ? Delivery::Undelivered : sent ? Delivery::Delivered : Delivery::Later;
    }
    void Abandon() override {
        const std::lock_guard lock(mutex_);
        gone_ = true;
        Next();
    }

    // The connection's thread.
    void Send(std::string_view bytes) {
        const std::lock_guard lock(mutex_);
        Queue(bytes);
    }
    void Flush() {
        const std::lock_guard lock(mutex_);
        FlushLocked();
    }
    void Queued() {
        const std::lock_guard lock(mutex_);
        order_.push_back(false);
    }
    // "?": answered in turn, after the requests sent before it.
    void AskStatus() {
        const std::lock_guard lock(mutex_);
        order_.push_back(true);
        if (order_.size() == 1) Next(false);
    }
    struct State {
        bool gone = false;
        bool sending = false;  // bytes wait in the outbox
        bool busy = false;     // requests queued or running
        // Nothing more is read while this many requests are in hand or the
        // outbox holds this much: a client that sends without reading holds
        // no more than that of the agent's memory.
        bool full = false;
    };
    State Look() const {
        const std::lock_guard lock(mutex_);
        return {gone_, !outbox_.empty(), !order_.empty(), order_.size() >= 8 || outbox_.size() >= (1u << 20)};
    }
    // The thread ends: answers still going out are kept in their response
    // files; the worker's later answers go there too.
    void End(bool durable, const AgentLog& log) {
        const std::lock_guard lock(mutex_);
        gone_ = true;
        outbox_.clear();
        for (const Unsettled& answers : unsettled_) SaveUndeliveredAnswers(answers.path, answers.records, durable, log);
        unsettled_.clear();
        socket_.Close();
    }

private:
    // The request in hand is done (unless `pop` is false): the status asks
    // that wait behind it are answered.
    void Next(bool pop = true) {
        if (pop && !order_.empty()) order_.pop_front();
        while (!order_.empty() && order_.front()) {
            order_.pop_front();
            Queue(status_());
        }
    }
    void Queue(std::string_view bytes) {
        if (gone_) return;
        outbox_ += bytes;
        FlushLocked();
    }
    void FlushLocked() {
        while (!outbox_.empty() && !gone_) {
            const std::ptrdiff_t sent = platform::Send(socket_, outbox_);
            if (sent == platform::kBroken) {
                gone_ = true;
            } else if (sent == 0) {
                return;
            } else {
                outbox_.erase(0, static_cast<std::size_t>(sent));
            }
        }
        // Every answer handed over: no response file is needed.
        if (outbox_.empty() && !gone_) unsettled_.clear();
    }

    mutable std::mutex mutex_;
    platform::Socket socket_;
    const std::string address_;
    const std::uint16_t port_;
    std::string outbox_;
    const std::function<std::string()> status_;
    struct Unsettled {
        std::string path;  // the response file, should the client go
        std::string records;
    };
    std::vector<Unsettled> unsettled_;  // answers still in the outbox
    std::deque<bool> order_;  // what is in hand, in turn: a request (false) or "?" (true)
    bool gone_ = false;
};

TcpChannel::TcpChannel(SharedState& shared, const AgentEnvironment& environment, const AgentLog& log)
    : shared_(shared), environment_(environment), log_(log) {}

TcpChannel::~TcpChannel() { Stop(); }

bool TcpChannel::Start() {
    const ChannelSettings& settings = environment_.tcp;
    if (settings.port == 0) return false;
    // Anybody on the shop's network could print a receipt.
    if (!IsLoopbackAddress(settings.address) && settings.token.empty()) {
        log_.WriteLog(FillPattern(texts::kTcpTokenRequired, {settings.address}));
        return false;
    }
    listener_ = std::make_unique<platform::Socket>();
    if (!Listen(true)) return false;
    acceptor_ = std::thread([this] { Accept(); });
    return true;
}

bool TcpChannel::Listen(bool first) {
    const ChannelSettings& settings = environment_.tcp;
    const std::string port = std::to_string(settings.port);
    switch (platform::Listen(settings.address, settings.port, *listener_)) {
        case platform::ListenResult::Listening:
            port_ = platform::LocalPort(*listener_);
            log_.WriteLog(FillPattern(texts::kTcpListening, {settings.address, std::to_string(port_)}));
            return true;
        case platform::ListenResult::AddressInUse:
            // Tried again while the agent runs: the port may be held by
            // the connections of a run just ended.
            if (first) {
                log_.WriteLog(FillPattern(texts::kTcpPortInUse, {port, settings.address}));
                acceptor_ = std::thread([this] { Accept(); });
            }
            return false;
        case platform::ListenResult::BadAddress:
        case platform::ListenResult::Failed:
            if (first) log_.WriteLog(FillPattern(texts::kTcpListenFailed, {settings.address, port}));
            return false;
    }
    return false;
}

void TcpChannel::Stop() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    for (Slot& slot : slots_) slot.thread.join();
    slots_.clear();
    if (listener_) listener_->Close();
}

std::string TcpChannel::StatusAnswer() const {
    const std::string status =
        FormatStatus(shared_.status.Snapshot(), ThisBuild(platform::ExecutableBaseName()), UnixNow());
    const std::string report = environment_.describeStatus ? environment_.describeStatus(status) : status;
    std::string answer;
    std::size_t lines = 0;
    for (std::size_t start = 0, end; (end = report.find('\n', start)) != std::string::npos; start = end + 1, ++lines)
        answer += report.substr(start, end - start) + kRecordEnd;
    return answer + std::string(kAnswerEnd) + std::to_string(lines) + kRecordEnd;
}

void TcpChannel::Refuse(const std::string& peer) {
    if (!refusing_) {
        log_.WriteLog(FillPattern(texts::kTcpTooManyConnections,
                                  {peer, std::to_string(environment_.tcp.maxConnections)}));
    }
    refusing_ = true;
}

void TcpChannel::Accept() {
    for (auto waited = 0ms; !listener_->Valid(); waited += kTurn) {
        if (stopping_) return;
        std::this_thread::sleep_for(kTurn);
        if (waited >= kRelisten) {
            waited = 0ms;
            Listen(false);
        }
    }
    while (!stopping_) {
        for (auto slot = slots_.begin(); slot != slots_.end();) {
            if (!*slot->ended) {
                ++slot;
                continue;
            }
            slot->thread.join();
            slot = slots_.erase(slot);
        }
        if (!platform::WaitSocket(*listener_, true, false, kTurn).read) continue;
        platform::Peer peer;
        std::optional<platform::Socket> socket = platform::Accept(*listener_, peer);
        if (!socket) continue;
        auto connection =
            std::make_shared<Connection>(std::move(*socket), peer.address, peer.port, [this] { return StatusAnswer(); });
        // A refused client is told at once; it holds no slot.
        if (live_ >= environment_.tcp.maxConnections) {
            Refuse(connection->Peer());
            connection->Send(ErrorLine(texts::kTcpErrorBusy));
            connection->End(environment_.durableRecords, log_);
            continue;
        }
        refusing_ = false;
        auto ended = std::make_shared<std::atomic<bool>>(false);
        ++live_;
        slots_.push_back(Slot{std::thread([this, connection, ended] {
                                  Serve(connection);
                                  --live_;
                                  *ended = true;
                              }),
                              ended});
    }
}

void TcpChannel::Serve(const std::shared_ptr<Connection>& connection) {
    const ChannelSettings& settings = environment_.tcp;
    const std::string peer = connection->Peer();
    RequestFramer framer(settings.limits);
    bool authorized = settings.token.empty();
    bool peerEnded = false;
    const Clock::time_point connected = Clock::now();
    Clock::time_point lastActivity = connected;
    // When the request arriving began; `arriving` while one does.
    Clock::time_point requestStart = connected;
    bool arriving = false;
    std::vector<RequestFramer::Item> items;
    std::string buffer(64 * 1024, '\0');

    // Ends the connection with a reason for the client and a line for the log.
    std::optional<std::string> closing;
    const auto close = [&](std::string_view reason, std::string logLine) {
        log_.WriteLog(logLine);
        connection->Send(ErrorLine(reason));
        closing = std::string(reason);
    };
    const auto refuseToken = [&] {
        // A guesser learns nothing quickly.
        for (auto waited = 0ms; waited < settings.refusalDelay && !stopping_; waited += kTurn)
            std::this_thread::sleep_for(kTurn);
        // One line a second at most: strangers knocking do not fill the log.
        const auto now = Clock::now().time_since_epoch();
        auto last = lastRefusalLogged_.load();
        if (now - Clock::duration(last) >= 1s && lastRefusalLogged_.compare_exchange_strong(last, now.count())) {
            close(texts::kTcpErrorToken, FillPattern(texts::kTcpTokenRefused, {peer}));
        } else {
            connection->Send(ErrorLine(texts::kTcpErrorToken));
            closing = texts::kTcpErrorToken;
        }
    };
    const auto queue = [&](const std::string& bytes) {
        connection->Queued();
        const std::string name = RequestFileName(connection->Address(), connection->PeerPort(), nextRequest_++);
        shared_.requests.Push(Request{name, platform::FileClockNow(), FoldTextMode(bytes), connection});
    };

    while (!stopping_ && !closing) {
        const Connection::State state = connection->Look();
        if (state.gone || (peerEnded && !state.busy && !state.sending)) break;
        const platform::Readiness ready =
            platform::WaitSocket(connection->Socket(), !peerEnded && !state.full, state.sending, kTurn);
        if (ready.write) connection->Flush();
        if (ready.read) {
            const std::ptrdiff_t received = platform::Receive(connection->Socket(), buffer.data(), buffer.size());
            if (received == platform::kBroken) break;
            // A request cut short by the client's end is never run.
            if (received == platform::kPeerEnded) peerEnded = true;
            if (received > 0) {
                lastActivity = Clock::now();
                items.clear();
                framer.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(received)), items);
                bool completed = false;
                for (RequestFramer::Item& item : items) {
                    if (closing) break;
                    if (item.kind == RequestFramer::Kind::Token) {
                        if (!settings.token.empty()) authorized = SameToken(item.text, settings.token);
                        if (!authorized) refuseToken();
                        continue;
                    }
                    if (!authorized) {
                        refuseToken();
                        break;
                    }
                    switch (item.kind) {
                        case RequestFramer::Kind::Request:
                            completed = true;
                            queue(item.text);
                            break;
                        case RequestFramer::Kind::Status:
                            connection->AskStatus();
                            break;
                        case RequestFramer::Kind::Oversized:
                            close(texts::kTcpErrorTooLarge,
                                  FillPattern(texts::kTcpRequestTooLarge,
                                              {peer, std::to_string(settings.limits.maxRequestBytes)}));
                            break;
                        case RequestFramer::Kind::LineTooLong:
                            close(texts::kTcpErrorLineTooLong,
                                  FillPattern(texts::kTcpLineTooLong, {peer, std::to_string(settings.limits.maxLineBytes)}));
                            break;
                        case RequestFramer::Kind::CutByCtrlZ:
                            close(texts::kTcpErrorCtrlZ, FillPattern(texts::kTcpCutByCtrlZ, {peer}));
                            break;
                        case RequestFramer::Kind::Token:
                            break;
                    }
                }
                // The first line was no token.
                if (!closing && !authorized && framer.SawLine()) refuseToken();
                if (framer.Midway() && (!arriving || completed)) requestStart = lastActivity;
                arriving = framer.Midway();
            }
        }
        if (closing) break;
        const Clock::time_point now = Clock::now();
        // The arrival clock stands still while nothing is read.
        if (state.full) requestStart = now;
        // A client that does not say who it is holds its slot briefly.
        if (!authorized && now - connected > std::min<std::chrono::milliseconds>(settings.arrivalLimit, 5s)) {
            refuseToken();
        } else if (arriving && now - requestStart > settings.arrivalLimit) {
            close(texts::kTcpErrorTooSlow, FillPattern(texts::kTcpRequestTooSlow, {peer, Seconds(settings.arrivalLimit)}));
        } else if (!arriving && !state.busy && !state.sending && now - lastActivity > settings.idleLimit) {
            log_.WriteLog(FillPattern(texts::kTcpIdle, {peer, Seconds(settings.idleLimit)}));
            break;
        }
    }
    // What the client still sends is read and dropped for a moment, so that
    // the close does not reset the connection before the client has read
    // why.
    if (closing) {
        const Clock::time_point until = Clock::now() + 4 * kTurn;
        while (Clock::now() < until && platform::WaitSocket(connection->Socket(), true, false, kTurn).read &&
               platform::Receive(connection->Socket(), buffer.data(), buffer.size()) > 0) {
        }
    }
    connection->End(environment_.durableRecords, log_);
}

}  // namespace zentrada::engine
