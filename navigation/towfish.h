#pragma once
// Where the towfish was for each ping, and the strip of seabed it covered.
// The one place that interpolates a fix between two position events, applies
// the layback and the antenna offsets and finds the swath edges: the position
// ring, the coverage on the map, the targets and the mosaic all use it.

#include "position/ping_position_record.h"
#include "position/position_fix.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <vector>

namespace kestrova::navigation {

struct GridPoint {
    double east = 0.0;
    double north = 0.0;
};

// One stored piece of coverage: the port edge, the towfish, the starboard
// edge (easting then northing each; 48 bytes as the view keeps them).
struct CoverageSegment {
    GridPoint port;
    GridPoint centre;
    GridPoint starboard;
};

// The installation values the placement needs (SonarSetPara Fit... keys).
struct TowfishInstall {
    double towLength = 0.0;       // FitTowLength, cable paid out, m
    double towPointToWater = 0.0; // FitTowPointToWater, m
    double towfishDepth = 0.0;    // current towfish depth, m
    double gpsX = 0.0;            // FitGpsX, antenna across from the tow point, m
    double gpsY = 0.0;            // FitGpsY, antenna along from the tow point, m
    int headingSource = 0;        // HeadingSource: 0 the fish's own heading, 1 GPS course
};

// Horizontal distance from the tow point back to the towfish:
// sqrt(cable^2 - (height + depth)^2), 0 when the cable does not reach.
double layback(double cable, double towPointHeight, double depth);

// Angle from a towards b at fraction r along the shorter way round, in [0, 360).
double interpolateCourse(double a, double b, double r);
// Longitude from a towards b at fraction r across the date line, in [-180, 180].
double interpolateLongitude(double a, double b, double r);

struct TowfishPlacement {
    GridPoint fish;
    GridPoint port;
    GridPoint starboard;
    double swathHalf = 0.0; // sqrt(range^2 - altitude^2), 0 when not positive
    double layback = 0.0;
};

// Towfish and swath edges for an antenna position, heading H in degrees,
// slant range and altitude in metres.
TowfishPlacement placeTowfish(GridPoint antenna, double headingDegrees, double range,
                              double altitude, const TowfishInstall& install);

// One received ping as the display pipeline lists it.
struct PingEntry {
    double time = 0.0;           // seconds since 1970
    std::uint32_t ringIndex = 0; // history line
    double range = 0.0;          // slant range of the swath, m
    double heading = 0.0;        // the sonar's own heading, degrees
    std::uint32_t pingNumber = 0;
};

// The towfish track of one frequency: fix events and ping entries wait here
// until two fixes enclose a ping; then the ping's record goes to the ring and
// at most every 1.99 s a coverage segment is made.
class TowfishTrack {
  public:
    static constexpr double kSpanSeconds = 10.0;
    static constexpr double kSegmentSeconds = 1.99;
    static constexpr double kMinInterval = 0.001;

    using AltitudeOf = std::function<double(std::uint32_t ringIndex)>;
    using RecordSink = std::function<void(std::uint32_t ringIndex, const PingPositionRecord&)>;

    void addFixEvent(const position::FixEvent& event);
    void addPing(const PingEntry& ping);
    // Places the pending pings that fixes now enclose; new coverage segments
    // are appended to `segments`. Returns how many pings were placed.
    std::size_t process(const TowfishInstall& install, const AltitudeOf& altitude,
                        const RecordSink& sink, std::vector<CoverageSegment>& segments);
    // Acquisition started or stopped: the lists and the last times go.
    void reset();

    std::size_t pendingPings() const { return pings_.size(); }
    std::size_t fixCount() const { return fixes_.size(); }

  private:
    void trim();

    std::deque<position::FixEvent> fixes_;
    std::deque<PingEntry> pings_;
    double lastSegmentTime_ = -1.0e300;
    bool havePrevious_ = false;
    double previousTime_ = 0.0;
    double previousSpeed_ = 0.0;
};

// The interpolated record of a ping between two fixes (r along from a to b).
PingPositionRecord interpolateRecord(const position::FixEvent& a, const position::FixEvent& b,
                                     double r);

} // namespace kestrova::navigation
