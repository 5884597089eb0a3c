// kestrova-nav-sim as a peer program: its output read back through a pipe and
// over loopback UDP, and its refusal of any address that is not loopback.

#include "platform/serial.h"
#include "position/flat_grid_converter.h"
#include "position/position_stream.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

using namespace kestrova::position;

namespace {

std::string sim() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return std::string(bin ? bin : "bin") + "/kestrova-nav-sim";
}

struct Parsed {
    std::vector<StepResult> positions;
    StreamCounts counts;
};

Parsed parseAll(PositionStream& s, std::FILE* in) {
    Parsed p;
    std::uint8_t block[4095];
    std::uint32_t tick = 0;
    while (std::size_t n = std::fread(block, 1, sizeof block, in)) {
        s.appendBytes(std::span<const std::uint8_t>(block, n));
        for (;;) {
            auto r = s.step(tick);
            if (r.kind == StepResult::Kind::Idle) break;
            if (r.kind == StepResult::Kind::Position) p.positions.push_back(r);
        }
    }
    p.counts = s.counts();
    return p;
}

} // namespace

TEST(NavSim, GgaThroughAPipeSailsAtTheChosenSpeed) {
    FlatGridConverter grid;
    PositionStream s(DataType::GgaZda);
    s.decoder().setConverter(&grid);
    std::string cmd = sim() + " --stdout --fast --seconds 60 --rate 2 --seed 5 --speed 4.5"
                              " --start-time 1717243200 --jitter 0";
    std::FILE* pipe = popen(cmd.c_str(), "r");
    ASSERT_TRUE(pipe);
    Parsed p = parseAll(s, pipe);
    ASSERT_EQ(pclose(pipe), 0);
    ASSERT_EQ(p.positions.size(), 120u);
    EXPECT_EQ(p.counts.timeMessages, 60u);
    EXPECT_EQ(p.counts.badChecksum, 0u);
    // On the first line, north at 4.5 knots (the first 85 s of the pattern).
    int checked = 0;
    for (std::size_t i = 4; i < p.positions.size(); ++i) {
        const auto& r = p.positions[i].record;
        EXPECT_NEAR(r.speed, 4.5, 0.05) << i;
        EXPECT_TRUE(r.course < 0.5 || r.course > 359.5) << r.course;
        EXPECT_EQ(r.quality, 4);
        ++checked;
    }
    EXPECT_GT(checked, 100);
    // Dated by ZDA: 12:00 UTC + 8 h on 1 June 2024.
    EXPECT_DOUBLE_EQ(p.positions[2].record.fixTime, 1717200000.0 + 20 * 3600 + 1.0);
}

TEST(NavSim, FaultsAreCountedNotTaken) {
    PositionStream s(DataType::GgaZda);
    std::string cmd = sim() + " --stdout --fast --seconds 100 --rate 1 --seed 11"
                              " --faults checksum,cut,noise --fault-rate 0.2";
    std::FILE* pipe = popen(cmd.c_str(), "r");
    ASSERT_TRUE(pipe);
    Parsed p = parseAll(s, pipe);
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_GT(p.counts.badChecksum, 5u);
    EXPECT_GT(s.textStats().noiseBytes, 20u);
    EXPECT_GT(s.textStats().cutSentences, 5u);
    EXPECT_LT(p.positions.size(), 100u);
    EXPECT_GT(p.positions.size(), 40u);
    for (const auto& r : p.positions)
        EXPECT_NEAR(r.record.latitude, 24.40, 0.01);
}

TEST(NavSim, RefusesAddressesOffLoopback) {
    for (const char* arg : {"--udp 192.168.1.10:6001", "--tcp-client 10.0.0.1:6001",
                            "--tcp-server 0.0.0.0:0", "--udp 8.8.8.8:53"}) {
        std::string cmd = sim() + " " + arg + " --seconds 1 2>/dev/null";
        int rc = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(rc));
        EXPECT_EQ(WEXITSTATUS(rc), 2) << arg;
    }
}

TEST(NavSim, InsFramesOverLoopbackUdp) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    int port = ntohs(a.sin_port);

    std::string cmd = sim() + " --type ins --udp 127.0.0.1:" + std::to_string(port) +
                      " --rate 10 --seconds 1.5 >/dev/null &";
    ASSERT_EQ(std::system(cmd.c_str()), 0);

    PositionStream s(DataType::OstraIns);
    int positions = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (positions < 10 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        std::uint8_t buf[4095];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) continue;
        s.appendBytes(std::span<const std::uint8_t>(buf, static_cast<std::size_t>(n)));
        while (s.step(0).kind == StepResult::Kind::Position)
            ++positions;
    }
    close(fd);
    EXPECT_GE(positions, 10);
    EXPECT_EQ(s.counts().framesRejected, 0u);
}

TEST(NavSim, GgaOverAPtyReadThroughTheSerialPort) {
    // The serial path end to end: the simulator on the master side of a pty,
    // the program's serial port on the slave, at 4800 baud with even parity.
    std::string cmd = sim() + " --pty --rate 10 --seconds 3";
    std::FILE* out = popen(cmd.c_str(), "r");
    ASSERT_TRUE(out);
    char line[256] = {};
    ASSERT_TRUE(std::fgets(line, sizeof line, out));
    std::string text = line;
    ASSERT_EQ(text.rfind("pty ", 0), 0u) << text;
    std::string path = text.substr(4, text.find_last_not_of("\r\n") - 3);

    kestrova::platform::SerialPort port;
    ASSERT_TRUE(port.open(path, kestrova::platform::serialSettingsFromIndices(6, 0, 0, 2)))
        << port.error();
    PositionStream s(DataType::GgaZda);
    int positions = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (positions < 5 && std::chrono::steady_clock::now() < deadline) {
        std::uint8_t buf[4095];
        auto r = port.read(buf);
        if (!r.ok) break;
        if (r.count == 0) {
            usleep(5000);
            continue;
        }
        s.appendBytes(std::span<const std::uint8_t>(buf, r.count));
        for (;;) {
            auto step = s.step(0);
            if (step.kind == StepResult::Kind::Idle) break;
            if (step.kind == StepResult::Kind::Position) ++positions;
        }
    }
    port.close();
    pclose(out);
    EXPECT_GE(positions, 5);
    EXPECT_EQ(s.counts().badChecksum, 0u);
}
