#include "shell/agent_files.h"

#include "platform/platform.h"

namespace zentrada::shell {

void SetAgentFiles(engine::AgentEnvironment& environment) {
    const std::string directory = platform::ExecutableDirectory();
    const std::string program = platform::ExecutableBaseName();
    environment.logPath = platform::JoinPath(directory, kLogFileName);
    environment.journalPath = platform::JoinPath(directory, JournalFileName(program));
    environment.undeletedFilesPath = platform::JoinPath(directory, UndeletedFilesName(program));
    environment.statusPath = platform::JoinPath(directory, StatusFileName(program));
}

std::string MetricsPath(const std::string& metricsDirectory) {
    if (metricsDirectory.empty()) return {};
    return platform::JoinPath(metricsDirectory, MetricsFileName(platform::ExecutableBaseName()));
}

}  // namespace zentrada::shell
