// The command reference of the README, written from the family tables.
#pragma once

#include <string>

namespace zentrada::commands {

// Markdown: one table per family, one row per command with its parameters
// in command-line order and what its response record carries.
std::string CommandReference();

}  // namespace zentrada::commands
