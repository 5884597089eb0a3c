// kestrova-cli export-xtf end to end: a survey from the sonar model recorded
// live through the RawRecorder (with position records between the pings),
// converted by the command, and read back with the XTF reader written from the
// published format. The display lines in the files must be the ones the live
// display step made of the same pings.

#include "acquisition/raw_recorder.h"
#include "acquisition/tests/recording_support.h"
#include "acquisition/tests/xtf_reader.h"
#include "position/position_fix.h"
#include "tools/cli/export_display_step.h"
#include "tools/sonar-sim/sonar_stream.h"
#include "tools/tests/cli_process.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace kestrova::acquisition::testing {
namespace {

using kestrova::testing::runCli;
using kestrova::testing::TempFolder;
namespace rd = kestrova::testing::xtf_read;

struct LiveLine {
    int frequency;
    std::uint32_t pingNumber;
    std::vector<std::uint16_t> port, starboard;
    double latitude;
};

// The receive thread's sink with the display step behind it, as in the window.
class LiveSink : public RecorderSink {
  public:
    LiveSink(RawRecorder& r, cli::ExportDisplayStep& step) : RecorderSink(r), step_(step) {}
    bool handPing(const PingRecord& ping, float rate, std::uint8_t changed) override {
        XtfPingInput in = step_.process(ping, rate, changed != 0);
        lines.push_back({index(ping.frequency()),
                         ping.header().pingNumber,
                         {in.port.begin(), in.port.end()},
                         {in.starboard.begin(), in.starboard.end()},
                         latitude});
        return true;
    }
    std::vector<LiveLine> lines;
    double latitude = 0;

  private:
    cli::ExportDisplayStep& step_;
};

class ExportXtfTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(drovanta.load(kestrova::testing::binDir()));
        drovanta.initialize();
        std::filesystem::create_directory(out.path() + "/xtf");
    }
    // Records `cycles` stream frames live; a position record every 10 frames.
    std::string record(int frames) {
        RecordingEnvironment env = clocks.environment();
        RawRecorder recorder(notices, nullptr, env);
        recorder.setProjectFolder(project.path());
        cli::ExportDisplayStep step(drovanta);
        LiveSink sink(recorder, step);
        SonarStatus status;
        FrameAssembler assembler(sink, status);
        EXPECT_TRUE(recorder.toggle_raw_recording());
        sim::SonarStreamConfig cfg;
        cfg.samplesPerSide = 400;
        cfg.attitudeInPings = true;
        sim::SonarStream stream(cfg);
        for (int i = 0; i < frames; ++i) {
            if (i % 10 == 0) {
                position::PositionFix fix;
                fix.kind = position::kFixPosition;
                fix.latitude = 22.0 + i * 0.001;
                fix.longitude = 113.0 + i * 0.002;
                auto block = position::encodeNavBlock(fix);
                recorder.writePositionFrame(block);
                sink.latitude = fix.latitude;
            }
            std::vector<std::uint8_t> bytes;
            stream.next(bytes);
            std::uint32_t fill = static_cast<std::uint32_t>(bytes.size());
            std::memcpy(assembler.buffer(), bytes.data(), bytes.size());
            assembler.feed(fill);
        }
        const std::string path = recorder.currentPath();
        recorder.toggle_raw_recording();
        live = std::move(sink.lines);
        return path;
    }

    display::DrovantaApi drovanta;
    TempFolder project;
    TempFolder out;
    ManualClocks clocks;
    NoticeList notices;
    std::vector<LiveLine> live;
};

// Guards: the conversion must give every ping of the recording, per frequency,
// with the same display samples the live display made, the port side
// reversed, and the position of the last record before each ping.
TEST_F(ExportXtfTest, ConvertsEveryPingWithTheLiveDisplayLines) {
    const std::string ksf = record(200);
    ASSERT_FALSE(ksf.empty());
    auto run = runCli("export-xtf " + ksf + " --out " + out.path() + "/xtf");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("100%"), std::string::npos) << "progress bar on standard error";

    std::map<int, std::vector<const LiveLine*>> byFreq;
    for (const auto& l : live)
        byFreq[l.frequency].push_back(&l);
    ASSERT_GT(byFreq[0].size(), 10u);
    ASSERT_GT(byFreq[1].size(), 10u);
    EXPECT_NE(run.out.find("\"pings_hf\":" + std::to_string(byFreq[0].size())), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"pings_lf\":" + std::to_string(byFreq[1].size())), std::string::npos);
    EXPECT_NE(run.out.find("\"failed\":0"), std::string::npos);

    const std::string base = out.path() + "/xtf/20240501_101500";
    for (int f = 0; f < 2; ++f) {
        auto file = rd::parse(readBytes(base + (f == 0 ? "_HF.xtf" : "_LF.xtf")));
        ASSERT_TRUE(file);
        EXPECT_TRUE(file->clean);
        EXPECT_EQ(file->header.numberOfSonarChannels, 2);
        ASSERT_EQ(file->pings.size(), byFreq[f].size());
        for (std::size_t i = 0; i < file->pings.size(); ++i) {
            const rd::Ping& p = file->pings[i];
            const LiveLine& l = *byFreq[f][i];
            ASSERT_EQ(p.pingNumber, l.pingNumber);
            ASSERT_EQ(p.channels.size(), 2u);
            std::vector<std::uint16_t> port(l.port.rbegin(), l.port.rend());
            ASSERT_EQ(p.channels[0].samples, port) << "ping " << l.pingNumber;
            ASSERT_EQ(p.channels[1].samples, l.starboard);
            EXPECT_EQ(p.shipY, l.latitude);
        }
    }
    bool anyNonZero = false;
    for (const auto& l : live)
        for (auto v : l.starboard)
            anyNonZero |= v != 0;
    EXPECT_TRUE(anyNonZero) << "the display step made real lines";
}

TEST_F(ExportXtfTest, RefusesForeignFilesAndUsageErrors) {
    kestrova::testing::writeText(out.path() + "/bad.ksf", "not a recording at all");
    auto run = runCli("export-xtf " + out.path() + "/bad.ksf --out " + out.path() + "/xtf");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("It is not the correct .Ksf file"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("\"failed\":1"), std::string::npos);
    EXPECT_EQ(runCli("export-xtf " + out.path() + "/bad.ksf").exitCode, 2);
    EXPECT_EQ(runCli("export-xtf --out " + out.path()).exitCode, 2);
    EXPECT_EQ(runCli("export-xtf x.ksf --out " + out.path() + "/missing").exitCode, 1);
}

} // namespace
} // namespace kestrova::acquisition::testing
