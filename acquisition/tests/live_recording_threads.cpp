// A live session over loopback records and plays back: the simulator's frames
// arrive on the receive thread, the RawRecorder plugged into SonarAcquisition
// writes them, and the recording played back through the same assembler gives
// the views the same pings again.

#include "acquisition/playback.h"
#include "acquisition/raw_recorder.h"
#include "acquisition/sonar_acquisition.h"
#include "acquisition/tests/recording_support.h"
#include "platform/clock.h"
#include "tools/sonar-sim/sim_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>

namespace kestrova::acquisition::testing {
namespace {

using kestrova::testing::TempFolder;

// The position pipeline's end of the hook: what playback hands back.
class ReplayLog : public PositionReplay {
  public:
    void replay(FrameType type, std::span<const std::uint8_t, kPositionRecordSize> r) override {
        std::lock_guard<std::mutex> hold(mutex);
        seen.push_back({static_cast<int>(type), r[0]});
    }
    std::vector<std::pair<int, int>> all() {
        std::lock_guard<std::mutex> hold(mutex);
        return seen;
    }
    std::mutex mutex;
    std::vector<std::pair<int, int>> seen;
};

class LiveRecording : public ::testing::Test {
  protected:
    void SetUp() override { start({"--autorun", "--speed", "4", "--samples", "200"}); }
    // The simulator with `args`, and the acquisition and recorder to meet it.
    void start(const std::vector<std::string>& args) {
        sim.kill();
        ASSERT_TRUE(sim.start(args));
        SonarNetSettings net;
        net.commandPort = sim.commandPort;
        net.dataPort = sim.dataPort;
        acq = std::make_unique<SonarAcquisition>(queue, net);
        for (int f = 0; f < 2; ++f) {
            const Frequency freq = f == 0 ? Frequency::HF : Frequency::LF;
            auto take = [this, freq](const platform::WindowMessage&) {
                acq->handOff().drain(freq, *copy);
                for (std::uint32_t i = 0; i < copy->pingCount; ++i)
                    pings[index(freq)].push_back(copy->header(i)->pingNumber);
            };
            (f == 0 ? acq->windows().hfView : acq->windows().lfView) = queue.registerWindow(take);
        }
        recorder = std::make_unique<RawRecorder>(notices, &queue);
        recorder->setProjectFolder(project.path());
        acq->setRawRecorder(recorder.get());
        acq->setPositionReplay(&replays);
    }
    void TearDown() override {
        if (acq) {
            ShutdownSteps steps;
            steps.closeRecordingFiles = [this] { recorder->switchOff(); };
            acq->shutDown(steps);
        }
        queue.drain();
    }
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            queue.waitAndDrain(10);
            if (done()) return true;
        }
        return done();
    }

    sim::SimProcess sim;
    TempFolder project;
    NoticeList notices;
    platform::MessageQueue queue;
    std::unique_ptr<SonarAcquisition> acq;
    std::unique_ptr<RawRecorder> recorder;
    std::unique_ptr<PingBatchData> copy = std::make_unique<PingBatchData>();
    std::vector<std::uint32_t> pings[2];
    ReplayLog replays;
};

// Guards: the recorder must receive every frame the live path completes, in
// order, and a recording must play back into the views as it was received.
TEST_F(LiveRecording, RecordsTheSessionAndPlaysItBackIntoTheViews) {
    ASSERT_TRUE(recorder->toggle_raw_recording());
    const std::string path = recorder->currentPath();
    acq->status().sonarRunning = true;
    ASSERT_TRUE(acq->startThreads());
    acq->requestConnect(SonarChannelId::Command);
    acq->requestConnect(SonarChannelId::Data);
    ASSERT_TRUE(pumpUntil([&] { return pings[0].size() >= 10; }, 10000));
    // The navigation thread's records join the file between the frames.
    recorder->writePositionFrame(positionFrame(static_cast<std::uint16_t>(FrameType::Position), 7));
    recorder->writePositionFrame(positionFrame(static_cast<std::uint16_t>(FrameType::Time), 8));
    ASSERT_TRUE(pumpUntil([&] { return pings[0].size() >= 20 && pings[1].size() >= 20; }, 10000));
    EXPECT_TRUE(replays.all().empty()) << "live mode never replays positions";
    acq->status().sonarRunning = false; // the sonar stops: no more frames
    platform::sleepMs(50);
    queue.drain();
    recorder->toggle_raw_recording();
    EXPECT_TRUE(notices.all().empty());
    const std::vector<std::uint32_t> live[2] = {pings[0], pings[1]};

    // Read back: the pings in the file are the pings the views got.
    SonarStatus st;
    st.playbackMode = true;
    RecordingSink file;
    FrameAssembler reader(file, st);
    auto r = playWithoutPacing(path, reader);
    ASSERT_EQ(r.status, KsfReader::Status::Ok);
    std::vector<std::uint32_t> recorded[2];
    for (const auto& e : file.events)
        if (e.kind == "HF" || e.kind == "LF")
            recorded[e.kind == "HF" ? 0 : 1].push_back(e.pingNumber);
    for (int f = 0; f < 2; ++f) {
        ASSERT_GE(recorded[f].size(), live[f].size());
        EXPECT_EQ(std::vector<std::uint32_t>(
                      recorded[f].begin(), recorded[f].begin() + static_cast<long>(live[f].size())),
                  live[f]);
    }

    // Played back through the session's own assembler, the views see them again.
    pings[0].clear();
    pings[1].clear();
    PlaybackHooks hooks;
    hooks.rawRecordingOff = [this] { recorder->switchOff(); };
    Playback playback(acq->assembler(), acq->status(), notices, &queue, hooks);
    ASSERT_TRUE(playback.enterMode(path));
    EXPECT_FALSE(recorder->recording());
    playback.speedUp();
    playback.speedUp();
    playback.startPause();
    ASSERT_TRUE(pumpUntil([&] { return !playback.playing(); }, 10000));
    // The last pings reach the views with the hand-off's next notification.
    pumpUntil(
        [&] {
            return pings[0].size() >= recorded[0].size() && pings[1].size() >= recorded[1].size();
        },
        10000);
    for (int f = 0; f < 2; ++f)
        EXPECT_EQ(pings[f], recorded[f]) << "frequency " << f;
    playback.leaveMode();
}

// Mended: a ping of a foreign sample layout was dropped before the recorder
// saw it, and a good ping whose samples held the sync words was lost
// altogether. Every frame the sonar sends is recorded as it came, and every
// good ping reaches the views.
TEST_F(LiveRecording, EveryFrameIsRecordedWhateverItsSamplesOrLayout) {
    start({"--autorun", "--speed", "0", "--samples", "100", "--frames", "300", "--foreign-layout",
           "7", "--sync-in-samples", "5"});
    ASSERT_TRUE(recorder->toggle_raw_recording());
    const std::string path = recorder->currentPath();
    acq->status().sonarRunning = true;
    ASSERT_TRUE(acq->startThreads());
    acq->requestConnect(SonarChannelId::Command);
    acq->requestConnect(SonarChannelId::Data);
    ASSERT_TRUE(pumpUntil([&] { return sim.waitExit(0); }, 15000));
    const auto sent = sim.summary();
    ASSERT_TRUE(sent);
    ASSERT_TRUE(pumpUntil(
        [&] { return pings[0].size() >= sent->hf && pings[1].size() >= sent->lf; }, 5000));
    EXPECT_EQ(pings[0].size(), sent->hf);
    EXPECT_EQ(pings[1].size(), sent->lf);
    recorder->toggle_raw_recording();

    SonarStatus st;
    st.playbackMode = true;
    RecordingSink file;
    FrameAssembler reader(file, st);
    ASSERT_EQ(playWithoutPacing(path, reader).status, KsfReader::Status::Ok);
    EXPECT_EQ(reader.stats().frames, sent->frames);
    EXPECT_GT(reader.stats().foreignLayout, 0u);
    EXPECT_EQ(reader.stats().dropped(), reader.stats().foreignLayout);
}

// Guards: a frame half received when playback began used to leave the receive
// thread with its old fill count; after playback the frame buffer holds the
// playback's bytes, which were then taken for live data. Live data must start
// again from an empty buffer.
TEST(LiveAfterPlayback, ReceiveStartsFromAnEmptyBuffer) {
    platform::TcpListener listener;
    ASSERT_TRUE(listener.listen({0x7F000001, 0}));
    platform::MessageQueue queue;
    SonarNetSettings net;
    net.dataPort = listener.localPort();
    SonarAcquisition acq(queue, net);
    auto copy = std::make_unique<PingBatchData>();
    std::vector<std::uint32_t> seen;
    acq.windows().hfView = queue.registerWindow([&](const platform::WindowMessage&) {
        acq.handOff().drain(Frequency::HF, *copy);
        for (std::uint32_t i = 0; i < copy->pingCount; ++i)
            seen.push_back(copy->header(i)->pingNumber);
    });
    auto pump = [&](const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end && !done())
            queue.waitAndDrain(10);
        return done();
    };
    ASSERT_TRUE(acq.connect_data_channel());
    acq.channel(SonarChannelId::Data).connected = true;
    platform::TcpSocket peer = listener.accept();
    ASSERT_TRUE(peer.valid());
    acq.status().sonarRunning = true;
    ASSERT_TRUE(acq.startThreads());

    auto ping = [](std::uint32_t n) {
        PingSpec s;
        s.pingNumber = n;
        s.np = s.ns = 50;
        return pingFrame(s);
    };
    const Bytes a = ping(1), b = ping(2), c = ping(3);
    const std::size_t half = b.size() / 2;
    Bytes first = a;
    first.insert(first.end(), b.begin(), b.begin() + static_cast<long>(half));
    ASSERT_EQ(peer.send(first).bytes, first.size());
    ASSERT_TRUE(pump([&] { return seen.size() == 1; }));
    platform::sleepMs(50); // the half frame now waits in the receive thread's buffer

    TempFolder folder;
    KsfHeaderBytes h = encodeKsfHeader({}, {});
    Bytes rec(h.begin(), h.end());
    for (std::uint32_t n = 100; n < 110; ++n)
        append(rec, ping(n));
    kestrova::testing::writeText(folder.file("r.ksf"), std::string(rec.begin(), rec.end()));
    NoticeList notices;
    Playback playback(acq.assembler(), acq.status(), notices, &queue);
    ASSERT_TRUE(playback.enterMode(folder.file("r.ksf")));
    platform::sleepMs(50);
    playback.speedUp();
    playback.speedUp();
    playback.startPause();
    ASSERT_TRUE(pump([&] { return !playback.playing() && seen.size() == 11; }));
    playback.leaveMode();
    acq.status().sonarRunning = true;

    const std::uint64_t skipped = acq.assembler().stats().bytesSkipped;
    const std::uint32_t dropped = acq.assembler().stats().dropped();
    Bytes rest(b.begin() + static_cast<long>(half), b.end());
    append(rest, c);
    ASSERT_EQ(peer.send(rest).bytes, rest.size());
    ASSERT_TRUE(pump([&] { return seen.size() == 12; }));
    EXPECT_EQ(seen.back(), 3u);
    // Only the rest of the half frame is skipped before the next sync pair.
    EXPECT_EQ(acq.assembler().stats().bytesSkipped - skipped, b.size() - half);
    EXPECT_EQ(acq.assembler().stats().dropped(), dropped);
    acq.shutDown();
}

// Mended: with the data link down while a file played, the receive thread kept
// its fill count while playback wrote the frame buffer; once the link was
// back, played frames left in the buffer were taken for live ones.
TEST(LiveAfterPlayback, LinkDownWhilePlayingLeavesNoPlayedFrameBehind) {
    platform::TcpListener listener;
    ASSERT_TRUE(listener.listen({0x7F000001, 0}));
    platform::MessageQueue queue;
    SonarNetSettings net;
    net.dataPort = listener.localPort();
    SonarAcquisition acq(queue, net);
    auto copy = std::make_unique<PingBatchData>();
    std::vector<std::uint32_t> seen;
    acq.windows().hfView = queue.registerWindow([&](const platform::WindowMessage&) {
        acq.handOff().drain(Frequency::HF, *copy);
        for (std::uint32_t i = 0; i < copy->pingCount; ++i)
            seen.push_back(copy->header(i)->pingNumber);
    });
    auto pump = [&](const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end && !done())
            queue.waitAndDrain(10);
        return done();
    };
    ASSERT_TRUE(acq.connect_data_channel());
    acq.channel(SonarChannelId::Data).connected = true;
    platform::TcpSocket peer = listener.accept();
    ASSERT_TRUE(peer.valid());
    acq.status().sonarRunning = true;
    ASSERT_TRUE(acq.startThreads());

    auto ping = [](std::uint32_t n, std::uint32_t samples) {
        PingSpec s;
        s.pingNumber = n;
        s.np = s.ns = samples;
        return pingFrame(s);
    };
    // Half of a long ping waits in the receive thread's buffer, longer than
    // the recording's header and several of its pings.
    const Bytes a = ping(1, 50), b = ping(2, 1500), c = ping(3, 50);
    const std::size_t half = b.size() / 2;
    Bytes first = a;
    first.insert(first.end(), b.begin(), b.begin() + static_cast<long>(half));
    ASSERT_EQ(peer.send(first).bytes, first.size());
    ASSERT_TRUE(pump([&] { return seen.size() == 1; }));
    platform::sleepMs(50);
    acq.channel(SonarChannelId::Data).connected = false; // the heartbeat lost the link
    platform::sleepMs(100);

    TempFolder folder;
    KsfHeaderBytes h = encodeKsfHeader({}, {});
    Bytes rec(h.begin(), h.end());
    for (std::uint32_t n = 100; n < 140; ++n)
        append(rec, ping(n, 50));
    kestrova::testing::writeText(folder.file("r.ksf"), std::string(rec.begin(), rec.end()));
    NoticeList notices;
    Playback playback(acq.assembler(), acq.status(), notices, &queue);
    ASSERT_TRUE(playback.enterMode(folder.file("r.ksf")));
    playback.speedUp();
    playback.speedUp();
    playback.startPause();
    ASSERT_TRUE(pump([&] { return !playback.playing() && seen.size() == 41; }));
    playback.leaveMode();

    acq.channel(SonarChannelId::Data).connected = true; // the link is back
    Bytes rest(b.begin() + static_cast<long>(half), b.end());
    append(rest, c);
    ASSERT_EQ(peer.send(rest).bytes, rest.size());
    ASSERT_TRUE(pump([&] { return seen.size() >= 42; }));
    platform::sleepMs(100);
    queue.drain();
    EXPECT_EQ(seen.size(), 42u);
    EXPECT_EQ(seen.back(), 3u);
    acq.shutDown();
}

// Guards: the receive thread zeroed the whole frame buffer as its first act.
// Started late (a loaded machine, playback chosen at once), it wiped the
// bytes the playback thread had just read, and the first pings of the file
// never reached the views. Bytes in the buffer once the threads are started
// must stay as they are while no sonar feeds it.
TEST(ReceiveThreadStart, LeavesTheFrameBufferToPlayback) {
    platform::MessageQueue queue;
    SonarNetSettings net;
    SonarAcquisition acq(queue, net);
    acq.status().playbackMode = true;
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(acq.startThreads());
        std::uint8_t* buffer = acq.assembler().buffer();
        for (std::uint32_t i = 0; i < FrameAssembler::kMaxRead; ++i)
            buffer[i] = static_cast<std::uint8_t>(0xA5 ^ i);
        // Long enough for the thread to be well into its loop.
        platform::sleepMs(100);
        std::uint32_t changed = 0;
        for (std::uint32_t i = 0; i < FrameAssembler::kMaxRead; ++i)
            if (buffer[i] != static_cast<std::uint8_t>(0xA5 ^ i)) ++changed;
        EXPECT_EQ(changed, 0u) << "round " << round;
        acq.shutDown();
    }
}

} // namespace
} // namespace kestrova::acquisition::testing
