// One program per user: a held lock refuses the next start, and a lock file
// left behind (as after a crash) does not.

#include "platform/instance_lock.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrova::platform {
namespace {

using kestrova::testing::TempFolder;
using kestrova::testing::writeText;

TEST(InstanceLock, SecondHolderRefusedAndAStaleFileDoesNotBlock) {
    TempFolder dir;
    const std::string path = dir.file("Kestrova.lock");
    writeText(path, "left by a crashed run");
    InstanceLock first;
    EXPECT_EQ(first.acquire(path), InstanceLock::Result::Acquired);

    // Another process: what a second start of the program sees.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceLock second;
        ::_exit(second.acquire(path) == InstanceLock::Result::HeldElsewhere ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // A process that ends without releasing (a crash) leaves the file, not the lock.
    first.release();
    const pid_t crashing = ::fork();
    ASSERT_GE(crashing, 0);
    if (crashing == 0) {
        InstanceLock held;
        held.acquire(path);
        ::_exit(0);
    }
    ASSERT_EQ(::waitpid(crashing, &status, 0), crashing);
    InstanceLock again;
    EXPECT_EQ(again.acquire(path), InstanceLock::Result::Acquired);

    InstanceLock nowhere;
    EXPECT_EQ(nowhere.acquire(dir.file("no/such/folder/x.lock")), InstanceLock::Result::Failed);
}

TEST(InstanceLock, RuntimeFolderFirst) {
    TempFolder runtime;
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string keep = saved ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    EXPECT_EQ(instanceLockPath("/home/u/.config/Kestrova/", "Kestrova.lock"),
              runtime.path() + "/Kestrova.lock");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(instanceLockPath("/home/u/.config/Kestrova/", "Kestrova.lock"),
              "/home/u/.config/Kestrova/Kestrova.lock");
    if (saved) ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
}

} // namespace
} // namespace kestrova::platform
