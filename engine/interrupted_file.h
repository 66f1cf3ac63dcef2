// The command file a crash cut short: found through the journal when the
// worker starts, before any file is taken, and never run again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/agent_engine.h"
#include "engine/agent_log.h"
#include "platform/platform.h"

namespace zentrada::engine {

// VENDA.FPI last written 2026-12-06 05:22:33.123 →
// VENDA_20261206052233000123.interrompido
std::string InterruptedName(std::string_view name, const platform::LocalTime& lastWrite);

// The line number of a response text's last record, if it has one.
std::optional<std::int32_t> LastRecordLine(std::string_view response);

// The first line after `line` that the execution pass would run, read from
// the command file's text; nothing when the pass would end first.
std::optional<std::int32_t> NextCommandLine(const std::string& text, std::int32_t line);

// What the journal at `journalPath` says was in hand, put right: a file that
// ran to its end is deleted; a file cut short gets, after its records, one
// record for the line that was in flight (or the next), is moved to its
// interrupted name and is logged. A file cut short before its first line was
// sent is left to be taken again.
void RecoverInterruptedFile(const std::string& journalPath, SharedState& shared, const AgentLog& log,
                            bool durable);

}  // namespace zentrada::engine
