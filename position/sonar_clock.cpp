#include "position/sonar_clock.h"

#include "platform/clock.h"
#include "position/time_stamp.h"

#include <cmath>
#include <cstdio>

namespace kestrova::position {

std::string clockCommand(const PositionFix& r) {
    char line[96];
    std::snprintf(line, sizeof line, "$cmd,set,rtctime,%4d,%02d,%02d,%02d,%02d,%02d,%06d*ff\r\n",
                  r.year, r.month, r.day, r.hour, r.minute, r.second, r.microsecond);
    return line;
}

SonarClockRule::SonarClockRule(TickSource tick)
    : tick_(tick ? std::move(tick) : TickSource(platform::tickCount)) {}

void SonarClockRule::setLatestPingTime(double seconds) {
    const std::uint32_t now = tick_();
    platform::LockHold hold(pingTimeLock_);
    pingTime_ = seconds;
    pingTick_ = now;
}

double SonarClockRule::arrivingPingTime() const {
    const std::uint32_t now = tick_();
    platform::LockHold hold(pingTimeLock_);
    if (platform::ticksSince(pingTick_, now) > kPingFreshMs) return 0.0;
    return pingTime_;
}

double SonarClockRule::latestPingTime() const {
    platform::LockHold hold(pingTimeLock_);
    return pingTime_;
}

SonarClockRule::Outcome SonarClockRule::afterMessage(const PositionFix& r, SonarClockPort* port) {
    bool wanted = syncWanted_.load();
    if (!wanted) {
        const double ping = arrivingPingTime();
        wanted = r.clockTime > 0.0 && ping > 0.0 && std::fabs(r.clockTime - ping) >= kMaxDrift;
    }
    if (!wanted) return Outcome::NotNeeded;
    if (r.year == 0 || r.month == 0 || r.day == 0) return Outcome::NoDate;
    // A clock line the sonar would take literally must hold a real date and time.
    if (!isValidDate(CivilDate{r.year, r.month, r.day}) || r.hour < 0 || r.hour > 23 ||
        r.minute < 0 || r.minute > 59 || r.second < 0 || r.second > 60 || r.microsecond < 0 ||
        r.microsecond > 999999)
        return Outcome::NoDate;
    if (!port || !port->commandChannelConnected()) return Outcome::NotSent;
    if (!port->sendClockCommand(clockCommand(r))) return Outcome::NotSent;
    syncWanted_.store(false);
    return Outcome::Sent;
}

} // namespace kestrova::position
