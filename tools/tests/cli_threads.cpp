// kestrova-cli listen against the simulator: the real threads, batches and
// heartbeat end to end.

#include "tools/sonar-sim/sim_process.h"
#include "tools/tests/cli_process.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace kestrova::testing
