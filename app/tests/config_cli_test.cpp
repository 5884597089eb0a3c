// kestrova-cli config show: the settings a project configuration file yields.

#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <sys/wait.h>

namespace {

using kestrova::testing::TempFolder;
using kestrova::testing::writeText;

struct CliRun {
    int status = -1;
    std::string out;
};

CliRun runCli(const std::string& arguments) {
    const char* bin = std::getenv("KESTROVA_BIN");
    CliRun r;
    if (bin == nullptr) return r;
    std::string command = std::string(bin) + "/kestrova-cli " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        r.out.append(buf, n);
    int raw = ::pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        out.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return out;
}

// Guards: the listing must show what loading gives (numeric prefixes, missing-key
// defaults, unquoted texts), every key once, in load order.
TEST(ConfigShow, PrintsEverySettingAfterDefaults) {
    TempFolder dir;
    std::string file = dir.file("Survey.ini");
    writeText(file, "[SonarSetPara]\r\nRange_HF=7abc\r\nFitSoundVelocity=1480.5\r\n"
                    "[ParaOfGeo]\r\nPTransRa='0.5'\r\n[ParaOfNavi]\r\nTrackColor=255\r\n");
    CliRun r = runCli("config show " + file);
    ASSERT_EQ(r.status, 0) << r.out;
    auto out = lines(r.out);
    EXPECT_EQ(out.size(), 47u + 48u + 21u + 9u);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.front(), "SonarSetPara.ChEn_HF=1");
    EXPECT_EQ(out.back(), "INSPara.INS_CheckBit=0");
    auto has = [&](const std::string& line) {
        return std::find(out.begin(), out.end(), line) != out.end();
    };
    EXPECT_TRUE(has("SonarSetPara.Range_HF=7"));
    EXPECT_TRUE(has("SonarSetPara.FitSoundVelocity=1480.500000"));
    EXPECT_TRUE(has("SonarSetPara.FitShipSpeed=0.000000"));
    EXPECT_TRUE(has("SonarSetPara.BT_bOn=1"));
    EXPECT_TRUE(has("ParaOfGeo.PTransRa=0.5"));
    EXPECT_TRUE(has("ParaOfGeo.Version=001.000"));
    EXPECT_TRUE(has("ParaOfNavi.TrackColor=255"));
    EXPECT_TRUE(has("ParaOfNavi.ViewBKColor=16707019"));
    EXPECT_TRUE(has("INSPara.INS_Ip=16777343"));
}

TEST(ConfigShow, MissingFileAndBadUsageFail) {
    TempFolder dir;
    CliRun missing = runCli("config show " + dir.file("none.ini"));
    EXPECT_EQ(missing.status, 1);
    auto out = lines(missing.out);
    EXPECT_EQ(out.size(), 4u) << missing.out;
    for (const auto& l : out)
        EXPECT_EQ(l.rfind("Kestrova: ", 0), 0u) << l;
    EXPECT_EQ(runCli("config").status, 2);
    EXPECT_EQ(runCli("config list x").status, 2);
}

} // namespace
