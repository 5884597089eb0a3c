#include "platform/event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kestrova::platform {
namespace {

// One guard for every event: a thread waiting on several events must see their
// states change atomically, and the program has only a handful of events, so a
// single mutex and condition variable are both simple and cheap enough.
struct EventHub {
    std::mutex mutex;
    std::condition_variable changed;
};

EventHub& hub() {
    static EventHub h;
    return h;
}

} // namespace

Event::Event(Reset reset, bool initiallySet)
    : auto_(reset == Reset::Auto), signaled_(initiallySet) {}

void Event::set() {
    EventHub& h = hub();
    {
        std::lock_guard<std::mutex> hold(h.mutex);
        if (signaled_) return;
        signaled_ = true;
    }
    h.changed.notify_all();
}

void Event::reset() {
    std::lock_guard<std::mutex> hold(hub().mutex);
    signaled_ = false;
}

bool Event::isSet() const {
    std::lock_guard<std::mutex> hold(hub().mutex);
    return signaled_;
}

bool Event::wait(std::uint32_t timeoutMs) {
    Event* self = this;
    return waitAny(std::span<Event* const>(&self, 1), timeoutMs) == 0;
}

int Event::waitAny(std::span<Event* const> events, std::uint32_t timeoutMs) {
    EventHub& h = hub();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> hold(h.mutex);
    for (;;) {
        for (std::size_t i = 0; i < events.size(); ++i) {
            Event* e = events[i];
            if (e && e->signaled_) {
                if (e->auto_) e->signaled_ = false;
                return static_cast<int>(i);
            }
        }
        if (timeoutMs == kInfinite) {
            h.changed.wait(hold);
        } else if (h.changed.wait_until(hold, deadline) == std::cv_status::timeout) {
            // One last look: an event set right at the deadline still counts.
            for (std::size_t i = 0; i < events.size(); ++i) {
                Event* e = events[i];
                if (e && e->signaled_) {
                    if (e->auto_) e->signaled_ = false;
                    return static_cast<int>(i);
                }
            }
            return kWaitTimeout;
        }
    }
}

} // namespace kestrova::platform
