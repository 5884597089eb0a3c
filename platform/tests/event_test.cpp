// Events and posted messages as the workers and the interface thread use them.

#include "platform/event.h"
#include "platform/lock.h"
#include "platform/messages.h"

#include <gtest/gtest.h>

namespace kestrova::platform {
namespace {

using R = Event::Reset;

TEST(Event, ManualResetStaysSetAutoResetWakesOnce) {
    Event manual(R::Manual, false);
    Event autoEv(R::Auto, true);
    EXPECT_FALSE(manual.wait(0));
    manual.set();
    EXPECT_TRUE(manual.wait(0));
    EXPECT_TRUE(manual.wait(0)); // still set
    manual.reset();
    EXPECT_FALSE(manual.wait(0));
    EXPECT_TRUE(autoEv.wait(0));
    EXPECT_FALSE(autoEv.wait(0)); // consumed
    EXPECT_FALSE(autoEv.isSet());
}

// Like WaitForMultipleObjects: the lowest index wins, and only the event
// returned is consumed. The connection thread's order of requests relies on it.
TEST(Event, WaitAnyReturnsTheLowestSetIndex) {
    Event a(R::Manual), b(R::Auto), c(R::Auto);
    b.set();
    c.set();
    EXPECT_EQ(Event::waitAny({&a, &b, &c}, 0), 1);
    EXPECT_EQ(Event::waitAny({&a, &b, &c}, 0), 2);
    EXPECT_EQ(Event::waitAny({&a, &b, &c}, 0), kWaitTimeout);
    a.set();
    c.set();
    EXPECT_EQ(Event::waitAny({&a, &b, &c}, 0), 0);
    EXPECT_EQ(Event::waitAny({&a, &b, &c}, 0), 0); // manual: stays
    EXPECT_TRUE(c.isSet());
}

TEST(Event, TimeoutReturnsWithoutASet) {
    Event a(R::Auto);
    EXPECT_EQ(Event::waitAny({&a}, 20), kWaitTimeout);
}

// The channel locks must be recursive: a holder taking it again must not
// deadlock.
TEST(Lock, IsRecursive) {
    Lock lock;
    LockHold outer(lock);
    ASSERT_TRUE(lock.try_lock());
    lock.unlock();
}

TEST(MessageQueue, DeliversToTheRegisteredWindowInOrder) {
    MessageQueue q;
    std::vector<std::uint32_t> seenA, seenB;
    WindowHandle a = q.registerWindow([&](const WindowMessage& m) { seenA.push_back(m.id); });
    WindowHandle b = q.registerWindow([&](const WindowMessage& m) {
        seenB.push_back(m.id);
        EXPECT_EQ(m.wParam, 7u);
        EXPECT_EQ(m.lParam, -3);
    });
    ASSERT_NE(a, kNoWindow);
    ASSERT_NE(a, b);
    EXPECT_TRUE(q.post(a, 0x046D));
    EXPECT_TRUE(q.post(b, 0x0468, 7, -3));
    EXPECT_TRUE(q.post(a, 0x046E));
    EXPECT_FALSE(q.post(kNoWindow, 1));
    EXPECT_FALSE(q.post(999, 1));
    EXPECT_TRUE(q.pendingEvent().isSet());
    EXPECT_EQ(q.drain(), 3u);
    EXPECT_EQ(seenA, (std::vector<std::uint32_t>{0x046D, 0x046E}));
    EXPECT_EQ(seenB, (std::vector<std::uint32_t>{0x0468}));
    EXPECT_FALSE(q.pendingEvent().isSet());
}

// A window gone before its messages are drained must not be called.
TEST(MessageQueue, UnregisteredWindowGetsNothing) {
    MessageQueue q;
    int calls = 0;
    WindowHandle a = q.registerWindow([&](const WindowMessage&) { ++calls; });
    q.post(a, 1);
    q.unregisterWindow(a);
    EXPECT_EQ(q.drain(), 0u);
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(q.post(a, 1));
}

// The interface (Qt) is woken once when the queue stops being empty, not once
// per message, and again after it has drained.
TEST(MessageQueue, WakeCallbackOncePerEmptyToNonEmpty) {
    MessageQueue q;
    int wakes = 0;
    q.setWakeCallback([&] { ++wakes; });
    WindowHandle a = q.registerWindow([](const WindowMessage&) {});
    q.post(a, 1);
    q.post(a, 2);
    EXPECT_EQ(wakes, 1);
    q.drain();
    q.post(a, 3);
    EXPECT_EQ(wakes, 2);
}

// A handler posting to itself must not keep drain() going for ever.
TEST(MessageQueue, DrainStopsAtWhatWasQueued) {
    MessageQueue q;
    WindowHandle self = kNoWindow;
    int calls = 0;
    self = q.registerWindow([&](const WindowMessage&) {
        ++calls;
        q.post(self, 1);
    });
    q.post(self, 1);
    EXPECT_EQ(q.drain(), 1u);
    EXPECT_EQ(q.pending(), 1u);
}

TEST(MessageQueue, WaitAndDrainTimesOutWhenIdle) {
    MessageQueue q;
    EXPECT_EQ(q.waitAndDrain(10), 0u);
}

// The acknowledgement wait gives up after the sixth message (the framework's
// own exit then goes on) and returns at once when the acknowledgement is there.
TEST(WaitPumping, GivesUpAfterSixMessages) {
    MessageQueue q;
    int calls = 0;
    WindowHandle w = q.registerWindow([&](const WindowMessage&) { ++calls; });
    for (int i = 0; i < 10; ++i)
        q.post(w, 1);
    Event ack(R::Auto);
    EXPECT_FALSE(waitPumpingMessages(ack, q));
    EXPECT_EQ(calls, 6);
    ack.set();
    EXPECT_TRUE(waitPumpingMessages(ack, q));
    EXPECT_EQ(calls, 6); // the acknowledgement wins over waiting messages
}

} // namespace
} // namespace kestrova::platform
