#pragma once
// The serial port of the positioning receiver: opened by name with the line
// settings the operator chose (baud rate, data bits, stop bits, parity), reads
// that return at once with what is there, writes bounded in time, and the list
// of ports found the Linux way.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct termios;

namespace kestrova::platform {

enum class StopBits { One, OneAndHalf, Two };
enum class Parity { None, Odd, Even, Mark, Space };

struct SerialSettings {
    int baudRate = 115200;
    int dataBits = 8; // 5..8
    StopBits stopBits = StopBits::One;
    Parity parity = Parity::None;
};

// The settings page's indices (INS_BaudRate, INS_DataBit, INS_StopBit,
// INS_CheckBit). An index out of range reads as index 0.
int baudRateForIndex(int index);      // 0 115200, 1 57600, 2 56000, 3 38400, ... 10 300
int dataBitsForIndex(int index);      // 0 eight, 1 seven, 2 six, 3 five
StopBits stopBitsForIndex(int index); // 0 one, 1 one and a half, 2 two
Parity parityForIndex(int index);     // 0 none, 1 odd, 2 even, 3 mark, 4 space
int normalizedIndex(int index, int count);
SerialSettings serialSettingsFromIndices(int baud, int dataBits, int stopBits, int parity);

struct SerialRead {
    bool ok = true; // false: the port failed (unplugged, hung up) and should be closed
    std::size_t count = 0;
};

class SerialPort {
  public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // `name` is a device path ("/dev/ttyUSB0") or a name under /dev ("ttyUSB0").
    // Exclusive: a port another program (or this one) holds is refused.
    bool open(const std::string& name, const SerialSettings& settings);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    // Reads what has arrived, without waiting.
    SerialRead read(std::span<std::uint8_t> into);
    // Writes everything within 50 ms per byte plus 2000 ms; false on failure or time-out.
    bool write(std::span<const std::uint8_t> bytes);
    int fd() const { return fd_; }
    // Why the last open failed, for the operator's message.
    const std::string& error() const { return error_; }

  private:
    int fd_ = -1;
    std::string path_;
    std::string error_;
};

// The line settings as terminal flags (raw, no flow control, reads returning at once).
void setLineFlags(termios& t, const SerialSettings& settings);

// Applies the line settings to an open terminal (raw, no flow control,
// reads returning at once). False when the terminal refuses them.
bool applySerialSettings(int fd, const SerialSettings& settings);

// The line's baud rate as the terminal holds it; -1 when it cannot be read.
int currentBaudRate(int fd);

// Serial devices under `devDir`: ttyS*, ttyUSB*, ttyACM*, in natural order
// (ttyS2 before ttyS10), at most 256, as full paths.
std::vector<std::string> listSerialPorts(const std::string& devDir = "/dev");

} // namespace kestrova::platform
