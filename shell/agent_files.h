// The files the agent keeps beside its executable, whichever host runs it.
#pragma once

namespace zentrada::shell {

inline constexpr char kLogFileName[] = "Zentrada_log.txt";
// The command file in hand and the line being sent; see engine/journal.h.
inline constexpr char kJournalFileName[] = "Zentrada_em_execucao.txt";

}  // namespace zentrada::shell
