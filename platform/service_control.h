// The Windows service the console host becomes under the service control
// manager (win32/service_control.cpp). Windows only.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace zentrada::platform {

inline constexpr char kServiceName[] = "Zentrada";

enum class ServiceResult { Done, AccessDenied, AlreadyInstalled, NotInstalled, Failed };
struct ServiceChange {
    ServiceResult result = ServiceResult::Failed;
    unsigned long error = 0;  // the system's error code when it failed
};

struct ServiceDefinition {
    std::string commandLine;  // the program and its arguments, quoted
    std::string description;
    std::string account;      // empty: LocalSystem
    std::string password;
    // How long the service may take to stop in order at shutdown.
    std::chrono::milliseconds shutdownBound{0};
};
// Registers the service "Zentrada": automatic start, restarted 5 s, 5 s and
// 60 s after it fails (a stop with an error status counts), and its event
// log source.
ServiceChange InstallService(const ServiceDefinition& definition);
// Stops the service, waiting up to `bound`, and removes it and its event log
// source.
ServiceChange UninstallService(std::chrono::milliseconds bound);

// When the service control manager started this process: runs `run` as the
// service and returns true once it has stopped. Stop, pre-shutdown and
// shutdown requests become stop requests (WaitForStopRequest), reported with
// wait hints until `run` returns; once `bound` has passed since the request,
// `boundPassed` is called and the process ends. The status `run` returns is
// the service's exit code. False, at once, when not started as a service.
bool RunAsService(const std::function<int()>& run, std::chrono::milliseconds bound,
                  const std::function<void()>& boundPassed);
bool RunningAsService();

// The service as a control panel sees and drives it.
enum class ServiceState { NotInstalled, Stopped, Starting, Running, Stopping };
ServiceState QueryAgentService();
ServiceChange StartAgentService();
// Asks for the stop; the service ends once the file in hand is finished.
ServiceChange StopAgentService();
// Asks the running service to read its directories and mode again
// (TakeReloadRequest), as SIGHUP does on Linux.
ServiceChange ReloadAgentService();

// One entry of the Windows event log, source "Zentrada" (cp1252 text).
void WriteEventLog(bool error, std::string_view text);

}  // namespace zentrada::platform
