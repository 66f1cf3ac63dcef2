#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/platform.h"
#include "platform/service_control.h"
#include "platform/win32/stop_request.h"

namespace zentrada::platform {
namespace {

// The service's own control: read the settings again.
constexpr DWORD kReloadControl = 128;
constexpr char kEventSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Zentrada";
// How long the manager is told to wait between two reports while stopping.
constexpr DWORD kWaitHintMs = 3000;

class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ~ServiceHandle() {
        if (handle_ != nullptr) CloseServiceHandle(handle_);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    SC_HANDLE handle_;
};

ServiceChange Failure(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED: return {ServiceResult::AccessDenied, error};
        case ERROR_SERVICE_EXISTS: return {ServiceResult::AlreadyInstalled, error};
        case ERROR_SERVICE_DOES_NOT_EXIST: return {ServiceResult::NotInstalled, error};
        default: return {ServiceResult::Failed, error};
    }
}

// What the running service reports, and how its stop goes.
struct RunningService {
    std::function<int()> run;
    std::chrono::milliseconds bound{0};
    std::function<void()> boundPassed;
    SERVICE_STATUS_HANDLE handle = nullptr;
    std::mutex mutex;
    std::condition_variable ended;
    SERVICE_STATUS status{};
    bool stopping = false;
    bool done = false;
};
RunningService* service = nullptr;
std::atomic<bool> asService{false};

// The caller holds the mutex.
void Report(DWORD state, int exitStatus = 0) {
    SERVICE_STATUS& status = service->status;
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PRESHUTDOWN | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = static_cast<DWORD>(exitStatus);
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwCheckPoint = pending ? status.dwCheckPoint + 1 : 0;
    status.dwWaitHint = pending ? kWaitHintMs : 0;
    SetServiceStatus(service->handle, &status);
}

// While the file in hand is finished: a report every second, so the manager
// keeps waiting; the process ends once the bound has passed (a driver call
// that never returns).
void WatchStop() {
    std::unique_lock lock(service->mutex);
    const auto deadline = std::chrono::steady_clock::now() + service->bound;
    while (!service->done) {
        if (std::chrono::steady_clock::now() >= deadline) {
            if (service->boundPassed) service->boundPassed();
            Report(SERVICE_STOPPED);
            ExitProcess(0);
        }
        Report(SERVICE_STOP_PENDING);
        service->ended.wait_for(lock, std::chrono::seconds(1));
    }
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_PRESHUTDOWN:
        case SERVICE_CONTROL_SHUTDOWN: {
            const std::lock_guard lock(service->mutex);
            if (!service->stopping && !service->done) {
                service->stopping = true;
                Report(SERVICE_STOP_PENDING);
                RequestStopFromOutside();
                std::thread(WatchStop).detach();
            }
            return NO_ERROR;
        }
        case SERVICE_CONTROL_INTERROGATE: return NO_ERROR;
        case kReloadControl: RequestReloadFromOutside(); return NO_ERROR;
        default: return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, LPSTR*) {
    service->handle = RegisterServiceCtrlHandlerExA(kServiceName, OnControl, nullptr);
    if (service->handle == nullptr) return;
    {
        const std::lock_guard lock(service->mutex);
        Report(SERVICE_RUNNING);
    }
    const int exitStatus = service->run();
    const std::lock_guard lock(service->mutex);
    service->done = true;
    service->ended.notify_all();
    Report(SERVICE_STOPPED, exitStatus);
}

}  // namespace

bool RunningAsService() { return asService; }

bool RunAsService(const std::function<int()>& run, std::chrono::milliseconds bound,
                  const std::function<void()>& boundPassed) {
    // The stop event exists before the manager can ask for a stop.
    BlockStopRequests();
    static RunningService running;
    running.run = run;
    running.bound = bound;
    running.boundPassed = boundPassed;
    service = &running;
    asService = true;
    char name[] = "Zentrada";
    const SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    if (StartServiceCtrlDispatcherA(table)) return true;
    asService = false;
    return false;
}

void WriteEventLog(bool error, std::string_view text) {
    const HANDLE source = RegisterEventSourceA(nullptr, kServiceName);
    if (source == nullptr) return;
    const std::string message(text);
    const char* strings[] = {message.c_str()};
    ReportEventA(source, error ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, strings,
                 nullptr);
    DeregisterEventSource(source);
}

ServiceChange InstallService(const ServiceDefinition& definition) {
    const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) return Failure(GetLastError());
    const bool ownAccount = !definition.account.empty();
    const ServiceHandle created(CreateServiceA(
        manager.get(), kServiceName, kServiceName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
        SERVICE_ERROR_NORMAL, definition.commandLine.c_str(), nullptr, nullptr, nullptr,
        ownAccount ? definition.account.c_str() : nullptr, ownAccount ? definition.password.c_str() : nullptr));
    if (!created) return Failure(GetLastError());

    std::string description = definition.description;
    SERVICE_DESCRIPTIONA describe{description.data()};
    ChangeServiceConfig2A(created.get(), SERVICE_CONFIG_DESCRIPTION, &describe);
    SC_ACTION restarts[] = {{SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 60000}};
    SERVICE_FAILURE_ACTIONSA failures{24 * 60 * 60, nullptr, nullptr, 3, restarts};
    ChangeServiceConfig2A(created.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &failures);
    // A stop with an error status (the port not opened) is a failure too.
    SERVICE_FAILURE_ACTIONS_FLAG onErrorStatus{TRUE};
    ChangeServiceConfig2A(created.get(), SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onErrorStatus);
    SERVICE_PRESHUTDOWN_INFO preshutdown{static_cast<DWORD>(definition.shutdownBound.count())};
    ChangeServiceConfig2A(created.get(), SERVICE_CONFIG_PRESHUTDOWN_INFO, &preshutdown);

    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
        const std::string program = ExecutablePath();
        RegSetValueExA(key, "EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                       static_cast<DWORD>(program.size() + 1));
        const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
        RegSetValueExA(key, "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types);
        RegCloseKey(key);
    }
    return {ServiceResult::Done, 0};
}

ServiceChange UninstallService(std::chrono::milliseconds bound) {
    const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return Failure(GetLastError());
    const ServiceHandle existing(
        OpenServiceA(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!existing) return Failure(GetLastError());
    SERVICE_STATUS status{};
    if (ControlService(existing.get(), SERVICE_CONTROL_STOP, &status)) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (QueryServiceStatus(existing.get(), &status) && status.dwCurrentState != SERVICE_STOPPED &&
               std::chrono::steady_clock::now() < deadline)
            Sleep(250);
    }
    if (!DeleteService(existing.get())) return Failure(GetLastError());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kEventSourceKey);
    return {ServiceResult::Done, 0};
}

namespace {

// The service opened with `access`, or the failure to open it.
ServiceChange WithService(DWORD access, const std::function<bool(SC_HANDLE)>& act) {
    const ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return Failure(GetLastError());
    const ServiceHandle existing(OpenServiceA(manager.get(), kServiceName, access));
    if (!existing) return Failure(GetLastError());
    if (!act(existing.get())) return Failure(GetLastError());
    return {ServiceResult::Done, 0};
}

bool Control(SC_HANDLE service, DWORD control) {
    SERVICE_STATUS status{};
    return ControlService(service, control, &status) != 0;
}

}  // namespace

ServiceState QueryAgentService() {
    ServiceState state = ServiceState::NotInstalled;
    WithService(SERVICE_QUERY_STATUS, [&state](SC_HANDLE service) {
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(service, &status)) return false;
        switch (status.dwCurrentState) {
            case SERVICE_RUNNING: state = ServiceState::Running; break;
            case SERVICE_START_PENDING: state = ServiceState::Starting; break;
            case SERVICE_STOP_PENDING: state = ServiceState::Stopping; break;
            default: state = ServiceState::Stopped; break;
        }
        return true;
    });
    return state;
}

ServiceChange StartAgentService() {
    return WithService(SERVICE_START, [](SC_HANDLE service) { return StartServiceA(service, 0, nullptr) != 0; });
}

ServiceChange StopAgentService() {
    return WithService(SERVICE_STOP, [](SC_HANDLE service) { return Control(service, SERVICE_CONTROL_STOP); });
}

ServiceChange ReloadAgentService() {
    return WithService(SERVICE_USER_DEFINED_CONTROL,
                       [](SC_HANDLE service) { return Control(service, kReloadControl); });
}

}  // namespace zentrada::platform
