// The client's side of the TCP channel, for `zentrada --send`, the tests,
// the soak and the benchmark: sends requests and reads their answers.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/socket.h"

namespace zentrada::engine {

class ChannelClient {
public:
    bool Connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout);
    // All of `bytes` handed to the system within `timeout`.
    bool Send(std::string_view bytes, std::chrono::milliseconds timeout = std::chrono::seconds(30));
    void Close() { socket_.Close(); }

    struct Answer {
        std::string records;             // the records, each with its 13, 13, 10
        std::optional<std::size_t> end;  // the count of the end line; nothing when none came
        std::string error;               // the reason of an "#ERRO" line
        bool closed = false;             // the agent closed the connection first
    };
    // The next answer: everything up to its end line or "#ERRO" line, or
    // what came before the connection closed or `timeout` passed.
    Answer Read(std::chrono::milliseconds timeout);

private:
    platform::Socket socket_;
    std::string pending_;  // bytes received past the last answer
};

// A request as the channel takes it: the text of a command file, ending
// with a line feed after its marker line.
std::string AsRequest(std::string text);

}  // namespace zentrada::engine
