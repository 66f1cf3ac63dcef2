// A lock on the directory itself, so it holds across programs and users and
// ends with the process however it ends.
#include "platform/directory_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace zentrada::platform {

bool DirectoryClaim::Claim(const std::string& directory) {
    if (handle_ != -1 && directory == directory_) return true;
    Release();
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return true;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool heldElsewhere = errno == EWOULDBLOCK;
        close(fd);
        return !heldElsewhere;
    }
    handle_ = fd;
    directory_ = directory;
    return true;
}

void DirectoryClaim::Release() {
    if (handle_ != -1) close(static_cast<int>(handle_));
    handle_ = -1;
    directory_.clear();
}

}  // namespace zentrada::platform
