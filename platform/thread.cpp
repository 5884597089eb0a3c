#include "platform/thread.h"

#include <cstring>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kestrova::platform {
namespace {

void applyPriority(ThreadPriority priority) {
    int nice = 0;
    switch (priority) {
    case ThreadPriority::BelowNormal:
        nice = 5;
        break;
    case ThreadPriority::Normal:
        return;
    case ThreadPriority::AboveNormal:
        nice = -5;
        break;
    }
    // On Linux the nice value is per thread when addressed by thread id.
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    (void)::setpriority(PRIO_PROCESS, tid, nice);
}

} // namespace

std::thread startThread(const char* name, ThreadPriority priority, std::function<void()> body) {
    std::string label = name ? name : "";
    if (label.size() > 15) label.resize(15);
    return std::thread([label, priority, body = std::move(body)]() {
        if (!label.empty()) (void)::pthread_setname_np(::pthread_self(), label.c_str());
        applyPriority(priority);
        body();
    });
}

} // namespace kestrova::platform
