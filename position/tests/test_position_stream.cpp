// The navigation input's pass over ticks: the 3000 ms rules behind the GPS
// state, the ZDA stream that stops, the date counted once, and both binary
// frames through the whole pipeline.

#include "position/position_stream.h"
#include "position/tests/fake_grid.h"
#include "tools/nav-sim/nav_model.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kestrova;
using namespace kestrova::position;

namespace {

void feed(PositionStream& s, const std::string& text) {
    s.appendBytes(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()),
                                                text.size()));
}

template <std::size_t N> void feed(PositionStream& s, const std::array<std::uint8_t, N>& bytes) {
    s.appendBytes(bytes);
}

const std::string kGga = "$GPGGA,120000.00,2424.0,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,\r\n";
const std::string kZda = "$GPZDA,115959.00,01,06,2024,00,00\r\n";
const std::string kBad = "$GPGGA,120000.00,,N,11808.0,E,4,12,0.7,3.0,M,10.5,M,,\r\n";

} // namespace

TEST(DataTimeout, ReportsAfterMoreThan3000MsThenRestarts) {
    DataTimeout t(1000);
    GpsAlarm off{false, 0}, on{true, 0};
    EXPECT_EQ(t.check(4000, off, gps_state::kNoBytesAlarm), -1)
        << "exactly 3000 ms is not yet late";
    EXPECT_EQ(t.check(4001, off, gps_state::kNoBytesAlarm), gps_state::kNoDataAlarmOff);
    EXPECT_EQ(t.check(4002, on, gps_state::kNoBytesAlarm), -1)
        << "the report restarts the reference";
    EXPECT_EQ(t.check(7002, on, gps_state::kNoBytesAlarm), gps_state::kNoBytesAlarm);
    EXPECT_EQ(t.check(10003, on, gps_state::kNoValidAlarm), gps_state::kNoValidAlarm);
    // Across the wrap of the 32-bit tick counter.
    DataTimeout w(0xFFFFFF00u); // 256 ms before the wrap
    EXPECT_EQ(w.check(0x00000AB8u, on, 2), -1);
    EXPECT_EQ(w.check(0x00000AB9u, on, 2), 2);
}

TEST(PositionStreamState, SilenceGivesStateByAlarm) {
    for (bool alarm : {false, true}) {
        PositionStream s(DataType::GgaZda, 0);
        s.setAlarm(GpsAlarm{alarm, 1});
        feed(s, kZda + kGga);
        EXPECT_EQ(s.step(10).kind, StepResult::Kind::Time);
        EXPECT_EQ(s.step(20).kind, StepResult::Kind::Position);
        EXPECT_EQ(s.gpsState(), gps_state::kRtkFixed);
        EXPECT_FALSE(s.noBytes(3020));
        EXPECT_EQ(s.gpsState(), gps_state::kRtkFixed);
        EXPECT_TRUE(s.noBytes(3021));
        EXPECT_EQ(s.gpsState(), alarm ? gps_state::kNoBytesAlarm : gps_state::kNoDataAlarmOff);
    }
}

TEST(PositionStreamState, OnlyBadDataForMoreThan3000Ms) {
    for (bool alarm : {false, true}) {
        PositionStream s(DataType::GgaZda, 0);
        s.setAlarm(GpsAlarm{alarm, 0});
        feed(s, kZda + kGga);
        s.step(0);
        s.step(0);
        for (std::uint32_t t = 500; t <= 3000; t += 500) {
            feed(s, kBad);
            auto r = s.step(t);
            EXPECT_EQ(r.kind, StepResult::Kind::Rejected);
            EXPECT_EQ(s.gpsState(), gps_state::kRtkFixed) << "still within 3000 ms at " << t;
        }
        feed(s, kBad);
        auto r = s.step(3001);
        EXPECT_TRUE(r.stateChanged);
        EXPECT_EQ(s.gpsState(), alarm ? gps_state::kNoValidAlarm : gps_state::kNoDataAlarmOff);
    }
}

// Guards: ZDA sentences restarting the time-out, so that a receiver that lost
// its fix (empty GGA fields) but kept sending its clock went on showing its
// last good state.
TEST(PositionStreamState, TheClockAloneKeepsNoLostFixAlive) {
    for (bool alarm : {false, true}) {
        PositionStream s(DataType::GgaZda, 0);
        s.setAlarm(GpsAlarm{alarm, 0});
        feed(s, kZda + kGga);
        s.step(0);
        ASSERT_EQ(s.step(0).kind, StepResult::Kind::Position);
        EXPECT_EQ(s.gpsState(), gps_state::kRtkFixed);
        for (std::uint32_t t = 1000; t <= 3000; t += 1000) {
            feed(s, kZda + kBad);
            EXPECT_EQ(s.step(t).kind, StepResult::Kind::Time);
            EXPECT_EQ(s.step(t).kind, StepResult::Kind::Rejected);
            EXPECT_EQ(s.gpsState(), gps_state::kRtkFixed) << "still within 3000 ms at " << t;
        }
        feed(s, kZda);
        EXPECT_TRUE(s.step(3001).stateChanged);
        EXPECT_EQ(s.gpsState(), alarm ? gps_state::kNoValidAlarm : gps_state::kNoDataAlarmOff);
    }
}

TEST(PositionStreamState, QualityZeroShowsByAlarm) {
    std::string q0 = "$GPGGA,120000.00,2424.0,N,11808.0,E,,12,0.7,3.0,M,10.5,M,,\r\n";
    for (bool alarm : {false, true}) {
        PositionStream s;
        s.setAlarm(GpsAlarm{alarm, 0});
        feed(s, q0);
        EXPECT_EQ(s.step(0).kind, StepResult::Kind::Position);
        EXPECT_EQ(s.gpsState(), alarm ? gps_state::kNoValidAlarm : gps_state::kNoFixAlarmOff);
    }
}

TEST(PositionStreamState, GgaDatedFromThePcThreeSecondsAfterTheLastZda) {
    PositionStream s(DataType::GgaZda, 0);
    s.decoder().setUtcClock([] { return epochSeconds({2030, 1, 2}, 12, 0, 0.0); });
    feed(s, kZda);
    s.step(0);
    feed(s, kGga);
    EXPECT_EQ(s.step(1000).record.year, 0) << "with ZDA the record keeps no date of its own";
    EXPECT_DOUBLE_EQ(s.step(1000).record.fixTime, 0.0) << "nothing left to take";
    feed(s, kGga);
    auto r = s.step(3001); // accepted, then the ZDA is found missing
    EXPECT_EQ(r.completion.event.year, 2024);
    feed(s, kGga);
    r = s.step(3100);
    EXPECT_EQ(r.kind, StepResult::Kind::Position);
    EXPECT_EQ(r.completion.event.year, 2030) << "now dated from the PC clock";
    EXPECT_EQ(r.record.year, 2030) << "and carrying that date for the sonar clock";
    EXPECT_EQ(r.record.day, 2);
}

TEST(PositionStreamState, DateCountsOnceForTheSonarClock) {
    PositionStream s;
    feed(s, kZda + kZda);
    auto first = s.step(0);
    EXPECT_EQ(first.record.year, 2024);
    EXPECT_EQ(s.decoder().fix().year, 0) << "cleared after the message";
    EXPECT_EQ(s.decoder().fix().month, 0);
    EXPECT_EQ(s.step(1).record.year, 2024) << "a new ZDA dates it again";
}

TEST(PositionStreamFrames, InsFrameThroughThePipeline) {
    fakes::LinearGrid grid;
    PositionStream s(DataType::OstraIns, 0);
    s.decoder().setConverter(&grid);
    InsFrame f;
    f.year = 2024;
    f.month = 2;
    f.day = 28;
    f.hour = 16; // UTC; zone 8: 00:00 on 29 February
    f.minute = 0;
    f.second = 30;
    f.latitude = -24.5;
    f.longitude = -118.25;
    f.speed = 2.0f;
    f.height = 12.5f;
    f.heading = 45.0f;
    auto bytes = encode(f);
    // Split across two reads, noise before.
    std::array<std::uint8_t, 5> noise = {0xAA, 0x55, 0x00, 0x77, 0xEE};
    feed(s, noise);
    s.appendBytes(std::span<const std::uint8_t>(bytes.data(), 30));
    EXPECT_EQ(s.step(0).kind, StepResult::Kind::Idle);
    s.appendBytes(std::span<const std::uint8_t>(bytes.data() + 30, 34));
    auto r = s.step(1);
    ASSERT_EQ(r.kind, StepResult::Kind::Position);
    const PositionFix& p = r.record;
    EXPECT_EQ(p.year, 2024);
    EXPECT_EQ(p.month, 2);
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.hour, 0);
    EXPECT_EQ(p.fixHour, 0);
    EXPECT_EQ(p.second, 30);
    EXPECT_DOUBLE_EQ(p.fixTime, 1709164830.0);
    EXPECT_DOUBLE_EQ(p.clockTime, 1709164830.0);
    EXPECT_EQ(p.latHemisphere, 'S');
    EXPECT_EQ(p.lonHemisphere, 'W');
    EXPECT_DOUBLE_EQ(p.height, 12.5);
    EXPECT_DOUBLE_EQ(p.auxHeight, 12.5);
    EXPECT_DOUBLE_EQ(p.north, -24.5 * 100000.0);
    EXPECT_EQ(p.quality, 1);
    EXPECT_EQ(p.satellites, 7);
    EXPECT_DOUBLE_EQ(p.hdop, 1.0);
    EXPECT_EQ(r.gpsState, gps_state::kAutonomous);
    EXPECT_EQ(s.binaryStats().skippedBytes, 5u);
}

TEST(PositionStreamFrames, CustomFrameTimeOfDayAndPcDate) {
    fakes::LinearGrid grid;
    PositionStream s(DataType::Custom, 0);
    s.decoder().setConverter(&grid);
    s.decoder().setUtcClock([] { return epochSeconds({2024, 12, 31}, 12, 0, 0.0); });
    CustomFrame f;
    // Two days and 17:30:15.5 UTC: only the time of day counts; zone 8 makes it
    // 01:30:15.5 on 1 January 2025.
    f.time = 2 * 86400.0f + 17 * 3600.0f + 30 * 60.0f + 15.5f;
    f.latitude = 24.4f;
    f.longitude = 118.14f;
    f.heading = 90.0f;
    f.speed = 2.0f;
    f.auxHeight = 3.25f;
    feed(s, encode(f));
    auto r = s.step(0);
    ASSERT_EQ(r.kind, StepResult::Kind::Position);
    const PositionFix& p = r.record;
    EXPECT_EQ(p.year, 2025);
    EXPECT_EQ(p.month, 1);
    EXPECT_EQ(p.day, 1);
    EXPECT_EQ(p.hour, 1);
    EXPECT_EQ(p.minute, 30);
    EXPECT_EQ(p.second, 15);
    EXPECT_NEAR(p.microsecond, 500000, 8000); // float32 time of day: ms resolution
    EXPECT_EQ(p.height, 0.0);
    EXPECT_EQ(grid.lastH, 0.0);
    EXPECT_DOUBLE_EQ(p.auxHeight, 3.25);
    EXPECT_NEAR(p.latitude, 24.4, 1e-5);
}

TEST(PositionStreamFrames, ImpossibleFramesAreRefused) {
    PositionStream s(DataType::OstraIns, 0);
    InsFrame f;
    f.year = 2024;
    f.month = 6;
    f.day = 1;
    f.hour = 30; // no such hour
    feed(s, encode(f));
    f.hour = 1;
    f.latitude = 1e9;
    feed(s, encode(f));
    EXPECT_EQ(s.step(0).kind, StepResult::Kind::Rejected);
    EXPECT_EQ(s.step(0).kind, StepResult::Kind::Rejected);
    EXPECT_EQ(s.counts().framesRejected, 2u);
    EXPECT_EQ(s.counts().positions, 0u);

    PositionStream c(DataType::Custom, 0);
    CustomFrame cf;
    cf.time = -5.0f;
    feed(c, encode(cf));
    EXPECT_EQ(c.step(0).kind, StepResult::Kind::Rejected);
    // A huge time still gives a time of day (found by fuzzing: the hour overflowed).
    cf.time = 3.0e38f;
    feed(c, encode(cf));
    auto r = c.step(0);
    ASSERT_EQ(r.kind, StepResult::Kind::Position);
    EXPECT_GE(r.record.hour, 0);
    EXPECT_LE(r.record.hour, 23);
    EXPECT_LE(r.record.minute, 59);
}

TEST(PositionStreamFrames, NavModelStreamParsesBackToTheTrack) {
    // The simulator's frames and sentences carry the vessel where it is.
    for (auto type :
         {navsim::MessageType::Gga, navsim::MessageType::Ins, navsim::MessageType::Custom}) {
        navsim::NavConfig cfg;
        cfg.type = type;
        cfg.jitter = 0.0;
        navsim::NavSource source(cfg);
        PositionStream s(type == navsim::MessageType::Gga   ? DataType::GgaZda
                         : type == navsim::MessageType::Ins ? DataType::OstraIns
                                                            : DataType::Custom);
        int positions = 0;
        for (int i = 0; i < 20; ++i) {
            auto e = source.next();
            s.appendBytes(e.bytes);
            auto expected = source.track().at(e.simSeconds);
            for (;;) {
                auto r = s.step(static_cast<std::uint32_t>(i * 1000));
                if (r.kind == StepResult::Kind::Idle) break;
                ASSERT_NE(r.kind, StepResult::Kind::Rejected);
                if (r.kind != StepResult::Kind::Position) continue;
                ++positions;
                EXPECT_NEAR(r.record.latitude, expected.latitude, 1e-5);
                EXPECT_NEAR(r.record.longitude, expected.longitude, 1e-5);
            }
        }
        EXPECT_EQ(positions, 20);
    }
}

// Guards: a damaged recording whose time is huge, infinite or not a number
// hanging the playback thread while a date is walked out of it.
TEST(PositionReplayRecord, AbsurdTimesAreUndatedNotWalked) {
    PositionStream s(DataType::GgaZda, 0);
    for (double t : {1e300, std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN(), -5.0}) {
        PositionFix f;
        f.kind = kFixPosition;
        f.fixTime = t;
        StepResult r = s.replayRecord(f, 0);
        ASSERT_EQ(r.kind, StepResult::Kind::Position);
        EXPECT_EQ(r.completion.event.year, 0) << t;
    }
    // 2024-02-29 23:59:59 local: 19782 days after 1970-01-01 plus 86399 s.
    PositionFix leap;
    leap.kind = kFixPosition;
    leap.fixTime = 19782.0 * 86400.0 + 86399.0;
    StepResult r = s.replayRecord(leap, 5000);
    EXPECT_EQ(r.completion.event.year, 2024);
    EXPECT_EQ(r.completion.event.month, 2);
    EXPECT_EQ(r.completion.event.day, 29);
}
