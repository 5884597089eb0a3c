#pragma once
// What the two waterfall pipelines share: the settings they read on every ping,
// the display processing state handed to Drovanta from ping to ping (gain
// states, detections, the choices of the depth selection), the altitude and
// its alarm, the channel ranges other parts read, and the latest ping time
// that the position input thread reads under its lock.

#include "acquisition/frame_format.h"
#include "platform/lock.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace kestrova::display {

using acquisition::Frequency;

// Bottom-tracking sources.
namespace bottom_source {
constexpr int kHf = 0;
constexpr int kLf = 1;
constexpr int kManual = 5;
} // namespace bottom_source

// Altitude alarm states shown by the status display.
namespace altitude_alarm {
constexpr int kOff = 1;
constexpr int kAtOrBelowMinimum = 2;
constexpr int kAboveMinimum = 3;
} // namespace altitude_alarm

struct BottomTrackingSettings {
    int on = 0;                       // BT_bOn
    int source = bottom_source::kHf;  // BT_iuAlertGps
    std::uint32_t searchStartDm = 10; // near edge of the bottom search window
    std::uint32_t searchStopDm = 100; // far edge
    std::uint32_t threshold = 0;      // 0: automatic detector
    float manualAltitude = 5.0f;      // metres, source 5
};

// Everything the pipelines read from the program's settings.
struct DisplayPipelineSettings {
    double soundSpeed = 1500.0;
    BottomTrackingSettings bottom;
    bool altitudeAlarmOn = false;             // AlS_bAlertAltitude
    float minAltitude = 1.0f;                 // AlS_fMinAltitude
    std::array<int, 2> strength{50, 50};      // DIS_siuBackStrength, DIS_backStrength_LF
    std::array<int, 2> palette{0, 0};         // DIS_intBackColor_HF, DIS_intBackColor_LF
    std::array<bool, 2> invert{false, false}; // DIS_bInvertHF, DIS_bInvertLF
    // Frequencies of the connected model: a one-frequency sonar (kind 1) has
    // no LF, and the HF view then shows no channel label.
    int deviceKind = 2;
    bool xtfRecording = false;
};

struct BottomDetection {
    std::uint32_t sample = 0;
    float strength = 0.0f;
};

// Drovanta's per-side state and results, one set for the program.
struct DisplayProcessingState {
    // Longest display line a side can hold in the history ring.
    static constexpr std::size_t kGainLength = 23260;
    enum Side { HfPort = 0, HfStarboard = 1, LfPort = 2, LfStarboard = 3 };

    DisplayProcessingState();
    std::span<float> gain(int side) {
        return {gain_[static_cast<std::size_t>(side)].get(), kGainLength};
    }

    std::array<BottomDetection, 4> detection{};
    std::uint32_t pairAChoice = 0; // HF
    std::uint32_t pairBChoice = 0; // LF
    double currentAltitude = 0.0;
    int altitudeAlarmState = altitude_alarm::kOff;
    int altitudeSafe = 1;

  private:
    std::array<std::unique_ptr<float[]>, 4> gain_;
};

// The range each channel shows, read by the command builder, the main frame
// and the bottom-tracking page.
struct ChannelRanges {
    std::array<int, 2> metres{0, 0};
    std::uint32_t lfSamplesPerSide = 0;
    // Raised by other parts to make the views recompute their range.
    std::array<bool, 2> changed{false, false};
};

// The newest ping time of either view, seconds since 1970 on the program's
// clock; written by the interface thread, read by the position input.
class LatestPingTime {
  public:
    void publish(double t) {
        platform::LockHold hold(lock_);
        value_ = t;
    }
    double read() const {
        platform::LockHold hold(lock_);
        return value_;
    }

  private:
    mutable platform::Lock lock_;
    double value_ = 0.0;
};

struct DisplayShared {
    DisplayPipelineSettings settings;
    DisplayProcessingState processing;
    ChannelRanges ranges;
    LatestPingTime latestPingTime;
};

// One entry of a view's ping time history (48 bytes as the main frame reads it).
struct PingTimeRecord {
    std::uint16_t year = 0;
    std::uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
    std::uint32_t microseconds = 0;
    double time = 0.0; // seconds since 1970; 0 when undated
    std::uint32_t historyLine = 0;
    double portSlantRange = 0.0; // metres covered by the port side
    double heading = 0.0;        // degrees
};

// Grows by one record per ping; emptied once it spans 10 s, so the main frame
// that drains it never holds more than that, and before it would hold more
// records than the history ring has lines (an older record names a line that
// is gone), whatever the pings' times.
class PingTimeHistory {
  public:
    static constexpr double kSpanSeconds = 10.0;
    static constexpr std::size_t kMaxRecords = 1080;
    void append(const PingTimeRecord& r);
    const std::vector<PingTimeRecord>& records() const { return records_; }
    // The main frame takes what is there.
    std::vector<PingTimeRecord> take();

  private:
    std::vector<PingTimeRecord> records_;
};

} // namespace kestrova::display
