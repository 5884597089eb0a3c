// The survey session as a whole over loopback: the sonar simulator on the
// command and data channels, the positioning simulator sending GGA+ZDA by UDP
// to the position input, the views drawing, both recorders writing. The raw
// file then plays back through a second session: its pings reach the views
// again and its position records re-enter the position input.

#include "acquisition/playback.h"
#include "acquisition/tests/assembler_harness.h"
#include "acquisition/tests/xtf_reader.h"
#include "app/config/message.h"
#include "app/session/survey_session.h"
#include "platform/clock.h"
#include "platform/tests/temp_folder.h"
#include "platform/udp_socket.h"
#include "position/tests/nav_harness.h"
#include "tools/sonar-sim/sim_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace kestrova::app {
namespace {

using Freq = acquisition::Frequency;
using kestrova::testing::TempFolder;
namespace fs = std::filesystem;

std::string binFolder() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return bin ? bin : "build/bin";
}

// A program folder of its own, with the model limits and the palettes the
// program reads beside itself (never the build's own settings files).
void fillProgramFolder(const std::string& folder) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(binFolder(), ec)) {
        const std::string name = e.path().filename().string();
        const std::string ext = e.path().extension().string();
        if ((ext == ".clr" || ext == ".ini") && name != kSystemConfigFile && name != "Kestrova.ini")
            fs::copy_file(e.path(), fs::path(folder) / name, ec);
    }
}

std::vector<std::string> filesEndingIn(const std::string& folder, const std::string& suffix) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(folder, ec)) {
        const std::string p = e.path().string();
        if (p.size() >= suffix.size() &&
            p.compare(p.size() - suffix.size(), suffix.size(), suffix) == 0)
            out.push_back(p);
    }
    std::sort(out.begin(), out.end());
    return out;
}

class SurveySessionRun : public ::testing::Test {
  protected:
    void SetUp() override {
        messenger.setEnglish(true);
        messenger.setSink(&messages);
        fillProgramFolder(program.path());
        ASSERT_TRUE(drovanta.load(binFolder()));
        ASSERT_TRUE(drovanta.initialize());
    }
    void TearDown() override { drovanta.terminate(); }

    std::unique_ptr<Configuration> makeConfig() {
        auto config = std::make_unique<Configuration>(program.path(), messenger);
        config->system.sonarIp = "127.0.0.1";
        return config;
    }
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            queue.waitAndDrain(10);
            if (done()) return true;
        }
        return done();
    }

    TempFolder program;
    TempFolder project;
    Messenger messenger;
    RecordingMessageSink messages;
    platform::MessageQueue queue;
    display::DrovantaApi drovanta;
};

// Guards the wiring of the whole system: frames must reach the raw file, the
// navigation thread's fixes must land in the same file as position records
// (not in a file of their own, not lost), the views' display lines must reach
// the XTF pair, the clock must be set once the configuration went out, and
// quitting must close every file and stop every thread. Played back, the file
// must bring both the pings and the positions back.
TEST_F(SurveySessionRun, RecordsALiveSurveyAndPlaysItBack) {
    sim::SimProcess sonar;
    ASSERT_TRUE(sonar.start({"--speed", "4", "--samples", "400"}));
    auto config = makeConfig();
    config->system.commandPort = sonar.commandPort;
    config->system.dataPort = sonar.dataPort;
    // Position input by UDP on a port the kernel picks.
    config->ins.modeSelect = position::kModeNetwork;
    config->ins.netType = position::kNetUdp;
    config->ins.ip = kLoopbackInsIp;
    config->ins.port = 0;
    config->ins.dataType = 0;

    std::string ksf;
    std::uint64_t livePings[2] = {0, 0};
    std::uint64_t positionFrames = 0;
    std::uint64_t xtfPings[2] = {0, 0};
    std::string xtfPaths[2];
    {
        SurveySession session(*config, queue, &drovanta);
        session.setProjectFolder(project.path());
        ASSERT_TRUE(session.start());
        ASSERT_TRUE(pumpUntil([&] { return session.navigation().udpOpen(); }, 3000));
        const std::uint16_t udpPort = session.navigation().boundPort();
        ASSERT_NE(udpPort, 0);
        position::testing::SimProcess nav("--udp 127.0.0.1:" + std::to_string(udpPort) +
                                          " --rate 10 --seconds 6 --start-time now");
        ASSERT_TRUE(nav.started());

        ASSERT_TRUE(session.connectSonar());
        ASSERT_TRUE(pumpUntil(
            [&] {
                const auto info = session.device().deviceInformation();
                return info.identifierSeen && !info.firmwareVersion.empty();
            },
            3000));
        session.startWork();
        ASSERT_TRUE(session.acquisition().status().sonarRunning.load());
        ASSERT_TRUE(session.toggleRawRecording());
        ASSERT_TRUE(session.toggleXtfRecording());
        ksf = session.rawRecorder().currentPath();
        EXPECT_EQ(fs::path(ksf).parent_path(), fs::path(project.path()) / "Data");

        ASSERT_TRUE(pumpUntil(
            [&] {
                return session.navigation().navBlocksWritten() >= 5 &&
                       !session.device().timeSyncWanted() &&
                       session.view(Freq::HF).pipeline().pingsReceived() >= 20 &&
                       session.view(Freq::LF).pipeline().pingsReceived() >= 20;
            },
            8000));
        // The configuration block asked for the clock; a dated fix set it.
        EXPECT_GE(session.navigation().clocksSent(), 1u);
        EXPECT_FALSE(session.device().timeSyncWanted());

        session.stopWork();
        for (int f = 0; f < 2; ++f)
            xtfPaths[f] = session.xtfWriter().path(f);
        session.shutDown();
        EXPECT_TRUE(session.shutDownDone());
        EXPECT_FALSE(session.rawRecorder().recording());
        EXPECT_FALSE(session.xtfWriter().recording());
        EXPECT_FALSE(session.acquisition().threadsRunning());
        EXPECT_FALSE(session.navigation().running());
        EXPECT_FALSE(session.navigation().udpOpen());
        positionFrames = session.rawRecorder().counters().positionFrames.load();
        for (Freq f : {Freq::HF, Freq::LF}) {
            livePings[acquisition::index(f)] = session.view(f).pipeline().pingsReceived();
            xtfPings[acquisition::index(f)] =
                session.xtfWriter().counters().pings[acquisition::index(f)].load();
        }
    }
    for (const auto& m : messages.messages())
        if (m.text != "Sonar connected successfully!")
            ADD_FAILURE() << "operator was told: " << m.text;
    EXPECT_GE(positionFrames, 5u);
    ASSERT_EQ(filesEndingIn(project.path(), ".ksf"), std::vector<std::string>{ksf});

    // Read back as the program reads a recording: the pings and the position
    // records the recorder counted, and nothing cut short.
    std::uint64_t filePings[2] = {0, 0};
    std::uint64_t filePositions = 0;
    {
        acquisition::SonarStatus st;
        st.playbackMode = true;
        acquisition::testing::RecordingSink sink;
        acquisition::FrameAssembler reader(sink, st);
        const auto r = acquisition::playWithoutPacing(ksf, reader);
        ASSERT_EQ(r.status, acquisition::KsfReader::Status::Ok);
        for (const auto& e : sink.events) {
            if (e.kind == "HF") ++filePings[0];
            if (e.kind == "LF") ++filePings[1];
            if (e.kind == "position6" || e.kind == "position7") ++filePositions;
        }
        EXPECT_EQ(reader.stats().dropped(), 0u);
    }
    EXPECT_EQ(filePositions, positionFrames);
    EXPECT_GT(filePings[0], 0u);
    EXPECT_GT(filePings[1], 0u);

    // The XTF pair holds the pings the views drew while it was on.
    for (int f = 0; f < 2; ++f) {
        ASSERT_FALSE(xtfPaths[f].empty());
        const std::string bytes = kestrova::testing::readText(xtfPaths[f]);
        const auto x = kestrova::testing::xtf_read::parse(
            std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        ASSERT_TRUE(x) << xtfPaths[f];
        EXPECT_TRUE(x->clean);
        EXPECT_EQ(x->header.numberOfSonarChannels, 2);
        EXPECT_EQ(x->pings.size(), xtfPings[f]);
        EXPECT_GT(x->pings.size(), 0u);
        EXPECT_LE(x->pings.size(), livePings[f]);
        // Ping positions come from the fixes: the simulator's waters, not 0/0.
        ASSERT_FALSE(x->pings.empty());
        EXPECT_NEAR(x->pings.back().shipY, 24.40, 0.05);
        EXPECT_NEAR(x->pings.back().shipX, 118.14, 0.05);
    }

    // Played back in a fresh session, without a sonar.
    messages.clear();
    auto replayConfig = makeConfig();
    SurveySession replay(*replayConfig, queue, &drovanta);
    ASSERT_TRUE(replay.start());
    ASSERT_TRUE(replay.enterPlayback(ksf));
    EXPECT_TRUE(replay.playbackMode());
    for (int i = 0; i < 3; ++i)
        replay.playback().speedUp();
    replay.startWork();
    ASSERT_TRUE(pumpUntil([&] { return !replay.playback().playing(); }, 15000));
    pumpUntil(
        [&] {
            return replay.view(Freq::HF).pipeline().pingsReceived() >= filePings[0] &&
                   replay.view(Freq::LF).pipeline().pingsReceived() >= filePings[1];
        },
        10000);
    // Every ping of the file reaches the views again.
    const auto& st = replay.acquisition().assembler().stats();
    const std::string where = "assembler handed " + std::to_string(st.pingsHanded[0].load()) + "/" +
                              std::to_string(st.pingsHanded[1].load()) + ", frames " +
                              std::to_string(st.frames.load()) + ", dropped " +
                              std::to_string(st.dropped()) + ", repeated " +
                              std::to_string(st.repeatedPings.load()) + ", skipped bytes " +
                              std::to_string(st.bytesSkipped.load());
    EXPECT_EQ(replay.view(Freq::HF).pipeline().pingsReceived(), filePings[0]) << where;
    EXPECT_EQ(replay.view(Freq::LF).pipeline().pingsReceived(), filePings[1]) << where;
    // The recorded fixes came back: the vessel is where the simulator sails it.
    const position::PositionFix fix = replay.navigation().displaySnapshot();
    EXPECT_NEAR(fix.latitude, 24.40, 0.05);
    EXPECT_NEAR(fix.longitude, 118.14, 0.05);
    // Position settings applied while playing (a project loaded, say) open
    // no channel; live again, the channel they ask for opens.
    platform::UdpSocket spare;
    ASSERT_TRUE(spare.open() && spare.bind({0x7F000001, 0}));
    InsSettings udp;
    udp.modeSelect = position::kModeNetwork;
    udp.netType = position::kNetUdp;
    udp.port = spare.localPort();
    spare.close();
    replay.navigation().setSettings(udp);
    replay.navigation().apply_position_settings();
    EXPECT_FALSE(replay.navigation().udpOpen());
    replay.leavePlayback();
    EXPECT_FALSE(replay.playbackMode());
    EXPECT_TRUE(replay.navigation().udpOpen());
    EXPECT_EQ(replay.navigation().boundPort(), udp.port);
    replay.shutDown();
    EXPECT_FALSE(replay.playback().threadRunning());
}

// Mended: a recording of a type the model table does not name was refused,
// though live mode records any type as model 2; the played file's model then
// stayed on after playback, so the live sonar kept its limits, layout and
// channel count; and leaving playback with both channels up left the
// connection state at "lost" for good. Leaving it sends the channel block again.
TEST_F(SurveySessionRun, PlayedModelsLastOnlyWhilePlaying) {
    sim::SimProcess sonar;
    ASSERT_TRUE(sonar.start({"--speed", "4", "--samples", "100"}));
    auto config = makeConfig();
    config->system.commandPort = sonar.commandPort;
    config->system.dataPort = sonar.dataPort;
    SurveySession session(*config, queue, &drovanta);
    ASSERT_TRUE(session.start());
    ASSERT_TRUE(session.connectSonar());
    ASSERT_TRUE(pumpUntil(
        [&] {
            const auto info = session.device().deviceInformation();
            return info.identifierSeen && info.type == "QM-302" && queue.pending() == 0;
        },
        3000));
    ASSERT_EQ(config->device.GetModelNumber(), 2);

    // A one-frequency model, then a type no table names (a newer sonar's).
    TempFolder files;
    for (const auto& [name, type] : {std::pair<const char*, const char*>{"a.ksf", "QM-101"},
                                     std::pair<const char*, const char*>{"b.ksf", "QM-900X"}}) {
        acquisition::DeviceSessionBlock block;
        block.deviceType = type;
        const acquisition::KsfHeaderBytes h = acquisition::encodeKsfHeader({}, block);
        kestrova::testing::writeText(files.file(name), std::string(h.begin(), h.end()));
    }
    ASSERT_TRUE(session.enterPlayback(files.file("a.ksf")));
    EXPECT_TRUE(session.playback().fileReady());
    EXPECT_EQ(config->device.GetModelNumber(), 4);
    EXPECT_EQ(config->device.frequencyCount, 1);
    ASSERT_TRUE(session.playback().next());
    EXPECT_TRUE(session.playback().fileReady());
    EXPECT_EQ(config->device.GetModelNumber(), 2);
    EXPECT_EQ(config->device.frequencyCount, 2);
    ASSERT_TRUE(session.playback().previous());
    EXPECT_EQ(config->device.frequencyCount, 1);

    auto channelBlocks = [&] {
        const auto lines = sonar.commandLines();
        return std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l.rfind("$cmd,set,chen,", 0) == 0;
        });
    };
    const auto blocksBefore = channelBlocks();
    session.leavePlayback();
    // Live again, the sonar is told the live channel settings.
    EXPECT_TRUE(sonar.waitForOutput("command $cmd,set,chen,", 3000));
    EXPECT_EQ(channelBlocks(), blocksBefore + 1);
    EXPECT_EQ(config->device.GetModelNumber(), 2);
    EXPECT_EQ(config->device.frequencyCount, 2);
    EXPECT_EQ(config->device.FrequencyLayout, kLayoutBoth);
    EXPECT_EQ(session.acquisition().status().connectionState, acquisition::connection_state::kLost);
    session.heartbeat();
    EXPECT_EQ(session.acquisition().status().connectionState,
              acquisition::connection_state::kConnected);
    for (const auto& m : messages.messages())
        if (m.text != "Sonar connected successfully!")
            ADD_FAILURE() << "operator was told: " << m.text;
    session.shutDown();
}

} // namespace
} // namespace kestrova::app
