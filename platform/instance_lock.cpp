#include "platform/instance_lock.h"

#include "platform/fs.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kestrova::platform {

InstanceLock::Result InstanceLock::acquire(const std::string& path) {
    release();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return Result::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? Result::HeldElsewhere : Result::Failed;
    }
    fd_ = fd;
    return Result::Acquired;
}

void InstanceLock::release() {
    if (fd_ < 0) return;
    ::close(fd_); // closing the last descriptor drops the lock
    fd_ = -1;
}

std::string instanceLockPath(const std::string& fallbackFolder, const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && isDirectory(runtime))
        return joinPath(runtime, name);
    return joinPath(fallbackFolder, name);
}

} // namespace kestrova::platform
