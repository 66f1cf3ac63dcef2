// The files the agent keeps beside its executable, whichever host runs it.
#pragma once

#include <string>

#include "engine/agent_engine.h"
#include "platform/settings_store.h"

namespace zentrada::shell {

inline constexpr char kLogFileName[] = "Zentrada_log.txt";
// The console host's program name on Windows, whose files the service's are.
inline constexpr char kConsoleHostName[] = "zentrada-console";
// The command file in hand and the line being sent (see engine/journal.h),
// one per program: the panel and the console host may run side by side from
// one directory, each with its own input directory.
inline std::string JournalFileName(const std::string& programBaseName) {
    return programBaseName + "_em_execucao.txt";
}

// The agent's status (engine/agent_status.h), for people, scripts and
// monitoring, one per program like the journal.
inline std::string StatusFileName(const std::string& programBaseName) {
    return programBaseName + "_estado.prom";
}
// The same status in the directory a monitoring exporter reads.
inline std::string MetricsFileName(const std::string& programBaseName) { return programBaseName + ".prom"; }

// Executed command files that could not be deleted (see
// engine/executed_files.h), one list per program like the journal.
inline std::string UndeletedFilesName(const std::string& programBaseName) {
    return programBaseName + "_nao_apagados.txt";
}

// Where agents that stored the TCP channel's requests as files kept them
// (engine/request_answers.h), a directory per program like the journal.
inline std::string SpoolDirectoryName(const std::string& programBaseName) { return programBaseName + "_tcp"; }

// Where the files above lie: the settings' DataDirectory, else the
// executable's directory.
std::string DataDirectory(const platform::StoredSettings& settings);
// The paths of the files above, and of the status in the monitoring
// directory when the settings name one; the TCP channel's settings, and
// its status answer (the text of `--status`).
void SetAgentFiles(engine::AgentEnvironment& environment, const platform::StoredSettings& settings);

}  // namespace zentrada::shell
