// kestrova-cli listen against the simulator: the real threads, batches and
// heartbeat end to end.

#include "tools/sonar-sim/sim_process.h"
#include "tools/tests/cli_process.h"

#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <spawn.h>
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

TEST(CliAcquireLive, BadArgumentsMissingConfigAndNoSonar) {
    EXPECT_EQ(runCli("acquire").exitCode, 2);
    EXPECT_EQ(runCli("acquire --seconds -1").exitCode, 2);
    EXPECT_EQ(runCli("acquire --seconds 1 extra").exitCode, 2);
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
}

} // namespace
} // namespace kestrova::testing
