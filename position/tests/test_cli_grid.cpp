// kestrova-cli with the project grid: `positions` puts the geodesy engine's
// grid on every fix, and both `positions` and `geo` read the coordinate set-up
// from section ParaOfGeo of a project configuration file written by the
// configuration store. Also the dating of GGA-only captures.

#include "app/config/configuration.h"
#include "platform/tests/temp_folder.h"
#include "tools/nav-sim/nav_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

using namespace kestrova;

namespace {

std::string cli() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return std::string(bin ? bin : "bin") + "/kestrova-cli";
}

struct CliRun {
    int status = -1;
    std::string out;
};

// `environment`: assignments put before the command, such as the PC's zone.
CliRun run(const std::string& args, const std::string& environment = "") {
    CliRun r;
    std::FILE* p = popen((environment + " " + cli() + " " + args + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
        r.out.append(buf, n);
    r.status = pclose(p);
    return r;
}

double field(const std::string& json, const std::string& key) {
    auto at = json.find("\"" + key + "\":");
    if (at == std::string::npos) return -1.0;
    return std::atof(json.c_str() + at + key.size() + 3);
}

// A project configuration whose central meridian is 120 E, saved as the program saves it.
std::string writeProjectConfig(const kestrova::testing::TempFolder& dir) {
    const std::string path = dir.file("Survey.ini");
    std::ofstream(path) << "";
    app::RecordingMessageSink quiet;
    app::Messenger messenger;
    messenger.setSink(&quiet);
    app::Configuration config(dir.path(), messenger);
    std::memset(config.geo.record.CentralMeridian, 0, sizeof config.geo.record.CentralMeridian);
    std::memcpy(config.geo.record.CentralMeridian, "120000000000E", 13);
    EXPECT_TRUE(config.SaveConfigSection("ParaOfGeo", path));
    return path;
}

} // namespace

// Guards: positions without grid coordinates (or with the flat stand-in) when
// the program's engine is there, and a project's coordinate set-up ignored.
TEST(CliGrid, PositionsCarryTheEnginesGridAndFollowParaOfGeo) {
    kestrova::testing::TempFolder dir;
    navsim::GgaData g;
    g.utcSecondsOfDay = 43200.0;
    g.latitude = 30.0;
    g.longitude = 120.0;
    const std::string capture = dir.file("one.nmea");
    std::ofstream(capture) << navsim::ggaSentence(g);

    CliRun plain = run("positions " + capture + " --type gga");
    ASSERT_EQ(plain.status, 0) << plain.out;
    // The published example: WGS84, Gauss-Krueger, central meridian 117 E.
    EXPECT_NEAR(field(plain.out, "x"), 3323905.467, 0.0011) << plain.out;
    EXPECT_NEAR(field(plain.out, "y"), 789525.463, 0.0011) << plain.out;

    const std::string ini = writeProjectConfig(dir);
    CliRun configured = run("positions " + capture + " --type gga --config " + ini);
    ASSERT_EQ(configured.status, 0) << configured.out;
    // On the central meridian: the false easting and the meridian arc to 30 degrees.
    EXPECT_NEAR(field(configured.out, "x"), 3320113.398, 0.0011) << configured.out;
    EXPECT_NEAR(field(configured.out, "y"), 500000.0, 0.0011) << configured.out;
}

// Guards: geo --config refused or ignored, and a file without the section
// silently converting on the defaults.
TEST(CliGrid, GeoReadsTheProjectsParaOfGeo) {
    kestrova::testing::TempFolder dir;
    const std::string ini = writeProjectConfig(dir);
    const std::string points = dir.file("points.txt");
    std::ofstream(points) << "30 120 0\n";
    CliRun r = run("geo forward --config " + ini + " < " + points);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "3320113.398 500000.000 0.000\n");

    const std::string empty = dir.file("empty.ini");
    std::ofstream(empty) << "[INSPara]\r\nINS_Port=6001\r\n";
    CliRun none = run("geo forward --config " + empty + " < " + points);
    EXPECT_NE(none.status, 0);
    EXPECT_NE(none.out.find("has no section ParaOfGeo"), std::string::npos) << none.out;
    CliRun missing = run("geo forward --config " + dir.file("nowhere.ini") + " < " + points);
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.out.find("path is error!"), std::string::npos) << missing.out;
}

namespace {

// Each position line of a positions dump.
std::vector<std::string> fixLines(const std::string& out) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t end; (end = out.find('\n', from)) != std::string::npos; from = end + 1)
        if (out.compare(from, 8, "{\"time\":") == 0) lines.push_back(out.substr(from, end - from));
    return lines;
}

// A GGA-only receiver sailing due north, one fix a second from `firstUtc`
// (seconds since 1970): 0.001 minute of latitude a second. On the flat grid
// that is 6378137 * pi / 180 / 60000 = 1.855325 m a second, 3.6068 knots.
std::string northboundGgaOnly(double firstUtc, int fixes, const std::string& lineEnd) {
    std::string text;
    for (int i = 0; i < fixes; ++i) {
        navsim::GgaData g;
        g.utcSecondsOfDay = std::fmod(firstUtc + i, 86400.0);
        g.latitude = 24.4 + i / 60000.0;
        g.longitude = 118.14;
        std::string sentence = navsim::ggaSentence(g);
        text += sentence.substr(0, sentence.size() - 2) + lineEnd;
    }
    return text;
}

constexpr double kNorthKnots = 6378137.0 * M_PI / 180.0 / 60000.0 * 1.944;

} // namespace

// Guards: a GGA-only receiver's fixes undated (time 0, so no speed or course)
// for the first seconds, and then dated from the PC's local date, a day off
// whenever that differs from the UTC date (here forced by the PC's zone).
TEST(CliGgaOnly, DatedFromThePcsUtcClockThenTheZone) {
    kestrova::testing::TempFolder dir;
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    // A PC zone that puts its local date on another day than UTC right now.
    const std::string pcZone = utc.tm_hour >= 10 ? "TZ=XXX-14" : "TZ=XXX+12";
    const double first = static_cast<double>(now) - 10.0;
    const std::string capture = dir.file("gga_only.nmea");
    std::ofstream(capture, std::ios::binary) << northboundGgaOnly(first, 8, "\r\n");

    CliRun r = run("positions " + capture + " --type gga --zone 8 --grid flat", pcZone);
    ASSERT_EQ(r.status, 0) << r.out;
    const auto lines = fixLines(r.out);
    ASSERT_EQ(lines.size(), 8u) << r.out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_DOUBLE_EQ(field(lines[i], "time"), first + static_cast<double>(i) + 8 * 3600)
            << lines[i];
        if (i == 0) continue;
        EXPECT_NEAR(field(lines[i], "speed"), kNorthKnots, 0.001) << lines[i];
        EXPECT_EQ(field(lines[i], "course"), 0.0) << lines[i];
    }
}

// Guards: with --date, a GGA-only capture still undated, and a capture whose
// lines end in a bare LF giving no position at all. Across UTC midnight the
// date steps on: 23:59:58 UTC of 1 June 2024 (1717286398) is 07:59:58 on 2 June.
TEST(CliGgaOnly, BareLfCaptureAcrossMidnightWithAGivenDate) {
    kestrova::testing::TempFolder dir;
    const double first = 1717286398.0;
    const std::string capture = dir.file("gga_lf.nmea");
    std::ofstream(capture, std::ios::binary) << northboundGgaOnly(first, 5, "\n");
    CliRun r = run("positions " + capture + " --type gga --zone 8 --date 2024-06-01 --grid flat");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto lines = fixLines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_DOUBLE_EQ(field(lines[i], "time"), first + static_cast<double>(i) + 8 * 3600)
            << lines[i];
        if (i > 0) {
            EXPECT_NEAR(field(lines[i], "speed"), kNorthKnots, 0.001) << lines[i];
        }
    }
    EXPECT_NE(lines[2].find("\"local\":\"2024-06-02 08:00:00.000\""), std::string::npos)
        << lines[2];
    EXPECT_NE(r.out.find("\"noise_bytes\":0,"), std::string::npos) << r.out;
}

namespace {

std::string navSim() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return std::string(bin ? bin : "bin") + "/kestrova-nav-sim";
}

int countLines(const std::string& text, const std::string& with) {
    int n = 0;
    for (std::size_t at = text.find(with); at != std::string::npos; at = text.find(with, at + 1))
        ++n;
    return n;
}

} // namespace

// Guards: the live mode of positions not running the real channel and thread
// (no fixes from a source that is sending), or talking to a non-loopback peer.
TEST(CliGrid, LivePositionsFromTheSimulatorOverUdpAndTcp) {
    std::FILE* p =
        popen((cli() + " positions --udp 127.0.0.1:0 --type gga --seconds 2.5").c_str(), "r");
    ASSERT_TRUE(p);
    char first[128] = {};
    ASSERT_TRUE(std::fgets(first, sizeof first, p));
    const int port = std::atoi(std::strchr(first, '=') ? std::strchr(first, '=') + 1 : "0");
    ASSERT_GT(port, 0) << first;
    ASSERT_EQ(std::system((navSim() + " --udp 127.0.0.1:" + std::to_string(port) +
                           " --rate 5 --seconds 1 --jitter 0 --start-time 1717243200 > /dev/null")
                              .c_str()),
              0);
    std::string out;
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    EXPECT_EQ(pclose(p), 0);
    EXPECT_GE(countLines(out, "\"local\":\"2024-06-01 20:00:"), 3) << out;
    EXPECT_NE(out.find("\"summary\":true"), std::string::npos) << out;
    EXPECT_NE(out.find("\"state\":9}"), std::string::npos) << out;

    // The tool as the TCP client of a positioning server.
    std::FILE* server = popen((navSim() + " --tcp-server 127.0.0.1:0 --type ins --rate 5"
                                          " --seconds 1.5 --start-time 1717243200")
                                  .c_str(),
                              "r");
    ASSERT_TRUE(server);
    ASSERT_TRUE(std::fgets(first, sizeof first, server));
    const char* eq = std::strchr(first, '=');
    ASSERT_NE(eq, nullptr) << first;
    CliRun client = run("positions --tcp-client 127.0.0.1:" + std::to_string(std::atoi(eq + 1)) +
                        " --type ins --seconds 1");
    while (std::fgets(buf, sizeof buf, server)) {
    }
    pclose(server);
    EXPECT_EQ(client.status, 0) << client.out;
    EXPECT_GE(countLines(client.out, "\"local\":\"2024-06-01 20:00:"), 3) << client.out;

    CliRun refused = run("positions --udp 0.0.0.0:6001 --type gga --seconds 1");
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.out.find("only loopback"), std::string::npos) << refused.out;
}
