#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/time_convert.h"

namespace zentrada::platform {
namespace {

// A file time as nanoseconds since 1601, for ordering and identity.
std::int64_t Nanoseconds(const FILETIME& time) {
    ULARGE_INTEGER ticks{};
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    return static_cast<std::int64_t>(ticks.QuadPart) * 100;
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (Valid()) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    // Closes now and tells whether the close succeeded.
    bool Close() {
        const bool ok = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_;
};

}  // namespace

std::vector<FileEntry> ListFiles(const std::string& directory) {
    std::vector<FileEntry> files;
    // An empty directory text would list the current directory.
    if (directory.empty()) return files;
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA(JoinPath(directory, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) continue;
        FileEntry entry;
        entry.name = found.cFileName;
        entry.lastWriteNs = Nanoseconds(found.ftLastWriteTime);
        entry.lastWrite = FileTimeToLocal(found.ftLastWriteTime);
        entry.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        files.push_back(std::move(entry));
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
    // Shared for writing and deleting, so a point of sale still writing the
    // file, or removing it, is never blocked by the agent's look at it.
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return std::nullopt;
    std::string content;
    char chunk[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &n, nullptr)) return std::nullopt;
        if (n == 0) break;
        content.append(chunk, n);
    }
    return content;
}

std::optional<std::string> ReadFileRange(const std::string& path, std::uint64_t offset, std::size_t count) {
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return std::nullopt;
    LARGE_INTEGER place{};
    place.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.get(), place, nullptr, FILE_BEGIN)) return std::nullopt;
    std::string content(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        const std::size_t left = count - got;
        const DWORD piece = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        DWORD n = 0;
        if (!ReadFile(file.get(), content.data() + got, piece, &n, nullptr)) return std::nullopt;
        if (n == 0) break;
        got += n;
    }
    content.resize(got);
    return content;
}

namespace {

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD piece = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), piece, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

bool WriteFileBytes(const std::string& path, std::string_view bytes, bool truncate, bool durable) {
    const DWORD access = truncate ? GENERIC_WRITE : FILE_APPEND_DATA;
    Handle file(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, truncate ? CREATE_ALWAYS : OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    bool ok = WriteAll(file.get(), bytes);
    // NTFS journals the name of a created file itself; the data needs the flush.
    if (durable) ok = FlushFileBuffers(file.get()) && ok;
    return file.Close() && ok;
}

bool SyncDirectoryOf(const std::string&) { return true; }

bool AppendFile::Open(const std::string& path) {
    Close();
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool AppendFile::Append(std::string_view bytes, bool durable) {
    if (!IsOpen()) return false;
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    const bool ok = WriteAll(file, bytes);
    return (!durable || FlushFileBuffers(file)) && ok;
}

void AppendFile::Close() {
    if (IsOpen()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
}

bool MoveFileNoReplace(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
    return MoveFileExA(from.c_str(), to.c_str(), 0) != 0;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    const char last = directory.back();
    if (last == '\\' || last == '/') return directory + name;
    return directory + "\\" + name;
}

}  // namespace zentrada::platform
