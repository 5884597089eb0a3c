// kestrova-cli track geojson FILE.ksf...: the vessel's track of each raw
// recording as GeoJSON for GIS programs, from its position records: one
// LineString feature per recording (longitude, latitude; one point a second
// at most), its file and first and last fix time as properties. To standard
// output; a recording that cannot be read or holds no position is named on
// standard error and the command fails.

#include "acquisition/frame_assembler.h"
#include "acquisition/playback.h"
#include "mosaic/recording_mosaic.h"
#include "platform/json_line.h"
#include "tools/cli/command.h"

#include <cstdio>
#include <memory>
#include <string>

namespace kestrova::cli {
namespace {

const char* kUsage = "track geojson FILE.ksf...";

// Only the position records of a recording.
class PositionCollector : public acquisition::FrameSink {
  public:
    bool handPing(const acquisition::PingRecord&, float, std::uint8_t) override { return true; }
    void replayPosition(
        acquisition::FrameType,
        std::span<const std::uint8_t, acquisition::kPositionRecordSize> record) override {
        const auto fix = position::decodePositionFix(record);
        if (!fix || !mosaic::usableFix(*fix)) return;
        if (points > 0 && fix->fixTime - last < 1.0 && fix->fixTime >= last) return;
        if (points == 0) first = fix->fixTime;
        last = fix->fixTime;
        char text[64];
        std::snprintf(text, sizeof text, "%s[%.8f,%.8f]", points ? "," : "", fix->longitude,
                      fix->latitude);
        coordinates += text;
        ++points;
    }
    std::string coordinates;
    std::size_t points = 0;
    double first = 0.0, last = 0.0;
};

int runTrack(const Args& args) {
    if (args.empty() || args[0] != "geojson") return usageError(kUsage, "only geojson is made");
    if (args.size() < 2) return usageError(kUsage, "no recording given");
    std::string features;
    int failed = 0;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& path = args[i];
        if (path.size() > 1 && path[0] == '-') return usageError(kUsage, "unknown option " + path);
        PositionCollector collector;
        acquisition::SonarStatus status;
        status.playbackMode = true;
        auto assembler = std::make_unique<acquisition::FrameAssembler>(collector, status);
        const auto read = acquisition::playWithoutPacing(path, *assembler);
        if (read.status != acquisition::KsfReader::Status::Ok || read.readError) {
            std::fprintf(stderr, "kestrova-cli: %s: not a raw recording that can be read\n",
                         path.c_str());
            ++failed;
            continue;
        }
        if (collector.points == 0) {
            std::fprintf(stderr, "kestrova-cli: %s: the recording holds no positions\n",
                         path.c_str());
            ++failed;
            continue;
        }
        // A single fix is a point, not a line.
        const bool line = collector.points > 1;
        if (!features.empty()) features += ",";
        features += std::string("{\"type\":\"Feature\",\"geometry\":{\"type\":\"") +
                    (line ? "LineString" : "Point") + "\",\"coordinates\":" +
                    (line ? "[" + collector.coordinates + "]" : collector.coordinates) +
                    "},\"properties\":" +
                    JsonLine()
                        .str("file", path)
                        .real("start", collector.first, 3)
                        .real("end", collector.last, 3)
                        .text() +
                    "}";
    }
    if (failed) return kExitFailure;
    std::printf("{\"type\":\"FeatureCollection\",\"features\":[%s]}\n", features.c_str());
    return kExitOk;
}

const Registration reg{"track", kUsage, runTrack};

} // namespace
} // namespace kestrova::cli
