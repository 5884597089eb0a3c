// kestrova-cli frames / listen: usage and I/O errors exit non-zero, bad input
// never crashes and exits 0.

#include "tools/tests/cli_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace kestrova::testing {
namespace {

TEST(CliFrames, UsageErrorsExitTwo) {
    EXPECT_EQ(runCli("frames").exitCode, 2);
    EXPECT_EQ(runCli("frames a b").exitCode, 2);
    EXPECT_EQ(runCli("frames --bogus x").exitCode, 2);
    EXPECT_EQ(runCli("").exitCode, 2);
    EXPECT_EQ(runCli("nosuchcommand").exitCode, 2);
}

TEST(CliFrames, IoErrorsExitOne) {
    auto missing = runCli("frames /nonexistent/capture.bin");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
    // A folder opens but cannot be read.
    EXPECT_EQ(runCli("frames /tmp").exitCode, 1);
}

// Random bytes: no frame, no crash, a summary that counts the bytes.
TEST(CliFrames, GarbageGivesASummaryAndExitZero) {
    const std::string path = "/tmp/kestrova_garbage_" + std::to_string(::getpid()) + ".bin";
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::mt19937 rng(11);
        for (int i = 0; i < 300000; ++i)
            std::fputc(static_cast<int>(rng() & 0xFF), f);
        // A sync pair with an impossible length right at the end.
        const unsigned char tail[16] = {0x02, 0x17, 0x10, 0x00, 0xFF, 0xFF, 0,    0,
                                        1,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF};
        std::fwrite(tail, 1, sizeof tail, f);
        std::fclose(f);
    }
    auto r = runCli("frames -", path);
    std::remove(path.c_str());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "{\"summary\":{\"bytes\":300016,\"hf\":0,\"lf\":0,\"attitude\":0,\"dropped\":1}}\n");
}

TEST(CliListen, UsageErrorsExitTwo) {
    EXPECT_EQ(runCli("listen --host 10.0.0").exitCode, 2);
    EXPECT_EQ(runCli("listen --host localhost").exitCode, 2);
    EXPECT_EQ(runCli("listen --port 0").exitCode, 2);
    EXPECT_EQ(runCli("listen --port 70000").exitCode, 2);
    EXPECT_EQ(runCli("listen --seconds -1").exitCode, 2);
    EXPECT_EQ(runCli("listen --seconds").exitCode, 2);
    EXPECT_EQ(runCli("listen extra").exitCode, 2);
}

} // namespace
} // namespace kestrova::testing
