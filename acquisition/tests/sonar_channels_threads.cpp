// The sonar channels and their threads against real peers over loopback: the
// simulator for the streams, small in-test servers where the exact bytes matter.

#include "acquisition/sonar_acquisition.h"
#include "acquisition/sonar_messages.h"
#include "acquisition/tests/frame_builder.h"
#include "platform/clock.h"
#include "tools/sonar-sim/sim_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>

namespace kestrova::acquisition::testing {
namespace {

using platform::sleepMs;

// Stands in for the two waterfall views and the main window.
class Views {
  public:
    Views(platform::MessageQueue& q, SonarAcquisition& acq)
        : acq_(acq), copy_(std::make_unique<PingBatchData>()) {
        acq.windows().hfView = q.registerWindow([this](const platform::WindowMessage& m) {
            ++messages[m.id];
            take(Frequency::HF);
        });
        acq.windows().lfView = q.registerWindow([this](const platform::WindowMessage& m) {
            ++messages[m.id];
            take(Frequency::LF);
        });
        acq.windows().mainFrame =
            q.registerWindow([this](const platform::WindowMessage& m) { ++messages[m.id]; });
    }
    void take(Frequency f) {
        acq_.handOff().drain(f, *copy_);
        for (std::uint32_t i = 0; i < copy_->pingCount; ++i) {
            pings[index(f)].push_back(copy_->header(i)->pingNumber);
            changed[index(f)].push_back(copy_->settingsChanged[i]);
        }
    }
    std::size_t count(Frequency f) const { return pings[index(f)].size(); }

    std::vector<std::uint32_t> pings[2];
    std::vector<std::uint8_t> changed[2];
    std::map<std::uint32_t, int> messages;

  private:
    SonarAcquisition& acq_;
    std::unique_ptr<PingBatchData> copy_;
};

class SonarChannels : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start({"--autorun", "--speed", "4", "--samples", "300"}));
    }

    void make(SonarNetSettings net = {}) {
        net.commandPort = net.commandPort == 5001 ? sim.commandPort : net.commandPort;
        net.dataPort = net.dataPort == 5002 ? sim.dataPort : net.dataPort;
        acq = std::make_unique<SonarAcquisition>(queue, net);
        views = std::make_unique<Views>(queue, *acq);
    }

    // Runs the interface loop (messages, heartbeat every `heartbeatMs`) until
    // `done` holds or `timeoutMs` passes.
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs, int heartbeatMs = 100) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        auto nextBeat = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() < end) {
            if (heartbeatMs > 0 && std::chrono::steady_clock::now() >= nextBeat) {
                acq->heartbeat(SonarChannelId::Command);
                acq->heartbeat(SonarChannelId::Data);
                nextBeat += std::chrono::milliseconds(heartbeatMs);
            }
            queue.waitAndDrain(10);
            if (done()) return true;
        }
        return done();
    }

    void startAndConnect() {
        acq->status().sonarRunning = true;
        ASSERT_TRUE(acq->startThreads());
        acq->requestConnect(SonarChannelId::Command);
        acq->requestConnect(SonarChannelId::Data);
    }

    void TearDown() override {
        if (acq) acq->shutDown();
        queue.drain();
    }

    sim::SimProcess sim;
    platform::MessageQueue queue;
    std::unique_ptr<SonarAcquisition> acq;
    std::unique_ptr<Views> views;
};

TEST_F(SonarChannels, LivePingsReachTheViewsThroughTheBatches) {
    make();
    startAndConnect();
    ASSERT_TRUE(pumpUntil(
        [&] { return views->count(Frequency::HF) >= 15 && views->count(Frequency::LF) >= 15; },
        8000));
    EXPECT_EQ(acq->status().connectionState, connection_state::kConnected);
    EXPECT_EQ(acq->status().dataState, data_state::kFramesArriving);
    EXPECT_TRUE(acq->status().bothConnected);
    for (int f = 0; f < 2; ++f) {
        const auto& p = views->pings[f];
        for (std::size_t i = 1; i < p.size(); ++i)
            ASSERT_EQ(p[i], p[i - 1] + 1) << "frequency " << f;
        EXPECT_EQ(views->changed[f][0], 1); // first ping since start
        EXPECT_EQ(views->changed[f][1], 0);
    }
    EXPECT_GT(views->messages[WM_PING_HF], 0);
    EXPECT_EQ(views->messages[WM_PING_PARAM_HF], views->messages[WM_PING_HF]);
    EXPECT_TRUE(acq->snapshots().attitude().has_value());
    // The towfish sensors reached the main window's read-outs (1130), throttled.
    EXPECT_GT(views->messages[WM_SENSOR_READOUTS], 0);
    EXPECT_LT(views->messages[WM_SENSOR_READOUTS], views->messages[WM_PING_HF] + 5);
    EXPECT_TRUE(acq->snapshots().ping(Frequency::LF).valid);
}

// With the sonar stopped, data-channel bytes are read and thrown away.
TEST_F(SonarChannels, StoppedSonarDiscardsTheStream) {
    make();
    ASSERT_TRUE(acq->startThreads());
    acq->requestConnect(SonarChannelId::Data);
    ASSERT_TRUE(pumpUntil([&] { return acq->counters().discardedBytes > 20000; }, 8000, 0));
    EXPECT_EQ(views->count(Frequency::HF), 0u);
    EXPECT_EQ(acq->status().dataState, data_state::kNotPinging);
    EXPECT_EQ(acq->assembler().stats().frames, 0u);
}

// Pulling the cable: the heartbeat fails, the channel is marked lost, state 2,
// and its reconnection is requested.
TEST_F(SonarChannels, HeartbeatLossMarksTheChannelsLost) {
    make();
    startAndConnect();
    ASSERT_TRUE(pumpUntil(
        [&] { return acq->status().connectionState == connection_state::kConnected; }, 5000));
    sim.kill();
    ASSERT_TRUE(pumpUntil(
        [&] {
            return !acq->channel(SonarChannelId::Data).connected &&
                   !acq->channel(SonarChannelId::Command).connected;
        },
        5000));
    EXPECT_EQ(acq->status().connectionState, connection_state::kLost);
    EXPECT_EQ(acq->status().dataState, data_state::kNotPinging);
    EXPECT_TRUE(acq->status().dataLost);
    EXPECT_TRUE(acq->status().commandLost);
    EXPECT_FALSE(acq->status().bothConnected);
    EXPECT_TRUE(acq->connectionEvents().connectData.isSet());
    EXPECT_TRUE(acq->connectionEvents().connectCommand.isSet());
}

// The sonar unit restarts on the same ports: the connection thread keeps
// trying and the pings flow again.
TEST_F(SonarChannels, ReconnectsAfterTheSimulatorRestarts) {
    make();
    startAndConnect();
    ASSERT_TRUE(pumpUntil([&] { return views->count(Frequency::HF) >= 5; }, 8000));
    const std::uint16_t cmd = sim.commandPort, data = sim.dataPort;
    sim.kill();
    ASSERT_TRUE(
        pumpUntil([&] { return acq->status().connectionState == connection_state::kLost; }, 5000));
    sleepMs(300); // a few refused attempts
    ASSERT_TRUE(sim.start({"--autorun", "--command-port", std::to_string(cmd), "--data-port",
                           std::to_string(data), "--speed", "4", "--samples", "300"}));
    const std::size_t before = views->count(Frequency::HF);
    ASSERT_TRUE(pumpUntil([&] { return views->count(Frequency::HF) >= before + 5; }, 10000));
    EXPECT_EQ(acq->status().connectionState, connection_state::kConnected);
    EXPECT_FALSE(acq->connectionEvents().connectData.isSet());
    // The restarted unit numbers its pings from 1 again.
    EXPECT_EQ(views->pings[0][before], 1u);
}

// The unit drops the data connection in the middle of a frame: the half frame
// is discarded, the heartbeat notices, and the stream resumes.
TEST_F(SonarChannels, ReconnectsAfterTheDataConnectionClosesMidFrame) {
    sim.kill();
    ASSERT_TRUE(
        sim.start({"--autorun", "--speed", "4", "--samples", "300", "--close-mid-frame", "20"}));
    make();
    startAndConnect();
    ASSERT_TRUE(pumpUntil(
        [&] { return acq->counters().peerClosures >= 1 && views->count(Frequency::HF) >= 15; },
        15000));
    EXPECT_EQ(acq->assembler().stats().malformedFrames + acq->assembler().stats().badTrailers, 0u);
    const auto& hf = views->pings[0];
    for (std::size_t i = 1; i < hf.size(); ++i)
        EXPECT_GT(hf[i], hf[i - 1]);
}

// Every kind of fault in a fast stream over a real socket: every good frame
// arrives, those whose samples hold the sync words included (mended: they
// were taken for truncated frames and lost).
TEST_F(SonarChannels, FaultyStreamLosesNoGoodFrame) {
    sim.kill();
    ASSERT_TRUE(sim.start(
        {"--autorun", "--speed",          "0",  "--samples",         "200", "--frames",
         "600",       "--seed",           "5",  "--garbage",         "7",   "--bad-trailer",
         "11",        "--truncate",       "13", "--huge-length",     "17",  "--repeat",
         "19",        "--foreign-layout", "23", "--sync-in-samples", "59"}));
    make();
    startAndConnect();
    ASSERT_TRUE(pumpUntil([&] { return !sim.running() || sim.waitExit(0); }, 15000, 0));
    auto sent = sim.summary();
    ASSERT_TRUE(sent);
    ASSERT_TRUE(pumpUntil(
        [&] {
            return views->count(Frequency::HF) >= sent->hf &&
                   views->count(Frequency::LF) >= sent->lf &&
                   acq->assembler().stats().attitudes >= sent->attitude;
        },
        5000, 0));
    EXPECT_EQ(views->count(Frequency::HF), sent->hf);
    EXPECT_EQ(views->count(Frequency::LF), sent->lf);
    EXPECT_EQ(acq->assembler().stats().attitudes, sent->attitude);
    EXPECT_EQ(acq->batch(Frequency::HF).missed(), 0u);
}

// The connection thread's third request: the TCP position client.
class CountingConnector : public PositionChannelConnector {
  public:
    bool connectWanted() override { return !connected; }
    bool connect() override {
        connected = true;
        return true;
    }
    std::atomic<bool> connected{false};
};

// Mended: while the sonar was away its failing connect requests won every
// wait of the connection thread, so the position client never connected.
// The requests take turns.
TEST(SonarConnectionThread, PositionClientConnectsWhileTheSonarIsAway) {
    std::uint16_t deadPort = 0;
    {
        platform::TcpListener gone;
        ASSERT_TRUE(gone.listen({0x7F000001, 0}));
        deadPort = gone.localPort();
    }
    platform::MessageQueue queue;
    SonarAcquisition acq(queue, {"127.0.0.1", deadPort, deadPort});
    CountingConnector position;
    acq.setPositionConnector(&position);
    ASSERT_TRUE(acq.startThreads());
    acq.requestConnect(SonarChannelId::Command);
    acq.requestConnect(SonarChannelId::Data);
    acq.connectionEvents().connectPosition.set();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!position.connected && std::chrono::steady_clock::now() < end)
        platform::sleepMs(10);
    EXPECT_TRUE(position.connected);
    EXPECT_TRUE(acq.connectionEvents().connectCommand.isSet()) << "the sonar is still wanted";
    acq.shutDown();
}

// In-test peers for the exact bytes on the wire.
struct Peers {
    Peers() {
        EXPECT_TRUE(command.listen({0x7F000001, 0}));
        EXPECT_TRUE(data.listen({0x7F000001, 0}));
    }
    SonarNetSettings settings() const {
        SonarNetSettings s;
        s.commandPort = command.localPort();
        s.dataPort = data.localPort();
        return s;
    }
    static std::string readFor(platform::TcpSocket& s, int ms) {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            platform::Readiness r;
            if (platform::waitSocket(s, true, false, 20000, r) != platform::WaitStatus::Ready)
                continue;
            std::uint8_t buf[256];
            auto n = s.receive(buf);
            if (n.status == platform::IoStatus::Closed) break;
            if (n.status == platform::IoStatus::Ok)
                got.append(reinterpret_cast<char*>(buf), n.bytes);
        }
        return got;
    }
    platform::TcpListener command;
    platform::TcpListener data;
};

// Every command leaves with an even number of bytes: an odd line gets one "0".
TEST(SonarCommands, OddLinesArePaddedWithAZero) {
    Peers peers;
    platform::MessageQueue q;
    SonarAcquisition acq(q, peers.settings());
    EXPECT_FALSE(acq.send_command("$cmd,sysrun,1*ff\r\n")); // not connected
    ASSERT_TRUE(acq.connect_command_channel());
    platform::TcpSocket peer = peers.command.accept();
    ASSERT_TRUE(peer.valid());
    EXPECT_TRUE(acq.send_command("$cmd,get,version,6*ff\r\n")); // 23 characters
    EXPECT_TRUE(acq.send_command("$cmd,sysrun,1*ff\r\n"));      // 18 characters
    EXPECT_EQ(Peers::readFor(peer, 200), "$cmd,get,version,6*ff\r\n0$cmd,sysrun,1*ff\r\n");
}

TEST(SonarCommands, ConnectFailsOnABadAddressOrAClosedPort) {
    platform::MessageQueue q;
    SonarNetSettings s;
    s.ip = "not-an-address";
    SonarAcquisition bad(q, s);
    EXPECT_FALSE(bad.connect_data_channel());
    platform::TcpListener l;
    ASSERT_TRUE(l.listen({0x7F000001, 0}));
    s.ip = "127.0.0.1";
    s.dataPort = l.localPort();
    l.close();
    SonarAcquisition closed(q, s);
    EXPECT_FALSE(closed.connect_data_channel());
    EXPECT_FALSE(closed.channel(SonarChannelId::Data).socket.valid());
}

class CountingReplies : public ReplySink {
  public:
    void takeReply(ReplyAccumulator& acc) override {
        std::lock_guard<std::mutex> hold(mutex);
        auto end = acc.view().find("\r\n");
        if (end == std::string_view::npos) return;
        lines.emplace_back(acc.view().substr(0, end + 2));
        acc.consume(end + 2);
    }
    std::vector<std::string> taken() {
        std::lock_guard<std::mutex> hold(mutex);
        return lines;
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

// The quit: stop line first, then every thread (the sonar's, playback,
// position), then the files, then the sockets; replies reach the reply sink
// meanwhile. Mended: the files closed while the threads could still write.
TEST(SonarShutDown, StopLineThreadsAndSocketsInOrder) {
    Peers peers;
    platform::MessageQueue q;
    SonarAcquisition acq(q, peers.settings());
    CountingReplies replies;
    acq.setReplySink(&replies);
    ASSERT_TRUE(acq.startThreads());
    acq.requestConnect(SonarChannelId::Command);
    acq.requestConnect(SonarChannelId::Data);
    platform::TcpSocket cmd = peers.command.accept(); // blocking accept: the connect is on its way
    platform::TcpSocket data = peers.data.accept();
    ASSERT_TRUE(cmd.valid() && data.valid());
    for (int i = 0; i < 200 && !(acq.channel(SonarChannelId::Command).connected &&
                                 acq.channel(SonarChannelId::Data).connected);
         ++i)
        sleepMs(10);
    ASSERT_TRUE(acq.channel(SonarChannelId::Data).connected);
    EXPECT_EQ(acq.status().connectionState, connection_state::kConnected);

    cmd.send(std::string_view("$deviceid,SIM-1*ff\r\n$freq,150,450*ff\r\n"));
    for (int i = 0; i < 200 && replies.taken().size() < 2; ++i)
        sleepMs(5);
    EXPECT_EQ(replies.taken(),
              (std::vector<std::string>{"$deviceid,SIM-1*ff\r\n", "$freq,150,450*ff\r\n"}));

    std::vector<std::string> order;
    ShutdownSteps steps;
    steps.closeRecordingFiles = [&] {
        order.push_back("files");
        EXPECT_FALSE(acq.threadsRunning());
    };
    steps.stopPlaybackThread = [&] {
        order.push_back("playback");
        EXPECT_FALSE(acq.threadsRunning());
    };
    steps.stopPositionThreads = [&] { order.push_back("position"); };
    steps.closeSerialPort = [&] { order.push_back("serial"); };
    steps.closePositionSocket = [&] {
        order.push_back("position socket");
        EXPECT_FALSE(acq.channel(SonarChannelId::Data).socket.valid());
    };
    acq.shutDown(steps);
    EXPECT_EQ(order, (std::vector<std::string>{"playback", "position", "files", "serial",
                                               "position socket"}));
    EXPECT_FALSE(acq.threadsRunning());
    EXPECT_FALSE(acq.channel(SonarChannelId::Command).connected);
    EXPECT_FALSE(acq.channel(SonarChannelId::Data).connected);
    EXPECT_EQ(Peers::readFor(cmd, 500), std::string(kStopLine));
}

std::atomic<std::uint32_t> g_tick{100000};
std::uint32_t tick() {
    return g_tick.load();
}

// "No frame lately" (data state 2) after 3000 ms without a frame; mended so
// that it does not flicker on every 3 s mark while frames do arrive.
TEST(SonarDataState, NoFrameLatelyOnlyWhenFramesStop) {
    Peers peers;
    platform::MessageQueue q;
    SonarAcquisition acq(q, peers.settings(), &tick);
    acq.status().sonarRunning = true;
    ASSERT_TRUE(acq.startThreads());
    acq.requestConnect(SonarChannelId::Data);
    platform::TcpSocket data = peers.data.accept();
    ASSERT_TRUE(data.valid());
    auto waitFor = [&](int state) {
        for (int i = 0; i < 300 && acq.status().dataState != state; ++i)
            sleepMs(5);
        return acq.status().dataState == state;
    };
    auto sendFrame = [&] {
        auto f = attitudeFrame(1, 2, 3, 4);
        data.send(std::span<const std::uint8_t>(f));
    };
    sendFrame();
    ASSERT_TRUE(waitFor(data_state::kFramesArriving));
    g_tick = 103050;
    sendFrame();
    for (int i = 0; i < 300 && acq.status().lastFrameTick != 103050; ++i)
        sleepMs(5);
    g_tick = 103100; // past the 3 s mark, but a frame came 50 ms ago
    sleepMs(100);
    EXPECT_EQ(acq.status().dataState, data_state::kFramesArriving);
    g_tick = 106500; // next mark, no frame for 3450 ms
    EXPECT_TRUE(waitFor(data_state::kNoFrameLately));
    sendFrame();
    EXPECT_TRUE(waitFor(data_state::kFramesArriving));
    acq.shutDown();
}

} // namespace
} // namespace kestrova::acquisition::testing
