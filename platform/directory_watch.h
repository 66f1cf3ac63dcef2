// Waiting for a directory to change: the worker's idle pause ends as soon
// as a command file may have arrived, instead of always lasting its whole
// time, and the names the notifications carry tell which files to look at
// again. Where notifications cannot be had (a directory that does not exist
// yet, a file system without them) the wait simply lasts its time and the
// changes are never complete.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace zentrada::platform {

// What changed in a directory since the changes were last taken.
struct DirectoryChanges {
    // Whether `names` holds every name whose file may have been created,
    // written, moved in or out or removed since the last take. When not, the
    // directory must be listed: it was not watched all along (the first
    // take, another directory, one that cannot be watched), it was moved,
    // removed or replaced, or the notifications overflowed.
    bool complete = false;
    std::vector<std::string> names;  // each once, in no order
};

class DirectoryWatch {
public:
    DirectoryWatch();
    ~DirectoryWatch();
    DirectoryWatch(const DirectoryWatch&) = delete;
    DirectoryWatch& operator=(const DirectoryWatch&) = delete;

    // Waits up to `timeout`, or until a file was renamed into `directory`
    // or closed after writing in it since the changes were last taken or
    // waited for. A directory other than the one watched is watched from
    // now on.
    void WaitForChange(const std::string& directory, std::chrono::milliseconds timeout);
    // The changes of `directory` since the last take, without waiting; a
    // directory other than the one watched is watched from now on.
    DirectoryChanges TakeChanges(const std::string& directory);
    // Ends the wait in progress, or the next one, at once: work came from
    // elsewhere (a request of the TCP channel). Any thread may call it.
    void Wake();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace zentrada::platform
