// kestrova-cli listen against the simulator: the real threads, batches and
// heartbeat end to end.

#include "acquisition/tests/xtf_reader.h"
#include "tools/sonar-sim/sim_process.h"
#include "tools/tests/cli_process.h"

#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>

namespace kestrova::testing {
namespace {

// Every good frame of a faulty stream is listed, and counted in the summary.
TEST(CliListenLive, ListsEveryGoodPing) {
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--autorun", "--speed", "0", "--samples", "120", "--frames", "400",
                           "--seed", "9", "--garbage", "5", "--bad-trailer", "9", "--truncate",
                           "14", "--huge-length", "21", "--repeat", "6"}));
    auto r = runCli("listen --host 127.0.0.1 --port " + std::to_string(sim.dataPort) +
                    " --command-port " + std::to_string(sim.commandPort) + " --seconds 2");
    ASSERT_TRUE(sim.waitExit(5000));
    auto sent = sim.summary();
    ASSERT_TRUE(sent);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(countLines(r.out, "\"freq\":\"HF\""), static_cast<int>(sent->hf));
    EXPECT_EQ(countLines(r.out, "\"freq\":\"LF\""), static_cast<int>(sent->lf));
    const std::string summary = "\"hf\":" + std::to_string(sent->hf) +
                                ",\"lf\":" + std::to_string(sent->lf) +
                                ",\"attitude\":" + std::to_string(sent->attitude);
    EXPECT_NE(r.out.find(summary), std::string::npos) << r.out.substr(r.out.rfind('{'));
}

// The heartbeat goes out every second on both channels.
TEST(CliListenLive, SendsTheHeartbeat) {
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--autorun", "--speed", "2", "--samples", "64"}));
    auto r = runCli("listen --port " + std::to_string(sim.dataPort) + " --command-port " +
                    std::to_string(sim.commandPort) + " --seconds 2.5");
    ASSERT_TRUE(sim.stop());
    auto sent = sim.summary();
    ASSERT_TRUE(sent);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_GE(sent->heartbeats, 4u); // at 1 s and 2 s, command and data
    EXPECT_LE(sent->heartbeats, 6u);
    EXPECT_GT(countLines(r.out, "\"kind\":\"ping\""), 10);
}

TEST(CliListenLive, NoSonarIsAnIoError) {
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--autorun"}));
    const auto port = sim.dataPort;
    sim.kill();
    auto r = runCli("listen --port " + std::to_string(port) + " --seconds 0.5");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no data connection"), std::string::npos);
    EXPECT_NE(r.out.find("\"summary\""), std::string::npos);
}

// The simulator stops by itself at --seconds.
TEST(SonarSim, StopsByItselfAndRefusesBadOptions) {
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--autorun", "--seconds", "0.5"}));
    EXPECT_TRUE(sim.waitExit(5000));
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_TRUE(sim.summary().has_value());
    const std::string s = binDir() + "/kestrova-sonar-sim";
    EXPECT_EQ(WEXITSTATUS(std::system((s + " --frobnicate 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(std::system((s + " --samples 0 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(std::system((s + " --output /tmp/x.bin 2>/dev/null").c_str())), 2);
}

// Same seed, same stream: golden files can be made from it.
TEST(SonarSim, OutputIsDeterministic) {
    const std::string s =
        binDir() + "/kestrova-sonar-sim --frames 50 --samples 32 --truncate 7 --epoch 1714557600";
    const std::string a = "/tmp/kestrova_det_a.bin", b = "/tmp/kestrova_det_b.bin",
                      c = "/tmp/kestrova_det_c.bin";
    ASSERT_EQ(std::system((s + " --seed 4 --output " + a + " >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system((s + " --seed 4 --output " + b + " >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system((s + " --seed 5 --output " + c + " >/dev/null").c_str()), 0);
    EXPECT_EQ(slurp(a), slurp(b));
    EXPECT_NE(slurp(a), slurp(c));
    EXPECT_GT(slurp(a).size(), 5000u);
    for (const auto& p : {a, b, c})
        std::remove(p.c_str());
}

// A SysCfg.ini pointing at the simulator's ports.
void writeSysCfg(const TempFolder& folder, const sim::SimProcess& sim) {
    writeText(folder.file("SysCfg.ini"),
              "[Net]\nIP=127.0.0.1\nPORT1=" + std::to_string(sim.commandPort) +
                  "\nPORT2=" + std::to_string(sim.dataPort) + "\n");
}

// The headless session end to end: identification, configuration, start,
// pings and replies listed, the stop line at the end.
TEST(CliAcquireLive, IdentifiesConfiguresStartsAndStops) {
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--speed", "4", "--model", "QM-301"}));
    TempFolder folder;
    writeSysCfg(folder, sim);
    auto r = runCli("acquire --seconds 2 --config " + folder.path());
    ASSERT_TRUE(sim.stop());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    auto sent = sim.summary();
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->rejected, 0u) << sim.output();
    // Four queries on connecting and four more on Start.
    EXPECT_EQ(countLines(r.out, "\"kind\":\"reply\""), 8);
    EXPECT_EQ(countLines(r.out, "\"text\":\"QM-301\""), 2);
    // QM-301 is model 3, two frequencies.
    EXPECT_NE(r.out.find("{\"kind\":\"model\",\"number\":3,\"frequencies\":2"), std::string::npos)
        << r.out.substr(0, 600);
    const int hf = countLines(r.out, "\"freq\":\"HF\"");
    const int lf = countLines(r.out, "\"freq\":\"LF\"");
    EXPECT_GT(hf, 10);
    EXPECT_GT(lf, 10);
    EXPECT_LE(hf, static_cast<int>(sent->hf));
    const auto lines = sim.commandLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front().rfind("$cmd,set,rtctime,", 0), 0u);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "$cmd,sysrun,1*ff\\r\\n"), lines.end());
    EXPECT_EQ(lines.back(), "$cmd,sysrun,0*ff\\r\\n");
    // Mended: the quit sent the stop line twice.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "$cmd,sysrun,0*ff\\r\\n"), 1);
    EXPECT_NE(r.out.find("\"identifier\":\"QM301-240117\""), std::string::npos);
}

// Guards: a headless survey must keep every ping it listed: the recording
// made with --record plays back with the same pings, and its header names the
// sonar that answered, not the default model.
TEST(CliAcquireLive, RecordsTheSessionIntoTheProjectFolder) {
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--speed", "4", "--model", "QM-301"}));
    TempFolder folder;
    writeSysCfg(folder, sim);
    const std::string project = folder.path() + "/survey";
    auto r = runCli("acquire --seconds 2 --config " + folder.path() + " --record " + project);
    ASSERT_TRUE(sim.stop());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto at = r.out.find("{\"kind\":\"recording\",\"file\":\"");
    ASSERT_NE(at, std::string::npos) << r.out.substr(0, 400);
    const auto start = r.out.find(":\"", at + 17) + 2;
    const std::string file = r.out.substr(start, r.out.find('"', start) - start);
    EXPECT_EQ(file.rfind(project + "/Data/", 0), 0u) << file;
    EXPECT_EQ(file.substr(file.size() - 4), ".ksf");

    const int hf = countLines(r.out, "\"kind\":\"ping\",\"freq\":\"HF\"");
    const int lf = countLines(r.out, "\"kind\":\"ping\",\"freq\":\"LF\"");
    ASSERT_GT(hf, 10);
    auto played = runCli("frames --playback " + file);
    ASSERT_EQ(played.exitCode, 0) << played.err;
    // Pings still in flight when the sonar stopped may be recorded but not listed.
    EXPECT_GE(countLines(played.out, "\"freq\":\"HF\""), hf);
    EXPECT_GE(countLines(played.out, "\"freq\":\"LF\""), lf);
    EXPECT_NE(played.out.find("\"dropped\":0"), std::string::npos);

    // The header names the identified model (device type field at byte 96).
    std::FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char header[1024] = {};
    ASSERT_EQ(std::fread(header, 1, sizeof header, f), sizeof header);
    std::fclose(f);
    EXPECT_EQ(std::string(header + 96, 6), "QM-301");

    EXPECT_EQ(runCli("acquire --seconds 1 --config " + folder.path() + " --record /proc/no/such")
                  .exitCode,
              1);
}

// SIGTERM (and SIGINT) end the session cleanly: the stop line goes out and
// the summary is printed.
TEST(CliAcquireLive, SignalStopsTheSonarAndEndsCleanly) {
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--speed", "4", "--samples", "100"}));
    TempFolder folder;
    writeSysCfg(folder, sim);
    const std::string out = folder.file("out.txt");
    const std::string cmd = binDir() + "/kestrova-cli acquire --seconds 60 --config " +
                            folder.path() + " >" + out + " 2>&1";
    pid_t pid = -1;
    const char* argv[] = {"/bin/sh", "-c", cmd.c_str(), nullptr};
    // exec: the shell becomes the tool, so the signal reaches it.
    const std::string execCmd = "exec " + cmd;
    argv[2] = execCmd.c_str();
    ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    ASSERT_TRUE(sim.waitForOutput("command $cmd,sysrun,1*ff", 8000)) << sim.output();
    ::usleep(300000);
    ::kill(pid, SIGTERM);
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 500 && !ended; ++i) {
        ended = ::waitpid(pid, &status, WNOHANG) == pid;
        if (!ended) ::usleep(10000);
    }
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(ended) << "acquire did not end within 5 s of SIGTERM";
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string text = slurp(out);
    EXPECT_NE(text.find("\"stoppedBySignal\":true"), std::string::npos) << text;
    EXPECT_NE(text.find("{\"summary\""), std::string::npos);
    EXPECT_TRUE(sim.waitForOutput("command $cmd,sysrun,0*ff", 3000));
}

// A loopback UDP port free a moment ago, for the position input to bind.
int freeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

std::string jsonText(const std::string& out, const std::string& key, std::size_t from) {
    const auto at = out.find("\"" + key + "\":\"", from);
    if (at == std::string::npos) return {};
    const auto start = at + key.size() + 4;
    return out.substr(start, out.find('"', start) - start);
}

// Guards the headless survey with positions and XTF: the fixes the
// positioning system sends to the INSPara port must land in the .ksf as
// position records (not be ignored because no window opened the input), and
// --xtf must give a well-formed _HF/_LF pair holding the pings the views drew.
TEST(CliAcquireLive, RecordsPositionsAndXtfWithTheNavigationSimulator) {
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--speed", "4", "--samples", "300", "--model", "QM-301"}));
    const int udp = freeUdpPort();
    ASSERT_GT(udp, 0);
    TempFolder folder;
    // INS_Ip 16777343 is 127.0.0.1 as the file keeps it; mode 1 network, type 0 UDP.
    writeText(folder.file("SysCfg.ini"),
              "[Net]\nIP=127.0.0.1\nPORT1=" + std::to_string(sim.commandPort) +
                  "\nPORT2=" + std::to_string(sim.dataPort) +
                  "\n[INSPara]\nINS_ModeSelect=1\nINS_NetType=0\nINS_Ip=16777343\nINS_Port=" +
                  std::to_string(udp) + "\nINS_DataType=0\n");
    // Bounded by itself: 10 fixes a second for 6 s, longer than the survey.
    const std::string navCmd = binDir() +
                               "/kestrova-nav-sim --udp 127.0.0.1:" + std::to_string(udp) +
                               " --rate 10 --seconds 6 --start-time now >/dev/null 2>&1";
    std::FILE* nav = ::popen(navCmd.c_str(), "r");
    ASSERT_NE(nav, nullptr);
    const std::string project = folder.path() + "/survey";
    auto r =
        runCli("acquire --seconds 3 --config " + folder.path() + " --record " + project + " --xtf");
    ::pclose(nav);
    ASSERT_TRUE(sim.stop());
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const std::string ksf = jsonText(r.out, "file", r.out.find("{\"kind\":\"recording\""));
    ASSERT_EQ(ksf.rfind(project + "/Data/", 0), 0u) << r.out.substr(0, 600);
    auto played = runCli("frames --playback " + ksf);
    ASSERT_EQ(played.exitCode, 0) << played.err;
    // About 30 fixes were sent while recording; at least half must be there.
    EXPECT_GE(countLines(played.out, "\"kind\":\"position\""), 15)
        << r.out.substr(r.out.rfind("{\"kind\":\"device\""));
    const int ksfHf = countLines(played.out, "\"freq\":\"HF\"");
    EXPECT_GT(ksfHf, 10);

    const auto xtfAt = r.out.find("{\"kind\":\"xtf\"");
    ASSERT_NE(xtfAt, std::string::npos) << r.out.substr(0, 600);
    const std::string paths[2] = {jsonText(r.out, "hf", xtfAt), jsonText(r.out, "lf", xtfAt)};
    const char* suffix[2] = {"_HF.xtf", "_LF.xtf"};
    const int listed[2] = {countLines(r.out, "\"kind\":\"ping\",\"freq\":\"HF\""),
                           countLines(r.out, "\"kind\":\"ping\",\"freq\":\"LF\"")};
    for (int f = 0; f < 2; ++f) {
        const std::string& path = paths[f];
        ASSERT_GT(path.size(), 7u);
        EXPECT_EQ(path.substr(path.size() - 7), suffix[f]);
        const std::string bytes = slurp(path);
        const auto file = xtf_read::parse(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        ASSERT_TRUE(file.has_value()) << path;
        EXPECT_TRUE(file->clean) << path;
        EXPECT_EQ(file->header.fileFormat, 0x7B);
        EXPECT_EQ(file->header.numberOfSonarChannels, 2);
        // Every ping a view drew after XTF was switched on is a record; the
        // views drew a few before it was.
        EXPECT_GT(file->pings.size(), 10u) << path;
        EXPECT_LE(static_cast<int>(file->pings.size()), listed[f]) << path;
        for (const auto& p : file->pings) {
            EXPECT_EQ(p.magic, 0xFACE);
            ASSERT_EQ(p.channels.size(), 2u);
            EXPECT_GT(p.channels[0].numSamples, 0u);
        }
        // The survey's fixes reached the XTF pings: the simulator starts
        // away from 0,0, so a ping at the null island means no position.
        bool positioned = false;
        for (const auto& p : file->pings)
            positioned = positioned || (p.shipX != 0.0 && p.shipY != 0.0);
        EXPECT_TRUE(positioned) << path;
    }
}

TEST(CliAcquireLive, BadArgumentsMissingConfigAndNoSonar) {
    EXPECT_EQ(runCli("acquire").exitCode, 2);
    EXPECT_EQ(runCli("acquire --seconds -1").exitCode, 2);
    EXPECT_EQ(runCli("acquire --seconds 1 extra").exitCode, 2);
    // XTF is made only beside a raw recording's folder.
    auto noFolder = runCli("acquire --seconds 1 --xtf");
    EXPECT_EQ(noFolder.exitCode, 2);
    EXPECT_NE(noFolder.err.find("--xtf needs --record or --project"), std::string::npos);
    TempFolder empty;
    auto r = runCli("acquire --seconds 1 --config " + empty.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no SysCfg.ini"), std::string::npos) << r.err;

    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({}));
    TempFolder folder;
    writeSysCfg(folder, sim);
    sim.kill();
    r = runCli("acquire --seconds 1 --config " + folder.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no sonar at 127.0.0.1"), std::string::npos) << r.err;

    // The operator's messages follow the interface language: the PolyvoxSet.lang
    // of the user's settings folder, else the locale (mended: always Chinese).
    const char* lang = std::getenv("LANG");
    const std::string savedLang = lang ? lang : "";
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = xdg ? xdg : "";
    TempFolder user;
    ::setenv("XDG_CONFIG_HOME", user.path().c_str(), 1);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    const std::string english = "Kestrova: Failed to connect Sonar, please check the device!";
    const std::string chinese = "Kestrova: 声纳连接失败，请检查设备！";
    ::setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_NE(runCli("acquire --seconds 1 --config " + folder.path()).err.find(english),
              std::string::npos);
    ::setenv("LANG", "zh_CN.UTF-8", 1);
    EXPECT_NE(runCli("acquire --seconds 1 --config " + folder.path()).err.find(chinese),
              std::string::npos);
    std::filesystem::create_directories(user.path() + "/Kestrova");
    writeText(user.path() + "/Kestrova/PolyvoxSet.lang", "[English]\r\nbEnglish=1\r\n");
    EXPECT_NE(runCli("acquire --seconds 1 --config " + folder.path()).err.find(english),
              std::string::npos);
    if (lang)
        ::setenv("LANG", savedLang.c_str(), 1);
    else
        ::unsetenv("LANG");
    if (xdg)
        ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace kestrova::testing
