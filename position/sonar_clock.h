#pragma once
// Setting the sonar's real-time clock from the positioning time. After every
// accepted message the rule decides: at once when the start sequence asked for
// it (each time the configuration block goes to the sonar), otherwise when the
// positioning clock and the time of the latest ping are 60 s or more apart.
// Only a ping that is still arriving counts: a stopped sonar's last ping drifts
// away from the positioning clock by itself and must not set the clock again
// and again.
// Only a message that still carries its date can set the clock, so a date
// counts once (the navigation input clears it after each message).

#include "platform/lock.h"
#include "position/position_fix.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrova::position {

// The command channel as the clock rule needs it; the device session implements it.
class SonarClockPort {
  public:
    virtual ~SonarClockPort() = default;
    virtual bool commandChannelConnected() const = 0;
    // Sends one whole command line; false when it could not be sent.
    virtual bool sendClockCommand(std::string_view line) = 0;
};

// "$cmd,set,rtctime,YYYY,MM,DD,hh,mm,ss,uuuuuu*ff\r\n" from the record's local date and clock.
std::string clockCommand(const PositionFix& record);

class SonarClockRule {
  public:
    using TickSource = std::function<std::uint32_t()>;
    static constexpr double kMaxDrift = 60.0; // s
    // A ping time older than this (by the tick) belongs to a sonar that stopped.
    static constexpr std::uint32_t kPingFreshMs = 2000;

    explicit SonarClockRule(TickSource tick = nullptr);

    // The start sequence sent the configuration block: set the clock at the next dated message.
    void requestSync() { syncWanted_.store(true); }
    bool syncWanted() const { return syncWanted_.load(); }
    // The ping display pipeline: time of the latest ping, on the scale of clockTime.
    void setLatestPingTime(double seconds);
    double latestPingTime() const;
    // The latest ping time if it was set within kPingFreshMs, else 0.
    double arrivingPingTime() const;

    enum class Outcome {
        NotNeeded, // neither asked for nor drifted
        NoDate,    // wanted, but the message carries no date
        NotSent,   // wanted, but the command channel is down or the send failed
        Sent,
    };
    // After every accepted message, with the record as it stood after the message.
    Outcome afterMessage(const PositionFix& record, SonarClockPort* port);

  private:
    std::atomic<bool> syncWanted_{false};
    TickSource tick_;
    mutable platform::Lock pingTimeLock_;
    double pingTime_ = 0.0;
    std::uint32_t pingTick_ = 0; // when pingTime_ was set
};

} // namespace kestrova::position
