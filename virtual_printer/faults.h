// Faults on demand: what a developer asks the virtual printer to do wrong,
// from the faults file (re-read whenever it changes) and from environment
// variables. The settings are described at the top of faults.cpp and in the
// README's virtual printer section.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zentrada::virtual_printer::faults {

// Called first by every call of entry point `name`: waits out the delays
// and holds a stuck call until it is released, then gives the status to
// answer instead of the call's own (the call then changes nothing), or
// nothing when the call is to run.
std::optional<std::int32_t> BeforeCall(std::string_view name);

}  // namespace zentrada::virtual_printer::faults
