#include "platform/directory_watch.h"

#include <thread>

#if defined(__linux__)
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace zentrada::platform {

#if defined(__linux__)

// A file that is renamed into the directory or closed after writing may be
// a command file that is now complete. Writes to a file still open are not
// waited for: a slow writer would make every write a scan; the timed wait
// still finds what they complete.
struct DirectoryWatch::State {
    int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    int watch = -1;
    std::string directory;

    ~State() {
        if (fd >= 0) close(fd);
    }
    // Reads the pending events; false when the watched directory went away
    // (it is then watched again, by name, at the next wait).
    bool Drain() {
        alignas(inotify_event) char buffer[4096];
        bool watching = true;
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) watching = false;
                p += sizeof(inotify_event) + event->len;
            }
        }
        return watching;
    }
    void Watch(const std::string& target) {
        if (fd < 0) return;
        if (target == directory && watch >= 0) return;
        if (watch >= 0) inotify_rm_watch(fd, watch);
        directory = target;
        watch = target.empty() ? -1
                               : inotify_add_watch(fd, target.c_str(),
                                                   IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF);
    }
};

DirectoryWatch::DirectoryWatch() : state_(std::make_unique<State>()) {}
DirectoryWatch::~DirectoryWatch() = default;

void DirectoryWatch::WaitForChange(const std::string& directory, std::chrono::milliseconds timeout) {
    state_->Watch(directory);
    if (state_->watch < 0) {
        std::this_thread::sleep_for(timeout);
        return;
    }
    pollfd events{state_->fd, POLLIN, 0};
    const int ready = poll(&events, 1, static_cast<int>(timeout.count()));
    if (ready > 0 && !state_->Drain()) {
        inotify_rm_watch(state_->fd, state_->watch);
        state_->watch = -1;
    }
}

#else

struct DirectoryWatch::State {};
DirectoryWatch::DirectoryWatch() : state_(std::make_unique<State>()) {}
DirectoryWatch::~DirectoryWatch() = default;
void DirectoryWatch::WaitForChange(const std::string&, std::chrono::milliseconds timeout) {
    std::this_thread::sleep_for(timeout);
}

#endif

}  // namespace zentrada::platform
