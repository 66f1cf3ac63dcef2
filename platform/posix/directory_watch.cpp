#include "platform/directory_watch.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <thread>

#if defined(__linux__)
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zentrada::platform {

#if defined(__linux__)

namespace {

// A file that is renamed into the directory or closed after writing may be
// a command file that is now complete: these end the wait.
constexpr std::uint32_t kWakeEvents = IN_MOVED_TO | IN_CLOSE_WRITE;
// Every other change only names its file for the next look. Writes to a
// file still open are not waited for: a slow writer would make every write
// a wake; the timed wait still finds what they complete.
constexpr std::uint32_t kQuietEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MODIFY | IN_ATTRIB;
constexpr std::uint32_t kSelfEvents = IN_DELETE_SELF | IN_MOVE_SELF;
// Names kept between takes; a directory changing more than this is listed.
constexpr std::size_t kMaxNames = 4096;

// One inotify queue with its watch of the directory.
struct Queue {
    int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    int watch = -1;

    Queue() = default;
    Queue(const Queue&) = delete;
    Queue& operator=(const Queue&) = delete;
    ~Queue() {
        if (fd >= 0) close(fd);
    }
};

}  // namespace

// Two queues, so that the wait polls only the one with the wake events.
struct DirectoryWatch::State {
    Queue wake, quiet;
    // Written by Wake from any thread; read (emptied) by the wait.
    int woken = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::string directory;
    dev_t device = 0;
    ino_t inode = 0;
    bool watching = false;
    bool complete = false;  // names hold every change since the last take
    bool lost = false;      // the directory went away, or the watch with it
    std::set<std::string> names;

    void Unwatch() {
        for (Queue* queue : {&wake, &quiet}) {
            if (queue->watch >= 0) inotify_rm_watch(queue->fd, queue->watch);
            queue->watch = -1;
        }
        watching = complete = lost = false;
        names.clear();
    }

    // What came before the watch is left to a listing: the changes stay
    // incomplete until the next take.
    void Watch(const std::string& target) {
        if (watching && target == directory) return;
        Unwatch();
        directory = target;
        struct stat before {}, after {};
        if (target.empty() || wake.fd < 0 || quiet.fd < 0 || stat(target.c_str(), &before) != 0) return;
        wake.watch = inotify_add_watch(wake.fd, target.c_str(), kWakeEvents | kSelfEvents | IN_ONLYDIR);
        quiet.watch = inotify_add_watch(quiet.fd, target.c_str(), kQuietEvents | kSelfEvents | IN_ONLYDIR);
        // A directory replaced between the two looks is watched at the next call.
        if (wake.watch < 0 || quiet.watch < 0 || stat(target.c_str(), &after) != 0 ||
            before.st_dev != after.st_dev || before.st_ino != after.st_ino) {
            Unwatch();
            return;
        }
        device = before.st_dev;
        inode = before.st_ino;
        watching = true;
    }

    // Whether the path still leads to the watched directory: a parent
    // renamed or replaced sends nothing to the watch.
    bool StillThere() const {
        struct stat now {};
        return stat(directory.c_str(), &now) == 0 && now.st_dev == device && now.st_ino == inode;
    }

    void Drain(Queue& queue) {
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = read(queue.fd, buffer, sizeof buffer)) > 0;) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                p += sizeof(inotify_event) + event->len;
                if (event->mask & IN_Q_OVERFLOW) {
                    complete = false;
                } else if (event->wd != queue.watch) {
                    continue;  // of a directory watched before
                } else if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                    lost = true;
                } else if (event->len > 0 && complete) {
                    names.insert(event->name);
                }
            }
        }
        if (names.size() > kMaxNames) {
            names.clear();
            complete = false;
        }
    }
};

DirectoryWatch::DirectoryWatch() : state_(std::make_unique<State>()) {}
DirectoryWatch::~DirectoryWatch() {
    if (state_->woken >= 0) close(state_->woken);
}

void DirectoryWatch::WaitForChange(const std::string& directory, std::chrono::milliseconds timeout) {
    state_->Watch(directory);
    // Without a watch the wait is the wake alone, or its time.
    pollfd events[2] = {{state_->woken, POLLIN, 0}, {state_->wake.fd, POLLIN, 0}};
    const nfds_t count = state_->watching ? 2 : 1;
    if (poll(events, count, static_cast<int>(timeout.count())) <= 0) return;
    if (events[0].revents != 0) {
        std::uint64_t ignored = 0;
        [[maybe_unused]] const ssize_t n = read(state_->woken, &ignored, sizeof ignored);
    }
    if (count == 2 && events[1].revents != 0) {
        state_->Drain(state_->wake);
        // Watched again, by name, at the next call.
        if (state_->lost) state_->Unwatch();
    }
}

void DirectoryWatch::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(state_->woken, &one, sizeof one);
}

DirectoryChanges DirectoryWatch::TakeChanges(const std::string& directory) {
    State& s = *state_;
    s.Watch(directory);
    if (s.watching) {
        s.Drain(s.wake);
        s.Drain(s.quiet);
        if (s.lost || !s.StillThere()) {
            s.Unwatch();
            s.Watch(directory);
        }
    }
    DirectoryChanges changes;
    changes.complete = s.watching && s.complete;
    if (changes.complete) changes.names.assign(s.names.begin(), s.names.end());
    s.names.clear();
    s.complete = s.watching;
    return changes;
}

#else

struct DirectoryWatch::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool woken = false;
};
DirectoryWatch::DirectoryWatch() : state_(std::make_unique<State>()) {}
DirectoryWatch::~DirectoryWatch() = default;
void DirectoryWatch::WaitForChange(const std::string&, std::chrono::milliseconds timeout) {
    std::unique_lock lock(state_->mutex);
    state_->changed.wait_for(lock, timeout, [this] { return state_->woken; });
    state_->woken = false;
}
void DirectoryWatch::Wake() {
    const std::lock_guard lock(state_->mutex);
    state_->woken = true;
    state_->changed.notify_all();
}
DirectoryChanges DirectoryWatch::TakeChanges(const std::string&) { return {}; }

#endif

}  // namespace zentrada::platform
