#include "platform/serial.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace kestrova::platform {

namespace detail {
bool setCustomBaudRate(int fd, int baud);
int customBaudRate(int fd);
} // namespace detail

namespace {

constexpr int kBaudRates[] = {115200, 57600, 56000, 38400, 19200, 9600, 4800, 2400, 1200, 600, 300};
constexpr int kDataBits[] = {8, 7, 6, 5};

speed_t standardSpeed(int baud) {
    switch (baud) {
    case 115200:
        return B115200;
    case 57600:
        return B57600;
    case 38400:
        return B38400;
    case 19200:
        return B19200;
    case 9600:
        return B9600;
    case 4800:
        return B4800;
    case 2400:
        return B2400;
    case 1200:
        return B1200;
    case 600:
        return B600;
    case 300:
        return B300;
    case 230400:
        return B230400;
    default:
        return 0;
    }
}

tcflag_t characterSize(int bits) {
    switch (bits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

// Natural order: the digits of a name compare as a number.
bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) &&
            std::isdigit(static_cast<unsigned char>(b[j]))) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

int normalizedIndex(int index, int count) {
    return index >= 0 && index < count ? index : 0;
}

int baudRateForIndex(int index) {
    return kBaudRates[normalizedIndex(index, static_cast<int>(std::size(kBaudRates)))];
}
int dataBitsForIndex(int index) {
    return kDataBits[normalizedIndex(index, static_cast<int>(std::size(kDataBits)))];
}
StopBits stopBitsForIndex(int index) {
    static constexpr StopBits kStop[] = {StopBits::One, StopBits::OneAndHalf, StopBits::Two};
    return kStop[normalizedIndex(index, 3)];
}
Parity parityForIndex(int index) {
    static constexpr Parity kParity[] = {Parity::None, Parity::Odd, Parity::Even, Parity::Mark,
                                         Parity::Space};
    return kParity[normalizedIndex(index, 5)];
}

SerialSettings serialSettingsFromIndices(int baud, int dataBits, int stopBits, int parity) {
    return SerialSettings{baudRateForIndex(baud), dataBitsForIndex(dataBits),
                          stopBitsForIndex(stopBits), parityForIndex(parity)};
}

void setLineFlags(termios& t, const SerialSettings& s) {
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    t.c_cflag |= characterSize(s.dataBits);
    // One and a half stop bits exist only with five data bits; the UART sends
    // them when two are asked for with a five-bit character.
    if (s.stopBits != StopBits::One) t.c_cflag |= CSTOPB;
    t.c_iflag &= ~(INPCK | IGNPAR | PARMRK | ISTRIP | IXON | IXOFF | IXANY);
    switch (s.parity) {
    case Parity::None:
        break;
    case Parity::Odd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case Parity::Even:
        t.c_cflag |= PARENB;
        break;
    case Parity::Mark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case Parity::Space:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
    // A character with a parity error is dropped: the sentence checksum or the
    // frame's sync words then refuse what it belonged to.
    if (s.parity != Parity::None) t.c_iflag |= INPCK | IGNPAR;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    speed_t speed = standardSpeed(s.baudRate);
    if (speed != 0) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    }
}

namespace {

// A pseudo terminal always reports eight bits without parity, whatever it is told.
bool isPseudoTerminal(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return false;
    unsigned m = major(st.st_rdev);
    return S_ISCHR(st.st_mode) && m >= 136 && m <= 143;
}

} // namespace

bool applySerialSettings(int fd, const SerialSettings& s) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    setLineFlags(t, s);
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        // A pseudo terminal cannot hold the parity enable; when that is all a
        // request would change (the port reopened with the same settings) the
        // kernel refuses it as invalid although the line is already as asked.
        termios now{};
        if (errno != EINVAL || !isPseudoTerminal(fd) || tcgetattr(fd, &now) != 0) return false;
        const tcflag_t fixed = CSIZE | PARENB;
        if ((now.c_cflag & ~fixed) != (t.c_cflag & ~fixed) || now.c_iflag != t.c_iflag ||
            now.c_oflag != t.c_oflag || now.c_lflag != t.c_lflag ||
            now.c_cc[VMIN] != t.c_cc[VMIN] || now.c_cc[VTIME] != t.c_cc[VTIME])
            return false;
    }
    if (standardSpeed(s.baudRate) == 0 && !detail::setCustomBaudRate(fd, s.baudRate)) return false;
    // tcsetattr succeeds when any part was taken: check that the line is as
    // asked, so a port that cannot do the chosen parity is not opened silently without.
    termios back{};
    if (tcgetattr(fd, &back) != 0) return false;
    tcflag_t wanted = CSTOPB | PARODD | CMSPAR;
    if (!isPseudoTerminal(fd)) wanted |= CSIZE | PARENB;
    return (back.c_cflag & wanted) == (t.c_cflag & wanted);
}

int currentBaudRate(int fd) {
    return detail::customBaudRate(fd);
}

SerialPort::~SerialPort() {
    close();
}

bool SerialPort::open(const std::string& name, const SerialSettings& settings) {
    close();
    error_.clear();
    if (name.empty()) {
        error_ = "no port selected";
        return false;
    }
    std::string path = name.find('/') == std::string::npos ? "/dev/" + name : name;
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error_ = path + ": " + std::strerror(errno);
        return false;
    }
    // Exclusive: the advisory lock holds against every program that locks
    // (root included); TIOCEXCL keeps out the others that do not.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0 || !isatty(fd)) {
        error_ = path + ": in use or not a serial port";
        ::close(fd);
        return false;
    }
    if (!applySerialSettings(fd, settings)) {
        error_ = path + ": line settings refused";
        ::close(fd);
        return false;
    }
    tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    path_ = path;
    return true;
}

void SerialPort::close() {
    if (fd_ < 0) return;
    ioctl(fd_, TIOCNXCL);
    flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

SerialRead SerialPort::read(std::span<std::uint8_t> into) {
    SerialRead r;
    if (fd_ < 0) {
        r.ok = false;
        return r;
    }
    if (into.empty()) return r;
    for (;;) {
        ssize_t n = ::read(fd_, into.data(), into.size());
        if (n > 0) {
            r.count = static_cast<std::size_t>(n);
            return r;
        }
        if (n == 0) {
            // Nothing there, or the line hung up (device unplugged, peer gone).
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) r.ok = false;
            return r;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return r;
        r.ok = false;
        return r;
    }
}

bool SerialPort::write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) return false;
    using Clock = std::chrono::steady_clock;
    auto deadline =
        Clock::now() + std::chrono::milliseconds(2000 + 50 * static_cast<long long>(bytes.size()));
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 100)));
    }
    return true;
}

std::vector<std::string> listSerialPorts(const std::string& devDir) {
    std::vector<std::string> names;
    DIR* dir = opendir(devDir.c_str());
    if (!dir) return names;
    while (dirent* e = readdir(dir)) {
        std::string n = e->d_name;
        for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
            std::size_t len = std::strlen(prefix);
            if (n.size() > len && n.compare(0, len, prefix) == 0 &&
                std::all_of(n.begin() + static_cast<std::ptrdiff_t>(len), n.end(),
                            [](char c) { return c >= '0' && c <= '9'; })) {
                names.push_back(n);
                break;
            }
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), naturalLess);
    if (names.size() > 256) names.resize(256);
    std::string base = devDir.empty() || devDir.back() == '/' ? devDir : devDir + "/";
    for (auto& n : names)
        n = base + n;
    return names;
}

} // namespace kestrova::platform
