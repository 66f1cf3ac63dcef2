// Waiting for a directory to change: the worker's idle pause ends as soon
// as a command file may have arrived, instead of always lasting its whole
// time. Where notifications cannot be had (a directory that does not exist
// yet, a file system without them) the wait simply lasts its time.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace zentrada::platform {

class DirectoryWatch {
public:
    DirectoryWatch();
    ~DirectoryWatch();
    DirectoryWatch(const DirectoryWatch&) = delete;
    DirectoryWatch& operator=(const DirectoryWatch&) = delete;

    // Waits up to `timeout`, or until a file was renamed into `directory`
    // or closed after writing in it since the previous wait. A directory other
    // than the one of the previous wait is watched from now on.
    void WaitForChange(const std::string& directory, std::chrono::milliseconds timeout);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace zentrada::platform
