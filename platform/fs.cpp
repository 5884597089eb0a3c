#include "platform/fs.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova::platform {
namespace {

std::string errnoText(const char* what, const std::string& path, int err) {
    return std::string(what) + " " + path + ": " + std::strerror(err);
}

std::string parentFolder(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Writes all bytes, riding out short writes and interrupted calls.
bool writeAll(int fd, std::string_view content, int& err) {
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Opens a fresh temporary file beside `target`. Mode 0666 lets the umask decide
// the permissions of a new file, as for any file the program creates.
int openTemporaryBeside(const std::string& target, std::string& tempPath, int& err) {
    static std::atomic<unsigned> counter{0};
    std::string folder = parentFolder(target);
    std::string base = target.substr(target.find_last_of('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = joinPath(folder, "." + base + ".tmp." + std::to_string(::getpid()) + "." +
                                        std::to_string(counter.fetch_add(1)));
        int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) {
            err = errno;
            return -1;
        }
    }
    err = EEXIST;
    return -1;
}

void syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // Some file systems refuse fsync on folders; the rename itself has happened.
    (void)::fsync(fd);
    ::close(fd);
}

} // namespace

bool PathFileExistsA(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string withTrailingSeparator(std::string folder) {
    if (folder.empty()) return folder;
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    folder.push_back('/');
    return folder;
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    while (!out.empty() && out.back() == '/')
        out.pop_back();
    std::size_t skip = 0;
    while (skip < name.size() && name[skip] == '/')
        ++skip;
    if (!out.empty() || folder.starts_with('/')) out.push_back('/');
    out.append(name.substr(skip));
    return out;
}

std::string executableFolder() {
    char buf[PATH_MAX + 1];
    ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return {};
    std::string exe(buf, static_cast<std::size_t>(n));
    return withTrailingSeparator(parentFolder(exe));
}

std::string currentDirectory() {
    char buf[PATH_MAX + 1];
    if (::getcwd(buf, sizeof buf) == nullptr) return {};
    return withTrailingSeparator(buf);
}

FileReadResult readWholeFile(const std::string& path) {
    FileReadResult r;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        r.status = (err == ENOENT || err == ENOTDIR) ? FileReadResult::Status::Missing
                                                     : FileReadResult::Status::Failed;
        r.error = errnoText("cannot open", path, err);
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        r.error = "not a regular file: " + path;
        return r;
    }
    if (static_cast<unsigned long long>(st.st_size) > kMaxReadFileBytes) {
        ::close(fd);
        r.error = "file too large: " + path;
        return r;
    }
    std::string content;
    char chunk[16384];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            r.error = errnoText("cannot read", path, err);
            return r;
        }
        if (n == 0) break;
        if (content.size() + static_cast<std::size_t>(n) > kMaxReadFileBytes) {
            ::close(fd);
            r.error = "file too large: " + path;
            return r;
        }
        content.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    r.status = FileReadResult::Status::Ok;
    r.content = std::move(content);
    return r;
}

bool writeFileAtomically(const std::string& path, std::string_view content, std::string* error) {
    auto fail = [&](std::string why) {
        if (error) *error = std::move(why);
        return false;
    };
    if (path.empty()) return fail("empty file name");

    // Write through a symbolic link to the file it names, so the link survives.
    std::string target = path;
    struct stat lst {};
    if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        char resolved[PATH_MAX + 1];
        if (::realpath(path.c_str(), resolved) != nullptr) target = resolved;
    }
    struct stat st {};
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return fail("a folder is in the way: " + target);

    std::string temp;
    int err = 0;
    int fd = openTemporaryBeside(target, temp, err);
    if (fd < 0) return fail(errnoText("cannot create a file in the folder of", target, err));

    auto abandon = [&](const char* what, int e) {
        ::close(fd);
        ::unlink(temp.c_str());
        return fail(errnoText(what, target, e));
    };
    if (exists && ::fchmod(fd, st.st_mode & 07777) != 0)
        return abandon("cannot set mode of", errno);
    if (!writeAll(fd, content, err)) return abandon("cannot write", err);
    if (::fsync(fd) != 0) return abandon("cannot flush", errno);
    if (::close(fd) != 0) {
        err = errno;
        ::unlink(temp.c_str());
        return fail(errnoText("cannot close", target, err));
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        err = errno;
        ::unlink(temp.c_str());
        return fail(errnoText("cannot replace", target, err));
    }
    syncFolder(parentFolder(target));
    return true;
}

} // namespace kestrova::platform
