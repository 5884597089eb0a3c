// The navigation thread and its channels through real parts: kestrova-nav-sim
// over loopback UDP and TCP in both roles, a real pty for the serial line, the
// connection thread of the sonar acquisition for the TCP client, and the
// frame assembler for position blocks read back from a recording.

#include "position/tests/nav_harness.h"

#include "acquisition/frame_assembler.h"
#include "acquisition/sonar_acquisition.h"
#include "platform/socket.h"
#include "platform/udp_socket.h"
#include "tools/nav-sim/nav_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace kestrova;
using namespace kestrova::position;
using namespace kestrova::position::testing;

namespace {

constexpr double kStartUtc = 1717243200.0; // 2024-06-01 12:00:00 UTC
constexpr double kLocalStart = kStartUtc + 8 * 3600.0;

// Every accepted message reached the recording as a whole position block.
void expectRecorded(NavHarness& h, std::size_t atLeast) {
    h.nav.stop_navigation_thread();
    const auto frames = h.recorder.frames();
    EXPECT_EQ(frames.size(), h.nav.messagesAccepted());
    EXPECT_GE(frames.size(), atLeast);
    for (const auto& f : frames) {
        auto fix = decodeNavBlock(f);
        ASSERT_TRUE(fix.has_value());
        EXPECT_EQ(fix->kind, kFixPosition);
        EXPECT_TRUE(std::isfinite(fix->east) && fix->east != 0.0);
    }
}

std::vector<FixEvent> collectEvents(NavHarness& h, std::size_t want) {
    std::vector<FixEvent> all;
    h.waitFor([&] {
        auto more = h.nav.takeFixEvents();
        all.insert(all.end(), more.begin(), more.end());
        return all.size() >= want;
    });
    return all;
}

} // namespace

// Guards: a receiver that sends GGA alone, and strips the CR, giving no fix at
// all (every sentence dropped) or undated ones: no speed, no course, no track
// point, no clock line; the map of such a vessel stayed empty.
TEST(NavigationUdp, GgaOnlyWithBareLfGivesSpeedCourseAndTrack) {
    NavHarness h; // the real PC clock: the simulator starts at its time
    h.nav.setSettings(networkSettings(kNetUdp, 0, 0));
    h.nav.apply_position_settings();
    ASSERT_TRUE(h.nav.udpOpen());
    h.nav.clockRule().requestSync();
    h.nav.start_navigation_thread();
    const double startUtc = static_cast<double>(std::time(nullptr));
    SimProcess sim("--udp 127.0.0.1:" + std::to_string(h.nav.boundPort()) +
                   " --type gga --no-zda --line-end lf --rate 5 --seconds 3.1 --seed 3"
                   " --jitter 0 --speed 4.5");
    std::vector<FixEvent> events = collectEvents(h, 14);
    ASSERT_GE(events.size(), 14u);
    EXPECT_EQ(sim.wait(), 0);

    // Each fix dated from the PC's UTC clock, then zone 8.
    for (const FixEvent& e : events) {
        EXPECT_GE(e.fixTime, startUtc - 1.0 + 8 * 3600);
        EXPECT_LE(e.fixTime, static_cast<double>(std::time(nullptr)) + 8 * 3600);
        EXPECT_NE(e.year, 0);
    }
    // 4.5 knots on the first line, due north turned by the grid convergence
    // (1.14 degrees east of the central meridian at 24.4 N) to 359.529.
    for (std::size_t i = 5; i < events.size(); ++i) {
        EXPECT_NEAR(events[i].speed, 4.5, 0.05) << i;
        EXPECT_NEAR(events[i].course, 360.0 - 1.14 * std::sin(24.4 * M_PI / 180.0), 0.01) << i;
    }
    // One track point a second, moving with the vessel.
    const auto track = h.nav.takeTrackPoints();
    const double span = events.back().fixTime - events.front().fixTime;
    ASSERT_GE(track.size(), static_cast<std::size_t>(span));
    EXPECT_LE(track.size(), static_cast<std::size_t>(span) + 2);
    EXPECT_NEAR(track.back().north - track.front().north,
                4.5 / 1.944 * (static_cast<double>(track.size()) - 1.0), 1.0);
    EXPECT_NEAR(track.back().speed, 4.5, 0.05);
    // And its date set the sonar's clock once.
    EXPECT_EQ(h.clock.lines().size(), 1u);
}

// Guards: at the bound each fix erased the front of a 65536-entry vector under
// the lock, megabytes of copying per fix while the navigation view did not drain.
TEST(NavigationQueues, PastTheBoundTheOldestGoAtNoExtraCost) {
    NavHarness h;
    h.nav.setWindows(platform::kNoWindow, platform::kNoWindow);
    h.nav.enterPlaybackMode();
    PositionFix f;
    f.kind = kFixPosition;
    f.quality = 4;
    f.east = 514000.0;
    auto replay = [&](int i) {
        f.fixTime = kLocalStart + i;
        f.north = 2700000.0 + i;
        const PositionFixBytes bytes = encode(f);
        h.nav.replay(acquisition::FrameType::Position,
                     std::span<const std::uint8_t, acquisition::kPositionRecordSize>(bytes));
    };
    constexpr int kBound = static_cast<int>(NavigationInput::kMaxQueued);
    constexpr int kChunk = 512;
    constexpr int kPast = 8 * kChunk;
    using Clock = std::chrono::steady_clock;
    auto t0 = Clock::now();
    for (int i = 0; i < kBound; ++i)
        replay(i);
    const auto filling = Clock::now() - t0;
    // Past the bound a fix costs about what it cost before: the fastest of
    // eight chunks (so a busy machine's pause does not count) stays within
    // 8 times its share (1/128) of the filling.
    auto fastest = Clock::duration::max();
    for (int i = kBound; i < kBound + kPast; i += kChunk) {
        t0 = Clock::now();
        for (int j = i; j < i + kChunk; ++j)
            replay(j);
        fastest = std::min(fastest, Clock::now() - t0);
    }
    EXPECT_LT(fastest * 16, filling);

    const auto events = h.nav.drainFixEvents();
    ASSERT_EQ(events.size(), NavigationInput::kMaxQueued);
    EXPECT_DOUBLE_EQ(events.front().fixTime, kLocalStart + kPast);
    EXPECT_DOUBLE_EQ(events.back().fixTime, kLocalStart + kBound + kPast - 1);
    const auto track = h.nav.drainTrackPoints();
    ASSERT_EQ(track.size(), NavigationInput::kMaxQueued);
    EXPECT_DOUBLE_EQ(track.front().north, 2700000.0 + kPast);
    EXPECT_TRUE(h.nav.drainFixEvents().empty());
}

// Guards: fixes from the UDP channel never reaching the pipeline, grid
// coordinates missing, track points at every fix instead of once a second,
// position blocks not reaching the recording, the clock not set after the
// start sequence (or set twice).
TEST(NavigationUdp, SimulatorFixesReachPipelineRecordingAndClock) {
    NavHarness h;
    h.nav.setUtcClock([] { return kStartUtc; }); // the PC clock agrees with the receiver's
    h.nav.setSettings(networkSettings(kNetUdp, 0, 0));
    h.nav.apply_position_settings();
    ASSERT_TRUE(h.nav.udpOpen());
    const std::uint16_t port = h.nav.boundPort();
    ASSERT_NE(port, 0);
    EXPECT_EQ(h.count(nav_message::kSettingsApplied), 1u);
    h.nav.clockRule().requestSync();
    h.nav.start_navigation_thread();

    SimProcess sim("--udp 127.0.0.1:" + std::to_string(port) +
                   " --type gga --rate 10 --seconds 2.2 --seed 3 --jitter 0 --speed 4.5"
                   " --start-time 1717243200");
    ASSERT_EQ(sim.port(), port) << sim.firstLine();
    std::vector<FixEvent> events = collectEvents(h, 18);
    ASSERT_GE(events.size(), 18u);
    EXPECT_EQ(sim.wait(), 0);

    // Until the first ZDA the PC clock dates a GGA; from then on ZDA does:
    // 12:00 UTC is 20:00 local (zone 8) on 1 June 2024.
    const std::size_t dated = 0;
    ASSERT_GT(events[dated].fixTime, 0.0);
    EXPECT_GE(events[dated].fixTime, kLocalStart);
    EXPECT_LT(events[dated].fixTime, kLocalStart + 3.0);
    EXPECT_EQ(events[dated].year, 2024);
    EXPECT_EQ(events[dated].month, 6);
    EXPECT_EQ(events[dated].day, 1);
    // 4.5 knots north on the first line: 0.2315 m between fixes 0.1 s apart.
    // Each step carries the 0.0001' (0.185 m) rounding of the sentence's
    // latitude; ten steps together carry it only once.
    for (std::size_t i = dated + 1; i < events.size(); ++i) {
        EXPECT_TRUE(std::isfinite(events[i].east) && std::isfinite(events[i].north));
        EXPECT_NEAR(events[i].distance, 4.5 / 1.944 * 0.1, 0.02) << i;
    }
    if (events.size() >= dated + 11) {
        double ten = 0.0;
        for (std::size_t i = dated + 1; i <= dated + 10; ++i)
            ten += events[i].distance;
        EXPECT_NEAR(ten, 4.5 / 1.944, 0.01);
    }
    for (std::size_t i = 12; i < events.size(); ++i) {
        EXPECT_NEAR(events[i].speed, 4.5, 0.02) << i;
        // Due north is not grid north 1.14 degrees east of the central meridian:
        // the convergence 1.14 * sin(24.4) = 0.471 degrees turns it to 359.529.
        EXPECT_NEAR(events[i].course, 360.0 - 1.14 * std::sin(24.4 * M_PI / 180.0), 0.002);
    }
    // One track point per second of fixes, not one per fix.
    const auto track = h.nav.takeTrackPoints();
    const double span = events.back().fixTime - events[dated].fixTime;
    EXPECT_GE(track.size(), static_cast<std::size_t>(span));
    EXPECT_LE(track.size(), static_cast<std::size_t>(span) + 2);
    EXPECT_GE(h.count(nav_message::kFixesReady), events.size());
    EXPECT_EQ(h.nav.gpsState(), gps_state::kRtkFixed); // the simulator's quality 4

    // Every accepted message went to the recording as a position (6) or time (7) block.
    h.nav.stop_navigation_thread();
    const auto frames = h.recorder.frames();
    EXPECT_EQ(frames.size(), h.nav.messagesAccepted());
    int positions = 0, times = 0;
    for (const auto& f : frames) {
        ASSERT_EQ(f.size(), nav_block::kSize);
        auto fix = decodeNavBlock(f);
        ASSERT_TRUE(fix.has_value());
        if (f[10] == nav_block::kTypePosition) {
            ++positions;
            EXPECT_EQ(fix->kind, kFixPosition);
        } else {
            ++times;
            EXPECT_EQ(f[10], nav_block::kTypeTime);
        }
    }
    EXPECT_GE(positions, 18);
    EXPECT_GE(times, 2); // ZDA once a second
    EXPECT_EQ(decodeNavBlock(frames.back())->fixTime, h.nav.recordingSnapshot().fixTime);

    // The clock: once, from the first dated message (a ZDA: 20:00:00 local).
    const auto lines = h.clock.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("$cmd,set,rtctime,2024,06,01,20,00,0", 0), 0u) << lines[0];
    EXPECT_EQ(lines[0].size(), std::strlen("$cmd,set,rtctime,2024,06,01,20,00,00,000000*ff\r\n"));
    EXPECT_FALSE(h.nav.clockRule().syncWanted());
}

// Guards: a second input bound to a port in use reporting success.
TEST(NavigationUdp, BindFailureIsShownAndTheChannelStaysClosed) {
    NavHarness a, b;
    a.nav.setSettings(networkSettings(kNetUdp, 0, 0));
    a.nav.apply_position_settings();
    ASSERT_TRUE(a.nav.udpOpen());
    const std::uint16_t port = a.nav.boundPort();
    b.nav.setSettings(networkSettings(kNetUdp, port, 0));
    b.nav.apply_position_settings();
    EXPECT_FALSE(b.nav.udpOpen());
    EXPECT_TRUE(b.messageShown("UDP bind " + std::to_string(port) + " Port failure"));
}

// Guards: a server that keeps reading a stale client while a new one sends,
// and the client flag surviving the peer's close.
TEST(NavigationTcpServer, SecondClientDropsTheFirst) {
    NavHarness h;
    h.nav.setSettings(networkSettings(kNetTcpServer, 0, 1));
    h.nav.apply_position_settings();
    const std::uint16_t port = h.nav.boundPort();
    ASSERT_NE(port, 0);
    h.nav.start_navigation_thread();

    platform::TcpSocket first;
    ASSERT_TRUE(first.open());
    ASSERT_EQ(first.startConnect({0x7F000001, port}), platform::TcpSocket::ConnectStart::Connected);
    ASSERT_TRUE(h.waitFor([&] { return h.nav.serverHasClient(); }));

    {
        SimProcess sim("--tcp-client 127.0.0.1:" + std::to_string(port) +
                       " --type ins --rate 10 --seconds 1.2 --jitter 0");
        ASSERT_EQ(sim.port(), port) << "simulator not started: " << sim.firstLine();
        ASSERT_TRUE(h.waitFor([&] { return h.nav.messagesAccepted() >= 5; }));
        // The first client was shut down when the simulator came.
        platform::Readiness ready;
        ASSERT_EQ(platform::waitSocket(first, true, false, 2000000, ready),
                  platform::WaitStatus::Ready);
        std::uint8_t byte = 0;
        EXPECT_EQ(first.receive(std::span<std::uint8_t>(&byte, 1)).status,
                  platform::IoStatus::Closed);
        EXPECT_EQ(sim.wait(), 0);
    }
    // INS frames are quality 1: stand-alone (the alarm level 1 asks no better).
    EXPECT_EQ(h.nav.gpsState(), gps_state::kAutonomous);
    EXPECT_TRUE(h.waitFor([&] { return !h.nav.serverHasClient(); }));
    const PositionFix last = h.nav.displaySnapshot();
    EXPECT_NEAR(last.latitude, 24.4, 0.01);
    EXPECT_NEAR(last.longitude, 118.14, 0.01);
    EXPECT_TRUE(std::isfinite(last.east) && last.east != 0.0);
    expectRecorded(h, 5);
}

// Guards: the status showing the last good fix for ever after the positioning
// client went away (no reads, so no time-out check, used to follow).
TEST(NavigationTcpServer, LostClientTimesOutLikeSilence) {
    NavHarness h(true);
    h.alarm.gpsAlertOn = true;
    h.nav.setSettings(networkSettings(kNetTcpServer, 0, 1));
    h.nav.apply_position_settings();
    h.nav.start_navigation_thread();
    {
        platform::TcpSocket client;
        ASSERT_TRUE(client.open());
        ASSERT_EQ(client.startConnect({0x7F000001, h.nav.boundPort()}),
                  platform::TcpSocket::ConnectStart::Connected);
        InsFrame f;
        f.year = 2024;
        f.month = 6;
        f.day = 1;
        f.hour = 12;
        f.latitude = 24.4;
        f.longitude = 118.14;
        const InsFrameBytes bytes = encode(f);
        ASSERT_TRUE(h.waitFor([&] { return h.nav.serverHasClient(); }));
        ASSERT_EQ(client.send(std::span<const std::uint8_t>(bytes)).bytes, bytes.size());
        ASSERT_TRUE(h.waitFor([&] { return h.nav.messagesAccepted() == 1; }));
        EXPECT_EQ(h.nav.gpsState(), gps_state::kAutonomous);
    }
    ASSERT_TRUE(h.waitFor([&] { return !h.nav.serverHasClient(); }));
    h.tick = 1000 + 3001;
    EXPECT_TRUE(h.waitFor([&] { return h.nav.gpsState() == gps_state::kNoBytesAlarm; }, 3000))
        << h.nav.gpsState();
}

// Guards: the client never connecting without an apply, and a lost peer not
// clearing the connected flag (so the connection thread would never retry).
TEST(NavigationTcpClient, TheConnectionThreadConnectsOnRequest) {
    NavHarness h;
    h.nav.setUtcClock([] { return kStartUtc; });
    acquisition::SonarAcquisition acq(h.queue);
    acq.setPositionConnector(&h.nav);
    h.nav.setConnectRequestEvent(&acq.connectionEvents().connectPosition);
    ASSERT_TRUE(acq.startThreads());

    SimProcess sim("--tcp-server 127.0.0.1:0 --type custom --rate 10 --seconds 1.5 --jitter 0");
    ASSERT_GT(sim.port(), 0) << sim.firstLine();
    // No apply: the navigation thread asks, the connection thread connects.
    h.nav.setSettings(networkSettings(kNetTcpClient, static_cast<std::uint16_t>(sim.port()), 2));
    h.nav.apply_position_settings(); // sets the data type; connects at once too
    h.nav.start_navigation_thread();
    ASSERT_TRUE(h.waitFor([&] { return h.nav.messagesAccepted() >= 5; }));
    EXPECT_TRUE(h.nav.clientConnected());
    const PositionFix fix = h.nav.displaySnapshot();
    EXPECT_EQ(fix.quality, 1);
    EXPECT_EQ(fix.satellites, 7);
    EXPECT_EQ(sim.wait(), 0);
    EXPECT_TRUE(h.waitFor([&] { return !h.nav.clientConnected(); }));
    EXPECT_TRUE(h.nav.connectWanted());

    expectRecorded(h, 5);
    acq.shutDown();
}

// Guards: the serial line from the simulator not reaching the pipeline, and a
// hung-up line neither closing the port nor telling the operator.
TEST(NavigationSerial, PtyFromTheSimulatorThenItsHangUp) {
    NavHarness h;
    app::InsSettings s;
    s.modeSelect = kModeSerial;
    s.dataType = 0;
    h.nav.setSettings(s);
    h.nav.apply_position_settings();
    SimProcess sim("--pty --type gga --rate 10 --seconds 1.2 --jitter 0");
    ASSERT_EQ(sim.firstLine().rfind("pty ", 0), 0u) << "simulator not started: " << sim.firstLine();
    const std::string tty = sim.firstLine().substr(4);
    ASSERT_EQ(h.nav.open_or_close_serial(tty), SerialToggle::Opened);
    EXPECT_EQ(h.nav.gpsState(), gps_state::kNoDataAlarmOff);
    EXPECT_TRUE(h.messageShown("Serial port is opened successfully!"));
    EXPECT_EQ(h.params(nav_message::kSerialOpenedOrClosed), std::vector<std::intptr_t>{0});
    EXPECT_EQ(h.count(nav_message::kSerialOpened), 1u);
    h.nav.start_navigation_thread();
    ASSERT_TRUE(h.waitFor([&] { return h.nav.messagesAccepted() >= 6; }));
    EXPECT_EQ(sim.wait(), 0);
    ASSERT_TRUE(h.waitFor([&] { return !h.nav.serialOpen(); }));
    EXPECT_EQ(h.nav.gpsState(), gps_state::kSerialFailed);
    EXPECT_TRUE(h.messageShown("Error: failed to read data from Serial port!"));
    EXPECT_EQ(h.params(nav_message::kSerialOpenedOrClosed), (std::vector<std::intptr_t>{0, 1}));
    h.nav.stop_navigation_thread();
    EXPECT_EQ(h.recorder.frames().size(), h.nav.messagesAccepted());
}

// Guards: a baud index beyond the list opening at some other speed, and the
// button failing to close an open port.
TEST(NavigationSerial, OutOfRangeBaudIndexOpensAt115200AndIsStoredAsZero) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    NavHarness h;
    app::InsSettings s;
    s.modeSelect = kModeSerial;
    s.baudRate = 11;
    h.nav.setSettings(s);
    ASSERT_EQ(h.nav.open_or_close_serial(name), SerialToggle::Opened);
    EXPECT_EQ(h.nav.settings().baudRate, 0);
    EXPECT_EQ(platform::currentBaudRate(slave), 115200);
    EXPECT_EQ(h.nav.open_or_close_serial(name), SerialToggle::Closed);
    EXPECT_TRUE(h.messageShown("Serial port off!"));
    EXPECT_FALSE(h.nav.serialOpen());
    EXPECT_EQ(h.nav.open_or_close_serial(""), SerialToggle::NoPort);
    EXPECT_EQ(h.nav.open_or_close_serial("/dev/kestrova-no-such-port"), SerialToggle::Failed);
    close(master);
    close(slave);
}

namespace {

std::string gga(int quality, double seconds = 43200.0) {
    navsim::GgaData d;
    d.utcSecondsOfDay = seconds;
    d.latitude = 24.4;
    d.longitude = 118.14;
    d.quality = quality;
    return navsim::ggaSentence(d);
}

struct UdpSender {
    explicit UdpSender(std::uint16_t p) : port(p) { socket.open(); }
    void send(const std::string& text) {
        socket.sendTo(std::span<const std::uint8_t>(
                          reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                      {0x7F000001, port});
    }
    platform::UdpSocket socket;
    std::uint16_t port;
};

struct TimeoutCase {
    bool alarm;
    bool badData; // otherwise silence
    int expected;
};

class NavigationTimeout : public ::testing::TestWithParam<TimeoutCase> {};

} // namespace

// Guards: a silent or garbled positioning source leaving the last good state
// on the status display, the wrong code for the alarm setting, and the
// time-out firing at 3000 ms instead of after it.
TEST_P(NavigationTimeout, StateAfter3000msOfSilenceOrBadData) {
    const TimeoutCase c = GetParam();
    NavHarness h(true);
    h.alarm.gpsAlertOn = c.alarm;
    h.alarm.gpsAlertLevel = 1;
    h.nav.setSettings(networkSettings(kNetUdp, 0, 0));
    h.nav.apply_position_settings();
    UdpSender sender(h.nav.boundPort());
    h.nav.start_navigation_thread();

    sender.send(gga(4));
    ASSERT_TRUE(h.waitFor([&] { return h.nav.messagesAccepted() == 1; }));
    EXPECT_EQ(h.nav.gpsState(), gps_state::kRtkFixed);

    if (c.badData) {
        // A checksum broken in every sentence: bytes keep coming, nothing valid.
        std::string bad;
        for (int i = 0; i < 50; ++i) {
            std::string s = gga(4, 43201.0 + i);
            s[s.size() - 3] = s[s.size() - 3] == '0' ? '1' : '0';
            bad += s;
        }
        ASSERT_LE(bad.size(), NavigationInput::kUdpRead);
        const std::uint64_t before = h.nav.bytesReceived();
        sender.send(bad);
        ASSERT_TRUE(h.waitFor([&] { return h.nav.bytesReceived() >= before + bad.size(); }));
    }
    h.tick = 1000 + 3000; // exactly 3000 ms: not yet
    platform::sleepMs(20);
    EXPECT_EQ(h.nav.gpsState(), gps_state::kRtkFixed);
    h.tick = 1000 + 3001;
    EXPECT_TRUE(h.waitFor([&] { return h.nav.gpsState() == c.expected; }, 3000))
        << "state " << h.nav.gpsState();
    EXPECT_EQ(h.nav.messagesAccepted(), 1u);
}

INSTANTIATE_TEST_SUITE_P(AlarmOnOff, NavigationTimeout,
                         ::testing::Values(TimeoutCase{true, false, gps_state::kNoBytesAlarm},
                                           TimeoutCase{true, true, gps_state::kNoValidAlarm},
                                           TimeoutCase{false, false, gps_state::kNoDataAlarmOff},
                                           TimeoutCase{false, true, gps_state::kNoDataAlarmOff}));

// Guards: a reopened channel keeping the old port, and the state not showing
// that the channel starts over.
TEST(NavigationUdp, ChangedPortReopensTheChannel) {
    NavHarness h;
    h.nav.setSettings(networkSettings(kNetUdp, 0, 0));
    h.nav.apply_position_settings();
    // A port that is free now: bind, note it, release it.
    platform::UdpSocket spare;
    ASSERT_TRUE(spare.open() && spare.bind({0x7F000001, 0}));
    const std::uint16_t next = spare.localPort();
    spare.close();
    h.nav.setGpsState(gps_state::kRtkFixed);
    h.nav.setSettings(networkSettings(kNetUdp, next, 0));
    EXPECT_TRUE(h.nav.reopenPending());
    h.nav.apply_position_settings();
    EXPECT_EQ(h.nav.boundPort(), next);
    EXPECT_EQ(h.nav.gpsState(), gps_state::kNoDataAlarmOff);
    EXPECT_FALSE(h.nav.reopenPending());
}

// Guards: the time of the last ZDA not kept (or kept for every sentence), the
// 3 s limit taken at or before 3000 ms, and the waiting not restarted when
// the channel is applied again.
TEST(NavigationTimeMessages, LastZdaTimeAndTheThreeSecondLimit) {
    NavHarness h(true);
    h.nav.setSettings(networkSettings(kNetUdp, 0, 0));
    h.nav.apply_position_settings();
    UdpSender sender(h.nav.boundPort());
    h.nav.start_navigation_thread();
    EXPECT_FALSE(h.nav.lastTimeMessageTick().has_value());
    EXPECT_FALSE(h.nav.timeMessageMissing());
    h.tick = 1000 + 3001; // nothing at all since the channel was applied
    EXPECT_TRUE(h.nav.timeMessageMissing());

    h.tick = 5000;
    sender.send(navsim::zdaSentence(kStartUtc) + gga(4));
    ASSERT_TRUE(h.waitFor([&] { return h.nav.messagesAccepted() == 2; }));
    ASSERT_TRUE(h.nav.lastTimeMessageTick().has_value());
    EXPECT_EQ(*h.nav.lastTimeMessageTick(), 5000u);
    EXPECT_FALSE(h.nav.timeMessageMissing());

    // Positions alone do not count as time messages.
    h.tick = 7000;
    sender.send(gga(4, 43201.0));
    ASSERT_TRUE(h.waitFor([&] { return h.nav.messagesAccepted() == 3; }));
    EXPECT_EQ(*h.nav.lastTimeMessageTick(), 5000u);
    h.tick = 8000;
    EXPECT_FALSE(h.nav.timeMessageMissing()); // exactly 3000 ms: not yet
    h.tick = 8001;
    EXPECT_TRUE(h.nav.timeMessageMissing());

    // A new ZDA ends it; so does applying the channel again, for 3 s.
    sender.send(navsim::zdaSentence(kStartUtc + 2));
    ASSERT_TRUE(h.waitFor([&] { return h.nav.messagesAccepted() == 4; }));
    EXPECT_EQ(*h.nav.lastTimeMessageTick(), 8001u);
    EXPECT_FALSE(h.nav.timeMessageMissing());
    h.tick = 20000;
    EXPECT_TRUE(h.nav.timeMessageMissing());
    h.nav.apply_position_settings();
    EXPECT_FALSE(h.nav.timeMessageMissing());
    h.tick = 23001;
    EXPECT_TRUE(h.nav.timeMessageMissing());

    // Binary frames bring their own time, and no device means nothing to wait for.
    h.nav.setSettings(networkSettings(kNetUdp, h.nav.boundPort(), 1));
    EXPECT_FALSE(h.nav.timeMessageMissing());
    app::InsSettings none;
    none.modeSelect = kModeNoDevice;
    h.nav.setSettings(none);
    EXPECT_FALSE(h.nav.timeMessageMissing());
}

namespace {

// What the playback thread's assembler calls, handed to the position input.
class ReplayingSink : public acquisition::FrameSink {
  public:
    explicit ReplayingSink(acquisition::PositionReplay& r) : replay_(r) {}
    bool handPing(const acquisition::PingRecord&, float, std::uint8_t) override { return false; }
    void replayPosition(
        acquisition::FrameType type,
        std::span<const std::uint8_t, acquisition::kPositionRecordSize> record) override {
        replay_.replay(type, record);
    }

  private:
    acquisition::PositionReplay& replay_;
};

} // namespace

// Guards: position blocks of a recording not re-entering the pipeline in
// playback, replayed fixes recorded again, or the sonar clock set from old data.
TEST(NavigationPlayback, RecordedPositionBlocksReenterThePipeline) {
    NavHarness h;
    h.nav.enterPlaybackMode();
    h.nav.clockRule().requestSync();
    acquisition::SonarStatus status;
    status.playbackMode = true;
    ReplayingSink sink(h.nav);
    acquisition::FrameAssembler assembler(sink, status);

    // Three fixes one second apart, 2 m north each: 3.888 knots due north.
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 3; ++i) {
        PositionFix f;
        f.kind = kFixPosition;
        f.year = 2024;
        f.month = 6;
        f.day = 1;
        f.hour = 20;
        f.second = i;
        f.fixTime = kLocalStart + i;
        f.clockTime = f.fixTime;
        f.latitude = 24.4;
        f.longitude = 118.14;
        f.north = 2700000.0 + 2.0 * i;
        f.east = 514000.0;
        f.quality = 4;
        auto block = encodeNavBlock(f);
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    std::memcpy(assembler.buffer(), bytes.data(), bytes.size());
    std::uint32_t fill = static_cast<std::uint32_t>(bytes.size());
    assembler.feed(fill);

    const auto events = h.nav.takeFixEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].year, 2024);
    EXPECT_EQ(events[2].month, 6);
    EXPECT_EQ(events[2].day, 1);
    EXPECT_EQ(events[2].hour, 20);
    EXPECT_DOUBLE_EQ(events[2].distance, 2.0);
    EXPECT_NEAR(events[2].speed, 2.0 * 1.944, 1e-9);
    EXPECT_NEAR(events[2].course, 0.0, 1e-9);
    EXPECT_EQ(h.nav.takeTrackPoints().size(), 3u);
    EXPECT_EQ(h.nav.gpsState(), gps_state::kRtkFixed);
    EXPECT_TRUE(h.recorder.frames().empty());
    EXPECT_TRUE(h.clock.lines().empty());
}
