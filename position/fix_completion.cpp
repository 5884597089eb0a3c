#include "position/fix_completion.h"

#include <algorithm>
#include <cmath>

namespace kestrova::position {

namespace {
constexpr double kPi = 3.14159265;
} // namespace

void FixCompleter::reset() {
    history_.clear();
    lastTrackTime_ = 0.0;
    previousYear_ = 0;
    previousEast_ = 0.0;
    previousNorth_ = 0.0;
}

FixCompletion FixCompleter::complete_fix(PositionFix& fix, const CivilDate& fixDate,
                                         const GpsAlarm& alarm) {
    FixCompletion out;

    // Speed and course over ground from the grid track, against the newest
    // older fix that is more than 0.99 s earlier.
    while (history_.size() > kHistory)
        history_.pop_front();
    history_.push_back(fix);
    fix.speed = 0.0;
    fix.course = 0.0;
    for (std::size_t i = history_.size() - 1; i-- > 0;) {
        const PositionFix& old = history_[i];
        double dt = fix.fixTime - old.fixTime;
        if (!(dt > kMinInterval)) continue;
        double de = fix.east - old.east;
        double dn = fix.north - old.north;
        double speed = std::sqrt(de * de + dn * dn) * kKnotsPerMetrePerSecond / dt;
        fix.speed = speed > kMaxSpeed ? 0.0 : speed;
        double course = std::atan2(de, dn) * 180.0 / kPi;
        fix.course = course < 0.0 ? course + 360.0 : course;
        break;
    }
    history_.back().speed = fix.speed;
    history_.back().course = fix.course;

    if (fix.fixTime - lastTrackTime_ > kMinInterval) {
        out.trackPoint = TrackPoint{fix.east, fix.north, static_cast<float>(fix.speed),
                                    static_cast<float>(fix.course)};
        lastTrackTime_ = fix.fixTime;
    }
    // The clock went back (a new day from a PC-dated source, a replay): follow it.
    if (lastTrackTime_ - fix.fixTime > kMinInterval) lastTrackTime_ = fix.fixTime;

    FixEvent& e = out.event;
    e.year = static_cast<std::uint16_t>(std::clamp(fixDate.year, 0, 65535));
    e.month = static_cast<std::uint8_t>(std::clamp(fixDate.month, 0, 255));
    e.day = static_cast<std::uint8_t>(std::clamp(fixDate.day, 0, 255));
    e.hour = static_cast<std::uint8_t>(std::clamp(fix.hour, 0, 255));
    e.minute = static_cast<std::uint8_t>(std::clamp(fix.minute, 0, 255));
    e.second = static_cast<std::uint8_t>(std::clamp(fix.second, 0, 255));
    double fraction = fix.fixSeconds - std::trunc(fix.fixSeconds);
    e.microsecond =
        static_cast<std::int32_t>(std::clamp(std::llround(fraction * 1e6), 0LL, 999999LL));
    e.fixTime = fix.fixTime;
    e.latitude = fix.latitude;
    e.longitude = fix.longitude;
    e.latHemisphere = fix.latHemisphere;
    e.lonHemisphere = fix.lonHemisphere;
    e.east = fix.east;
    e.north = fix.north;
    e.speed = fix.speed;
    e.course = fix.course;
    if (fixDate.year >= 1970 && previousYear_ >= 1970) {
        double de = fix.east - previousEast_;
        double dn = fix.north - previousNorth_;
        e.distance = std::sqrt(de * de + dn * dn);
    }
    previousYear_ = fixDate.year;
    previousEast_ = fix.east;
    previousNorth_ = fix.north;

    out.gpsState = gpsStateForQuality(fix.quality, alarm);
    return out;
}

} // namespace kestrova::position
