#include "platform/directory_watch.h"

#include <windows.h>

#include <thread>

namespace zentrada::platform {

struct DirectoryWatch::State {
    HANDLE change = INVALID_HANDLE_VALUE;
    std::string directory;

    ~State() { Close(); }
    void Close() {
        if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
        change = INVALID_HANDLE_VALUE;
    }
    void Watch(const std::string& target) {
        if (target == directory && change != INVALID_HANDLE_VALUE) return;
        Close();
        directory = target;
        if (!target.empty())
            change = FindFirstChangeNotificationA(
                target.c_str(), FALSE,
                FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE);
    }
};

DirectoryWatch::DirectoryWatch() : state_(std::make_unique<State>()) {}
DirectoryWatch::~DirectoryWatch() = default;

void DirectoryWatch::WaitForChange(const std::string& directory, std::chrono::milliseconds timeout) {
    state_->Watch(directory);
    if (state_->change == INVALID_HANDLE_VALUE) {
        std::this_thread::sleep_for(timeout);
        return;
    }
    const DWORD result = WaitForSingleObject(state_->change, static_cast<DWORD>(timeout.count()));
    // Re-armed for the next wait; a directory that went away is watched
    // again by name then.
    if (result == WAIT_OBJECT_0 && !FindNextChangeNotification(state_->change)) state_->Close();
    if (result == WAIT_FAILED) {
        state_->Close();
        std::this_thread::sleep_for(timeout);
    }
}

}  // namespace zentrada::platform
