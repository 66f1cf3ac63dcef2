#include <windows.h>

#include "platform/file_system.h"
#include "platform/win32/time_convert.h"

namespace zentrada::platform {
namespace {

// One ReadFile or WriteFile call counts its bytes in a DWORD; 1 GiB pieces
// stay well inside that.
constexpr DWORD kMaxPiece = 0x40000000;

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

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD piece = bytes.size() > kMaxPiece ? kMaxPiece : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), piece, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// The directory holding `path`, as CreateFileA takes it. A drive's root
// keeps its separator: "C:" alone is the drive's current directory.
std::string DirectoryOf(const std::string& path) {
    const bool drive = path.size() >= 2 && path[1] == ':';
    const auto separator = path.find_last_of("\\/");
    if (separator == std::string::npos) return drive ? path.substr(0, 2) + "." : std::string(".");
    if (separator == 0 || (drive && separator == 2)) return path.substr(0, separator + 1);
    return path.substr(0, separator);
}

HANDLE OpenDirectory(const std::string& directory, DWORD access) {
    // Backup semantics: the only way CreateFileA opens a directory.
    return CreateFileA(directory.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IsFile(const WIN32_FIND_DATAA& found) {
    return (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

FileEntry EntryOf(const WIN32_FIND_DATAA& found) {
    FileEntry entry;
    entry.name = found.cFileName;
    entry.lastWriteNs = FileTimeNanoseconds(found.ftLastWriteTime);
    entry.lastWrite = FileTimeToLocal(found.ftLastWriteTime);
    entry.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    return entry;
}

class Win32FileSystem final : public FileSystem {
public:
    std::vector<FileEntry> ListFiles(const std::string& directory) override {
        std::vector<FileEntry> files;
        // An empty directory text would list the current directory.
        if (directory.empty()) return files;
        WIN32_FIND_DATAA found{};
        const HANDLE search = FindFirstFileA(JoinPath(directory, "*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return files;
        do {
            if (IsFile(found)) files.push_back(EntryOf(found));
        } while (FindNextFileA(search, &found));
        FindClose(search);
        return files;
    }

    std::optional<FileEntry> FindFile(const std::string& path) override {
        const auto separator = path.find_last_of("\\/");
        const std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
        if (name.empty()) return std::nullopt;
        WIN32_FIND_DATAA found{};
        const HANDLE search = FindFirstFileA(path.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return std::nullopt;
        // The search ignores letter case, takes short names and wildcards:
        // only the entry of exactly that name is the file a listing shows.
        std::optional<FileEntry> entry;
        do {
            if (IsFile(found) && name == found.cFileName) entry = EntryOf(found);
        } while (!entry && FindNextFileA(search, &found));
        FindClose(search);
        return entry;
    }

    std::optional<std::string> ReadFileBytes(const std::string& path) override {
        // Shared for writing and deleting, so a point of sale still writing
        // the file, or removing it, is never blocked by the agent's look at it.
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

    std::optional<std::string> ReadFileRange(const std::string& path, std::uint64_t offset,
                                             std::size_t count) override {
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
            const DWORD piece = left > kMaxPiece ? kMaxPiece : static_cast<DWORD>(left);
            DWORD n = 0;
            if (!ReadFile(file.get(), content.data() + got, piece, &n, nullptr)) return std::nullopt;
            if (n == 0) break;
            got += n;
        }
        content.resize(got);
        return content;
    }

    bool WriteFileBytes(const std::string& path, std::string_view bytes, bool truncate, bool durable) override {
        const DWORD access = truncate ? GENERIC_WRITE : FILE_APPEND_DATA;
        Handle file(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                truncate ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) return false;
        bool ok = WriteAll(file.get(), bytes);
        if (durable) ok = FlushFileBuffers(file.get()) && ok;
        ok = file.Close() && ok;
        // NTFS journals a created file's name, but not every file system the
        // agent is pointed at does: the directory is flushed as on POSIX.
        if (durable && truncate) ok = SyncDirectoryOf(path) && ok;
        return ok;
    }

    bool SyncDirectoryOf(const std::string& path) override {
        const std::string directory = DirectoryOf(path);
        // Flushing a directory takes write access; a read-only share at
        // least gets the attempt.
        Handle dir(OpenDirectory(directory, GENERIC_READ | GENERIC_WRITE));
        if (!dir.Valid() && GetLastError() == ERROR_ACCESS_DENIED) {
            Handle readOnly(OpenDirectory(directory, GENERIC_READ));
            return readOnly.Valid() && FlushFileBuffers(readOnly.get());
        }
        return dir.Valid() && FlushFileBuffers(dir.get());
    }

    bool TruncateFile(const std::string& path, std::uint64_t size, bool durable) override {
        Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) return false;
        LARGE_INTEGER length{};
        bool ok = GetFileSizeEx(file.get(), &length) != 0;
        if (ok && static_cast<std::uint64_t>(length.QuadPart) > size) {
            LARGE_INTEGER place{};
            place.QuadPart = static_cast<LONGLONG>(size);
            ok = SetFilePointerEx(file.get(), place, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
        }
        if (ok && durable) ok = FlushFileBuffers(file.get()) != 0;
        return file.Close() && ok;
    }

    bool MoveFileNoReplace(const std::string& from, const std::string& to) override {
        // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
        return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    }

    bool MoveFileReplacing(const std::string& from, const std::string& to) override {
        return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }

    bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }

    bool FileExists(const std::string& path) override {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::intptr_t OpenAppend(const std::string& path) override {
        const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(file);
    }

    bool Append(std::intptr_t handle, std::string_view bytes, bool durable) override {
        const HANDLE file = reinterpret_cast<HANDLE>(handle);
        // At the end even after the file was cut meanwhile, as O_APPEND does:
        // the old position would leave a gap of zeros.
        const LARGE_INTEGER none{};
        const bool ok = SetFilePointerEx(file, none, nullptr, FILE_END) && WriteAll(file, bytes);
        return (!durable || FlushFileBuffers(file)) && ok;
    }

    void CloseAppend(std::intptr_t handle) override { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

    LocalTime Now() override { return SystemNow(); }
};

}  // namespace

FileSystem& OsFileSystem() {
    static Win32FileSystem fs;
    return fs;
}

bool MakeDirectory(const std::string& directory) {
    if (CreateDirectoryA(directory.c_str(), nullptr)) return true;
    const DWORD attributes = GetFileAttributesA(directory.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

DirectoryAccess CheckDirectory(const std::string& directory) {
    const DWORD attributes = GetFileAttributesA(directory.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return {};
    // Opening the directory for adding files checks that right, and
    // creates nothing.
    const HANDLE handle = CreateFileA(directory.c_str(), FILE_ADD_FILE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {true, false};
    CloseHandle(handle);
    return {true, true};
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    const char last = directory.back();
    if (last == '\\' || last == '/') return directory + name;
    return directory + "\\" + name;
}

}  // namespace zentrada::platform
