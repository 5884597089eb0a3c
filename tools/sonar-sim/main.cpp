// kestrova-sonar-sim: a sonar unit on loopback. Listens on 127.0.0.1 for the
// command channel and the data channel. On the command channel it reads the
// heartbeat and every command line, refuses malformed ones, keeps the
// settings and answers the queries as the chosen model of the device table.
// While pinging is on ("$cmd,sysrun,1", or --autorun) it streams HF/LF pings
// with the commanded ranges, sample rates and channels, and attitude frames,
// to the data channel, at the rate the ranges allow. With --output it writes
// the stream of its start-up settings to a file instead.

#include "platform/clock.h"
#include "platform/json_line.h"
#include "platform/socket.h"
#include "tools/nav-sim/sim_world.h"
#include "tools/sonar-sim/sonar_protocol.h"
#include "tools/sonar-sim/sonar_stream.h"

#include <cerrno>
#include <cmath>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <string>
#include <vector>

namespace {

using namespace kestrova;
using kestrova::sim::FaultPlan;
using kestrova::sim::ReplyFaults;
using kestrova::sim::SonarIdentity;
using kestrova::sim::SonarProtocol;
using kestrova::sim::SonarStream;
using kestrova::sim::SonarStreamConfig;

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) {
    g_stop = 1;
}

const char* kUsage =
    "usage: kestrova-sonar-sim [options]\n"
    "  --command-port P   command channel port on 127.0.0.1 (default 5001; 0: any free)\n"
    "  --data-port P      data channel port on 127.0.0.1 (default 5002; 0: any free)\n"
    "  --seconds S        stop after S seconds\n"
    "  --frames N         stop after N frames (sent in full)\n"
    "  --seed N           seabed and fault pattern (default 1)\n"
    "  --speed F          F times the real ping rate; 0 as fast as the receiver reads\n"
    "  --hf-range M       HF range in metres (default 50)\n"
    "  --lf-range M       LF range in metres (default 100)\n"
    "  --samples N        samples per side whatever the range\n"
    "  --no-hf, --no-lf   leave out one frequency\n"
    "  --ping-attitude    pings carry attitude values (default: zero, completed by the receiver)\n"
    "  --epoch SECONDS    local time of the first ping, seconds since 1970 (default: now)\n"
    "  --model ID         the model the sonar reports (default QM-302; any of the table)\n"
    "  --device-id TEXT   the identifier it reports (default from the model)\n"
    "  --firmware TEXT    the firmware version it reports (default V2.3.6)\n"
    "  --reconnect-model ID  another unit (model and identifier) from the second\n"
    "                     command connection on\n"
    "  --autorun          ping from the start, as if \"$cmd,sysrun,1\" had come\n"
    "  --output FILE      write N frames (--frames) to FILE instead of listening\n"
    "  --comment TEXT     with --output: a first line \"# TEXT\" describing the capture\n"
    "  --world SEED       ping in the world kestrova-nav-sim --world SEED sails: the fish on\n"
    "                     its cable behind the vessel at each ping's time (read as UTC),\n"
    "                     the world's objects on the seabed; prints \"world seed=S layback=M\n"
    "                     cable=M tow-point=M depth=M\" first\n"
    "  --world-start UTC  when the world's vessel sets off (default 0, as kestrova-nav-sim)\n"
    "  --list-objects     with --world: print its objects as JSON lines and stop\n"
    "faults, each every N-th frame:\n"
    "  --garbage N  --bad-trailer N  --truncate N  --huge-length N  --repeat N\n"
    "  --foreign-layout N  --close-mid-frame N  --sync-in-samples N\n"
    "reply faults (every reply, or every N-th with --reply-fault-every N):\n"
    "  --reply-fault garbage|double-dollar|no-crlf|missing-fields|split (repeatable)\n"
    "every command line is listed on stdout as \"command LINE\" or \"rejected LINE (why)\"\n"
    "prints \"listening command=PORT data=PORT\" once listening, and at the end\n"
    "\"sent hf=H lf=L attitude=A faulty=F frames=N bytes=B heartbeats=K commands=C\n"
    "rejected=R replies=P\"\n";

struct Options {
    std::uint16_t commandPort = 5001;
    std::uint16_t dataPort = 5002;
    double seconds = 0;
    std::uint64_t frames = 0;
    double speed = 1.0;
    bool epochGiven = false;
    std::string output;
    std::string comment;
    SonarStreamConfig stream;
    FaultPlan faults;
    SonarIdentity identity;
    bool deviceIdGiven = false;
    std::string reconnectModel;
    bool autorun = false;
    ReplyFaults replyFaults;
    bool world = false;
    std::uint64_t worldSeed = 0;
    double worldStart = 0;
    bool listObjects = false;
};

// A model text goes into reply lines: no separators of the line in it.
bool plainText(const char* text) {
    const std::string t = text;
    return !t.empty() && t.size() <= 32 && t.find_first_of(",*$\r\n") == std::string::npos;
}

std::string identifierFor(const std::string& model, int serial) {
    std::string id;
    for (char c : model)
        if (c != '-') id += c;
    return id + "-" + std::to_string(240117 + serial);
}

bool parseNumber(const char* text, double& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtod(text, &end);
    return errno == 0 && end && *end == '\0' && end != text;
}

bool parseCount(const char* text, std::uint64_t& out, std::uint64_t max) {
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || !end || *end != '\0' || end == text || text[0] == '-' || v > max)
        return false;
    out = v;
    return true;
}

int usage(const char* why) {
    if (why) std::fprintf(stderr, "kestrova-sonar-sim: %s\n", why);
    std::fputs(kUsage, stderr);
    return 2;
}

int parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        auto count = [&](std::uint64_t max, std::uint64_t& out) {
            const char* v = value();
            return v && parseCount(v, out, max);
        };
        auto every = [&](std::uint32_t& out) {
            std::uint64_t v = 0;
            if (!count(0xFFFFFFFFu, v)) return false;
            out = static_cast<std::uint32_t>(v);
            return true;
        };
        auto real = [&](double& out, double lo, double hi) {
            const char* v = value();
            return v && parseNumber(v, out) && out >= lo && out <= hi;
        };
        std::uint64_t n = 0;
        bool ok = true;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (a == "--command-port") {
            ok = count(65535, n);
            o.commandPort = static_cast<std::uint16_t>(n);
        } else if (a == "--data-port") {
            ok = count(65535, n);
            o.dataPort = static_cast<std::uint16_t>(n);
        } else if (a == "--seconds") {
            ok = real(o.seconds, 0, 1e7);
        } else if (a == "--frames") {
            ok = count(~0ull, o.frames);
        } else if (a == "--seed") {
            ok = count(~0ull, o.stream.seed);
        } else if (a == "--speed") {
            ok = real(o.speed, 0, 1000);
        } else if (a == "--hf-range") {
            ok = real(o.stream.hfRangeM, 1, 1000);
        } else if (a == "--lf-range") {
            ok = real(o.stream.lfRangeM, 1, 1000);
        } else if (a == "--samples") {
            ok = count(23260, n) && n > 0;
            o.stream.samplesPerSide = static_cast<std::uint32_t>(n);
        } else if (a == "--no-hf") {
            o.stream.hf = false;
        } else if (a == "--no-lf") {
            o.stream.lf = false;
        } else if (a == "--ping-attitude") {
            o.stream.attitudeInPings = true;
        } else if (a == "--epoch") {
            ok = real(o.stream.startEpoch, 0, 4e9);
            o.epochGiven = true;
        } else if (a == "--model" || a == "--reconnect-model" || a == "--device-id" ||
                   a == "--firmware") {
            const char* v = value();
            ok = v != nullptr && plainText(v) && (a != "--firmware" || std::strlen(v) <= 16);
            if (ok && a == "--model") o.identity.model = v;
            if (ok && a == "--reconnect-model") o.reconnectModel = v;
            if (ok && a == "--device-id") {
                o.identity.identifier = v;
                o.deviceIdGiven = true;
            }
            if (ok && a == "--firmware") o.identity.firmware = v;
        } else if (a == "--world") {
            ok = count(0xFFFFFFFFu, o.worldSeed);
            o.world = true;
        } else if (a == "--world-start") {
            ok = real(o.worldStart, 0, 4e9);
        } else if (a == "--list-objects") {
            o.listObjects = true;
        } else if (a == "--autorun") {
            o.autorun = true;
        } else if (a == "--reply-fault") {
            const char* v = value();
            const std::string kind = v ? v : "";
            if (kind == "garbage")
                o.replyFaults.garbage = true;
            else if (kind == "double-dollar")
                o.replyFaults.doubleDollar = true;
            else if (kind == "no-crlf")
                o.replyFaults.noCrLf = true;
            else if (kind == "missing-fields")
                o.replyFaults.missingFields = true;
            else if (kind == "split")
                o.replyFaults.split = true;
            else
                ok = false;
        } else if (a == "--reply-fault-every") {
            ok = every(o.replyFaults.every) && o.replyFaults.every > 0;
        } else if (a == "--output") {
            const char* v = value();
            ok = v != nullptr;
            if (v) o.output = v;
        } else if (a == "--comment") {
            const char* v = value();
            ok = v != nullptr;
            if (v) o.comment = v;
        } else if (a == "--garbage") {
            ok = every(o.faults.garbageEvery);
        } else if (a == "--bad-trailer") {
            ok = every(o.faults.badTrailerEvery);
        } else if (a == "--truncate") {
            ok = every(o.faults.truncateEvery);
        } else if (a == "--huge-length") {
            ok = every(o.faults.hugeLengthEvery);
        } else if (a == "--repeat") {
            ok = every(o.faults.repeatEvery);
        } else if (a == "--foreign-layout") {
            ok = every(o.faults.foreignLayoutEvery);
        } else if (a == "--close-mid-frame") {
            ok = every(o.faults.closeMidFrameEvery);
        } else if (a == "--sync-in-samples") {
            ok = every(o.faults.syncInSamplesEvery);
        } else {
            return usage(("unknown option " + a).c_str());
        }
        if (!ok) return usage(("bad or missing value for " + a).c_str());
    }
    if (!o.stream.hf && !o.stream.lf) return usage("--no-hf and --no-lf leave nothing to send");
    if (!o.output.empty() && o.frames == 0) return usage("--output needs --frames");
    if (o.listObjects && !o.world) return usage("--list-objects needs --world SEED");
    if (!o.deviceIdGiven) o.identity.identifier = identifierFor(o.identity.model, 0);
    return 0;
}

double localNowEpoch() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    auto wall = std::chrono::system_clock::now().time_since_epoch();
    double seconds = std::chrono::duration<double>(wall).count();
    return seconds + static_cast<double>(local.tm_gmtoff);
}

void printSummary(const SonarStream& stream, std::uint64_t heartbeats,
                  const sim::ProtocolCounts& p = {}) {
    const auto& c = stream.counts();
    std::printf(
        "sent hf=%llu lf=%llu attitude=%llu faulty=%llu frames=%llu bytes=%llu "
        "heartbeats=%llu commands=%llu rejected=%llu replies=%llu\n",
        static_cast<unsigned long long>(c.hf), static_cast<unsigned long long>(c.lf),
        static_cast<unsigned long long>(c.attitude), static_cast<unsigned long long>(c.faulty),
        static_cast<unsigned long long>(c.frames), static_cast<unsigned long long>(c.bytes),
        static_cast<unsigned long long>(heartbeats), static_cast<unsigned long long>(p.accepted),
        static_cast<unsigned long long>(p.rejected), static_cast<unsigned long long>(p.replies));
    std::fflush(stdout);
}

int writeFile(const Options& o) {
    std::FILE* f = std::fopen(o.output.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "kestrova-sonar-sim: cannot write %s: %s\n", o.output.c_str(),
                     std::strerror(errno));
        return 1;
    }
    SonarStream stream(o.stream, o.faults);
    bool ok = true;
    if (!o.comment.empty()) {
        std::string line = "# " + o.comment + "\n";
        ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    }
    std::vector<std::uint8_t> bytes;
    for (std::uint64_t i = 0; i < o.frames && ok; ++i) {
        bytes.clear();
        stream.next(bytes);
        ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    }
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "kestrova-sonar-sim: writing %s failed\n", o.output.c_str());
        return 1;
    }
    printSummary(stream, 0);
    return 0;
}

// The streaming side of the simulator.
class Simulator {
  public:
    explicit Simulator(const Options& o)
        : o_(o), stream_(o.stream, o.faults), protocol_(o.identity, o.replyFaults) {
        protocol_.setPowerOn(o.stream);
        protocol_.setRunning(o.autorun);
        pinging_ = o.autorun;
        protocol_.log = [](std::string_view line, bool accepted, std::string_view why) {
            std::string shown = JsonLine::escape(line);
            if (accepted)
                std::printf("command %s\n", shown.c_str());
            else
                std::printf("rejected %s (%.*s)\n", shown.c_str(), static_cast<int>(why.size()),
                            why.data());
            std::fflush(stdout);
        };
        protocol_.settingsChanged = [this] { settingsChanged(); };
        protocol_.clockSet = [this](double epoch) {
            // The clock comes as local time: its whole hours off UTC are the
            // time zone the world's pings are stamped in.
            const double utc = std::chrono::duration<double>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count();
            stream_.setWorldUtcOffset(std::round((epoch - utc) / 3600.0) * 3600.0);
            stream_.setStartEpoch(epoch - streamNow());
            stoppedAt_ = Clock::now();
        };
    }

    int run() {
        platform::Ipv4Endpoint cmdEp{0x7F000001, o_.commandPort};
        platform::Ipv4Endpoint dataEp{0x7F000001, o_.dataPort};
        if (!cmdListener_.listen(cmdEp) || !dataListener_.listen(dataEp)) {
            std::fprintf(stderr, "kestrova-sonar-sim: cannot listen on 127.0.0.1:%u/%u: %s\n",
                         o_.commandPort, o_.dataPort, std::strerror(errno));
            return 1;
        }
        cmdListener_.setNonBlocking(true);
        dataListener_.setNonBlocking(true);
        std::printf("listening command=%u data=%u\n", cmdListener_.localPort(),
                    dataListener_.localPort());
        std::fflush(stdout);

        const auto start = Clock::now();
        for (;;) {
            if (g_stop) break;
            if (o_.seconds > 0 && seconds(Clock::now() - start) >= o_.seconds) break;
            if (!producing_ && pendingBytes() == 0) break; // --frames reached and delivered
            produce();
            if (!pollOnce()) return 1;
        }
        printSummary(stream_, protocol_.heartbeats() + dataHeartbeatBytes_ / 2, protocol_.counts());
        return 0;
    }

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxPending = 8u << 20;

    static double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
    std::size_t pendingBytes() const { return out_.size() - outPos_; }

    double simNow() const {
        if (o_.speed <= 0) return 1e300;
        return simBase_ + seconds(Clock::now() - wallBase_) * o_.speed;
    }
    // Stream time of this moment, for setting the sonar's clock.
    double streamNow() const {
        if (o_.speed <= 0 || !pinging_) return stream_.nextTime();
        return simNow();
    }

    bool pinging() const { return protocol_.settings().running; }

    // A command changed what the sonar pings or whether it pings: the stream
    // follows from its next ping cycle; pinging resumes on the sonar's time line.
    void settingsChanged() {
        stream_.reconfigure(protocol_.streamConfig(stream_.config()));
        if (pinging() && !pinging_) {
            // The stream's time line stood still while stopped; the sonar's clock did not.
            if (o_.speed > 0)
                stream_.setStartEpoch(stream_.config().startEpoch +
                                      seconds(Clock::now() - stoppedAt_) * o_.speed);
            simBase_ = stream_.nextTime();
            wallBase_ = Clock::now();
        } else if (!pinging() && pinging_) {
            stoppedAt_ = Clock::now();
        }
        pinging_ = pinging();
    }

    void produce() {
        if (!data_.valid() || !producing_ || closeAfterFlush_ || !pinging()) return;
        const double now = simNow();
        const std::size_t limit = o_.speed <= 0 ? (256u << 10) : kMaxPending;
        while (producing_ && pendingBytes() < limit && stream_.nextTime() <= now) {
            sim::Emitted e = stream_.next(out_);
            if (o_.frames && stream_.counts().frames >= o_.frames) {
                producing_ = false;
                // Pad the end so that a receiver waiting out a truncated
                // frame's declared length gets to the frames behind it.
                out_.insert(out_.end(), stream_.maxFrameSize() + 16, 0);
            }
            if (e.closeAfter) {
                closeAfterFlush_ = true;
                break;
            }
        }
    }

    void acceptData() {
        platform::TcpSocket s = dataListener_.accept();
        if (!s.valid()) return;
        s.setNonBlocking(true);
        s.setSendBufferSize(1 << 20);
        // A new connection replaces the old one, as the sonar unit does.
        data_ = std::move(s);
        out_.clear();
        outPos_ = 0;
        closeAfterFlush_ = false;
        simBase_ = stream_.nextTime();
        wallBase_ = Clock::now();
    }

    void acceptCommand() {
        platform::TcpSocket s = cmdListener_.accept();
        if (!s.valid()) return;
        s.setNonBlocking(true);
        command_ = std::move(s);
        protocol_.reset();
        splitRest_.clear();
        // Another unit answering on the same address from the second connection on.
        if (++commandConnections_ >= 2 && !o_.reconnectModel.empty() &&
            protocol_.identity().model != o_.reconnectModel) {
            SonarIdentity other = o_.identity;
            other.model = o_.reconnectModel;
            other.identifier = identifierFor(o_.reconnectModel, 1);
            protocol_.setIdentity(other);
        }
    }

    // Replies out; with the split fault each goes in two pieces 60 ms apart.
    void sendReplies() {
        if (!command_.valid()) return;
        if (!splitRest_.empty() && Clock::now() >= splitDue_) {
            command_.send(splitRest_);
            splitRest_.clear();
        }
        if (!protocol_.hasOutput() || !splitRest_.empty()) return;
        std::string out = protocol_.takeOutput();
        if (o_.replyFaults.split && out.size() > 1) {
            splitRest_ = out.substr(out.size() / 2);
            out.resize(out.size() / 2);
            splitDue_ = Clock::now() + std::chrono::milliseconds(60);
        }
        command_.send(out);
    }

    void closeData() {
        data_.close();
        out_.clear();
        outPos_ = 0;
        closeAfterFlush_ = false;
    }

    bool pollOnce() {
        pollfd fds[4] = {};
        fds[0] = {cmdListener_.handle(), POLLIN, 0};
        fds[1] = {dataListener_.handle(), POLLIN, 0};
        fds[2] = {command_.handle(),
                  static_cast<short>(POLLIN | (protocol_.hasOutput() ? POLLOUT : 0)), 0};
        fds[3] = {data_.handle(), static_cast<short>(POLLIN | (pendingBytes() ? POLLOUT : 0)), 0};
        int timeoutMs = splitRest_.empty() ? 50 : 10;
        if (data_.valid() && pinging() && producing_ && !closeAfterFlush_ && o_.speed > 0) {
            double wait = (stream_.nextTime() - simNow()) / o_.speed * 1000.0;
            timeoutMs = wait <= 0 ? 0 : std::min(50, static_cast<int>(wait) + 1);
            if (pendingBytes() >= kMaxPending) timeoutMs = 50;
        }
        if (data_.valid() && pinging() && o_.speed <= 0 && producing_ &&
            pendingBytes() < (256u << 10))
            timeoutMs = 0;
        int n = ::poll(fds, 4, timeoutMs);
        if (n < 0) return errno == EINTR;
        if (fds[0].revents & POLLIN) acceptCommand();
        if (fds[1].revents & POLLIN) acceptData();

        std::uint8_t buf[4096];
        if (command_.valid() && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
            platform::IoResult r = command_.receive(buf);
            if (r.status == platform::IoStatus::Ok)
                protocol_.onBytes(std::span<const std::uint8_t>(buf, r.bytes));
            else if (r.status != platform::IoStatus::WouldBlock)
                command_.close();
        }
        sendReplies();

        if (data_.valid() && (fds[3].revents & (POLLIN | POLLHUP | POLLERR))) {
            platform::IoResult r = data_.receive(buf);
            if (r.status == platform::IoStatus::Ok) {
                for (std::size_t i = 0; i < r.bytes; ++i)
                    dataHeartbeatBytes_ += buf[i] == '0';
            } else if (r.status != platform::IoStatus::WouldBlock) {
                closeData();
            }
        }
        if (data_.valid() && pendingBytes() > 0) {
            platform::IoResult r =
                data_.send(std::span<const std::uint8_t>(out_.data() + outPos_, pendingBytes()));
            if (r.status == platform::IoStatus::Ok) {
                outPos_ += r.bytes;
            } else if (r.status == platform::IoStatus::Error) {
                closeData();
            }
        }
        if (pendingBytes() == 0) {
            out_.clear();
            outPos_ = 0;
            if (closeAfterFlush_) closeData();
        } else if (outPos_ > (1u << 20)) {
            out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(outPos_));
            outPos_ = 0;
        }
        return true;
    }

    const Options& o_;
    SonarStream stream_;
    platform::TcpListener cmdListener_;
    platform::TcpListener dataListener_;
    platform::TcpSocket command_;
    platform::TcpSocket data_;
    SonarProtocol protocol_;
    bool pinging_ = false; // pinging as last seen by settingsChanged
    Clock::time_point stoppedAt_ = Clock::now();
    int commandConnections_ = 0;
    std::string splitRest_;
    Clock::time_point splitDue_ = Clock::now();
    std::vector<std::uint8_t> out_;
    std::size_t outPos_ = 0;
    bool producing_ = true;
    bool closeAfterFlush_ = false;
    double simBase_ = 0;
    Clock::time_point wallBase_ = Clock::now();
    std::uint64_t dataHeartbeatBytes_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    Options o;
    int rc = parse(argc, argv, o);
    if (rc < 0) return 0;
    if (rc != 0) return rc;
    const navsim::SimWorld world(o.worldSeed, o.worldStart);
    if (o.world) {
        if (o.listObjects) {
            for (const navsim::WorldObject& obj : world.objects())
                std::printf("%s\n", navsim::SimWorld::objectJson(obj).c_str());
            return 0;
        }
        o.stream.world = &world;
        const navsim::WorldTow& tow = world.tow();
        std::printf("world seed=%llu layback=%.3f cable=%.2f tow-point=%.2f depth=%.2f\n",
                    static_cast<unsigned long long>(o.worldSeed), tow.layback(), tow.cable,
                    tow.towPointHeight, tow.fishDepth);
        std::fflush(stdout);
    }
    if (!o.output.empty()) return writeFile(o);
    if (!o.epochGiven) {
        o.stream.startEpoch = localNowEpoch();
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        o.stream.worldUtcOffset = static_cast<double>(local.tm_gmtoff);
    }

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Simulator sim(o);
    return sim.run();
}
