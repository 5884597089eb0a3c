// The serial channel over a real pty pair: the line settings the operator
// chose must reach the terminal (parity included, which used to be dropped),
// bytes must flow both ways without blocking, and a hung-up line must read as
// a failure.

#include "platform/serial.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace kestrova::platform;

namespace {

struct PtyPair {
    PtyPair() {
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) master = slave = -1;
    }
    ~PtyPair() {
        if (master >= 0) close(master);
        if (slave >= 0) close(slave);
    }
    termios slaveSettings() const {
        termios t{};
        tcgetattr(slave, &t);
        return t;
    }
    int master = -1;
    int slave = -1;
    char name[256] = {};
};

std::size_t readSome(SerialPort& port, std::string& out, std::size_t want) {
    std::uint8_t buf[512];
    for (int i = 0; i < 200 && out.size() < want; ++i) {
        auto r = port.read(buf);
        if (!r.ok) break;
        out.append(reinterpret_cast<char*>(buf), r.count);
        if (r.count == 0) usleep(2000);
    }
    return out.size();
}

} // namespace

TEST(SerialSettingsIndices, OutOfRangeReadsAsIndexZero) {
    EXPECT_EQ(baudRateForIndex(0), 115200);
    EXPECT_EQ(baudRateForIndex(5), 9600);
    EXPECT_EQ(baudRateForIndex(10), 300);
    EXPECT_EQ(baudRateForIndex(11), 115200);
    EXPECT_EQ(normalizedIndex(11, 11), 0);
    EXPECT_EQ(dataBitsForIndex(1), 7);
    EXPECT_EQ(dataBitsForIndex(3), 5);
    EXPECT_EQ(dataBitsForIndex(-1), 8);
    EXPECT_EQ(stopBitsForIndex(2), StopBits::Two);
    EXPECT_EQ(parityForIndex(2), Parity::Even);
    EXPECT_EQ(parityForIndex(9), Parity::None);
}

TEST(SerialPortPty, ParityDataAndStopBitsAreApplied) {
    struct Case {
        SerialSettings s;
        tcflag_t size;
        bool parenb, parodd, cmspar, cstopb;
    };
    const Case cases[] = {
        {{9600, 7, StopBits::Two, Parity::Even}, CS7, true, false, false, true},
        {{19200, 8, StopBits::One, Parity::Odd}, CS8, true, true, false, false},
        {{4800, 6, StopBits::One, Parity::Mark}, CS6, true, true, true, false},
        {{2400, 5, StopBits::OneAndHalf, Parity::Space}, CS5, true, false, true, true},
        {{115200, 8, StopBits::One, Parity::None}, CS8, false, false, false, false},
    };
    for (const Case& c : cases) {
        PtyPair pty;
        ASSERT_GE(pty.master, 0);
        SerialPort port;
        ASSERT_TRUE(port.open(pty.name, c.s)) << port.error();
        // A pty keeps eight bits without parity enable whatever it is told, so
        // character size and enable are checked on the flags handed over, the
        // rest on the line itself.
        termios asked{};
        setLineFlags(asked, c.s);
        EXPECT_EQ(asked.c_cflag & CSIZE, c.size);
        EXPECT_EQ((asked.c_cflag & PARENB) != 0, c.parenb) << c.s.baudRate;
        EXPECT_EQ((asked.c_cflag & CRTSCTS), 0u) << "no hardware flow control";
        termios t = pty.slaveSettings();
        EXPECT_EQ((t.c_cflag & PARODD) != 0, c.parodd) << c.s.baudRate;
        EXPECT_EQ((t.c_cflag & CMSPAR) != 0, c.cmspar) << c.s.baudRate;
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.cstopb) << c.s.baudRate;
        EXPECT_EQ((t.c_iflag & INPCK) != 0, c.parenb) << "parity checked on input";
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u) << "raw line";
        EXPECT_EQ(currentBaudRate(pty.slave), c.s.baudRate);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 0);
    }
}

TEST(SerialPortPty, BaudRateWithoutAConstantIsSetExactly) {
    PtyPair pty;
    ASSERT_GE(pty.master, 0);
    SerialPort port;
    ASSERT_TRUE(port.open(pty.name, serialSettingsFromIndices(2, 0, 0, 0))) << port.error();
    EXPECT_EQ(currentBaudRate(pty.slave), 56000);
}

TEST(SerialPortPty, BytesFlowBothWaysAndReadsDoNotWait) {
    PtyPair pty;
    ASSERT_GE(pty.master, 0);
    SerialPort port;
    ASSERT_TRUE(port.open(std::string(pty.name), SerialSettings{}));
    std::uint8_t buf[64];
    auto empty = port.read(buf);
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(empty.count, 0u) << "nothing there: the read returns at once";

    std::string sentence = "$GPZDA,120000.00,01,06,2024,00,00*66\r\n";
    ASSERT_EQ(write(pty.master, sentence.data(), sentence.size()),
              static_cast<ssize_t>(sentence.size()));
    std::string got;
    readSome(port, got, sentence.size());
    EXPECT_EQ(got, sentence) << "no translation of CR/LF on a raw line";

    std::string reply = "$PCMD,1*00\r\n";
    ASSERT_TRUE(port.write(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size())));
    char back[64] = {};
    pollfd p{pty.master, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 2000), 1);
    EXPECT_EQ(read(pty.master, back, sizeof back), static_cast<ssize_t>(reply.size()));
    EXPECT_EQ(std::string(back, reply.size()), reply);
}

TEST(SerialPortPty, SecondOpenOfAHeldPortFails) {
    PtyPair pty;
    ASSERT_GE(pty.master, 0);
    SerialPort a, b;
    ASSERT_TRUE(a.open(pty.name, SerialSettings{}));
    EXPECT_FALSE(b.open(pty.name, SerialSettings{}));
    EXPECT_FALSE(b.error().empty());
    a.close();
    EXPECT_TRUE(b.open(pty.name, SerialSettings{})) << b.error();
}

TEST(SerialPortPty, HungUpLineReadsAsFailure) {
    PtyPair pty;
    ASSERT_GE(pty.master, 0);
    SerialPort port;
    ASSERT_TRUE(port.open(pty.name, SerialSettings{}));
    close(pty.master);
    pty.master = -1;
    close(pty.slave);
    pty.slave = -1;
    std::uint8_t buf[16];
    EXPECT_FALSE(port.read(buf).ok);
}

TEST(SerialPortPty, MissingDeviceOrNoTerminalIsRefused) {
    SerialPort port;
    EXPECT_FALSE(port.open("/dev/ttyUSB_kestrova_none", SerialSettings{}));
    EXPECT_FALSE(port.open("", SerialSettings{}));
    EXPECT_FALSE(port.open("/dev/null", SerialSettings{})) << "not a serial line";
    EXPECT_FALSE(port.isOpen());
}

TEST(SerialPortList, SerialDevicesInNaturalOrder) {
    auto dir =
        std::filesystem::temp_directory_path() / ("kestrova_dev_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    for (const char* n : {"ttyS10", "ttyS2", "ttyUSB0", "ttyACM1", "tty0", "ttyS", "ttySx1", "null",
                          "ttyUSB11", "ttyUSB3"})
        std::ofstream(dir / n).put('\n');
    auto ports = listSerialPorts(dir.string());
    std::vector<std::string> names;
    for (auto& p : ports)
        names.push_back(std::filesystem::path(p).filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{"ttyACM1", "ttyS2", "ttyS10", "ttyUSB0", "ttyUSB3",
                                               "ttyUSB11"}));
    EXPECT_EQ(ports[0], (dir / "ttyACM1").string());
    std::filesystem::remove_all(dir);
    EXPECT_TRUE(listSerialPorts("/nonexistent_kestrova").empty());
}

// Guards: a port closed and opened again with the same parity refused, so the
// operator could not reopen the positioning line after closing it.
TEST(SerialPortPty, ReopenWithTheSameParitySucceeds) {
    PtyPair pty;
    ASSERT_GE(pty.master, 0);
    const SerialSettings s{9600, 8, StopBits::Two, Parity::Odd};
    for (int i = 0; i < 3; ++i) {
        SerialPort port;
        ASSERT_TRUE(port.open(pty.name, s)) << i << ": " << port.error();
        termios t = pty.slaveSettings();
        EXPECT_TRUE(t.c_cflag & PARODD);
        EXPECT_TRUE(t.c_cflag & CSTOPB);
        EXPECT_EQ(currentBaudRate(pty.slave), 9600);
    }
}
