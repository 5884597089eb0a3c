// kestrova-nav-sim: a positioning source for the position input. It sails a
// vessel along a survey pattern and reports it as GGA+ZDA sentences, INS
// frames or Custom frames, over loopback only.

#include "tools/nav-sim/nav_model.h"
#include "tools/nav-sim/sim_world.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace kestrova::navsim;

volatile std::sig_atomic_t gStop = 0;
void onSignal(int) {
    gStop = 1;
}

const char* kUsage =
    "usage: kestrova-nav-sim [--type gga|ins|custom] [--rate HZ] [--seconds S] [--seed N]\n"
    "         (--udp [HOST:]PORT | --tcp-server [HOST:]PORT | --tcp-client [HOST:]PORT |\n"
    "          --pty | --stdout | --file PATH)\n"
    "         [--fast] [--start-time UTC_EPOCH_SECONDS|now] [--start-lat DEG] [--start-lon DEG]\n"
    "         [--heading DEG] [--line-length M] [--line-spacing M] [--lines N] [--speed KNOTS]\n"
    "         [--quality Q] [--jitter M] [--faults checksum,cut,noise] [--fault-rate P]\n"
    "         [--silence AT:FOR] [--time-jump AT:BY] [--no-zda] [--line-end crlf|lf|cr]\n"
    "         [--world SEED [--world-start UTC_EPOCH_SECONDS]]\n"
    "--world sails the pattern of the world kestrova-sonar-sim --world SEED shares,\n"
    "at the UTC time of each message (the pattern options do not apply).\n"
    "Addresses are loopback only (127.x.x.x); port 0 lets the kernel choose (printed).\n";

int usage(const std::string& why) {
    if (!why.empty()) std::fprintf(stderr, "kestrova-nav-sim: %s\n", why.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

bool toDouble(const std::string& s, double& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtod(s.c_str(), &end);
    return !s.empty() && errno == 0 && end == s.c_str() + s.size();
}

bool pairOf(const std::string& s, double& a, double& b) {
    auto colon = s.find(':');
    return colon != std::string::npos && toDouble(s.substr(0, colon), a) &&
           toDouble(s.substr(colon + 1), b);
}

// "[HOST:]PORT" with HOST a loopback address; the only peers this program talks to.
bool loopbackEndpoint(const std::string& text, sockaddr_in& out, std::string& why) {
    std::string host = "127.0.0.1", port = text;
    auto colon = text.rfind(':');
    if (colon != std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (host == "localhost") host = "127.0.0.1";
    std::memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    if (inet_pton(AF_INET, host.c_str(), &out.sin_addr) != 1) {
        why = "not an IPv4 address: " + host;
        return false;
    }
    if ((ntohl(out.sin_addr.s_addr) >> 24) != 127) {
        why = "refusing " + host + ": only loopback addresses (127.x.x.x) are allowed";
        return false;
    }
    double p = 0;
    if (!toDouble(port, p) || p < 0 || p > 65535 || p != static_cast<int>(p)) {
        why = "bad port: " + port;
        return false;
    }
    out.sin_port = htons(static_cast<std::uint16_t>(p));
    return true;
}

enum class Output { None, Udp, TcpServer, TcpClient, Pty, Stdout, File };

struct Sink {
    Output kind = Output::None;
    sockaddr_in peer{};
    int fd = -1;       // udp socket, listening socket, client socket, pty master, file
    int client = -1;   // accepted client (tcp server)
    int ptySlave = -1; // kept open so the line lives while nobody reads
    std::string path;

    bool open(std::string& why) {
        switch (kind) {
        case Output::Udp:
            fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            if (fd < 0) return fail(why, "socket");
            std::printf("sending udp=%u\n", ntohs(peer.sin_port));
            return true;
        case Output::TcpServer: {
            fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (fd < 0) return fail(why, "socket");
            int one = 1;
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            if (bind(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0)
                return fail(why, "bind");
            if (listen(fd, 4) != 0) return fail(why, "listen");
            sockaddr_in bound{};
            socklen_t len = sizeof bound;
            getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len);
            std::printf("listening port=%u\n", ntohs(bound.sin_port));
            return true;
        }
        case Output::TcpClient:
            std::printf("connecting port=%u\n", ntohs(peer.sin_port));
            return true;
        case Output::Pty: {
            if (openpty(&fd, &ptySlave, nullptr, nullptr, nullptr) != 0)
                return fail(why, "openpty");
            termios t{};
            if (tcgetattr(ptySlave, &t) == 0) {
                cfmakeraw(&t);
                tcsetattr(ptySlave, TCSANOW, &t);
            }
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            std::printf("pty %s\n", ttyname(ptySlave));
            return true;
        }
        case Output::Stdout:
            fd = STDOUT_FILENO;
            return true;
        case Output::File:
            fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0) return fail(why, "open " + path);
            return true;
        case Output::None:
            why = "choose an output";
            return false;
        }
        return false;
    }

    static bool fail(std::string& why, const std::string& what) {
        why = what + ": " + std::strerror(errno);
        return false;
    }

    void poll() {
        if (kind == Output::TcpServer) {
            int c = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) {
                // A new client takes the place of the old one, as a receiver's single port does.
                if (client >= 0) ::close(client);
                client = c;
                std::fprintf(stderr, "kestrova-nav-sim: client connected\n");
            }
        } else if (kind == Output::TcpClient && fd < 0) {
            int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (s < 0) return;
            if (connect(s, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0) {
                fd = s;
                std::fprintf(stderr, "kestrova-nav-sim: connected\n");
            } else {
                ::close(s);
            }
        }
    }

    void send(const std::vector<std::uint8_t>& bytes) {
        if (bytes.empty()) return;
        switch (kind) {
        case Output::Udp:
            sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&peer),
                   sizeof peer);
            break;
        case Output::TcpServer:
            if (client >= 0 && ::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0) {
                ::close(client);
                client = -1;
            }
            break;
        case Output::TcpClient:
            if (fd >= 0 && ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0) {
                ::close(fd);
                fd = -1;
            }
            break;
        case Output::Pty: {
            // Nobody reading and the line full: the bytes are lost, as on a real line.
            ssize_t n = ::write(fd, bytes.data(), bytes.size());
            (void)n;
            break;
        }
        case Output::Stdout:
        case Output::File: {
            std::size_t done = 0;
            while (done < bytes.size()) {
                ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    gStop = 1;
                    return;
                }
                done += static_cast<std::size_t>(n);
            }
            break;
        }
        case Output::None:
            break;
        }
    }

    void close() {
        if (client >= 0) ::close(client);
        if (fd >= 0 && kind != Output::Stdout) ::close(fd);
        if (ptySlave >= 0) ::close(ptySlave);
    }
};

} // namespace

int main(int argc, char** argv) {
    NavConfig cfg;
    cfg.startUtc = static_cast<double>(std::time(nullptr));
    Sink sink;
    double seconds = -1.0;
    bool fast = false;
    std::string why;
    bool world = false;
    double worldSeed = 0.0;
    double worldStart = 0.0;

    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        auto number = [&](double& out) {
            std::string v;
            return value(v) && toDouble(v, out);
        };
        auto output = [&](Output kind) {
            if (sink.kind != Output::None) return false;
            sink.kind = kind;
            return true;
        };
        std::string v;
        double d = 0;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--type") {
            if (!value(v)) return usage("--type needs a value");
            if (v == "gga")
                cfg.type = MessageType::Gga;
            else if (v == "ins")
                cfg.type = MessageType::Ins;
            else if (v == "custom")
                cfg.type = MessageType::Custom;
            else
                return usage("unknown type " + v);
        } else if (a == "--rate") {
            if (!number(d) || !(d > 0.0) || d > 100.0) return usage("--rate needs 0 < HZ <= 100");
            cfg.rateHz = d;
        } else if (a == "--seconds") {
            if (!number(seconds) || seconds < 0) return usage("--seconds needs a number");
        } else if (a == "--seed") {
            if (!number(d) || d < 0) return usage("--seed needs a number");
            cfg.seed = static_cast<std::uint64_t>(d);
        } else if (a == "--udp" || a == "--tcp-server" || a == "--tcp-client") {
            if (!value(v)) return usage(a + " needs [HOST:]PORT");
            if (!output(a == "--udp"          ? Output::Udp
                        : a == "--tcp-server" ? Output::TcpServer
                                              : Output::TcpClient))
                return usage("choose one output");
            if (!loopbackEndpoint(v, sink.peer, why)) return usage(why);
            if (a != "--tcp-server" && sink.peer.sin_port == 0)
                return usage("port 0 is for a server");
        } else if (a == "--pty") {
            if (!output(Output::Pty)) return usage("choose one output");
        } else if (a == "--stdout") {
            if (!output(Output::Stdout)) return usage("choose one output");
        } else if (a == "--file") {
            if (!value(sink.path) || !output(Output::File)) return usage("--file needs a path");
        } else if (a == "--world") {
            if (!number(worldSeed) || worldSeed < 0 || worldSeed > 4e9)
                return usage("--world needs a seed");
            world = true;
        } else if (a == "--world-start") {
            if (!number(worldStart) || worldStart < 0) return usage("--world-start needs UTC seconds");
        } else if (a == "--no-zda") {
            cfg.zda = false;
        } else if (a == "--line-end") {
            if (!value(v)) return usage("--line-end needs crlf, lf or cr");
            if (v == "crlf")
                cfg.lineEnd = "\r\n";
            else if (v == "lf")
                cfg.lineEnd = "\n";
            else if (v == "cr")
                cfg.lineEnd = "\r";
            else
                return usage("--line-end needs crlf, lf or cr");
        } else if (a == "--fast") {
            fast = true;
        } else if (a == "--start-time") {
            if (!value(v)) return usage("--start-time needs a value");
            if (v != "now" && (!toDouble(v, cfg.startUtc) || cfg.startUtc < 0))
                return usage("--start-time needs UTC seconds since 1970");
        } else if (a == "--start-lat") {
            if (!number(d) || std::fabs(d) > 85) return usage("--start-lat needs degrees");
            cfg.pattern.originLatitude = d;
        } else if (a == "--start-lon") {
            if (!number(d) || std::fabs(d) > 180) return usage("--start-lon needs degrees");
            cfg.pattern.originLongitude = d;
        } else if (a == "--heading") {
            if (!number(cfg.pattern.lineHeading)) return usage("--heading needs degrees");
        } else if (a == "--line-length") {
            if (!number(d) || d < 10) return usage("--line-length needs metres >= 10");
            cfg.pattern.lineLength = d;
        } else if (a == "--line-spacing") {
            if (!number(d) || d < 2) return usage("--line-spacing needs metres >= 2");
            cfg.pattern.lineSpacing = d;
        } else if (a == "--lines") {
            if (!number(d) || d < 1 || d > 1000) return usage("--lines needs 1..1000");
            cfg.pattern.lines = static_cast<int>(d);
        } else if (a == "--speed") {
            if (!number(d) || d < 0 || d > 40) return usage("--speed needs knots 0..40");
            cfg.pattern.speedKnots = d;
        } else if (a == "--quality") {
            if (!number(d) || d < 0 || d > 99) return usage("--quality needs 0..99");
            cfg.quality = static_cast<int>(d);
        } else if (a == "--jitter") {
            if (!number(d) || d < 0 || d > 100) return usage("--jitter needs metres");
            cfg.jitter = d;
        } else if (a == "--faults") {
            if (!value(v)) return usage("--faults needs a list");
            std::size_t from = 0;
            while (from <= v.size()) {
                std::size_t comma = v.find(',', from);
                std::string f =
                    v.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
                if (f == "checksum")
                    cfg.faults.badChecksum = true;
                else if (f == "cut")
                    cfg.faults.cut = true;
                else if (f == "noise")
                    cfg.faults.noise = true;
                else
                    return usage("unknown fault " + f + " (checksum, cut, noise)");
                if (comma == std::string::npos) break;
                from = comma + 1;
            }
        } else if (a == "--fault-rate") {
            if (!number(d) || d < 0 || d > 1) return usage("--fault-rate needs 0..1");
            cfg.faults.rate = d;
        } else if (a == "--silence") {
            if (!value(v) || !pairOf(v, cfg.faults.silenceAt, cfg.faults.silenceFor))
                return usage("--silence needs AT:FOR seconds");
        } else if (a == "--time-jump") {
            if (!value(v) || !pairOf(v, cfg.faults.jumpAt, cfg.faults.jumpBy))
                return usage("--time-jump needs AT:BY seconds");
        } else {
            return usage("unknown option " + a);
        }
    }
    if (sink.kind == Output::None) return usage("choose an output");

    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    // With --stdout the data is stdout: status lines are printed only for the
    // socket and pty outputs.
    if (!sink.open(why)) {
        std::fprintf(stderr, "kestrova-nav-sim: %s\n", why.c_str());
        return 1;
    }
    std::fflush(stdout);

    const SimWorld sharedWorld(static_cast<std::uint64_t>(worldSeed), worldStart);
    if (world) cfg.world = &sharedWorld;
    NavSource source(cfg);
    auto start = std::chrono::steady_clock::now();
    while (!gStop) {
        Epoch e = source.next();
        if (seconds >= 0.0 && e.simSeconds >= seconds) break;
        if (!fast) {
            auto due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                   std::chrono::duration<double>(e.simSeconds));
            while (!gStop && std::chrono::steady_clock::now() < due) {
                sink.poll();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        sink.poll();
        sink.send(e.bytes);
    }
    sink.close();
    return 0;
}
