#include "position/gps_state.h"

#include "platform/clock.h"

namespace kestrova::position {

int gpsStateForQuality(int q, const GpsAlarm& alarm) {
    using namespace gps_state;
    if (q > 9) return kAnomalous;
    switch (q) {
    case 0:
        return alarm.on ? kNoValidAlarm : kNoFixAlarmOff;
    case 1:
        return alarm.on && alarm.level > 1 ? kAutonomousLow : kAutonomous;
    case 2:
    case 9:
        return alarm.on && alarm.level > 2 ? kDifferentialLow : kDifferential;
    case 3:
        return kPps;
    case 4:
        return kRtkFixed;
    case 5:
        return alarm.on && alarm.level > 2 ? kRtkFloatLow : kRtkFloat;
    case 6:
        return kEstimated;
    case 7:
        return kManual;
    case 8:
        return kSimulation;
    default:
        return kAnomalous; // a negative quality is as anomalous as one above 9
    }
}

int DataTimeout::check(std::uint32_t now, const GpsAlarm& alarm, int alarmCode) {
    if (platform::ticksSince(reference_, now) <= kTimeoutMs) return -1;
    reference_ = now;
    return alarm.on ? alarmCode : gps_state::kNoDataAlarmOff;
}

} // namespace kestrova::position
