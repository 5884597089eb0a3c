// kestrova-cli positions FILE|- --type gga|ins|custom: the position input's
// parsing over a captured byte stream, one JSON line per accepted position and
// a summary of what was refused.

#include "tools/cli/command.h"
#include "tools/cli/geo_config.h"

#include "platform/json_line.h"
#include "position/flat_grid_converter.h"
#include "position/geodesy_engine.h"
#include "position/position_stream.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>

namespace kestrova::cli {
namespace {

using namespace kestrova::position;

const char* kUsage = "positions FILE|- --type gga|ins|custom [--zone HOURS] [--date YYYY-MM-DD]"
                     " [--grid project|flat] [--config FILE.ini] [--alarm LEVEL]";

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
class ReceiverClock {
  public:
    std::uint32_t now() const { return tick_; }
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

int runPositions(const Args& args) {
    ArgList list(args);
    auto type = list.value("--type");
    auto zone = list.value("--zone");
    auto date = list.value("--date");
    auto grid = list.value("--grid");
    auto alarm = list.value("--alarm");
    auto config = list.value("--config");
    auto rest = list.positional();
    if (!list.ok()) return usageError(kUsage, list.error());
    if (rest.size() != 1) return usageError(kUsage, "give one FILE or -");
    if (!type) return usageError(kUsage, "--type is required");

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
    if (zone) {
        long long hours = 0;
        if (!parseInt(*zone, hours) || hours < -12 || hours > 14)
            return usageError(kUsage, "--zone needs whole hours -12..14");
        stream.decoder().setTimeZoneHour(static_cast<int>(hours));
    }
    if (date) {
        CivilDate pcDate;
        if (!parseDate(*date, pcDate)) return usageError(kUsage, "--date needs YYYY-MM-DD");
        stream.decoder().setDateSource([pcDate] { return pcDate; });
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

    std::FILE* in = rest[0] == "-" ? stdin : std::fopen(rest[0].c_str(), "rb");
    if (!in) {
        std::fprintf(stderr, "kestrova-cli: cannot open %s\n", rest[0].c_str());
        return kExitFailure;
    }
    ReceiverClock clock;
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
