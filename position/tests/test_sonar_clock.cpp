// The sonar clock rule and the geodesy engine as the position input's grid.

#include "position/geodesy_engine.h"
#include "position/position_stream.h"
#include "position/sonar_clock.h"
#include "tools/nav-sim/nav_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace kestrova;
using namespace kestrova::position;

namespace {

class FakePort : public SonarClockPort {
  public:
    bool connected = true;
    bool sendOk = true;
    std::vector<std::string> lines;
    bool commandChannelConnected() const override { return connected; }
    bool sendClockCommand(std::string_view line) override {
        if (!sendOk) return false;
        lines.emplace_back(line);
        return true;
    }
};

PositionFix dated(double clockTime) {
    PositionFix f;
    f.kind = kFixTime;
    f.year = 2024;
    f.month = 6;
    f.day = 1;
    f.hour = 20;
    f.minute = 0;
    f.second = 1;
    f.microsecond = 250000;
    f.clockTime = clockTime;
    return f;
}

constexpr double kT = 1717272001.0; // 2024-06-01 20:00:01 on the local scale

} // namespace

// Guards: a wrong command line, and the start sequence's request lost when the
// command channel was down at the first dated message.
TEST(SonarClock, RequestedSyncWaitsForTheChannelThenSendsOnce) {
    SonarClockRule rule;
    FakePort port;
    rule.requestSync();
    port.connected = false;
    EXPECT_EQ(rule.afterMessage(dated(kT), &port), SonarClockRule::Outcome::NotSent);
    EXPECT_TRUE(rule.syncWanted());
    port.connected = true;
    port.sendOk = false;
    EXPECT_EQ(rule.afterMessage(dated(kT), &port), SonarClockRule::Outcome::NotSent);
    EXPECT_TRUE(rule.syncWanted());
    port.sendOk = true;
    EXPECT_EQ(rule.afterMessage(dated(kT), &port), SonarClockRule::Outcome::Sent);
    ASSERT_EQ(port.lines.size(), 1u);
    EXPECT_EQ(port.lines[0], "$cmd,set,rtctime,2024,06,01,20,00,01,250000*ff\r\n");
    EXPECT_FALSE(rule.syncWanted());
    // Ping time unknown (0): no drift rule, nothing more is sent.
    EXPECT_EQ(rule.afterMessage(dated(kT), &port), SonarClockRule::Outcome::NotNeeded);
    EXPECT_EQ(port.lines.size(), 1u);
}

// Guards: the drift threshold off by one second either way, or the sign of
// the difference mattering.
TEST(SonarClock, SixtySecondsOrMoreOfDriftSetsTheClock) {
    SonarClockRule rule;
    FakePort port;
    rule.setLatestPingTime(kT - 59.0);
    EXPECT_EQ(rule.afterMessage(dated(kT), &port), SonarClockRule::Outcome::NotNeeded);
    rule.setLatestPingTime(kT + 59.0);
    EXPECT_EQ(rule.afterMessage(dated(kT), &port), SonarClockRule::Outcome::NotNeeded);
    rule.setLatestPingTime(kT - 61.0);
    EXPECT_EQ(rule.afterMessage(dated(kT), &port), SonarClockRule::Outcome::Sent);
    rule.setLatestPingTime(kT + 60.0);
    EXPECT_EQ(rule.afterMessage(dated(kT), &port), SonarClockRule::Outcome::Sent);
    EXPECT_EQ(port.lines.size(), 2u);
    // A record without a clock time never counts as drift.
    rule.setLatestPingTime(kT - 600.0);
    EXPECT_EQ(rule.afterMessage(dated(0.0), &port), SonarClockRule::Outcome::NotNeeded);
    // Nor can a record whose date was used already (cleared to 0).
    PositionFix used = dated(kT);
    used.year = used.month = used.day = 0;
    EXPECT_EQ(rule.afterMessage(used, &port), SonarClockRule::Outcome::NoDate);
    // A date that is no calendar date never reaches the sonar.
    PositionFix bad = dated(kT);
    bad.month = 13;
    EXPECT_EQ(rule.afterMessage(bad, &port), SonarClockRule::Outcome::NoDate);
    EXPECT_EQ(port.lines.size(), 2u);
}

// Guards: a stopped sonar's last ping counting as drift, which sent the clock
// line after every fix once the sonar had stood still for a minute.
TEST(SonarClock, OnlyPingsThatAreArrivingCountAsDrift) {
    std::uint32_t tick = 5000;
    SonarClockRule rule([&tick] { return tick; });
    FakePort port;
    rule.setLatestPingTime(kT); // the last ping; then the sonar is stopped
    for (int second = 1; second <= 120; ++second) {
        tick += 1000;
        EXPECT_EQ(rule.afterMessage(dated(kT + second), &port), SonarClockRule::Outcome::NotNeeded)
            << second;
    }
    EXPECT_TRUE(port.lines.empty());
    // Pinging again with its clock 61 s behind: set once.
    rule.setLatestPingTime(kT + 120.0 - 61.0);
    tick += 500;
    EXPECT_EQ(rule.afterMessage(dated(kT + 120.0), &port), SonarClockRule::Outcome::Sent);
    EXPECT_EQ(port.lines.size(), 1u);
}

// Guards: a GGA dated by ZDA setting the clock (its date is the ZDA's, used
// once already), and a GGA without ZDA unable to set it although the PC dates it.
TEST(SonarClock, GgaCanSetTheClockOnlyWithoutZda) {
    PositionStream s(DataType::GgaZda, 0);
    s.decoder().setUtcClock([] { return 1717243200.0; }); // 2024-06-01 12:00:00 UTC
    SonarClockRule rule;
    FakePort port;
    navsim::GgaData g;
    g.utcSecondsOfDay = 43200.0;
    g.latitude = 24.4;
    g.longitude = 118.14;
    auto feed = [&](const std::string& text, std::uint32_t tick) {
        s.appendBytes(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
        return s.step(tick);
    };
    rule.requestSync();
    StepResult zda = feed(navsim::zdaSentence(1717243200.0), 0);
    ASSERT_EQ(zda.kind, StepResult::Kind::Time);
    StepResult r = feed(navsim::ggaSentence(g), 100);
    ASSERT_EQ(r.kind, StepResult::Kind::Position);
    EXPECT_EQ(rule.afterMessage(r.record, &port), SonarClockRule::Outcome::NoDate);
    // 3000 ms after the last ZDA the flag drops; the message after that is PC-dated.
    g.utcSecondsOfDay += 3.2;
    r = feed(navsim::ggaSentence(g), 3200);
    EXPECT_EQ(rule.afterMessage(r.record, &port), SonarClockRule::Outcome::NoDate);
    g.utcSecondsOfDay += 0.1;
    r = feed(navsim::ggaSentence(g), 3300);
    ASSERT_EQ(r.kind, StepResult::Kind::Position);
    EXPECT_EQ(rule.afterMessage(r.record, &port), SonarClockRule::Outcome::Sent);
    ASSERT_EQ(port.lines.size(), 1u);
    // 12:00:03.3 UTC is 20:00:03 local, 300000 microseconds.
    EXPECT_EQ(port.lines[0], "$cmd,set,rtctime,2024,06,01,20,00,03,300000*ff\r\n");
}

// Guards: the position input converting with anything but the project's engine
// record, and a new record not reaching the conversions.
TEST(GeodesyEngine, GridOfAFixFollowsTheRecordHandedToTheEngine) {
    GeodesyEngine engine;
    ASSERT_TRUE(engine.valid());
    // WGS84, Gauss-Krueger, central meridian 117 E: the published example point.
    GridPoint p = engine.forward(30.0, 120.0, 0.0);
    ASSERT_TRUE(p.success);
    EXPECT_NEAR(p.x, 3323905.467, 0.001);
    EXPECT_NEAR(p.y, 789525.463, 0.001);

    PositionStream s(DataType::GgaZda, 0);
    s.decoder().setConverter(&engine);
    navsim::GgaData g;
    g.utcSecondsOfDay = 43200.0;
    g.latitude = 30.0;
    g.longitude = 120.0;
    const std::string text = navsim::ggaSentence(g);
    s.appendBytes(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()),
                                                text.size()));
    StepResult r = s.step(0);
    ASSERT_EQ(r.kind, StepResult::Kind::Position);
    EXPECT_TRUE(r.gridValid);
    EXPECT_NEAR(r.record.north, 3323905.467, 0.001);
    EXPECT_NEAR(r.record.east, 789525.463, 0.001);

    // Central meridian 120 E (packed text): the point lies on it, so its easting
    // is the false easting and its northing the WGS84 meridian arc to 30 degrees.
    _DefGeodetsyParameterSetting record = defaultGeodeticRecord();
    std::memset(record.CentralMeridian, 0, sizeof record.CentralMeridian);
    std::memcpy(record.CentralMeridian, "120000000000E", 13); // DDD MM SS sssss H
    engine.setRecord(record);
    p = engine.forward(30.0, 120.0, 0.0);
    EXPECT_NEAR(p.y, 500000.0, 0.001);
    EXPECT_NEAR(p.x, 3320113.398, 0.001);
    // Latitudes beyond the poles are no position.
    EXPECT_FALSE(engine.forward(91.0, 120.0, 0.0).success);
}
