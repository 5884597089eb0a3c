#pragma once
// The position state code shown by the status display, and the rules that
// set it: the quality of each accepted fix against the operator's GPS alarm,
// and the 3000 ms time-out when nothing (valid) arrives. All pure functions of
// their inputs and of the millisecond tick, so they are checked without threads.

#include <cstdint>

namespace kestrova::position {

namespace gps_state {
constexpr int kNoDevice = 0;        // live start, no positioning device fitted
constexpr int kSerialFailed = 1;    // device fitted; the serial port failed and was closed
constexpr int kNoBytesAlarm = 2;    // alarm on: no bytes for more than 3000 ms; playback
constexpr int kNoValidAlarm = 3;    // alarm on: no valid message for 3000 ms, or quality 0
constexpr int kAutonomous = 4;      // quality 1
constexpr int kAutonomousLow = 5;   // quality 1 below the alarm level
constexpr int kDifferential = 6;    // quality 2 or 9
constexpr int kDifferentialLow = 7; // quality 2 or 9 below the alarm level
constexpr int kPps = 8;             // quality 3
constexpr int kRtkFixed = 9;        // quality 4
constexpr int kRtkFloatLow = 10;    // quality 5 below the alarm level
constexpr int kRtkFloat = 11;       // quality 5
constexpr int kEstimated = 12;      // quality 6
constexpr int kManual = 13;         // quality 7
constexpr int kSimulation = 14;     // quality 8
constexpr int kAnomalous = 16;      // quality above 9
constexpr int kNoDataAlarmOff = 17; // alarm off: nothing (valid) for 3000 ms; channel (re)opened
constexpr int kNoFixAlarmOff = 18;  // quality 0, alarm off
} // namespace gps_state

// AlS_bAlertGps and AlS_iuAlertGps (0 "No Data", 1 "Stand Alone", 2 "Differential", 3 "RTK Fixed").
struct GpsAlarm {
    bool on = false;
    unsigned level = 0;
};

int gpsStateForQuality(int quality, const GpsAlarm& alarm);

// The data time-out: the reference is the tick of the last accepted message
// or of the last time-out report.
class DataTimeout {
  public:
    static constexpr std::uint32_t kTimeoutMs = 3000;

    explicit DataTimeout(std::uint32_t now = 0) : reference_(now) {}
    void restart(std::uint32_t now) { reference_ = now; }
    // More than 3000 ms since the reference: the state to report (17 with the
    // alarm off, else `alarmCode`, 2 for no bytes or 3 for no valid message)
    // and the reference moves to now. Otherwise -1.
    int check(std::uint32_t now, const GpsAlarm& alarm, int alarmCode);

  private:
    std::uint32_t reference_;
};

} // namespace kestrova::position
