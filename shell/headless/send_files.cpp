#include "shell/headless/send_files.h"

#include <charconv>
#include <cstdlib>

#include "engine/agent_log.h"
#include "engine/intake.h"
#include "engine/response_writer.h"
#include "engine/tcp_client.h"
#include "engine/request_framer.h"
#include "platform/platform.h"
#include "resources/texts.h"
#include "shell/exit_status.h"

namespace zentrada::shell {
namespace {

using namespace std::chrono_literals;

void Tell(const std::string& text) { platform::WriteTerminalText(platform::OutputStream::Error, "zentrada: " + text + "\n"); }

}  // namespace

int SendCommandFiles(const std::string& address, const std::vector<std::string>& files,
                     const std::optional<std::string>& outputDirectory) {
    using engine::FillPattern;
    // HOST:PORT, the host of an IPv6 address in brackets.
    const auto colon = address.rfind(':');
    std::string host = colon == std::string::npos ? std::string() : address.substr(0, colon);
    if (host.size() > 1 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    unsigned port = 0;
    const char* end = address.data() + address.size();
    const auto [stop, error] =
        colon == std::string::npos ? std::from_chars(end, end, port) : std::from_chars(address.data() + colon + 1, end, port);
    if (host.empty() || error != std::errc{} || stop != end || port == 0 || port > 65535) {
        Tell(FillPattern(texts::kSendBadAddress, {address}));
        return kExitUsage;
    }
    engine::ChannelClient client;
    if (!client.Connect(host, static_cast<std::uint16_t>(port), 10s)) {
        Tell(FillPattern(texts::kSendConnectFailed, {address}));
        return kExitSendFailed;
    }
    if (const char* token = std::getenv("ZENTRADA_TOKEN"); token != nullptr && *token != '\0')
        client.Send(std::string(engine::kTokenLine) + token + "\r\n");
    for (const std::string& file : files) {
        const auto bytes = platform::ReadFileBytes(file);
        if (!bytes) {
            Tell(FillPattern(texts::kSendUnreadable, {file}));
            return kExitSendFailed;
        }
        // A sale may keep the printer a while; a silent agent is given up on.
        const auto answer = client.Send(engine::AsRequest(*bytes)) ? client.Read(10min) : engine::ChannelClient::Answer{};
        if (!answer.end) {
            Tell(FillPattern(texts::kSendNoAnswer, {file, answer.error.empty() ? texts::kSendClosed : answer.error}));
            return kExitSendFailed;
        }
        if (!outputDirectory) {
            platform::WriteOutputBytes(answer.records);
            continue;
        }
        const auto slash = file.find_last_of("/\\");
        const std::string name = engine::ResponseFileName(
            engine::BaseName(file.substr(slash == std::string::npos ? 0 : slash + 1)), engine::FormatStamp(platform::Now()),
            false);
        if (!platform::WriteFileBytes(platform::JoinPath(*outputDirectory, name), answer.records, true)) {
            Tell(FillPattern(texts::kSendNotWritten, {platform::JoinPath(*outputDirectory, name)}));
            return kExitSendFailed;
        }
    }
    return kExitStopped;
}

}  // namespace zentrada::shell
