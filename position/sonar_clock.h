#pragma once
// Setting the sonar's real-time clock from the positioning time. After every
// accepted message the rule decides: at once when the start sequence asked for
// it (each time the configuration block goes to the sonar), otherwise when the
// positioning clock and the time of the latest ping are 60 s or more apart.
// Only a message that still carries its date can set the clock, so a date
// counts once (the navigation input clears it after each message).

#include "platform/lock.h"
#include "position/position_fix.h"

#include <atomic>
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
    static constexpr double kMaxDrift = 60.0; // s

    // The start sequence sent the configuration block: set the clock at the next dated message.
    void requestSync() { syncWanted_.store(true); }
    bool syncWanted() const { return syncWanted_.load(); }
    // The ping display pipeline: time of the latest ping, on the scale of clockTime.
    void setLatestPingTime(double seconds);
    double latestPingTime() const;

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
    mutable platform::Lock pingTimeLock_;
    double pingTime_ = 0.0;
};

} // namespace kestrova::position
