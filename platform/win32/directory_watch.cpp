#include "platform/directory_watch.h"

#include <windows.h>

#include <set>
#include <thread>

namespace zentrada::platform {
namespace {

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;
// Names kept between takes; a directory changing more than this is listed.
constexpr std::size_t kMaxNames = 4096;

struct Identity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator==(const Identity&) const = default;
};

// The directory a path leads to now, shared so that nobody is kept from
// renaming or removing it.
HANDLE OpenDirectory(const std::string& path, DWORD access, DWORD flags) {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

bool IdentityOf(HANDLE handle, Identity& identity) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) return false;
    identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

}  // namespace

// One read of the directory's changes is always pending: what happens
// between two reads is kept by the system for the next one.
struct DirectoryWatch::State {
    HANDLE directory = INVALID_HANDLE_VALUE;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // Set by Wake from any thread; taken by the wait.
    HANDLE woken = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    OVERLAPPED overlapped{};
    alignas(DWORD) char buffer[16384];
    std::string path;
    Identity identity;
    bool complete = false;  // names hold every change since the last take
    std::set<std::string> names;

    ~State() {
        Close();
        if (done != nullptr) CloseHandle(done);
        if (woken != nullptr) CloseHandle(woken);
    }
    bool Watching() const { return directory != INVALID_HANDLE_VALUE; }

    void Close() {
        if (Watching()) {
            // The read must be over before its buffer serves another.
            DWORD ignored = 0;
            CancelIoEx(directory, &overlapped);
            GetOverlappedResult(directory, &overlapped, &ignored, TRUE);
            CloseHandle(directory);
        }
        directory = INVALID_HANDLE_VALUE;
        complete = false;
        names.clear();
    }

    bool Read() {
        overlapped = OVERLAPPED{};
        overlapped.hEvent = done;
        ResetEvent(done);
        return ReadDirectoryChangesW(directory, buffer, sizeof buffer, FALSE, kChanges, nullptr, &overlapped,
                                     nullptr) != 0;
    }

    // What came before the watch is left to a listing: the changes stay
    // incomplete until the next take.
    void Watch(const std::string& target) {
        if (Watching() && target == path) return;
        Close();
        path = target;
        if (target.empty() || done == nullptr) return;
        directory = OpenDirectory(target, FILE_LIST_DIRECTORY, FILE_FLAG_OVERLAPPED);
        if (Watching() && (!IdentityOf(directory, identity) || !Read())) {
            CloseHandle(directory);
            directory = INVALID_HANDLE_VALUE;
        }
    }

    // Whether the path still leads to the watched directory: one renamed,
    // or a parent renamed or replaced, keeps sending its changes.
    bool StillThere() const {
        const HANDLE now = OpenDirectory(path, FILE_READ_ATTRIBUTES, 0);
        if (now == INVALID_HANDLE_VALUE) return false;
        Identity found;
        const bool same = IdentityOf(now, found) && found == identity;
        CloseHandle(now);
        return same;
    }

    // Takes the changes of a finished read and starts the next; false when
    // none had finished within `timeout`. A watch that fails is closed, to
    // be opened again by name at the next call.
    bool Collect(DWORD timeout) {
        const HANDLE events[2] = {done, woken};
        const DWORD waited = WaitForMultipleObjects(timeout == 0 ? 1 : 2, events, FALSE, timeout);
        if (waited == WAIT_OBJECT_0 + 1) return false;
        if (waited != WAIT_OBJECT_0) {
            if (waited == WAIT_FAILED) Close();
            return false;
        }
        DWORD bytes = 0;
        if (!GetOverlappedResult(directory, &overlapped, &bytes, FALSE)) {
            Close();  // the directory went away
            return true;
        }
        if (bytes == 0) complete = false;  // more changes than the buffer held
        for (DWORD at = 0; bytes != 0 && complete;) {
            const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + at);
            const int wide = static_cast<int>(change->FileNameLength / sizeof(WCHAR));
            char name[MAX_PATH * 2];
            const int length = WideCharToMultiByte(CP_ACP, 0, change->FileName, wide, name, sizeof name, nullptr,
                                                   nullptr);
            if (length > 0) {
                names.emplace(name, static_cast<std::size_t>(length));
            } else {
                complete = false;
            }
            if (change->NextEntryOffset == 0) break;
            at += change->NextEntryOffset;
        }
        if (names.size() > kMaxNames) {
            names.clear();
            complete = false;
        }
        if (!Read()) Close();
        return true;
    }
};

DirectoryWatch::DirectoryWatch() : state_(std::make_unique<State>()) {}
DirectoryWatch::~DirectoryWatch() = default;

void DirectoryWatch::WaitForChange(const std::string& directory, std::chrono::milliseconds timeout) {
    state_->Watch(directory);
    const auto start = std::chrono::steady_clock::now();
    if (state_->Watching() && (state_->Collect(static_cast<DWORD>(timeout.count())) || state_->Watching())) return;
    // Without a watch the wait is the wake alone, or what is left of its time.
    const auto left = timeout - std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start);
    if (left.count() > 0) WaitForSingleObject(state_->woken, static_cast<DWORD>(left.count()));
}

void DirectoryWatch::Wake() { SetEvent(state_->woken); }

DirectoryChanges DirectoryWatch::TakeChanges(const std::string& directory) {
    State& s = *state_;
    s.Watch(directory);
    while (s.Watching() && s.Collect(0)) {
    }
    if (s.Watching() && !s.StillThere()) {
        s.Close();
        s.Watch(directory);
    }
    DirectoryChanges changes;
    changes.complete = s.Watching() && s.complete;
    if (changes.complete) changes.names.assign(s.names.begin(), s.names.end());
    s.names.clear();
    s.complete = s.Watching();
    return changes;
}

}  // namespace zentrada::platform
