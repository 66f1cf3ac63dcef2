// The files the agent keeps beside its executable, whichever host runs it.
#pragma once

#include <string>

namespace zentrada::shell {

inline constexpr char kLogFileName[] = "Zentrada_log.txt";
// The command file in hand and the line being sent (see engine/journal.h),
// one per program: the panel and the console host may run side by side from
// one directory, each with its own input directory.
inline std::string JournalFileName(const std::string& programBaseName) {
    return programBaseName + "_em_execucao.txt";
}

// Executed command files that could not be deleted (see
// engine/executed_files.h), one list per program like the journal.
inline std::string UndeletedFilesName(const std::string& programBaseName) {
    return programBaseName + "_nao_apagados.txt";
}

}  // namespace zentrada::shell
