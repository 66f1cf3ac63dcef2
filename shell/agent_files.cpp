#include "shell/agent_files.h"

#include "platform/platform.h"
#include "shell/status_report.h"

namespace zentrada::shell {

std::string DataDirectory(const platform::StoredSettings& settings) {
    return settings.dataDirectory.empty() ? platform::ExecutableDirectory() : settings.dataDirectory;
}

void SetAgentFiles(engine::AgentEnvironment& environment, const platform::StoredSettings& settings) {
    const std::string directory = DataDirectory(settings);
    const std::string program = platform::ExecutableBaseName();
    environment.logPath = platform::JoinPath(directory, kLogFileName);
    environment.journalPath = platform::JoinPath(directory, JournalFileName(program));
    environment.undeletedFilesPath = platform::JoinPath(directory, UndeletedFilesName(program));
    environment.statusPath = platform::JoinPath(directory, StatusFileName(program));
    environment.metricsPath = settings.metricsDirectory.empty()
                                  ? std::string()
                                  : platform::JoinPath(settings.metricsDirectory, MetricsFileName(program));
    environment.spoolDirectory = platform::JoinPath(directory, SpoolDirectoryName(program));
    environment.tcp.port = settings.tcpPort;
    if (!settings.tcpAddress.empty()) environment.tcp.address = settings.tcpAddress;
    environment.tcp.token = settings.tcpToken;
    environment.describeStatus = [](const std::string& statusText) {
        return ReportStatus(&statusText, {}, engine::UnixNow()).text;
    };
}

}  // namespace zentrada::shell
