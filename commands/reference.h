// The command reference of the README, written from the family tables.
#pragma once

#include <string>

#include "commands/command_row.h"

namespace zentrada::commands {

// Markdown: one table per family, one row per command with its parameters
// in command-line order and what its response record carries.
std::string CommandReference();

// A kind as the reference names it: text, int, bool, char, out[N], out-int,
// out-flag.
std::string KindName(const KindSpec& kind);

}  // namespace zentrada::commands
