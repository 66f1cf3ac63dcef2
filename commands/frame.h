// The handler frame: the steps every command goes through.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "commands/command_context.h"
#include "commands/command_line.h"
#include "commands/command_row.h"

namespace zentrada::commands {

// The value an Int, Bool or Char parameter is passed to the driver as; 0 for
// the other kinds.
std::int32_t ParameterValue(KindId kind, std::string_view text);

// Runs one command row: -1 for a wrong parameter count (and for a row that is
// never executed), 1 in the checking pass, otherwise the driver's status after
// one response record has been written.
std::int32_t RunCommand(const CommandRow& row, CommandContext& context,
                        const std::vector<std::string>& params);

}  // namespace zentrada::commands
