// Both waterfall views fed by the real receive thread from the sonar simulator
// over loopback: every ping the assembler hands over becomes a display line
// with a bottom and an altitude, in order, in both views.

#include "acquisition/sonar_acquisition.h"
#include "display/tests/sim_pings.h"
#include "display/waterfall_view.h"
#include "tools/sonar-sim/sim_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrova::display::test {
namespace {

using acquisition::PingHeader;
using acquisition::SonarChannelId;

TEST(ViewsFromTheReceiveThread, EverySimulatedPingBecomesALineWithBottomAndAltitude) {
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--autorun", "--speed", "3", "--seed", "4"}));
    DrovantaApi drovanta;
    ASSERT_TRUE(drovanta.load(binFolder())) << drovanta.failure().english;
    drovanta.initialize();

    platform::MessageQueue queue;
    acquisition::SonarNetSettings net;
    net.commandPort = sim.commandPort;
    net.dataPort = sim.dataPort;
    acquisition::SonarAcquisition acq(queue, net);
    DisplayShared shared;
    shared.settings.bottom.on = 1;
    int bottomNotices = 0;
    acq.windows().mainFrame = queue.registerWindow([&](const platform::WindowMessage& m) {
        if (m.id == WM_BOTTOM_STATUS_HF) ++bottomNotices;
    });
    WaterfallView hf(Frequency::HF, drovanta, shared, queue, acq.handOff(), acq.windows());
    WaterfallView lf(Frequency::LF, drovanta, shared, queue, acq.handOff(), acq.windows());
    hf.resize(400, 300);
    lf.resize(400, 300);

    acq.status().sonarRunning = true; // the simulator streams on connect
    ASSERT_TRUE(acq.startThreads());
    acq.requestConnect(SonarChannelId::Data);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end &&
           (hf.pipeline().pingsReceived() < 60 || lf.pipeline().pingsReceived() < 60))
        queue.waitAndDrain(10);
    acq.shutDown();
    queue.drain();
    sim.stop();

    for (WaterfallView* v : {&hf, &lf}) {
        const ViewPipeline& p = v->pipeline();
        ASSERT_GE(p.pingsReceived(), 60u);
        const auto handed =
            acq.assembler().stats().pingsHanded[acquisition::index(p.frequency())].load();
        EXPECT_EQ(p.pingsReceived() + acq.batch(p.frequency()).pingCount(), handed);
        const HistoryRing& ring = p.ring();
        for (std::uint32_t line = 0; line < p.pingsReceived(); ++line) {
            auto h = PingHeader::decode(ring.header(line));
            ASSERT_TRUE(h);
            EXPECT_EQ(h->pingNumber, line + 1) << "a ping was lost or reordered";
            EXPECT_GT(ring.bottomSample[line], 0u);
            // Default ranges 50 / 100 m: the towfish flies at about 15 m.
            EXPECT_GT(ring.slantRange[line], 8.0f);
            EXPECT_LT(ring.slantRange[line], 25.0f);
        }
        // Far fewer passes than pings: the receive side batches them.
        EXPECT_LE(v->passes(), p.pingsReceived() + 3);
    }
    EXPECT_EQ(shared.ranges.metres[0], 50);
    EXPECT_EQ(shared.ranges.metres[1], 100);
    EXPECT_GT(bottomNotices, 0);
    EXPECT_GT(shared.processing.currentAltitude, 8.0);
}

// The headless snapshot against the live simulator: a PNG of both waterfalls
// after a bounded run.
TEST(LiveSnapshot, SecondsOfLiveDataBecomeOnePicture) {
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--speed", "3"}));
    const std::string out = "/tmp/kestrova_live_snapshot_" + std::to_string(::getpid()) + ".png";
    const std::string cmd = binFolder() + "/kestrova-cli snapshot --seconds 2 --port " +
                            std::to_string(sim.dataPort) + " --command-port " +
                            std::to_string(sim.commandPort) + " --width 300 --height 200 --out " +
                            out;
    std::FILE* p = ::popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char line[256] = {};
    const bool got = std::fgets(line, sizeof line, p) != nullptr;
    const int status = ::pclose(p);
    sim.stop();
    ASSERT_TRUE(got);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    unsigned long long hfPings = 0, lfPings = 0;
    ASSERT_EQ(std::sscanf(line, "snapshot %*s hf=%llu lf=%llu", &hfPings, &lfPings), 2) << line;
    EXPECT_GT(hfPings, 10u);
    EXPECT_GT(lfPings, 10u);
    std::FILE* f = std::fopen(out.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    unsigned char sig[8] = {};
    EXPECT_EQ(std::fread(sig, 1, 8, f), 8u);
    std::fclose(f);
    std::remove(out.c_str());
    EXPECT_EQ(sig[1], 'P');
    EXPECT_EQ(sig[2], 'N');
    EXPECT_EQ(sig[3], 'G');
}

} // namespace
} // namespace kestrova::display::test
