// Speed and course from the fix history, track points, fix events and the
// state code of each accepted position.

#include "position/fix_completion.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kestrova;
using namespace kestrova::position;

namespace {

PositionFix at(double fixTime, double east, double north, int quality = 4) {
    PositionFix f;
    f.kind = kFixPosition;
    f.fixTime = fixTime;
    f.east = east;
    f.north = north;
    f.quality = quality;
    f.speed = 99.0; // what a frame carried: must be replaced
    f.course = 99.0;
    return f;
}

const CivilDate kDated{2024, 6, 1};
const GpsAlarm kNoAlarm{};

} // namespace

TEST(FixCompletion, SpeedAndCourseFromTheGridTrack) {
    FixCompleter c;
    PositionFix f0 = at(1000.0, 0.0, 0.0);
    auto first = c.complete_fix(f0, kDated, kNoAlarm);
    EXPECT_EQ(f0.speed, 0.0) << "no older fix: no speed";
    EXPECT_EQ(f0.course, 0.0);
    ASSERT_TRUE(first.trackPoint);

    // 3 m east and 4 m north in 2 s: 2.5 m/s = 4.86 knots, course atan2(3,4) = 36.87 degrees.
    PositionFix f1 = at(1002.0, 3.0, 4.0);
    c.complete_fix(f1, kDated, kNoAlarm);
    EXPECT_NEAR(f1.speed, 5.0 * 1.944 / 2.0, 1e-9);
    EXPECT_NEAR(f1.course, std::atan2(3.0, 4.0) * 180.0 / 3.14159265, 1e-9);

    // Heading south-west: the course is brought into 0..360.
    PositionFix f2 = at(1004.0, 0.0, 0.0);
    c.complete_fix(f2, kDated, kNoAlarm);
    EXPECT_NEAR(f2.course, 180.0 + 36.8698976, 1e-6);
}

TEST(FixCompletion, TakesTheNewestFixMoreThan099SecondsOlder) {
    FixCompleter c;
    PositionFix a = at(100.0, 0.0, 0.0);
    c.complete_fix(a, kDated, kNoAlarm);
    PositionFix b = at(100.5, 50.0, 0.0); // too close in time to serve
    c.complete_fix(b, kDated, kNoAlarm);
    EXPECT_EQ(b.speed, 0.0);
    PositionFix d = at(101.0, 0.0, 1.0); // 1.0 s after a, 0.5 s after b: against a
    c.complete_fix(d, kDated, kNoAlarm);
    EXPECT_NEAR(d.speed, 1.944, 1e-9);
    EXPECT_NEAR(d.course, 0.0, 1e-9);
}

TEST(FixCompletion, ImpossibleSpeedReadsZero) {
    FixCompleter c;
    PositionFix a = at(10.0, 0.0, 0.0);
    c.complete_fix(a, kDated, kNoAlarm);
    // 77.16 m in 1 s is 150 knots: a jump, not a vessel.
    PositionFix b = at(11.0, 0.0, 150.0 / 1.944);
    c.complete_fix(b, kDated, kNoAlarm);
    EXPECT_EQ(b.speed, 0.0);
}

TEST(FixCompletion, HistoryHoldsTwentyOlderFixes) {
    // A fix 50 s back serves while it is among the last 20, and not after.
    auto run = [](int between) {
        FixCompleter c;
        PositionFix old = at(50.0, 0.0, 0.0);
        c.complete_fix(old, kDated, kNoAlarm);
        for (int i = 0; i < between; ++i) {
            PositionFix f = at(100.0 + i * 0.01, 100.0, 0.0);
            c.complete_fix(f, kDated, kNoAlarm);
            EXPECT_LE(c.historySize(), 21u);
        }
        PositionFix last = at(100.3, 100.0, 0.0);
        c.complete_fix(last, kDated, kNoAlarm);
        return last.speed;
    };
    EXPECT_NEAR(run(19), 100.0 * 1.944 / 50.3, 1e-9);
    EXPECT_EQ(run(20), 0.0);
}

TEST(FixCompletion, TrackPointsAtMostEverySecondAndFollowAClockGoingBack) {
    FixCompleter c;
    int points = 0;
    for (int i = 0; i < 50; ++i) { // 5 s at 10 Hz
        PositionFix f = at(500.0 + i * 0.1, i, 0.0);
        if (c.complete_fix(f, kDated, kNoAlarm).trackPoint) ++points;
    }
    EXPECT_EQ(points, 5);
    // The clock goes back an hour: the next second gives a point again.
    PositionFix back = at(500.0 - 3600.0, 0.0, 0.0);
    c.complete_fix(back, kDated, kNoAlarm);
    PositionFix next = at(500.0 - 3600.0 + 1.0, 0.0, 0.0);
    EXPECT_TRUE(c.complete_fix(next, kDated, kNoAlarm).trackPoint);
}

TEST(FixCompletion, EventDistanceOnlyBetweenDatedFixes) {
    FixCompleter c;
    PositionFix a = at(0.0, 0.0, 0.0);
    auto ea = c.complete_fix(a, CivilDate{}, kNoAlarm).event;
    EXPECT_EQ(ea.distance, 0.0);
    PositionFix b = at(1717200000.0, 30.0, 40.0);
    auto eb = c.complete_fix(b, kDated, kNoAlarm).event;
    EXPECT_EQ(eb.distance, 0.0) << "the previous event had no date";
    PositionFix d = at(1717200001.0, 33.0, 44.0);
    d.fixSeconds = 21.25;
    d.hour = 20;
    auto ed = c.complete_fix(d, kDated, kNoAlarm).event;
    EXPECT_DOUBLE_EQ(ed.distance, 5.0);
    EXPECT_EQ(ed.year, 2024);
    EXPECT_EQ(ed.month, 6);
    EXPECT_EQ(ed.day, 1);
    EXPECT_EQ(ed.hour, 20);
    EXPECT_EQ(ed.microsecond, 250000);
    EXPECT_DOUBLE_EQ(ed.east, 33.0);
}

TEST(FixCompletion, StateFromQualityAndAlarm) {
    using namespace gps_state;
    GpsAlarm off{false, 3}, on1{true, 1}, on2{true, 2}, on3{true, 3};
    EXPECT_EQ(gpsStateForQuality(0, off), kNoFixAlarmOff);
    EXPECT_EQ(gpsStateForQuality(0, on1), kNoValidAlarm);
    EXPECT_EQ(gpsStateForQuality(1, off), kAutonomous);
    EXPECT_EQ(gpsStateForQuality(1, on1), kAutonomous);
    EXPECT_EQ(gpsStateForQuality(1, on2), kAutonomousLow);
    EXPECT_EQ(gpsStateForQuality(2, on2), kDifferential);
    EXPECT_EQ(gpsStateForQuality(9, on3), kDifferentialLow);
    EXPECT_EQ(gpsStateForQuality(3, on3), kPps);
    EXPECT_EQ(gpsStateForQuality(4, on3), kRtkFixed);
    EXPECT_EQ(gpsStateForQuality(5, on3), kRtkFloatLow);
    EXPECT_EQ(gpsStateForQuality(5, on2), kRtkFloat);
    EXPECT_EQ(gpsStateForQuality(6, on3), kEstimated);
    EXPECT_EQ(gpsStateForQuality(7, on3), kManual);
    EXPECT_EQ(gpsStateForQuality(8, on3), kSimulation);
    EXPECT_EQ(gpsStateForQuality(12, off), kAnomalous);
    EXPECT_EQ(gpsStateForQuality(-1, off), kAnomalous);
    FixCompleter c;
    PositionFix q0 = at(1.0, 0.0, 0.0, 0);
    EXPECT_EQ(c.complete_fix(q0, kDated, on1).gpsState, kNoValidAlarm);
}
