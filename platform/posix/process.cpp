#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/fatal_text.h"
#include "platform/platform.h"

namespace zentrada::platform {

namespace {

std::string ReadExecutablePath() {
    std::string path(4096, '\0');
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

// Asked at every idle poll (the driver's settings file lies beside it): read
// once, since a running program's file does not move.
std::string ExecutablePath() {
    static const std::string path = ReadExecutablePath();
    return path;
}

std::string ExecutableDirectory() {
    const std::string path = ExecutablePath();
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string ExecutableBaseName() {
    const std::string path = ExecutablePath();
    std::string name = path.substr(path.rfind('/') + 1);
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

void ShowFatalError(std::string_view title, std::string_view text) {
    WriteTerminalText(OutputStream::Error, FatalText(title, text));
}

// The lock is an flock on "<name>.lock" in $ZENTRADA_LOCK_DIR, else /tmp. The
// descriptor stays open, so the lock goes with the process however it ends.
bool AcquireSingleInstance(const std::string& name) {
    const char* directory = std::getenv("ZENTRADA_LOCK_DIR");
    const std::string path = JoinPath(directory != nullptr && *directory != '\0' ? directory : "/tmp", name + ".lock");
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);  // another user's lock file
    if (fd < 0) return true;  // nothing to lock on: run as if alone
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    const bool heldElsewhere = errno == EWOULDBLOCK;
    close(fd);
    return !heldElsewhere;
}

namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

std::atomic<bool> reloadRequested{false};

}  // namespace

void BlockStopRequests() {
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

bool WaitForStopRequest(std::chrono::milliseconds timeout) {
    const sigset_t signals = StopSignals();
    const auto count = timeout.count() < 0 ? 0 : timeout.count();
    const timespec wait{static_cast<time_t>(count / 1000), static_cast<long>(count % 1000) * 1'000'000};
    const int signal = sigtimedwait(&signals, nullptr, &wait);
    if (signal == SIGHUP) reloadRequested = true;
    return signal > 0 && signal != SIGHUP;
}

bool TakeReloadRequest() { return reloadRequested.exchange(false); }

}  // namespace zentrada::platform
