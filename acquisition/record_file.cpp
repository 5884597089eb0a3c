#include "acquisition/record_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kestrova::acquisition {

std::uint64_t freeDiskSpace(const std::string& folder) {
    if (folder.empty()) return kUnknownFreeSpace;
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0) return kUnknownFreeSpace;
    return static_cast<std::uint64_t>(st.f_bavail) * static_cast<std::uint64_t>(st.f_frsize);
}

bool RecordFile::open(const std::string& path) {
    close();
    lastError_ = 0;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        lastError_ = errno ? errno : EINVAL;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    position_ = static_cast<std::uint64_t>(st.st_size);
    path_ = path;
    return true;
}

bool RecordFile::append(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) return false;
    const std::uint64_t start = position_;
    const std::uint8_t* p = bytes.data();
    std::size_t left = bytes.size();
    bool ok = true;
    while (left > 0) {
        std::size_t chunk = left;
        if (sizeLimit_ != 0) {
            const std::uint64_t room = position_ < sizeLimit_ ? sizeLimit_ - position_ : 0;
            if (room < chunk) {
                chunk = static_cast<std::size_t>(room);
            }
        }
        if (chunk == 0) {
            lastError_ = ENOSPC;
            ok = false;
            break;
        }
        ssize_t n = ::write(fd_, p, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            lastError_ = errno;
            ok = false;
            break;
        }
        if (n == 0) {
            lastError_ = ENOSPC;
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
        position_ += static_cast<std::uint64_t>(n);
    }
    if (!ok && position_ != start) {
        // Drop the part of the record that made it: the file ends on a whole one.
        if (::ftruncate(fd_, static_cast<off_t>(start)) == 0) position_ = start;
    }
    return ok;
}

bool RecordFile::close() {
    if (fd_ < 0) return true;
    // No fsync here: a split or a cut closes the file on the receive thread,
    // and flushing 2 GiB there would stall the data channel for seconds. The
    // kernel writes the pages back by itself; a failed write-back shows in
    // close's result.
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    position_ = 0;
    path_.clear();
    return ok;
}

} // namespace kestrova::acquisition
