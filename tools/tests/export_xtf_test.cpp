// kestrova-cli export-xtf end to end: a survey from the sonar model recorded
// live through the RawRecorder (with position records between the pings)
// while the views' pipelines drew each ping, converted by the command, and
// read back with the XTF reader written from the published format. The
// display lines in the files must be the ones the views made of the same
// pings, whatever the batches the export cut.

#include "acquisition/tests/xtf_reader.h"
#include "tools/tests/cli_process.h"
#include "tools/tests/export_support.h"

#include <gtest/gtest.h>

#include <map>

namespace kestrova::acquisition::testing {
namespace {

using kestrova::testing::runCli;
using kestrova::testing::TempFolder;
namespace rd = kestrova::testing::xtf_read;

class ExportXtfTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(drovanta.load(kestrova::testing::binDir()));
        drovanta.initialize();
        std::filesystem::create_directory(out.path() + "/xtf");
    }
    void TearDown() override { drovanta.terminate(); }

    // Checks both files of `base` against what the views made, ping by ping.
    void expectViewLines(const std::string& base, const RecordedSurvey& survey) {
        std::map<int, std::vector<const ViewLine*>> byFreq;
        for (const auto& l : survey.lines)
            byFreq[l.frequency].push_back(&l);
        ASSERT_GT(byFreq[0].size(), 10u);
        ASSERT_GT(byFreq[1].size(), 10u);
        for (int f = 0; f < 2; ++f) {
            auto file = rd::parse(readBytes(base + (f == 0 ? "_HF.xtf" : "_LF.xtf")));
            ASSERT_TRUE(file);
            EXPECT_TRUE(file->clean);
            EXPECT_EQ(file->header.numberOfSonarChannels, 2);
            ASSERT_EQ(file->pings.size(), byFreq[f].size());
            for (std::size_t i = 0; i < file->pings.size(); ++i) {
                const rd::Ping& p = file->pings[i];
                const ViewLine& l = *byFreq[f][i];
                ASSERT_EQ(p.pingNumber, l.pingNumber);
                ASSERT_EQ(p.channels.size(), 2u);
                std::vector<std::uint16_t> port(l.port.rbegin(), l.port.rend());
                ASSERT_EQ(p.channels[0].samples, port) << "ping " << l.pingNumber;
                ASSERT_EQ(p.channels[1].samples, l.starboard) << "ping " << l.pingNumber;
                ASSERT_EQ(p.shipY, l.latitude) << "ping " << l.pingNumber;
                ASSERT_EQ(p.shipX, l.longitude) << "ping " << l.pingNumber;
            }
        }
    }

    display::DrovantaApi drovanta;
    TempFolder project;
    TempFolder out;
};

// Guards: the conversion must give every ping of the recording, per frequency,
// with the display samples the views made of it, the port side reversed, and
// the position of the last record before each ping (a batch that ran past a
// position record would give later pings an old position).
TEST_F(ExportXtfTest, ConvertsEveryPingWithTheViewsDisplayLines) {
    const RecordedSurvey survey = recordSurvey(project.path(), {}, &drovanta);
    ASSERT_FALSE(survey.path.empty());
    auto run = runCli("export-xtf " + survey.path + " --out " + out.path() + "/xtf");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("100%"), std::string::npos) << "progress bar on standard error";
    EXPECT_NE(run.out.find("\"pings_hf\":" + std::to_string(survey.pings[0])), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"pings_lf\":" + std::to_string(survey.pings[1])), std::string::npos);
    EXPECT_NE(run.out.find("\"pings_missed\":0"), std::string::npos);
    EXPECT_NE(run.out.find("\"failed\":0"), std::string::npos);
    expectViewLines(out.path() + "/xtf/20240501_101500", survey);

    bool anyNonZero = false;
    for (const auto& l : survey.lines)
        for (auto v : l.starboard)
            anyNonZero |= v != 0;
    EXPECT_TRUE(anyNonZero) << "the views made real lines";
}

// Guards: long stretches without a position record fill whole batches; the
// cut at a full batch must lose no ping and change no line, on one thread and
// with the reading ahead on a second one.
TEST_F(ExportXtfTest, FullBatchesLoseNoPing) {
    SurveyPlan plan;
    plan.frames = 3600; // about 950 pings per frequency before the second record
    plan.samplesPerSide = 100;
    plan.positionBefore = [](int i) { return i == 0 || i == 3300; };
    const RecordedSurvey survey = recordSurvey(project.path(), plan, &drovanta);
    ASSERT_GT(survey.pings[0], acquisition::PingBatchData::kMaxPings + 100);
    for (const char* mode : {"", " --sequential"}) {
        std::filesystem::remove_all(out.path() + "/xtf");
        std::filesystem::create_directory(out.path() + "/xtf");
        auto run =
            runCli("export-xtf " + survey.path + " --quiet --out " + out.path() + "/xtf" + mode);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "") << "--quiet: no progress bar";
        expectViewLines(out.path() + "/xtf/20240501_101500", survey);
    }
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
