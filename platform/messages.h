#pragma once
// Posted window messages. Worker threads never call into windows: they post a
// numbered message (WM_USER-based, e.g. WM_PING_HF 0x046D) to the handle a
// window registered when it was created. The messages wait in a thread-safe
// queue until the interface thread drains it:
//  - a Qt window installs a wake-up callback (called on the posting thread when
//    the queue stops being empty) and drains from a queued invocation;
//  - a headless tool calls waitAndDrain with a timeout in its main loop.

#include "platform/event.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace kestrova::platform {

constexpr std::uint32_t WM_USER = 0x0400;

using WindowHandle = std::uint32_t; // 0: no window
constexpr WindowHandle kNoWindow = 0;

struct WindowMessage {
    WindowHandle window = kNoWindow;
    std::uint32_t id = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

using MessageHandler = std::function<void(const WindowMessage&)>;

class MessageQueue {
  public:
    MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    // Interface thread: a window registers its handler and keeps the handle
    // where the workers can find it; unregistering drops its queued messages.
    WindowHandle registerWindow(MessageHandler handler);
    void unregisterWindow(WindowHandle window);

    // Any thread. False when the handle belongs to no window (nothing queued).
    bool post(WindowHandle window, std::uint32_t id, std::uintptr_t wParam = 0,
              std::intptr_t lParam = 0);

    // Called on the posting thread, outside the queue lock, each time a post
    // finds the queue empty and no wake-up pending. Set it before any worker runs.
    void setWakeCallback(std::function<void()> wake);

    // Interface thread: dispatches one queued message; false when none.
    bool dispatchOne();
    // Dispatches the messages queued at the time of the call (not those their
    // handlers post meanwhile); returns how many were dispatched. Every post
    // made after the drain began that it does not dispatch calls the wake-up
    // callback again, so the owner drains once more per wake-up and loses none.
    std::size_t drain();
    // Waits up to timeoutMs for a message, then drains; returns the count.
    std::size_t waitAndDrain(std::uint32_t timeoutMs);

    std::size_t pending() const;
    // Set while messages are queued; waitable beside other events.
    Event& pendingEvent() { return pending_; }

  private:
    mutable std::mutex mutex_;
    std::deque<WindowMessage> queue_;
    std::map<WindowHandle, MessageHandler> windows_;
    WindowHandle nextHandle_ = 1;
    bool wakePending_ = false;
    std::function<void()> wake_;
    Event pending_;
};

// Waits on the interface thread for a worker's exit acknowledgement while
// keeping messages flowing: each wake-up by a message dispatches one message
// and sleeps 1 ms; after `maxMessages` messages it stops waiting. True when
// the acknowledgement came.
bool waitPumpingMessages(Event& acknowledgement, MessageQueue& queue, int maxMessages = 6,
                         std::uint32_t timeoutMs = kInfinite);

} // namespace kestrova::platform
