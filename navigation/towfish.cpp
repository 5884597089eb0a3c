#include "navigation/towfish.h"

#include <cmath>

namespace kestrova::navigation {
namespace {

constexpr double kPi = 3.14159265358979;

double wrap360(double a) {
    double w = std::fmod(a, 360.0);
    if (w < 0.0) w += 360.0;
    if (w >= 360.0) w -= 360.0;
    return w;
}

// b - a the shorter way round, in (-180, 180].
double wrappedDifference(double a, double b) {
    double d = std::fmod(b - a, 360.0);
    if (d > 180.0) d -= 360.0;
    if (d <= -180.0) d += 360.0;
    return d;
}

} // namespace

double layback(double cable, double towPointHeight, double depth) {
    const double vertical = towPointHeight + depth;
    const double square = cable * cable - vertical * vertical;
    return square > 0.0 ? std::sqrt(square) : 0.0;
}

double interpolateCourse(double a, double b, double r) {
    return wrap360(a + wrappedDifference(a, b) * r);
}

double interpolateLongitude(double a, double b, double r) {
    double v = a + wrappedDifference(a, b) * r;
    if (v > 180.0) v -= 360.0;
    if (v < -180.0) v += 360.0;
    return v;
}

TowfishPlacement placeTowfish(GridPoint antenna, double headingDegrees, double range,
                              double altitude, const TowfishInstall& install) {
    TowfishPlacement p;
    const double h = headingDegrees * kPi / 180.0;
    const double c = std::cos(h);
    const double s = std::sin(h);
    p.layback = layback(install.towLength, install.towPointToWater, install.towfishDepth);
    const double back = -p.layback - install.gpsY;
    p.fish.north = antenna.north + back * c + install.gpsX * s;
    p.fish.east = antenna.east - install.gpsX * c + back * s;
    const double square = range * range - altitude * altitude;
    p.swathHalf = square > 0.0 ? std::sqrt(square) : 0.0;
    p.port = {p.fish.east - p.swathHalf * c, p.fish.north + p.swathHalf * s};
    p.starboard = {p.fish.east + p.swathHalf * c, p.fish.north - p.swathHalf * s};
    return p;
}

PingPositionRecord interpolateRecord(const position::FixEvent& a, const position::FixEvent& b,
                                     double r) {
    PingPositionRecord rec;
    auto lerp = [r](double x, double y) { return x + (y - x) * r; };
    rec.time = lerp(a.fixTime, b.fixTime);
    rec.latitude = lerp(a.latitude, b.latitude);
    rec.longitude = interpolateLongitude(a.longitude, b.longitude, r);
    rec.latHemisphere = a.latHemisphere != 0 ? a.latHemisphere : (rec.latitude < 0 ? 'S' : 'N');
    rec.lonHemisphere = a.lonHemisphere != 0 ? a.lonHemisphere : (rec.longitude < 0 ? 'W' : 'E');
    rec.speed = lerp(a.speed, b.speed);
    rec.easting = lerp(a.east, b.east);
    rec.northing = lerp(a.north, b.north);
    rec.course = interpolateCourse(a.course, b.course, r);
    rec.valid = true;
    return rec;
}

void TowfishTrack::addFixEvent(const position::FixEvent& event) {
    fixes_.push_back(event);
}

void TowfishTrack::addPing(const PingEntry& ping) {
    pings_.push_back(ping);
}

void TowfishTrack::reset() {
    fixes_.clear();
    pings_.clear();
    lastSegmentTime_ = -1.0e300;
    havePrevious_ = false;
}

namespace {

// Time going back (a new day, the first time message correcting a PC date, a
// replayed file): what came before the jump cannot pair with what follows.
template <class List, class TimeOf> void dropBeforeLastJump(List& list, TimeOf timeOf) {
    for (std::size_t i = list.size(); i-- > 1;) {
        if (timeOf(list[i]) < timeOf(list[i - 1])) {
            list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

} // namespace

void TowfishTrack::trim() {
    dropBeforeLastJump(fixes_, [](const position::FixEvent& e) { return e.fixTime; });
    dropBeforeLastJump(pings_, [](const PingEntry& p) { return p.time; });
    // Only the oldest go, so the newest fix still pairs with the next one.
    while (fixes_.size() > 1 && fixes_.back().fixTime - fixes_.front().fixTime >= kSpanSeconds)
        fixes_.pop_front();
    while (pings_.size() > 1 && pings_.back().time - pings_.front().time >= kSpanSeconds)
        pings_.pop_front();
}

std::size_t TowfishTrack::process(const TowfishInstall& install, const AltitudeOf& altitude,
                                  const RecordSink& sink, std::vector<CoverageSegment>& segments) {
    trim();
    std::size_t placed = 0;
    std::deque<PingEntry> waiting;
    while (!pings_.empty()) {
        PingEntry ping = pings_.front();
        pings_.pop_front();
        if (fixes_.size() < 2 || ping.time > fixes_.back().fixTime) {
            waiting.push_back(ping); // its later fix has not come yet
            continue;
        }
        if (ping.time < fixes_.front().fixTime) continue; // before anything kept: lost
        std::size_t k = 1;
        while (k < fixes_.size() && fixes_[k].fixTime < ping.time)
            ++k;
        const position::FixEvent& a = fixes_[k - 1];
        const position::FixEvent& b = fixes_[k];
        const double interval = b.fixTime - a.fixTime;
        if (interval < kMinInterval) continue;
        const double r = (ping.time - a.fixTime) / interval;

        PingPositionRecord rec = interpolateRecord(a, b, r);
        rec.time = ping.time;
        const double dt = ping.time - previousTime_;
        rec.distanceRun = havePrevious_ && dt >= 0.0 && dt < 5.0
                              ? (previousSpeed_ + rec.speed) * 0.257 * dt
                              : 0.0;
        havePrevious_ = true;
        previousTime_ = ping.time;
        previousSpeed_ = rec.speed;

        const double heading = install.headingSource == 0 ? ping.heading : rec.course;
        const double alt = altitude ? altitude(ping.ringIndex) : 0.0;
        TowfishPlacement where =
            placeTowfish({rec.easting, rec.northing}, heading, ping.range, alt, install);
        rec.easting = where.fish.east;
        rec.northing = where.fish.north;
        rec.swathHalf = where.swathHalf;
        rec.swathPort = where.swathHalf;
        rec.swathStarboard = where.swathHalf;
        rec.altitude = alt;
        rec.range = ping.range;
        rec.sonarHeading = ping.heading;
        rec.heading = heading;
        rec.pingNumber = ping.pingNumber;
        if (sink) sink(ping.ringIndex, rec);
        ++placed;

        if (ping.time - lastSegmentTime_ > kSegmentSeconds) {
            segments.push_back({where.port, where.fish, where.starboard});
            lastSegmentTime_ = ping.time;
        } else if (lastSegmentTime_ - ping.time > kSegmentSeconds) {
            lastSegmentTime_ = ping.time; // the clock went back
        }
    }
    pings_ = std::move(waiting);
    return placed;
}

} // namespace kestrova::navigation
