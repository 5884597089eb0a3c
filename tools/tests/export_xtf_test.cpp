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

#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>

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
    // Mended: a missing output folder was refused; and standard error, a
    // file here, got the progress bar's redrawn line instead of one line per
    // finished recording.
    auto run = runCli("export-xtf " + survey.path + " --out " + out.path() + "/day/xtf");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "kestrova-cli: 1/1 " + survey.path + ": " + std::to_string(survey.pings[0]) +
                           " HF and " + std::to_string(survey.pings[1]) + " LF pings\n");
    EXPECT_NE(run.out.find("\"pings_hf\":" + std::to_string(survey.pings[0])), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"pings_lf\":" + std::to_string(survey.pings[1])), std::string::npos);
    EXPECT_NE(run.out.find("\"pings_missed\":0"), std::string::npos);
    EXPECT_NE(run.out.find("\"failed\":0"), std::string::npos);
    expectViewLines(out.path() + "/day/xtf/20240501_101500", survey);

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

// Mended: a header whose frequencies are no numbers (NaN) reached an int
// conversion, naming the channels "Port -2147"; an unknown frequency names 0.
TEST_F(ExportXtfTest, FrequencyThatIsNoNumberNamesChannelZero) {
    SurveyPlan plan;
    plan.frames = 20;
    plan.views = false;
    const RecordedSurvey survey = recordSurvey(project.path(), plan, nullptr);
    ASSERT_FALSE(survey.path.empty());
    {
        std::fstream f(survey.path, std::ios::in | std::ios::out | std::ios::binary);
        const unsigned char nan[4] = {0x00, 0x00, 0xC0, 0x7F};
        f.seekp(152); // HF frequency, then LF frequency
        f.write(reinterpret_cast<const char*>(nan), 4);
        f.write(reinterpret_cast<const char*>(nan), 4);
    }
    auto run = runCli("export-xtf " + survey.path + " --quiet --out " + out.path() + "/xtf");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* suffix : {"_HF.xtf", "_LF.xtf"}) {
        auto file = rd::parse(readBytes(out.path() + "/xtf/20240501_101500" + suffix));
        ASSERT_TRUE(file);
        EXPECT_EQ(file->header.chan[0].channelName, "Port 0");
        EXPECT_EQ(file->header.chan[1].channelName, "Starboard 0");
        EXPECT_EQ(file->pings.size(), survey.pings[suffix[1] == 'H' ? 0 : 1]);
    }
}

// The distinct non-zero altitudes of a file's pings.
std::set<float> altitudes(const rd::File& file) {
    std::set<float> out;
    for (const auto& p : file.pings)
        if (p.altitude != 0.0f) out.insert(p.altitude);
    return out;
}

// The settings move the bottom source to LF, once from a settings file and
// once from a project. The altitude of every ping follows the source's
// bottom: with the defaults (HF) the LF pings carry HF altitudes, with LF the
// HF pings carry LF altitudes; the pings and their samples stay those of the
// recording. Guards against an option that is parsed but never reaches the
// pipelines, and against the two ways of giving the same settings drawing
// differently.
TEST_F(ExportXtfTest, SettingsFromAFileOrAProjectChooseTheBottomSource) {
    const RecordedSurvey survey = recordSurvey(project.path(), {}, &drovanta);
    ASSERT_FALSE(survey.path.empty());
    namespace fs = std::filesystem;
    const std::string o = out.path();
    fs::create_directory(o + "/project");
    const std::string lfSource = "[SonarSetPara]\nBT_bOn=1\nBT_iuAlertGps=1\n";
    kestrova::testing::writeText(o + "/SysCfg.ini", "[Max]\nBlindMeter=3.5\n" + lfSource);
    kestrova::testing::writeText(o + "/project/Demo.ksp",
                                 "[FileOfProject]\nProjectNameINIF=Demo.ini\n");
    kestrova::testing::writeText(o + "/project/Demo.ini", lfSource);

    // Each conversion into the same folder (the file header names the file).
    auto exportWith = [&](const std::string& options) {
        auto run =
            runCli("export-xtf " + survey.path + " --quiet " + options + " --out " + o + "/xtf");
        EXPECT_EQ(run.exitCode, 0) << options << ": " << run.err;
        const std::string base = o + "/xtf/20240501_101500";
        std::array<Bytes, 2> files{readBytes(base + "_HF.xtf"), readBytes(base + "_LF.xtf")};
        fs::remove(base + "_HF.xtf");
        fs::remove(base + "_LF.xtf");
        return files;
    };
    const auto plain = exportWith("");
    const auto fromFile = exportWith("--config " + o + "/SysCfg.ini");
    const auto fromProject = exportWith("--project " + o + "/project");
    EXPECT_TRUE(fromFile[0] == fromProject[0] && fromFile[1] == fromProject[1])
        << "the same settings from a project draw the same files";
    EXPECT_TRUE(fromProject == exportWith("--project " + o + "/project/Demo.ksp"));

    std::array<std::optional<rd::File>, 2> a, b;
    for (std::size_t f = 0; f < 2; ++f) {
        a[f] = rd::parse(plain[f]);
        b[f] = rd::parse(fromFile[f]);
        ASSERT_TRUE(a[f]);
        ASSERT_TRUE(b[f]);
        ASSERT_EQ(a[f]->pings.size(), survey.pings[f]);
        ASSERT_EQ(b[f]->pings.size(), a[f]->pings.size());
        for (std::size_t i = 0; i < a[f]->pings.size(); ++i) {
            const rd::Ping& p = a[f]->pings[i];
            const rd::Ping& q = b[f]->pings[i];
            ASSERT_EQ(p.pingNumber, q.pingNumber);
            EXPECT_EQ(p.soundVelocity, q.soundVelocity) << "the recording's sound speed stays";
            ASSERT_EQ(p.channels.size(), q.channels.size());
            for (std::size_t c = 0; c < p.channels.size(); ++c)
                ASSERT_EQ(p.channels[c].samples, q.channels[c].samples) << "ping " << p.pingNumber;
        }
    }
    const auto hfBottoms = altitudes(*a[0]);
    const auto lfBottoms = altitudes(*b[1]);
    ASSERT_GT(hfBottoms.size(), 1u) << "the HF bottom is tracked";
    ASSERT_GT(lfBottoms.size(), 1u) << "the LF bottom is tracked";
    ASSERT_NE(hfBottoms, lfBottoms) << "the frequencies find different bottoms";
    // Defaults: the LF pings carry altitudes of the HF bottom.
    for (float alt : altitudes(*a[1]))
        EXPECT_TRUE(hfBottoms.count(alt)) << "LF ping with altitude " << alt;
    // Bottom source LF: the HF pings carry altitudes of the LF bottom.
    for (float alt : altitudes(*b[0]))
        EXPECT_TRUE(lfBottoms.count(alt)) << "HF ping with altitude " << alt;
    EXPECT_NE(altitudes(*b[0]), hfBottoms) << "the setting changed the HF altitudes";
}

// Settings that cannot be read stop the command before anything is written.
TEST_F(ExportXtfTest, RefusesSettingsItCannotRead) {
    SurveyPlan plan;
    plan.frames = 20;
    plan.views = false;
    const RecordedSurvey survey = recordSurvey(project.path(), plan, &drovanta);
    ASSERT_FALSE(survey.path.empty());
    namespace fs = std::filesystem;
    const std::string o = out.path();
    fs::create_directory(o + "/empty");
    fs::create_directory(o + "/noini");
    kestrova::testing::writeText(o + "/noini/Demo.ksp",
                                 "[FileOfProject]\nProjectNameINIF=Demo.ini\n");
    fs::create_directory(o + "/two");
    kestrova::testing::writeText(o + "/two/A.ksp", "[FileOfProject]\nProjectNameINIF=A.ini\n");
    kestrova::testing::writeText(o + "/two/B.ksp", "[FileOfProject]\nProjectNameINIF=B.ini\n");
    kestrova::testing::writeText(o + "/two/A.ini", "[SonarSetPara]\nBT_bOn=1\n");
    kestrova::testing::writeText(o + "/two/B.ini", "[SonarSetPara]\nBT_bOn=1\n");
    const struct {
        std::string option, message;
    } cases[] = {
        {"--config " + o + "/missing.ini", "cannot read the settings file " + o + "/missing.ini"},
        {"--config " + o + "/empty", "cannot read the settings file " + o + "/empty/SysCfg.ini"},
        {"--project " + o + "/missing.ksp", "cannot open the project"},
        {"--project " + o + "/noini", "cannot read the settings of the project"},
        {"--project " + o + "/noini/Demo.ksp", "cannot read the settings of the project"},
        {"--project " + o + "/two", "no single project file"},
        {"--project " + o + "/empty", "no single project file"},
    };
    for (const auto& c : cases) {
        auto run = runCli("export-xtf " + survey.path + " " + c.option + " --out " + o + "/xtf");
        EXPECT_EQ(run.exitCode, 1) << c.option;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.option << ": " << run.err;
        EXPECT_TRUE(fs::is_empty(o + "/xtf")) << c.option << " wrote files";
    }
    // The same recording converts once the settings are readable.
    kestrova::testing::writeText(o + "/noini/Demo.ini", "[SonarSetPara]\nBT_bOn=1\n");
    auto run = runCli("export-xtf " + survey.path + " --quiet --project " + o + "/noini --out " +
                      o + "/xtf");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(fs::is_empty(o + "/xtf"));
}

} // namespace
} // namespace kestrova::acquisition::testing
