#pragma once
// The lock guarding a channel, a ping batch or the snapshots. Like the
// critical sections the acquisition code was designed around it is recursive:
// the thread holding it may take it again (a connect that closes the old socket
// under the same channel lock, for example).

#include <mutex>

namespace kestrova::platform {

class Lock {
  public:
    Lock() = default;
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    void lock() { mutex_.lock(); }
    bool try_lock() { return mutex_.try_lock(); }
    void unlock() { mutex_.unlock(); }

  private:
    std::recursive_mutex mutex_;
};

// Holds a Lock for the enclosing scope.
using LockHold = std::lock_guard<Lock>;

} // namespace kestrova::platform
