// The display path's binding of Drovanta by file name. Faults guarded: the
// program starting its waterfalls with a missing or incomplete library (a crash
// on the first ping), a message that does not say what is missing, and calls
// that let the library write past the caller's display line.

#include "display/drovanta_api.h"
#include "libs/drovanta/tests/seabed_pings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

using kestrova::display::DepthSelectInput;
using kestrova::display::DrovantaApi;
using kestrova::display::ReproSettings;

namespace {

std::string binFolder() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return bin ? bin : "";
}

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "drovanta-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

const std::string kHeadlineEnglish = "Load Drovanta.dll error!\n";
const std::string kHeadlineChinese = "加载Drovanta.dll错误!\n";

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

TEST(DrovantaApi, BindsTheBuiltLibraryByNameAndRunsAPing) {
    DrovantaApi api;
    ASSERT_TRUE(api.load(binFolder())) << api.failure().english;
    EXPECT_TRUE(api.ready());
    EXPECT_TRUE(api.failure().english.empty());
    EXPECT_EQ(api.path(), binFolder() + "/libdrovanta.so");
    ASSERT_TRUE(api.initialize());

    // One HF side at 13.5 kHz and 40 m: the bottom of the 8 m altitude lies
    // near sample 8 x 2 / 1500 x 13500 = 144.
    kestrova::drovanta::test::SideRequest req;
    req.samples = 720;
    req.sampleRateHz = 13500;
    const std::vector<std::uint32_t> x = kestrova::drovanta::test::seabedSide(req);
    std::vector<float> gain(720, 0.0f);
    std::vector<std::uint16_t> line(720, 0);
    ReproSettings s;
    s.reset = true;
    s.sampleRate = 13500.0f;
    s.firstIndex = 9;
    const auto result = api.repro(x, s, gain, line);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.lineLength, 720u);
    EXPECT_GE(result.bottomIndex, 140u);
    EXPECT_LE(result.bottomIndex, 150u);
    bool lit = false;
    for (auto v : line)
        lit = lit || v != 0;
    EXPECT_TRUE(lit);

    DepthSelectInput d;
    d.sampleRate = 13500.0f;
    d.reset = 1.0f;
    d.aIndex1 = result.bottomIndex;
    d.aStrength1 = result.bottomStrength;
    d.aIndex2 = 10;
    d.aStrength2 = 0.0f;
    const auto depth = api.depthSelect(d);
    ASSERT_TRUE(depth.ok);
    EXPECT_EQ(depth.aSelected, result.bottomIndex);
    EXPECT_GT(depth.altitude, 0.0f);
    EXPECT_TRUE(api.terminate());
}

TEST(DrovantaApi, MissingLibraryRefusesTheDisplayPathWithBothTexts) {
    TempFolder empty;
    ASSERT_FALSE(empty.path().empty());
    DrovantaApi api;
    EXPECT_FALSE(api.load(empty.path()));
    EXPECT_FALSE(api.ready());
    const auto& m = api.failure();
    EXPECT_TRUE(startsWith(m.english, kHeadlineEnglish)) << m.english;
    EXPECT_TRUE(startsWith(m.chinese, kHeadlineChinese)) << m.chinese;
    const std::string path = empty.path() + "/libdrovanta.so";
    EXPECT_NE(m.english.find("Cannot load " + path), std::string::npos) << m.english;
    EXPECT_NE(m.chinese.find(path), std::string::npos) << m.chinese;

    // Nothing can be called through an unbound binding.
    EXPECT_FALSE(api.initialize());
    std::vector<std::uint32_t> x(100, 1);
    std::vector<float> gain(100);
    std::vector<std::uint16_t> line(100);
    ReproSettings s;
    s.sampleRate = 10000.0f;
    EXPECT_FALSE(api.repro(x, s, gain, line).ok);
    EXPECT_FALSE(api.depthSelect(DepthSelectInput{}).ok);
}

TEST(DrovantaApi, FileThatIsNotALibraryIsReportedWithTheLoadersReason) {
    TempFolder folder;
    std::ofstream(folder.path() + "/libdrovanta.so") << "not a shared library";
    DrovantaApi api;
    EXPECT_FALSE(api.load(folder.path()));
    EXPECT_FALSE(api.ready());
    EXPECT_NE(api.failure().english.find("Cannot load"), std::string::npos);
    // The loader's own words follow the path.
    EXPECT_GT(api.failure().english.size(),
              kHeadlineEnglish.size() + std::string("Cannot load ").size() + api.path().size() + 2);
}

TEST(DrovantaApi, MissingEntryPointIsNamedAndTheLibraryIsNotUsed) {
    DrovantaApi api;
    EXPECT_FALSE(api.load(KESTROVA_INCOMPLETE_DROVANTA_DIR));
    EXPECT_FALSE(api.ready());
    const auto& m = api.failure();
    EXPECT_TRUE(startsWith(m.english, kHeadlineEnglish));
    EXPECT_NE(m.english.find("The entry point depth_select_filter is missing"), std::string::npos)
        << m.english;
    EXPECT_EQ(m.english.find("sss_display_repro,"), std::string::npos) << "only the missing one";
    EXPECT_NE(m.chinese.find("depth_select_filter"), std::string::npos) << m.chinese;
    EXPECT_EQ(api.reproEntry(), nullptr);
    EXPECT_FALSE(api.initialize());
}

TEST(DrovantaApi, ProgramFolderIsWhereItLooks) {
    // This test program lives in build/tests, away from build/bin.
    DrovantaApi api;
    const bool loaded = api.load();
    const std::string folder = kestrova::platform::SharedLibrary::executableFolder();
    EXPECT_EQ(api.path(), folder + "/libdrovanta.so");
    EXPECT_EQ(loaded, std::filesystem::exists(folder + "/libdrovanta.so"));
}

TEST(DrovantaApi, ReloadAfterAFailureRecovers) {
    DrovantaApi api;
    EXPECT_FALSE(api.load(KESTROVA_INCOMPLETE_DROVANTA_DIR));
    ASSERT_TRUE(api.load(binFolder()));
    EXPECT_TRUE(api.ready());
    EXPECT_TRUE(api.failure().english.empty());
}

TEST(DrovantaApi, LinesLongerThanTheCallersArraysAreRefusedUntouched) {
    DrovantaApi api;
    ASSERT_TRUE(api.load(binFolder()));
    std::vector<std::uint32_t> x(800, 1000);
    std::vector<float> gain(800, -3.0f);
    std::vector<std::uint16_t> shortLine(799, 0xBEEF);
    ReproSettings s;
    s.sampleRate = 13500.0f;
    EXPECT_FALSE(api.repro(x, s, gain, shortLine).ok);
    for (auto v : shortLine)
        ASSERT_EQ(v, 0xBEEF);
    for (auto v : gain)
        ASSERT_EQ(v, -3.0f);
    // At step 2 the same 800 samples need only 400.
    s.step = 2.0f;
    std::vector<std::uint16_t> half(400);
    std::vector<float> halfGain(400);
    EXPECT_TRUE(api.repro(x, s, halfGain, half).ok);
}

// Guards: a mosaic's other-frequency pings step the bottom choice when
// Drovanta would have taken them, judged without the call; a wrong judgement
// moves the mosaic's bottoms away from the views'.
TEST(DrovantaApi, TakesAgreesWithTheLibrary) {
    DrovantaApi api;
    ASSERT_TRUE(api.load(binFolder()));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (std::uint32_t n : {0u, 32u, 33u, 34u, 600u, 86400u, 86401u}) {
        for (float step : {1.0f, 2.0f}) {
            for (float rate : {20000.0f, 0.0f, -1.0f, nan, inf}) {
                for (float c : {1500.0f, 0.0f, inf}) {
                    for (std::size_t room : {std::size_t{86401}, std::size_t{599}}) {
                        std::vector<std::uint32_t> x(n, 500);
                        std::vector<float> gain(room);
                        std::vector<std::uint16_t> line(room);
                        ReproSettings s;
                        s.sampleRate = rate;
                        s.step = step;
                        s.soundSpeed = c;
                        ASSERT_EQ(api.takes(n, s, room, room), api.repro(x, s, gain, line).ok)
                            << n << " / " << step << " / " << rate << " / " << c << " / " << room;
                    }
                }
            }
        }
    }
}

TEST(DrovantaApi, LineLengthForAgreesWithTheLibrary) {
    DrovantaApi api;
    ASSERT_TRUE(api.load(binFolder()));
    for (float step : {1.0f, 0.5f, 1.37f, 2.9f, 3.0f, 7.77f}) {
        for (std::uint32_t n : {100u, 999u, 4097u, 12345u}) {
            const std::uint32_t want = DrovantaApi::lineLengthFor(n, step);
            std::vector<std::uint32_t> x(n, 500);
            std::vector<float> gain(want);
            std::vector<std::uint16_t> line(want);
            ReproSettings s;
            s.sampleRate = 20000.0f;
            s.step = step;
            const auto r = api.repro(x, s, gain, line);
            ASSERT_EQ(r.lineLength, want < 33 ? 0u : want) << n << " / " << step;
        }
    }
}
