// Events, locks and the message queue across threads (run under TSan too).

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/lock.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "platform/worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace kestrova::platform {
namespace {

using R = Event::Reset;

TEST(EventThreads, SetFromAnotherThreadWakesTheWaiter) {
    Event go(R::Auto), quit(R::Auto);
    std::atomic<int> woke{-2};
    std::thread t([&] { woke = Event::waitAny({&go, &quit}, 5000); });
    sleepMs(20);
    quit.set();
    t.join();
    EXPECT_EQ(woke, 1);
    EXPECT_FALSE(quit.isSet());
}

// An auto-reset event set once releases exactly one of two waiters.
TEST(EventThreads, AutoResetReleasesOneWaiter) {
    Event ev(R::Auto);
    std::atomic<int> released{0};
    auto waiter = [&] {
        if (ev.wait(300)) ++released;
    };
    std::thread a(waiter), b(waiter);
    sleepMs(30);
    ev.set();
    a.join();
    b.join();
    EXPECT_EQ(released, 1);
}

TEST(LockThreads, HeldLockExcludesOtherThreads) {
    Lock lock;
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            LockHold h(lock);
            LockHold again(lock); // recursive, as a channel connect closing its socket does
            ++counter;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
}

// Many worker threads post; the interface thread drains: nothing is lost and
// each poster's messages keep their order.
TEST(MessageQueueThreads, PostsFromWorkersAllArriveInOrder) {
    MessageQueue q;
    std::vector<std::vector<std::uintptr_t>> seen(4);
    WindowHandle w =
        q.registerWindow([&](const WindowMessage& m) { seen[m.id].push_back(m.wParam); });
    std::atomic<int> wakes{0};
    q.setWakeCallback([&] { ++wakes; });
    std::vector<std::thread> workers;
    for (std::uint32_t id = 0; id < 4; ++id)
        workers.push_back(startThread("poster", ThreadPriority::BelowNormal, [&q, w, id] {
            for (std::uintptr_t i = 0; i < 500; ++i)
                q.post(w, id, i);
        }));
    std::size_t got = 0;
    for (int rounds = 0; got < 2000 && rounds < 1000; ++rounds)
        got += q.waitAndDrain(50);
    for (auto& t : workers)
        t.join();
    got += q.drain();
    EXPECT_EQ(got, 2000u);
    for (auto& s : seen) {
        ASSERT_EQ(s.size(), 500u);
        for (std::uintptr_t i = 0; i < 500; ++i)
            EXPECT_EQ(s[i], i);
    }
    EXPECT_GE(wakes, 1);
}

// A worker stops on quit after its run event is cleared, acknowledges, and
// the interface thread keeps dispatching meanwhile.
TEST(WorkerThreads, StopWorkerWaitsForTheAcknowledgement) {
    MessageQueue q;
    int dispatched = 0;
    WindowHandle w = q.registerWindow([&](const WindowMessage&) { ++dispatched; });
    WorkerEvents events;
    std::atomic<int> passes{0};
    std::thread t = startThread("worker", ThreadPriority::Normal, [&] {
        for (;;) {
            if (Event::waitAny({&events.run, &events.quit}) != 0) break;
            ++passes;
            q.post(w, 5);
            sleepMs(5);
        }
        events.exitAck.set();
    });
    while (passes < 3)
        sleepMs(1);
    stopWorker(events, t, q);
    EXPECT_FALSE(t.joinable());
    q.drain();
    EXPECT_EQ(dispatched, passes.load());
}

} // namespace
} // namespace kestrova::platform
