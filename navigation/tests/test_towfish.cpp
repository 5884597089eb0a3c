// Where each ping's towfish is put: the record every target and the coverage
// carry. Expected values from the geometry, not from our output.

#include "navigation/towfish.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace {

using namespace kestrova;
using namespace kestrova::navigation;

position::FixEvent fixAt(double t, double east, double north, double course, double speed = 4.0) {
    position::FixEvent e;
    e.year = 2026;
    e.fixTime = t;
    e.east = east;
    e.north = north;
    e.course = course;
    e.speed = speed;
    e.latitude = 30.0;
    e.longitude = 120.0;
    e.latHemisphere = 'N';
    e.lonHemisphere = 'E';
    return e;
}

TEST(Towfish, LaybackFromCableHeightAndDepth) {
    EXPECT_DOUBLE_EQ(layback(50.0, 2.0, 12.0), std::sqrt(50.0 * 50.0 - 14.0 * 14.0));
    EXPECT_DOUBLE_EQ(layback(10.0, 4.0, 8.0), 0.0); // the cable does not reach
}

// "Add 180° when they differ by more than 90°" put a ping between 359° and
// 1° at 269.5°: the towfish swung sideways and every target with it.
TEST(Towfish, CourseAndLongitudeInterpolateTheShortWay) {
    EXPECT_NEAR(interpolateCourse(359.0, 1.0, 0.25), 359.5, 1e-9);
    EXPECT_NEAR(interpolateCourse(1.0, 359.0, 0.75), 359.5, 1e-9);
    EXPECT_NEAR(interpolateCourse(10.0, 350.0, 0.5), 0.0, 1e-9);
    EXPECT_NEAR(interpolateCourse(90.0, 100.0, 0.5), 95.0, 1e-9);
    EXPECT_NEAR(interpolateLongitude(179.9, -179.9, 0.5), 180.0, 1e-9);
}

TEST(Towfish, TowfishTrailsTheAntennaAndEdgesLieAcross) {
    TowfishInstall install;
    install.towLength = 50.0;
    install.towPointToWater = 2.0;
    install.towfishDepth = 12.0;
    install.gpsY = 3.0; // antenna 3 m ahead of the tow point
    const double L = std::sqrt(50.0 * 50.0 - 14.0 * 14.0);
    // Heading east: the fish is L + 3 m west of the antenna.
    TowfishPlacement p = placeTowfish({1000.0, 2000.0}, 90.0, 50.0, 30.0, install);
    EXPECT_NEAR(p.fish.east, 1000.0 - L - 3.0, 1e-9);
    EXPECT_NEAR(p.fish.north, 2000.0, 1e-9);
    EXPECT_NEAR(p.swathHalf, 40.0, 1e-9);
    EXPECT_NEAR(p.port.north, 2040.0, 1e-9); // port is to the left: north
    EXPECT_NEAR(p.starboard.north, 1960.0, 1e-9);
    // An altitude beyond the range gives no swath.
    EXPECT_EQ(placeTowfish({0, 0}, 0.0, 10.0, 20.0, install).swathHalf, 0.0);
}

TEST(Towfish, PingsBetweenFixesFillTheRingAndCoverageEvery199Seconds) {
    TowfishTrack track;
    TowfishInstall install;
    install.headingSource = 1; // GPS course
    std::map<std::uint32_t, PingPositionRecord> ring;
    auto sink = [&](std::uint32_t i, const PingPositionRecord& r) { ring[i] = r; };
    auto altitude = [](std::uint32_t) { return 6.0; };
    std::vector<CoverageSegment> segments;

    // Pings every 0.5 s; fixes every second heading north at 2 m/s.
    for (int i = 0; i <= 8; ++i)
        track.addPing({1000.0 + 0.5 * i, std::uint32_t(i), 10.0, 0.0});
    track.addFixEvent(fixAt(1000.0, 0.0, 0.0, 0.0));
    EXPECT_EQ(track.process(install, altitude, sink, segments), 0u);
    track.addFixEvent(fixAt(1001.0, 0.0, 2.0, 0.0));
    track.addFixEvent(fixAt(1002.0, 0.0, 4.0, 0.0));
    EXPECT_EQ(track.process(install, altitude, sink, segments), 5u); // pings at 1000..1002
    EXPECT_EQ(track.pendingPings(), 4u);                             // wait for later fixes
    track.addFixEvent(fixAt(1003.0, 0.0, 6.0, 0.0));
    track.addFixEvent(fixAt(1004.0, 0.0, 8.0, 0.0));
    EXPECT_EQ(track.process(install, altitude, sink, segments), 4u);

    ASSERT_EQ(ring.size(), 9u);
    const PingPositionRecord& r = ring[3]; // t = 1001.5
    EXPECT_TRUE(r.valid);
    EXPECT_NEAR(r.northing, 3.0, 1e-9);
    EXPECT_NEAR(r.swathHalf, 8.0, 1e-9);
    EXPECT_NEAR(r.distanceRun, (4.0 + 4.0) * 0.257 * 0.5, 1e-9);
    EXPECT_EQ(r.latHemisphere, 'N');
    ASSERT_EQ(segments.size(), 3u); // 1000, 1002, 1004
    EXPECT_NEAR(segments[1].centre.north, 4.0, 1e-9);
    EXPECT_NEAR(segments[1].port.east, -8.0, 1e-9); // heading north: port is west
    EXPECT_NEAR(segments[1].starboard.east, 8.0, 1e-9);

    // A segment only once more than 1.99 s have passed since the last one.
    TowfishTrack t2;
    segments.clear();
    t2.addFixEvent(fixAt(0.0, 0.0, 0.0, 0.0));
    t2.addFixEvent(fixAt(3.0, 0.0, 6.0, 0.0));
    t2.addPing({0.0, 0, 10.0, 0.0});
    t2.addPing({1.99, 1, 10.0, 0.0});
    t2.addPing({2.0, 2, 10.0, 0.0});
    EXPECT_EQ(t2.process(install, altitude, sink, segments), 3u);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_NEAR(segments[1].centre.north, 4.0, 1e-9);
}

TEST(Towfish, HeadingRuleAndWrappedCourseReachTheRecord) {
    TowfishTrack track;
    TowfishInstall install;
    install.towLength = 10.0;
    install.headingSource = 0; // the fish's own heading
    PingPositionRecord got;
    std::vector<CoverageSegment> segments;
    track.addFixEvent(fixAt(0.0, 0.0, 0.0, 359.0));
    track.addFixEvent(fixAt(1.0, 0.0, 0.0, 1.0));
    track.addPing({0.25, 7, 0.0, 90.0});
    track.process(
        install, nullptr, [&](std::uint32_t, const PingPositionRecord& r) { got = r; }, segments);
    EXPECT_NEAR(got.course, 359.5, 1e-9);
    EXPECT_DOUBLE_EQ(got.heading, 90.0);
    EXPECT_DOUBLE_EQ(got.sonarHeading, 90.0);
    EXPECT_NEAR(got.easting, -10.0, 1e-9); // towed behind an eastward heading fish
}

} // namespace

namespace {

// The first ZDA corrects a fix the PC had dated: the list jumps back in time.
// What follows the jump still places the pings; nothing pairs across it.
TEST(Towfish, TimeGoingBackKeepsWhatFollowsTheJump) {
    using namespace kestrova::navigation;
    TowfishTrack track;
    kestrova::position::FixEvent e;
    e.fixTime = 5000.0;
    track.addFixEvent(e);
    for (double t : {100.0, 101.0, 102.0}) {
        e.fixTime = t;
        e.north = t;
        track.addFixEvent(e);
    }
    track.addPing({101.5, 1, 10.0, 0.0});
    std::vector<CoverageSegment> segments;
    double north = 0.0;
    EXPECT_EQ(track.process(
                  {}, nullptr,
                  [&](std::uint32_t, const kestrova::PingPositionRecord& r) { north = r.northing; },
                  segments),
              1u);
    EXPECT_NEAR(north, 101.5, 1e-9);
    EXPECT_EQ(track.fixCount(), 3u);
}

} // namespace
