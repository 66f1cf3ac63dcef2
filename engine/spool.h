// The spool directory of the TCP channel: each request received whole is
// stored there as a command file before the worker may take it, and its
// response file stays there until the client has every record. Answers a
// client did not get go to the output directory, under the response's name
// (the connection and the time), and the log says so.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/agent_engine.h"
#include "engine/agent_log.h"

namespace zentrada::engine {

// "TCP_127.0.0.1_54321_7.FPI": the client's address (":" of IPv6 as "-"),
// its port and the request's number.
std::string RequestFileName(std::string_view address, std::uint16_t port, std::uint64_t number);

// Whether stored bytes are a whole request: a crash while they were written
// leaves a part that never ends with the request's end marker line.
bool IsWholeRequest(std::string_view bytes);

// A response file of the spool directory whose client did not get it, moved
// to `outputDirectory`; logged either way.
void KeepUndeliveredAnswers(const std::string& responsePath, const std::string& outputDirectory, const AgentLog& log);

// At start, before any request is taken: the answers left in the spool
// directory go to the output directory, the pieces of requests never
// stored whole are removed, and the requests stored whole but never taken
// are returned, oldest first, to be run without a client.
std::vector<Request> SweepSpool(const std::string& spoolDirectory, const std::string& outputDirectory,
                                const SharedState& shared, const AgentLog& log);

}  // namespace zentrada::engine
