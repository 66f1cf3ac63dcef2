#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace zentrada::platform {

void NotifyServiceManager(std::string_view state) {
    const char* socketPath = std::getenv("NOTIFY_SOCKET");
    if (socketPath == nullptr || socketPath[0] == '\0') return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::strlen(socketPath);
    if (length >= sizeof address.sun_path) return;
    std::memcpy(address.sun_path, socketPath, length);
    // "@name" is a socket of the abstract namespace: a NUL in place of "@".
    if (address.sun_path[0] == '@') address.sun_path[0] = '\0';
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
    sendto(fd, state.data(), state.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address), size);
    close(fd);
}

std::chrono::milliseconds ServiceWatchdogInterval() {
    const char* interval = std::getenv("WATCHDOG_USEC");
    if (interval == nullptr) return std::chrono::milliseconds(0);
    // Meant for another process when WATCHDOG_PID names one.
    const char* pid = std::getenv("WATCHDOG_PID");
    if (pid != nullptr && std::strtoll(pid, nullptr, 10) != getpid()) return std::chrono::milliseconds(0);
    const long long microseconds = std::strtoll(interval, nullptr, 10);
    return std::chrono::milliseconds(microseconds > 0 ? microseconds / 1000 : 0);
}

}  // namespace zentrada::platform
