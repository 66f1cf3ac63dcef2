#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_system.h"
#include "platform/posix/time_convert.h"

namespace zentrada::platform {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool SyncFile(int fd) {
    while (fsync(fd) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {}, second {};
    return errno == EEXIST && stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

FileEntry EntryOf(std::string name, const struct stat& info) {
    FileEntry entry;
    entry.name = std::move(name);
    entry.lastWriteNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    entry.lastWrite = ToLocalTime(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    entry.size = static_cast<std::uint64_t>(info.st_size);
    return entry;
}

class PosixFileSystem final : public FileSystem {
public:
    std::vector<FileEntry> ListFiles(const std::string& directory) override {
        std::vector<FileEntry> files;
        DIR* dir = opendir(directory.c_str());
        if (dir == nullptr) return files;
        while (const dirent* item = readdir(dir)) {
            struct stat info {};
            // Looked up from the open directory: no path walk per entry.
            if (fstatat(dirfd(dir), item->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)) continue;
            files.push_back(EntryOf(item->d_name, info));
        }
        closedir(dir);
        return files;
    }

    std::optional<FileEntry> FindFile(const std::string& path) override {
        struct stat info {};
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
        const auto slash = path.rfind('/');
        return EntryOf(slash == std::string::npos ? path : path.substr(slash + 1), info);
    }

    std::optional<std::string> ReadFileBytes(const std::string& path) override {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return std::nullopt;
        std::string content;
        char chunk[65536];
        for (;;) {
            const ssize_t n = read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                close(fd);
                return std::nullopt;
            }
            if (n == 0) break;
            content.append(chunk, static_cast<std::size_t>(n));
        }
        close(fd);
        return content;
    }

    std::optional<std::string> ReadFileRange(const std::string& path, std::uint64_t offset,
                                             std::size_t count) override {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return std::nullopt;
        std::string content(count, '\0');
        std::size_t got = 0;
        while (got < count) {
            const ssize_t n = pread(fd, content.data() + got, count - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                close(fd);
                return std::nullopt;
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        close(fd);
        content.resize(got);
        return content;
    }

    bool WriteFileBytes(const std::string& path, std::string_view bytes, bool truncate, bool durable) override {
        const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : O_APPEND);
        const int fd = open(path.c_str(), flags, 0666);
        if (fd < 0) return false;
        bool ok = WriteAll(fd, bytes);
        if (durable) ok = SyncFile(fd) && ok;
        ok = close(fd) == 0 && ok;
        // A file just created is found after a power cut only when its
        // directory's entries are on disk too.
        if (durable && truncate) ok = SyncDirectoryOf(path) && ok;
        return ok;
    }

    bool SyncDirectoryOf(const std::string& path) override {
        const auto slash = path.rfind('/');
        const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return false;
        const bool ok = SyncFile(fd);
        close(fd);
        return ok;
    }

    bool TruncateFile(const std::string& path, std::uint64_t size, bool durable) override {
        const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) return false;
        struct stat info {};
        bool ok = fstat(fd, &info) == 0;
        if (ok && static_cast<std::uint64_t>(info.st_size) > size) ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
        if (ok && durable) ok = SyncFile(fd);
        return close(fd) == 0 && ok;
    }

    bool MoveFileNoReplace(const std::string& from, const std::string& to) override {
        // A hard link fails when the target exists, so no file is ever
        // replaced. A target that is the source's own link is a move a crash
        // cut short between its two steps: it is finished.
        if (link(from.c_str(), to.c_str()) != 0 && !SameFile(from, to)) return false;
        if (unlink(from.c_str()) != 0) {
            unlink(to.c_str());
            return false;
        }
        return true;
    }

    bool MoveFileReplacing(const std::string& from, const std::string& to) override {
        return rename(from.c_str(), to.c_str()) == 0;
    }

    bool RemoveFile(const std::string& path) override { return unlink(path.c_str()) == 0; }

    bool FileExists(const std::string& path) override {
        struct stat info {};
        return stat(path.c_str(), &info) == 0;
    }

    std::intptr_t OpenAppend(const std::string& path) override {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
        return fd < 0 ? -1 : fd;
    }

    bool Append(std::intptr_t handle, std::string_view bytes, bool durable) override {
        const int fd = static_cast<int>(handle);
        const bool ok = WriteAll(fd, bytes);
        return (!durable || SyncFile(fd)) && ok;
    }

    void CloseAppend(std::intptr_t handle) override { close(static_cast<int>(handle)); }

    LocalTime Now() override { return SystemNow(); }
};

}  // namespace

FileSystem& OsFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

bool MakeDirectory(const std::string& directory) {
    struct stat info {};
    return mkdir(directory.c_str(), 0700) == 0 || (stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

DirectoryAccess CheckDirectory(const std::string& directory) {
    struct stat info {};
    if (stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return {};
    return {true, access(directory.c_str(), W_OK | X_OK) == 0};
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    if (directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

}  // namespace zentrada::platform
