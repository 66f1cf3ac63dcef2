// What a command handler needs from the worker that runs it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/binding.h"

namespace zentrada::commands {

// Receives one response record: the status text first, then the outputs.
class ResponseSink {
public:
    virtual void WriteResponse(const std::vector<std::string>& fields) = 0;

protected:
    ~ResponseSink() = default;
};

// The driver log setting last given by the driver log command; the idle poll
// restores it after each status query.
struct DriverLogSetting {
    static constexpr std::size_t kMaxPath = 1023;
    std::int32_t level = 0;
    std::string path;
};

struct CommandContext {
    const driver::DriverBinding& driver;
    ResponseSink& responses;
    DriverLogSetting& driverLog;
    // Set during the checking pass: count checks only, no driver call.
    bool checkOnly = false;
};

}  // namespace zentrada::commands
