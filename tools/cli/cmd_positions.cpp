// kestrova-cli positions FILE|- --type gga|ins|custom: the position input's
// parsing over a captured byte stream, one JSON line per accepted position and
// a summary of what was refused. With --udp, --tcp-server, --tcp-client or
// --serial instead of a file it runs the live navigation input (its channel,
// thread and time-outs) for --seconds and prints each fix event as it comes,
// so a surveyor can check a positioning source before a survey.

#include "app/config/configuration.h"
#include "tools/cli/command.h"
#include "tools/cli/geo_config.h"

#include "platform/clock.h"
#include "platform/json_line.h"
#include "platform/socket.h"
#include "position/flat_grid_converter.h"
#include "position/geodesy_engine.h"
#include "position/navigation_input.h"
#include "position/position_stream.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>

namespace kestrova::cli {
namespace {

using namespace kestrova::position;

const char* kUsage =
    "positions (FILE|- | --udp [HOST:]PORT | --tcp-server [HOST:]PORT | --tcp-client [HOST:]PORT |"
    " --serial DEVICE [--baud INDEX]) --type gga|ins|custom [--seconds S] [--zone HOURS]"
    " [--date YYYY-MM-DD] [--grid project|flat] [--config FILE.ini] [--alarm LEVEL]";

// "[HOST:]PORT" on the loopback network, the only peers the tool talks to.
bool loopbackEndpoint(const std::string& text, platform::Ipv4Endpoint& out, std::string& why) {
    std::string host = "127.0.0.1", port = text;
    if (auto colon = text.rfind(':'); colon != std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (host == "localhost") host = "127.0.0.1";
    auto address = platform::parseIpv4(host);
    long long p = -1;
    if (!address || !parseInt(port, p) || p < 0 || p > 65535) {
        why = "expected [HOST:]PORT, got " + text;
        return false;
    }
    if ((*address >> 24) != 127) {
        why = "refusing " + host + ": only loopback addresses (127.x.x.x) are allowed";
        return false;
    }
    out = platform::Ipv4Endpoint{*address, static_cast<std::uint16_t>(p)};
    return true;
}

struct LiveChannel {
    int mode = kModeNoDevice;
    int netType = kNetUdp;
    platform::Ipv4Endpoint endpoint;
    std::string device;
    int baudIndex = 0;
};

bool parseDate(const std::string& text, CivilDate& out) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3) return false;
    out = {y, m, d};
    return isValidDate(out);
}

std::string localText(double fixTime) {
    if (!(fixTime > 0.0)) return {};
    auto whole = static_cast<std::time_t>(std::floor(fixTime));
    std::tm t{};
    if (!gmtime_r(&whole, &t)) return {};
    char buf[48];
    int ms = static_cast<int>(std::lround((fixTime - static_cast<double>(whole)) * 1000.0));
    if (ms > 999) ms = 999;
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, ms);
    return buf;
}

// Replays the capture at the receiver's own pace: the tick follows the time of
// day of the positions, so the 3000 ms rules act as they would on the live line.
// With --date it is also the PC clock of the capture: it reads that UTC date
// until the first dated position and then runs on from that position's time.
class ReceiverClock {
  public:
    std::uint32_t now() const { return tick_; }
    double utcNow(const CivilDate& date) const {
        if (!anchored_) return epochSeconds(date, 12, 0, 0.0); // every time of day is nearest it
        return anchorUtc_ + platform::ticksSince(anchorTick_, tick_) / 1000.0;
    }
    void anchor(const PositionFix& fix, int zoneHours) {
        if (anchored_ || !(fix.fixTime > 0.0)) return;
        anchored_ = true;
        anchorUtc_ = fix.fixTime - zoneHours * 3600.0;
        anchorTick_ = tick_;
    }
    void follow(const PositionFix& fix) {
        double ofDay = fix.fixHour * 3600.0 + fix.fixMinute * 60.0 + fix.fixSeconds;
        if (!started_) {
            started_ = true;
            last_ = ofDay;
            return;
        }
        double step = ofDay - last_;
        if (step < -43200.0) step += 86400.0; // past midnight
        last_ = ofDay;
        if (step > 0.0) tick_ += static_cast<std::uint32_t>(std::llround(step * 1000.0));
    }

  private:
    bool started_ = false;
    double last_ = 0.0;
    std::uint32_t tick_ = 0;
    bool anchored_ = false;
    double anchorUtc_ = 0.0;
    std::uint32_t anchorTick_ = 0;
};

void printFix(const StepResult& r) {
    const PositionFix& f = r.record;
    JsonLine line;
    std::string local = localText(f.fixTime);
    line.real("time", f.fixTime, 3);
    if (local.empty())
        line.raw("local", "null");
    else
        line.str("local", local);
    line.real("latitude", f.latitude, 8)
        .real("longitude", f.longitude, 8)
        .real("height", f.height, 3);
    if (r.gridValid)
        line.real("x", f.north, 3).real("y", f.east, 3);
    else
        line.raw("x", "null").raw("y", "null");
    line.num("quality", f.quality).num("satellites", f.satellites).real("hdop", f.hdop, 2);
    // Speed and course come from the grid track: without a grid there are none.
    if (r.gridValid)
        line.real("speed", f.speed, 3).real("course", f.course, 2);
    else
        line.raw("speed", "null").raw("course", "null");
    line.num("state", r.gpsState);
    std::printf("%s\n", line.text().c_str());
}

void printEvent(const FixEvent& e, int state) {
    JsonLine line;
    std::string local = localText(e.fixTime);
    line.real("time", e.fixTime, 3);
    if (local.empty())
        line.raw("local", "null");
    else
        line.str("local", local);
    line.real("latitude", e.latitude, 8)
        .real("longitude", e.longitude, 8)
        .real("x", e.north, 3)
        .real("y", e.east, 3)
        .real("speed", e.speed, 3)
        .real("course", e.course, 2)
        .real("distance", e.distance, 3)
        .num("state", state);
    std::printf("%s\n", line.text().c_str());
}

int runLive(const LiveChannel& channel, DataType type, const GridConverter* converter,
            std::optional<int> zone, std::optional<CivilDate> pcDate, std::optional<GpsAlarm> alarm,
            double seconds) {
    app::Messenger messenger; // messages to the operator go to standard error
    messenger.setEnglish(app::interfaceEnglish());
    app::AlarmLive alarmLive;
    alarmLive.gpsAlertOn = alarm.has_value();
    alarmLive.gpsAlertLevel = alarm ? static_cast<int>(alarm->level) : 0;
    platform::MessageQueue queue;
    NavigationInput nav(queue, messenger, alarmLive);
    nav.setGridConverter(converter);
    if (zone) nav.setTimeZoneHour(*zone);
    // The PC's UTC clock with its date set to --date.
    if (pcDate)
        nav.setUtcClock([midnight = epochSeconds(*pcDate, 0, 0, 0.0)] {
            return midnight + std::fmod(utcSecondsNow(), 86400.0);
        });

    app::InsSettings s;
    s.modeSelect = channel.mode;
    s.netType = channel.netType;
    s.ip = insIpOfHostAddress(channel.endpoint.address);
    s.port = channel.endpoint.port;
    s.dataType = static_cast<int>(type);
    s.baudRate = channel.baudIndex;
    nav.setSettings(s);
    nav.apply_position_settings();
    if (channel.mode == kModeSerial) {
        if (nav.open_or_close_serial(channel.device) != SerialToggle::Opened) return kExitFailure;
    } else if (channel.netType == kNetUdp || channel.netType == kNetTcpServer) {
        if (nav.boundPort() == 0) return kExitFailure; // the bind failure was shown
        std::printf("listening port=%u\n", nav.boundPort());
    } else {
        std::printf("connecting port=%u\n", channel.endpoint.port);
    }
    std::fflush(stdout);

    nav.start_navigation_thread();
    const std::uint32_t start = platform::tickCount();
    const auto limit = static_cast<std::uint32_t>(seconds * 1000.0);
    std::uint64_t positions = 0;
    for (;;) {
        const bool last = platform::ticksSince(start, platform::tickCount()) >= limit;
        if (last) nav.stop_navigation_thread();
        queue.waitAndDrain(last ? 0 : 50);
        for (const FixEvent& e : nav.takeFixEvents()) {
            printEvent(e, nav.gpsState());
            ++positions;
        }
        std::fflush(stdout);
        if (last) break;
    }
    JsonLine summary;
    summary.boolean("summary", true)
        .unum("bytes", nav.bytesReceived())
        .unum("messages", nav.messagesAccepted())
        .unum("positions", positions)
        .num("state", nav.gpsState());
    std::printf("%s\n", summary.text().c_str());
    return kExitOk;
}

int runPositions(const Args& args) {
    ArgList list(args);
    auto type = list.value("--type");
    auto zone = list.value("--zone");
    auto date = list.value("--date");
    auto grid = list.value("--grid");
    auto alarm = list.value("--alarm");
    auto config = list.value("--config");
    auto udp = list.value("--udp");
    auto tcpServer = list.value("--tcp-server");
    auto tcpClient = list.value("--tcp-client");
    auto serial = list.value("--serial");
    auto baud = list.value("--baud");
    auto secondsText = list.value("--seconds");
    auto rest = list.positional();
    if (!list.ok()) return usageError(kUsage, list.error());
    const int channels =
        (udp ? 1 : 0) + (tcpServer ? 1 : 0) + (tcpClient ? 1 : 0) + (serial ? 1 : 0);
    if (channels > 1) return usageError(kUsage, "give one channel");
    if (channels == 0 && rest.size() != 1) return usageError(kUsage, "give one FILE or -");
    if (channels == 1 && !rest.empty()) return usageError(kUsage, "a channel or a FILE, not both");
    if (!type) return usageError(kUsage, "--type is required");
    LiveChannel live;
    double seconds = 10.0;
    if (channels == 1) {
        std::string why;
        if (serial) {
            live.mode = kModeSerial;
            live.device = *serial;
        } else {
            live.mode = kModeNetwork;
            live.netType = udp ? kNetUdp : tcpServer ? kNetTcpServer : kNetTcpClient;
            if (!loopbackEndpoint(udp         ? *udp
                                  : tcpServer ? *tcpServer
                                              : *tcpClient,
                                  live.endpoint, why))
                return usageError(kUsage, why);
            if (tcpClient && live.endpoint.port == 0)
                return usageError(kUsage, "--tcp-client needs the server's port");
        }
        if (baud) {
            long long index = 0;
            if (!serial || !parseInt(*baud, index) || index < 0 || index > 10)
                return usageError(kUsage, "--baud needs --serial and an index 0..10");
            live.baudIndex = static_cast<int>(index);
        }
        if (secondsText &&
            (!parseDouble(*secondsText, seconds) || !(seconds > 0.0) || seconds > 86400.0))
            return usageError(kUsage, "--seconds needs 0..86400");
    } else if (secondsText || baud) {
        return usageError(kUsage, "--seconds and --baud go with a channel");
    }

    DataType dataType;
    if (*type == "gga")
        dataType = DataType::GgaZda;
    else if (*type == "ins")
        dataType = DataType::OstraIns;
    else if (*type == "custom")
        dataType = DataType::Custom;
    else
        return usageError(kUsage, "unknown --type " + *type);

    PositionStream stream(dataType);
    std::optional<int> zoneHours;
    if (zone) {
        long long hours = 0;
        if (!parseInt(*zone, hours) || hours < -12 || hours > 14)
            return usageError(kUsage, "--zone needs whole hours -12..14");
        zoneHours = static_cast<int>(hours);
        stream.decoder().setTimeZoneHour(*zoneHours);
    }
    ReceiverClock clock;
    std::optional<CivilDate> fixedDate;
    if (date) {
        CivilDate pcDate;
        if (!parseDate(*date, pcDate)) return usageError(kUsage, "--date needs YYYY-MM-DD");
        fixedDate = pcDate;
        stream.decoder().setUtcClock([&clock, pcDate] { return clock.utcNow(pcDate); });
    }
    // The project grid: the geodesy engine on the program's default record,
    // or on section ParaOfGeo of a project configuration file.
    _DefGeodetsyParameterSetting record = defaultGeodeticRecord();
    if (config) {
        if (grid && *grid == "flat") return usageError(kUsage, "--config needs --grid project");
        GeoConfigLoader loader = geoConfigLoader();
        if (loader == nullptr) return usageError(kUsage, "--config is not available in this build");
        std::string error;
        if (!loader(*config, record, error)) {
            std::fprintf(stderr, "kestrova-cli: positions: %s\n", error.c_str());
            return kExitFailure;
        }
    }
    GeodesyEngine engine(record);
    if (!engine.valid()) {
        std::fprintf(stderr, "kestrova-cli: positions: Load Tessmark.dll error!\n");
        return kExitFailure;
    }
    FlatGridConverter flat;
    const GridConverter* converter = &engine;
    if (grid && *grid == "flat")
        converter = &flat;
    else if (grid && *grid != "project")
        return usageError(kUsage, "unknown --grid " + *grid);
    stream.decoder().setConverter(converter);
    if (alarm) {
        long long level = 0;
        if (!parseInt(*alarm, level) || level < 0 || level > 3)
            return usageError(kUsage, "--alarm needs a level 0..3");
        stream.setAlarm(GpsAlarm{true, static_cast<unsigned>(level)});
    }
    if (channels == 1) {
        std::optional<GpsAlarm> alarmSetting;
        if (alarm) alarmSetting = stream.alarm();
        return runLive(live, dataType, converter, zoneHours, fixedDate, alarmSetting, seconds);
    }

    std::FILE* in = rest[0] == "-" ? stdin : std::fopen(rest[0].c_str(), "rb");
    if (!in) {
        std::fprintf(stderr, "kestrova-cli: cannot open %s\n", rest[0].c_str());
        return kExitFailure;
    }
    std::uint64_t total = 0, rejected = 0;
    // Reads of the navigation loop's size, each drained before the next.
    std::uint8_t block[4095];
    bool readError = false;
    for (;;) {
        std::size_t n = std::fread(block, 1, sizeof block, in);
        if (n == 0) {
            readError = std::ferror(in) != 0;
            break;
        }
        total += n;
        stream.appendBytes(std::span<const std::uint8_t>(block, n));
        for (;;) {
            StepResult r = stream.step(clock.now());
            if (r.kind == StepResult::Kind::Idle) break;
            if (r.kind == StepResult::Kind::Rejected) ++rejected;
            if (r.kind == StepResult::Kind::Position) {
                clock.follow(r.record);
                clock.anchor(r.record, stream.decoder().timeZoneHour());
                // The message arrived at its own time on the receiver's clock.
                stream.restartTimeout(clock.now());
                printFix(r);
            }
        }
    }
    if (in != stdin) std::fclose(in);

    const StreamCounts& c = stream.counts();
    JsonLine summary;
    summary.boolean("summary", true).unum("bytes", total).unum("positions", c.positions);
    if (dataType == DataType::GgaZda) {
        const AccumulatorStats& t = stream.textStats();
        summary.unum("time_messages", c.timeMessages)
            .unum("rejected", rejected)
            .unum("bad_checksum", c.badChecksum)
            .unum("unrecognised", c.unrecognised)
            .unum("too_few_fields", c.tooFewFields)
            .unum("empty_field", c.emptyField)
            .unum("bad_field", c.badField)
            .unum("cut", t.cutSentences)
            .unum("crowded", t.crowded)
            .unum("overlong", t.overlong)
            .unum("noise_bytes", t.noiseBytes);
    } else {
        summary.unum("rejected", rejected).unum("skipped_bytes", stream.binaryStats().skippedBytes);
    }
    summary.num("state", stream.gpsState());
    std::printf("%s\n", summary.text().c_str());
    if (readError) {
        std::fprintf(stderr, "kestrova-cli: read error on %s\n", rest[0].c_str());
        return kExitFailure;
    }
    return kExitOk;
}

const Registration reg{"positions", kUsage, runPositions};

} // namespace
} // namespace kestrova::cli
