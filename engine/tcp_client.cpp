#include "engine/tcp_client.h"

#include "engine/record_bytes.h"
#include "engine/request_framer.h"

namespace zentrada::engine {

using Clock = std::chrono::steady_clock;

bool ChannelClient::Connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout) {
    socket_ = platform::Connect(host, port, timeout);
    pending_.clear();
    return socket_.Valid();
}

bool ChannelClient::Send(std::string_view bytes, std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    while (!bytes.empty()) {
        const std::ptrdiff_t sent = platform::Send(socket_, bytes);
        if (sent == platform::kBroken) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
        if (bytes.empty()) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) return false;
        platform::WaitSocket(socket_, false, true, left);
    }
    return true;
}

ChannelClient::Answer ChannelClient::Read(std::chrono::milliseconds timeout) {
    Answer answer;
    const auto until = Clock::now() + timeout;
    char buffer[16384];
    for (;;) {
        // Whole lines first: the answer may be here already.
        for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            std::string line = pending_.substr(0, end + 1);
            pending_.erase(0, end + 1);
            std::string_view bare(line);
            while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r')) bare.remove_suffix(1);
            if (bare.starts_with(kAnswerEnd)) {
                answer.end = std::stoull(std::string(bare.substr(kAnswerEnd.size())));
                return answer;
            }
            if (bare.starts_with(kAnswerError)) {
                answer.error = std::string(bare.substr(kAnswerError.size()));
                return answer;
            }
            answer.records += line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0 || !socket_.Valid()) return answer;
        if (!platform::WaitSocket(socket_, true, false, left).read) continue;
        const std::ptrdiff_t received = platform::Receive(socket_, buffer, sizeof buffer);
        if (received == platform::kPeerEnded || received == platform::kBroken) {
            answer.closed = true;
            answer.records += pending_;
            pending_.clear();
            return answer;
        }
        if (received > 0) pending_.append(buffer, static_cast<std::size_t>(received));
    }
}

std::string AsRequest(std::string text) {
    if (!text.empty() && !text.ends_with('\n')) text += "\r\n";
    return text;
}

}  // namespace zentrada::engine
