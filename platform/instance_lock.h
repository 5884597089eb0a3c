#pragma once
// One running program per user: an exclusive lock on a file. The kernel drops
// the lock when the process ends, however it ends, so a lock file left behind
// by a crash never blocks the next start.

#include <string>

namespace kestrova::platform {

class InstanceLock {
  public:
    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock() { release(); }

    enum class Result { Acquired, HeldElsewhere, Failed };
    // Opens (or makes) the file and takes the lock without waiting.
    Result acquire(const std::string& path);
    void release();
    bool held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// Where the lock file lies: $XDG_RUNTIME_DIR when set, else `fallbackFolder`.
std::string instanceLockPath(const std::string& fallbackFolder, const std::string& name);

} // namespace kestrova::platform
