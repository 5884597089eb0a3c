#include "platform/messages.h"

#include "platform/clock.h"

#include <chrono>

namespace kestrova::platform {

MessageQueue::MessageQueue() : pending_(Event::Reset::Manual, false) {}

WindowHandle MessageQueue::registerWindow(MessageHandler handler) {
    std::lock_guard<std::mutex> hold(mutex_);
    WindowHandle h = nextHandle_++;
    if (nextHandle_ == kNoWindow) nextHandle_ = 1;
    windows_[h] = std::move(handler);
    return h;
}

void MessageQueue::unregisterWindow(WindowHandle window) {
    std::lock_guard<std::mutex> hold(mutex_);
    windows_.erase(window);
    std::erase_if(queue_, [window](const WindowMessage& m) { return m.window == window; });
    if (queue_.empty()) pending_.reset();
}

bool MessageQueue::post(WindowHandle window, std::uint32_t id, std::uintptr_t wParam,
                        std::intptr_t lParam) {
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (window == kNoWindow || windows_.find(window) == windows_.end()) return false;
        queue_.push_back(WindowMessage{window, id, wParam, lParam});
        pending_.set();
        if (!wakePending_ && wake_) {
            wakePending_ = true;
            wake = wake_;
        }
    }
    if (wake) wake();
    return true;
}

void MessageQueue::setWakeCallback(std::function<void()> wake) {
    std::lock_guard<std::mutex> hold(mutex_);
    wake_ = std::move(wake);
    wakePending_ = false;
}

bool MessageQueue::dispatchOne() {
    WindowMessage message;
    MessageHandler handler;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        for (;;) {
            if (queue_.empty()) {
                wakePending_ = false;
                pending_.reset();
                return false;
            }
            message = queue_.front();
            queue_.pop_front();
            auto it = windows_.find(message.window);
            if (it != windows_.end()) {
                handler = it->second;
                break;
            }
        }
        if (queue_.empty()) {
            wakePending_ = false;
            pending_.reset();
        }
    }
    handler(message);
    return true;
}

std::size_t MessageQueue::drain() {
    std::size_t queued;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        queued = queue_.size();
        // The owner is draining now: a message posted from here on is either
        // among those counted or must wake the owner again, else it would wait
        // unseen behind this drain (a handler posting to a view, a worker
        // posting while the handlers run).
        wakePending_ = false;
    }
    std::size_t done = 0;
    while (done < queued && dispatchOne())
        ++done;
    return done;
}

std::size_t MessageQueue::waitAndDrain(std::uint32_t timeoutMs) {
    if (!pending_.wait(timeoutMs)) return 0;
    return drain();
}

std::size_t MessageQueue::pending() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return queue_.size();
}

bool waitPumpingMessages(Event& acknowledgement, MessageQueue& queue, int maxMessages,
                         std::uint32_t timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    int dispatched = 0;
    for (;;) {
        std::uint32_t left = kInfinite;
        if (timeoutMs != kInfinite) {
            auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
            if (spent >= timeoutMs) return acknowledgement.wait(0);
            left = timeoutMs - static_cast<std::uint32_t>(spent);
        }
        int which = Event::waitAny({&acknowledgement, &queue.pendingEvent()}, left);
        if (which == 0) return true;
        if (which == kWaitTimeout) return false;
        queue.dispatchOne();
        sleepMs(1);
        if (++dispatched >= maxMessages) return acknowledgement.wait(0);
    }
}

} // namespace kestrova::platform
