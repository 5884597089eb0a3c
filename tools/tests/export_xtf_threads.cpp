// The export against itself and against the live program: reading ahead on a
// second thread must write the files of the one-thread run byte for byte, run
// after run; and the display lines of an exported recording must be the ones
// the survey session's views write to XTF when the same file plays back with
// the same settings.

#include "acquisition/tests/xtf_reader.h"
#include "app/config/message.h"
#include "app/session/display_settings.h"
#include "app/session/survey_session.h"
#include "display/recording_export.h"
#include "tools/tests/cli_process.h"
#include "tools/tests/export_support.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>

namespace kestrova::acquisition::testing {
namespace {

using kestrova::testing::TempFolder;
namespace rd = kestrova::testing::xtf_read;
namespace fs = std::filesystem;
using Freq = Frequency;

// The sanitizers' runtimes cannot follow a library into a link namespace of
// its own, so there the split falls back to one thread (and only the reading
// thread is checked).
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

class ExportXtfThreads : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(drovanta.load(kestrova::testing::binDir()));
        ASSERT_TRUE(drovanta.initialize());
    }
    void TearDown() override { drovanta.terminate(); }

    // Both files of one conversion, as bytes.
    std::array<Bytes, 2> exportOnce(const std::string& ksf, display::RecordingExportOptions o) {
        NoticeList notices;
        RecordingEnvironment env;
        env.minFreeBytes = 0;
        XtfWriter writer(notices, nullptr, env);
        EXPECT_TRUE(writer.createNamed(out.path(), "survey"));
        const auto r = display::exportRecording(ksf, drovanta, writer, o);
        if (!kSanitized) {
            EXPECT_EQ(r.split, o.splitFrequencies) << "a separate copy of Drovanta loads";
        } else if (!o.splitFrequencies) {
            EXPECT_FALSE(r.split);
        }
        EXPECT_EQ(r.read.status, KsfReader::Status::Ok);
        EXPECT_FALSE(r.read.readError);
        EXPECT_EQ(r.missed, 0u);
        std::array<std::string, 2> paths{writer.path(0), writer.path(1)};
        writer.close_xtf_files();
        std::array<Bytes, 2> files{readBytes(paths[0]), readBytes(paths[1])};
        fs::remove(paths[0]);
        fs::remove(paths[1]);
        return files;
    }

    display::DrovantaApi drovanta;
    TempFolder project;
    TempFolder out;
};

// Guards: the reading thread hands the segments over in order, with their
// positions, and none is lost or reused before the display took it; the LF
// lines made beside the HF ones by a second copy of Drovanta are those of the
// one-thread run, and the bottoms and altitudes follow the one-thread order.
// Any slip changes the bytes (ping order, samples, positions, altitudes).
TEST_F(ExportXtfThreads, ReadingAheadWritesTheOneThreadFilesByteForByte) {
    SurveyPlan plan;
    plan.frames = 3000;
    plan.samplesPerSide = 300;
    // Short stretches, and one long enough to fill whole batches.
    plan.positionBefore = [](int i) { return i < 1000 ? i % 37 == 0 : i == 1000 || i == 2900; };
    plan.views = false;
    const RecordedSurvey survey = recordSurvey(project.path(), plan, &drovanta);
    ASSERT_FALSE(survey.path.empty());

    display::RecordingExportOptions one;
    one.readAhead = false;
    one.splitFrequencies = false;
    const auto reference = exportOnce(survey.path, one);
    for (int f = 0; f < 2; ++f) {
        const auto parsed = rd::parse(reference[static_cast<std::size_t>(f)]);
        ASSERT_TRUE(parsed);
        EXPECT_TRUE(parsed->clean);
        EXPECT_EQ(parsed->pings.size(), survey.pings[f]);
    }
    for (int mode = 0; mode < 3; ++mode) {
        display::RecordingExportOptions o;
        o.readAhead = mode != 1;
        o.splitFrequencies = mode != 0;
        for (int run = 0; run < 2; ++run) {
            const auto files = exportOnce(survey.path, o);
            ASSERT_TRUE(files[0] == reference[0]) << "HF, mode " << mode << ", run " << run;
            ASSERT_TRUE(files[1] == reference[1]) << "LF, mode " << mode << ", run " << run;
        }
    }
}

// Each frequency's lines as a line reader sees them, folded into one hash:
// the line's bytes, its ping time and its altitude, in order.
class LineDigest : public display::RecordingLineReader {
  public:
    void positionRecord(const position::PositionFix&) override { ++positions; }
    void displayLine(std::span<const std::uint8_t, display::HistoryRing::kLineBytes> line,
                     int channel, const display::PingTimeRecord& time, double altitude) override {
        const auto f = static_cast<std::size_t>(channel);
        ++lines[f];
        for (const std::uint8_t b : line)
            fold(f, b);
        for (const double v : {time.time, time.portSlantRange, altitude}) {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &v, sizeof bits);
            for (int i = 0; i < 8; ++i)
                fold(f, static_cast<std::uint8_t>(bits >> (8 * i)));
        }
    }
    std::uint64_t positions = 0;
    std::array<std::uint64_t, 2> lines{}, hash{};

  private:
    void fold(std::size_t f, std::uint8_t b) { hash[f] = (hash[f] ^ b) * 0x100000001b3ull; }
};

// Guards: the mosaic's one-frequency run makes that frequency's lines, bottoms
// and altitudes exactly as the two-frequency run does (the other frequency's
// pings still step the shared bottom choice), also with the starboard sides
// made on a second thread.
TEST_F(ExportXtfThreads, OneFrequencyReadsTheLinesOfTheTwoFrequencyRun) {
    SurveyPlan plan;
    plan.frames = 1200;
    plan.samplesPerSide = 300;
    plan.positionBefore = [](int i) { return i % 23 == 0; };
    plan.views = false;
    const RecordedSurvey survey = recordSurvey(project.path(), plan, &drovanta);
    ASSERT_FALSE(survey.path.empty());

    display::RecordingExportOptions both;
    both.readAhead = false;
    both.splitFrequencies = false;
    LineDigest reference;
    display::readRecordingLines(survey.path, drovanta, reference, both);
    ASSERT_GT(reference.lines[0], 0u);
    ASSERT_GT(reference.lines[1], 0u);
    for (const int only : {0, 1}) {
        for (const bool split : {false, true}) {
            display::RecordingExportOptions o;
            o.onlyChannel = only;
            o.splitFrequencies = split;
            LineDigest digest;
            const auto r = display::readRecordingLines(survey.path, drovanta, digest, o);
            const auto f = static_cast<std::size_t>(only);
            EXPECT_EQ(r.pings[1 - f], survey.pings[1 - f]) << "the other's pings still pass";
            EXPECT_EQ(digest.lines[1 - f], 0u);
            EXPECT_EQ(digest.lines[f], reference.lines[f]);
            EXPECT_EQ(digest.hash[f], reference.hash[f])
                << "channel " << only << ", split " << split;
            EXPECT_EQ(digest.positions, reference.positions);
        }
    }
}

std::string binFolder() {
    return kestrova::testing::binDir();
}

// A program folder of its own with the model limits and the palettes.
void fillProgramFolder(const std::string& folder) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(binFolder(), ec)) {
        const std::string name = e.path().filename().string();
        const std::string ext = e.path().extension().string();
        if ((ext == ".clr" || ext == ".ini") && name != app::kSystemConfigFile &&
            name != "Kestrova.ini")
            fs::copy_file(e.path(), fs::path(folder) / name, ec);
    }
}

// Guards: the export and the program's own playback with XTF recording on
// must put the same pings with the same display lines into the files; a
// second copy of the display rules in the export would drift from the views.
// (Positions and altitudes depend on how the playback thread and the views
// interleave, so only the export's own run fixes them.)
TEST_F(ExportXtfThreads, ExportMatchesTheSessionsPlaybackXtf) {
    SurveyPlan plan;
    plan.frames = 300;
    plan.views = false;
    const RecordedSurvey survey = recordSurvey(project.path(), plan, &drovanta);
    ASSERT_FALSE(survey.path.empty());

    TempFolder program;
    TempFolder sessionFolder;
    fillProgramFolder(program.path());
    app::Messenger messenger;
    messenger.setEnglish(true);
    platform::MessageQueue queue;
    app::Configuration config(program.path(), messenger);
    config.system.sonarIp = "127.0.0.1";
    // The bottom source's pings carry their own bottom as the altitude: the
    // export must find the bottom the session's views find. (The other
    // frequency's pings carry the newest source altitude drawn before them,
    // which live depends on how the pings fell into batches.)
    config.sonar.bottomTrack.on = 1;
    config.sonar.bottomTrack.alertGps = display::bottom_source::kLf;
    std::array<std::string, 2> sessionPaths;
    {
        app::SurveySession session(config, queue, &drovanta);
        ASSERT_TRUE(session.start());
        ASSERT_TRUE(session.enterPlayback(survey.path));
        session.setProjectFolder(sessionFolder.path());
        ASSERT_TRUE(session.toggleXtfRecording());
        sessionPaths = {session.xtfWriter().path(0), session.xtfWriter().path(1)};
        for (int i = 0; i < 3; ++i)
            session.playback().speedUp();
        session.startWork();
        auto pumpUntil = [&](const std::function<bool()>& done, int ms) {
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
            while (!done() && std::chrono::steady_clock::now() < end)
                queue.waitAndDrain(10);
            return done();
        };
        auto written = [&](int f) { return session.xtfWriter().counters().pings[f].load(); };
        ASSERT_TRUE(pumpUntil(
            [&] { return written(0) >= survey.pings[0] && written(1) >= survey.pings[1]; }, 60000))
            << written(0) << " of " << survey.pings[0] << " HF, " << written(1) << " of "
            << survey.pings[1] << " LF written; drawn "
            << session.view(Freq::HF).pipeline().pingsReceived() << " HF, "
            << session.view(Freq::LF).pipeline().pingsReceived() << " LF; waiting in the batches "
            << session.acquisition().handOff().batch(Freq::HF).pingCount() << " HF, "
            << session.acquisition().handOff().batch(Freq::LF).pingCount() << " LF; playing "
            << session.playback().playing();
        EXPECT_FALSE(session.toggleXtfRecording());
        session.leavePlayback();
        session.shutDown();
    }

    display::RecordingExportOptions options;
    // The configuration now holds the played header's sound speed, as the
    // export takes it from the header.
    app::applyProcessingSettings(config, options.settings);
    const auto exported = exportOnce(survey.path, options);
    for (int f = 0; f < 2; ++f) {
        const auto mine = rd::parse(exported[static_cast<std::size_t>(f)]);
        const auto views = rd::parse(readBytes(sessionPaths[static_cast<std::size_t>(f)]));
        ASSERT_TRUE(mine);
        ASSERT_TRUE(views) << sessionPaths[static_cast<std::size_t>(f)];
        ASSERT_EQ(mine->pings.size(), survey.pings[f]);
        ASSERT_EQ(views->pings.size(), mine->pings.size());
        std::size_t tracked = 0;
        for (std::size_t i = 0; i < mine->pings.size(); ++i) {
            const rd::Ping& a = mine->pings[i];
            const rd::Ping& b = views->pings[i];
            ASSERT_EQ(a.pingNumber, b.pingNumber);
            ASSERT_EQ(a.numBytesThisRecord, b.numBytesThisRecord);
            ASSERT_EQ(a.soundVelocity, b.soundVelocity);
            if (f == 1) {
                EXPECT_EQ(a.altitude, b.altitude) << "LF ping " << a.pingNumber;
                if (a.altitude > 0.0f) ++tracked;
            }
            ASSERT_EQ(a.channels.size(), b.channels.size());
            for (std::size_t c = 0; c < a.channels.size(); ++c) {
                ASSERT_EQ(a.channels[c].samples, b.channels[c].samples)
                    << "frequency " << f << " ping " << a.pingNumber << " channel " << c;
                EXPECT_EQ(a.channels[c].slantRange, b.channels[c].slantRange);
            }
        }
        if (f == 1) {
            EXPECT_GT(tracked, mine->pings.size() / 2) << "LF bottom tracked";
        }
    }
}

} // namespace
} // namespace kestrova::acquisition::testing
