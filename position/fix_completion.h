#pragma once
// What follows every accepted position: speed and course from the fix history,
// the track point, the fix event and the GPS state. The caller (the navigation
// thread) puts the track point and event into the shared lists under their
// locks, copies the record into the display snapshot and posts the message.

#include "position/gps_state.h"
#include "position/position_fix.h"
#include "position/time_stamp.h"

#include <deque>
#include <optional>

namespace kestrova::position {

struct FixCompletion {
    std::optional<TrackPoint> trackPoint; // only when the fix is more than 0.99 s after the last
    FixEvent event;
    int gpsState = 0;
};

class FixCompleter {
  public:
    static constexpr std::size_t kHistory = 20;
    static constexpr double kMinInterval = 0.99; // s
    static constexpr double kMaxSpeed = 100.0;   // knots; above it the speed reads 0

    // `fixDate` is the date the fix's fixTime was computed from.
    FixCompletion complete_fix(PositionFix& fix, const CivilDate& fixDate, const GpsAlarm& alarm);
    void reset();
    std::size_t historySize() const { return history_.size(); }

  private:
    std::deque<PositionFix> history_;
    double lastTrackTime_ = 0.0;
    int previousYear_ = 0;
    double previousEast_ = 0.0;
    double previousNorth_ = 0.0;
};

} // namespace kestrova::position
