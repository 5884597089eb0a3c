// The interface thread drains the message queue only when the wake-up
// callback tells it to, as the Qt window does. Messages posted while a drain
// runs, by its own handlers or by worker threads, must either be dispatched in
// that drain or wake the owner again; otherwise a view's redraw request or a
// batch notice would sit in the queue until some unrelated post came along.

#include "platform/messages.h"
#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrova::platform {
namespace {

// The owner's event loop: one drain per wake-up, nothing else.
class WakeDrivenOwner {
  public:
    explicit WakeDrivenOwner(MessageQueue& q) : q_(q) {
        q_.setWakeCallback([this] {
            std::lock_guard<std::mutex> hold(m_);
            ++wakes_;
            cv_.notify_one();
        });
    }
    ~WakeDrivenOwner() { q_.setWakeCallback(nullptr); }

    // Runs until `done` says so or the deadline passes; false on the deadline.
    template <class Done> bool run(Done done, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (done()) return true;
            std::unique_lock<std::mutex> hold(m_);
            if (!cv_.wait_until(hold, deadline, [this] { return wakes_ > 0; })) return done();
            --wakes_;
            hold.unlock();
            q_.drain();
        }
    }

  private:
    MessageQueue& q_;
    std::mutex m_;
    std::condition_variable cv_;
    int wakes_ = 0;
};

// A handler that posts to another window while the drain runs (the view
// asking itself for a redraw after a range change) while another message is
// still queued: the posted message must be dispatched without any further
// outside post.
TEST(MessageQueueWake, HandlerPostDuringDrainIsNotStranded) {
    MessageQueue q;
    WakeDrivenOwner owner(q);
    std::atomic<int> second{0};
    WindowHandle redraw = q.registerWindow([&](const WindowMessage&) { ++second; });
    WindowHandle batch = q.registerWindow([&](const WindowMessage&) { q.post(redraw, 2); });
    WindowHandle other = q.registerWindow([](const WindowMessage&) {});
    // Two messages wait, so the queue is not empty when the handler posts.
    q.post(batch, 1);
    q.post(other, 1);
    EXPECT_TRUE(owner.run([&] { return second.load() == 1; }, std::chrono::milliseconds(2000)))
        << "the message posted by a handler during the drain never got its turn";
    EXPECT_EQ(q.pending(), 0u);
}

// Worker threads post while handlers repost chains of messages; every message
// of every chain arrives, driven only by wake-ups.
TEST(MessageQueueWake, WorkersAndRepostingHandlersLoseNothing) {
    MessageQueue q;
    WakeDrivenOwner owner(q);
    constexpr int kWorkers = 3;
    constexpr int kPostsPerWorker = 300;
    constexpr std::uintptr_t kChain = 3; // each worker message causes 3 more
    std::atomic<int> dispatched{0};
    WindowHandle w = kNoWindow;
    w = q.registerWindow([&](const WindowMessage& m) {
        ++dispatched;
        if (m.wParam > 0) q.post(w, m.id, m.wParam - 1);
    });
    std::vector<std::thread> workers;
    for (int i = 0; i < kWorkers; ++i)
        workers.push_back(startThread("poster", ThreadPriority::Normal, [&q, w, i] {
            for (int k = 0; k < kPostsPerWorker; ++k) {
                q.post(w, static_cast<std::uint32_t>(i), kChain);
                if (k % 50 == 0) std::this_thread::yield();
            }
        }));
    const int expected = kWorkers * kPostsPerWorker * static_cast<int>(kChain + 1);
    const bool all =
        owner.run([&] { return dispatched.load() == expected; }, std::chrono::milliseconds(5000));
    for (auto& t : workers)
        t.join();
    EXPECT_TRUE(all) << dispatched.load() << " of " << expected << " messages dispatched";
    EXPECT_EQ(q.pending(), 0u);
}

} // namespace
} // namespace kestrova::platform
