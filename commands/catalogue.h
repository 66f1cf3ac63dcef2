// Command names to command codes, and codes to their family handlers.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/command_context.h"

namespace zentrada::commands {

inline constexpr std::int32_t kNotCatalogued = 0;
inline constexpr std::int32_t kSerialStatusCode = 3;  // catalogued, no family runs it
inline constexpr std::int32_t kEndMarkerCode = 2400;  // the line "."

struct CommandRow;

struct CatalogueEntry {
    std::string_view name;
    std::int32_t code;
};

// The 194 entries in catalogue order.
std::span<const CatalogueEntry> Catalogue();

// The code of a command name: letter case of A to Z is ignored, every other
// byte (blanks included) must match. A name that matches one entry exactly,
// letter case included, selects that entry, which makes the two names that
// differ from another only in letter case reachable.
std::int32_t LookupCommandCode(std::string_view name);

// The row of a code from its family's table; none for the codes no family
// runs (the end marker, the serial status code) and for uncatalogued ones.
const CommandRow* FindCommandRow(std::int32_t code);

// Runs the family handler of `code`; 0 for the end marker, -1 for any code no
// family executes.
std::int32_t DispatchCommand(std::int32_t code, const std::vector<std::string>& params,
                             CommandContext& context);

}  // namespace zentrada::commands
