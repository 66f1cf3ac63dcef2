// What the TCP channel keeps on disk: nothing while its clients take their
// answers. A request's answers its client did not get go to the output
// directory, under the request's name and the time, and the log says so.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/agent_log.h"

namespace zentrada::engine {

// "TCP_127.0.0.1_54321_7.FPI": the client's address (":" of IPv6 as "-"),
// its port and the request's number.
std::string RequestFileName(std::string_view address, std::uint16_t port, std::uint64_t number);

// A request's answers its client did not get, written to `responsePath`;
// logged either way. False when they are not there.
bool SaveUndeliveredAnswers(const std::string& responsePath, const std::string& answers, bool durable,
                            const AgentLog& log);

// At start: what an agent that stored its requests in `spoolDirectory` left
// there. Its answers go to the output directory; its requests are not run
// (their clients had no answer and may have sent them again), and the log
// names them.
void SweepSpool(const std::string& spoolDirectory, const std::string& outputDirectory, const AgentLog& log);

}  // namespace zentrada::engine
