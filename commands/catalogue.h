// Command names to their catalogue entries: the code and the row the frame
// runs. A command file's lines are looked up once, when the file is read.
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
    // The family row the frame runs; none for the end marker and the serial
    // status code.
    const CommandRow* row;
};

// The 194 entries in catalogue order.
std::span<const CatalogueEntry> Catalogue();

// The entry of a command name, none when it is not catalogued. Letter case of
// A to Z is ignored, every other byte (blanks included) must match. A name
// that matches one entry exactly, letter case included, selects that entry,
// which makes the two names that differ from another only in letter case
// reachable.
const CatalogueEntry* LookupCommand(std::string_view name);

// Runs the entry's row through the frame: 0 for the end marker, -1 (as a
// wrong parameter count) for a name no family runs.
std::int32_t RunEntry(const CatalogueEntry& entry, const std::vector<std::string>& params,
                      CommandContext& context);

}  // namespace zentrada::commands
