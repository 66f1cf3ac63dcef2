#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/platform.h"
#include "platform/posix/time_convert.h"

namespace zentrada::platform {

std::vector<FileEntry> ListFiles(const std::string& directory) {
    std::vector<FileEntry> files;
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) return files;
    while (const dirent* item = readdir(dir)) {
        struct stat info {};
        const std::string name = item->d_name;
        if (stat(JoinPath(directory, name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        FileEntry entry;
        entry.name = name;
        entry.lastWriteNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
        entry.lastWrite = ToLocalTime(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
        entry.size = static_cast<std::uint64_t>(info.st_size);
        files.push_back(std::move(entry));
    }
    closedir(dir);
    return files;
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
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

bool WriteFileBytes(const std::string& path, std::string_view bytes, bool truncate) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : O_APPEND);
    const int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) return false;
    bool ok = true;
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return close(fd) == 0 && ok;
}

bool MoveFileNoReplace(const std::string& from, const std::string& to) {
    // A hard link fails when the target exists, so no file is ever replaced.
    if (link(from.c_str(), to.c_str()) != 0) return false;
    if (unlink(from.c_str()) != 0) {
        unlink(to.c_str());
        return false;
    }
    return true;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    if (directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

}  // namespace zentrada::platform
