// Where the agent's settings live: the registry on Windows, a text file
// beside the executable elsewhere.
#pragma once

#include <cstdint>
#include <string>

namespace zentrada::platform {

struct StoredSettings {
    std::string inputDirectory;   // "WorkDirectoryIn"
    std::string outputDirectory;  // "WorkDirectoryOut"
    bool simpleMode = false;      // "SimgleMode"
    bool showTaskMsgs = false;    // "ShowTaskMsgs"
    bool syncRecords = true;      // "SyncRecords": records forced to disk
    // "MetricsDirectory": where a monitoring exporter reads the agent's
    // status too; empty for none.
    std::string metricsDirectory = {};
    // "DataDirectory": where the agent keeps its log, journal and status;
    // empty for beside the executable.
    std::string dataDirectory = {};
    // "TcpPort": the TCP channel's port; 0 (missing, or not a port number)
    // leaves the channel off.
    std::uint16_t tcpPort = 0;
    // "TcpAddress": the address it listens on; empty for 127.0.0.1.
    std::string tcpAddress = {};
    // "TcpToken": what a client's first line must carry; empty for none.
    std::string tcpToken = {};
};

// The settings, with the defaults (executable directory + "in" / "out",
// the flags off but SyncRecords) for whatever is not stored.
StoredSettings LoadSettings();

// The driver library's own "Log" setting; 0 when it cannot be read.
std::int32_t ReadDriverLogSetting();

}  // namespace zentrada::platform
