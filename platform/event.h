#pragma once
// Events as the worker threads use them: manual-reset events stay set until
// reset (run, connect requests), auto-reset events wake exactly one wait and
// clear themselves (quit, exit acknowledgement). waitAny returns the lowest
// index among the events that are set, so an event earlier in the list wins
// over a later one that is also set.

#include <cstdint>
#include <initializer_list>
#include <span>

namespace kestrova::platform {

constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
constexpr int kWaitTimeout = -1;

class Event {
  public:
    enum class Reset { Manual, Auto };

    explicit Event(Reset reset, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    // True when set; does not consume an auto-reset event.
    bool isSet() const;
    bool autoReset() const { return auto_; }

    // Waits up to timeoutMs (kInfinite: no limit); true when the event was set.
    bool wait(std::uint32_t timeoutMs = kInfinite);

    // Waits for any of the events; returns the index of the first one set
    // (consuming it when auto-reset) or kWaitTimeout.
    static int waitAny(std::span<Event* const> events, std::uint32_t timeoutMs = kInfinite);
    static int waitAny(std::initializer_list<Event*> events, std::uint32_t timeoutMs = kInfinite) {
        return waitAny(std::span<Event* const>(events.begin(), events.size()), timeoutMs);
    }

  private:
    const bool auto_;
    bool signaled_;
};

} // namespace kestrova::platform
