// The command file a crash (or a vanished output directory) left in hand:
// found through the journal before any file is taken, and never run again.
#pragma once

#include <string>
#include <string_view>

#include "engine/agent_log.h"
#include "engine/executed_files.h"
#include "platform/platform.h"

namespace zentrada::engine {

// VENDA.FPI last written 2026-12-06 05:22:33.123 →
// VENDA_20261206052233000123.interrompido
std::string InterruptedName(std::string_view name, const platform::LocalTime& lastWrite);

enum class Recovery {
    Done,      // nothing in hand any more; files may be taken
    CutShort,  // done, the file answered with the interruption record
    Pending,  // the answers could not be written yet; the journal keeps them
};

// What the journal at `journalPath` says was in hand, put right, following
// the pass rule from the last line sent:
// - nothing was sent: the file is left to be taken again from its start,
//   and the answers that run wrote are removed;
// - the pass had ended (or ends right after the last line sent): the file is
//   finished as an executed file;
// - otherwise the line in flight, or the next line the pass would send, is
//   answered with the interruption record and the file is moved to its
//   interrupted name.
// Records the journal kept, and those the pass writes after the last line
// sent, reach the response file first; a record cut short by the crash is
// cut off. `announce`: the log says so when the answers must still wait.
Recovery RecoverInterruptedFile(const std::string& journalPath, ExecutedFiles& executed, const AgentLog& log,
                                bool durable, bool announce = true);

}  // namespace zentrada::engine
