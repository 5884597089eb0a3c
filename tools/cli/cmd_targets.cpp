// kestrova-cli targets list FOLDER [--config FILE.ini]: one JSON line per target
// of a project's "Target" folder (from "Target.idx", or the ".tgt" files when
// there is none); nothing is written.
// kestrova-cli targets csv FOLDER [--config FILE.ini]: writes "Target.csv" and
// the index as "Save all" does (without redrawing the pictures).
// kestrova-cli targets geojson FOLDER [--config FILE.ini]: the same targets as
// a GeoJSON FeatureCollection of points (longitude, latitude; no geometry for
// a target without a position) for GIS programs, to standard output.
// Positions use the project's sound speed and geodetic settings: FILE.ini, or
// the configuration of the project whose folder holds FOLDER. A file that
// cannot be read is named on standard error and skipped; exit 1 then.

#include "app/config/configuration.h"
#include "platform/fs.h"
#include "platform/json_line.h"
#include "position/geodesy_engine.h"
#include "targets/target_export.h"
#include "targets/target_store.h"
#include "tools/cli/command.h"
#include "tools/cli/target_places.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace kestrova::cli {
namespace {

constexpr const char* kUsage = "targets list|csv|geojson FOLDER [--config FILE.ini]";

// The project configuration beside the target folder: <project>/<name>.ini
// for the <name>.ksp there.
std::string projectConfigFor(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path project = fs::absolute(fs::path(folder), ec).lexically_normal().parent_path();
    fs::directory_iterator it(project, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (it->path().extension() != ".ksp") continue;
        const fs::path ini = project / (it->path().stem().string() + ".ini");
        if (fs::exists(ini, ec)) return ini.string();
    }
    return {};
}

// The sound speed and the grid-to-geographic conversion targets are placed
// with: the project's configuration FILE.ini (or none: the defaults).
class TargetGeodesy {
  public:
    explicit TargetGeodesy(const std::string& ini) {
        messages_.setSink(&quiet_);
        app::Configuration config(platform::executableFolder(), messages_);
        if (!ini.empty()) {
            config.LoadConfigSection("SonarSetPara", ini);
            config.LoadConfigSection("ParaOfGeo", ini);
        }
        engine_ = std::make_unique<position::GeodesyEngine>(config.geo.record);
        toGeo = [this](const targets::GroundPoint& p) -> std::optional<targets::GeoPosition> {
            const auto g = engine_->inverse(p.north, p.east, 0.0);
            if (!std::isfinite(g.latitude) || !std::isfinite(g.longitude)) return std::nullopt;
            return targets::GeoPosition{g.latitude, g.longitude};
        };
        soundSpeed = config.sonar.soundSpeed > 0 ? config.sonar.soundSpeed : 1500.0;
    }
    targets::GridToGeo toGeo;
    double soundSpeed = 1500.0;

  private:
    app::RecordingMessageSink quiet_;
    app::Messenger messages_;
    std::unique_ptr<position::GeodesyEngine> engine_;
};

std::string isoTime(const targets::TargetBlock& b) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%06u", b.year, b.month, b.day,
                  b.hour, b.minute, b.second, b.microseconds % 1000000u);
    return text;
}

} // namespace

bool targetPlacemarks(const std::string& folder, std::vector<TargetPlace>& out) {
    if (!platform::isDirectory(folder)) {
        std::fprintf(stderr, "kestrova-cli: %s is not a folder\n", folder.c_str());
        return false;
    }
    const TargetGeodesy geodesy(projectConfigFor(folder));
    auto snapshot = std::make_unique<targets::TargetSnapshot>();
    bool allRead = true;
    for (const targets::TargetEntry& e : targets::listedTargets(folder)) {
        targets::TargetBlock block;
        std::string description;
        const std::string path = platform::joinPath(folder, e.name + ".tgt");
        if (targets::readTargetFile(path, *snapshot, block, description).status !=
            targets::ReadStatus::Ok) {
            std::fprintf(stderr, "kestrova-cli: %s: cannot be read\n", path.c_str());
            allRead = false;
            continue;
        }
        const targets::TargetSummary sum =
            targets::summarize(*snapshot, block, geodesy.soundSpeed, geodesy.toGeo);
        if (sum.geo) out.push_back({e.name, sum.geo->latitude, sum.geo->longitude});
    }
    return allRead;
}

namespace {

int runTargets(const Args& args) {
    ArgList list(args);
    const auto configFile = list.value("--config");
    const auto rest = list.positional();
    if (!list.ok()) return usageError(kUsage, list.error());
    if (rest.size() != 2 || (rest[0] != "list" && rest[0] != "csv" && rest[0] != "geojson"))
        return usageError(kUsage, "");
    const std::string folder = rest[1];
    if (!platform::isDirectory(folder)) {
        std::fprintf(stderr, "kestrova-cli: %s is not a folder\n", folder.c_str());
        return kExitFailure;
    }

    app::defaultMessenger().setEnglish(app::interfaceEnglish());
    const std::string ini = configFile ? *configFile : projectConfigFor(folder);
    if (!ini.empty() && !platform::PathFileExistsA(ini)) {
        std::fprintf(stderr, "kestrova-cli: cannot read %s\n", ini.c_str());
        return kExitFailure;
    }
    const TargetGeodesy geodesy(ini);
    const targets::GridToGeo& toGeo = geodesy.toGeo;
    const double c = geodesy.soundSpeed;
    auto snapshot = std::make_unique<targets::TargetSnapshot>();

    if (rest[0] == "csv") {
        targets::TargetStore store; // messages to standard error
        store.setFolder(folder);
        if (!store.loadIndex()) return kExitFailure;
        const targets::ExportResult r = targets::exportTargetsCsv(store, *snapshot, c, toGeo, {});
        std::printf("%s\n", JsonLine()
                                .str("csv", platform::joinPath(folder, targets::kCsvFile))
                                .unum("targets", r.written)
                                .unum("failed", r.failed)
                                .text()
                                .c_str());
        return r.csvWritten && r.failed == 0 ? kExitOk : kExitFailure;
    }

    const bool geojson = rest[0] == "geojson";
    std::string features;
    bool allRead = true;
    for (const targets::TargetEntry& e : targets::listedTargets(folder)) {
        targets::TargetBlock block;
        std::string description;
        const std::string path = platform::joinPath(folder, e.name + ".tgt");
        const targets::ReadResult r = targets::readTargetFile(path, *snapshot, block, description);
        if (r.status != targets::ReadStatus::Ok) {
            std::fprintf(stderr, "kestrova-cli: %s: %s\n", path.c_str(), r.why.c_str());
            allRead = false;
            continue;
        }
        const targets::TargetSummary sum = targets::summarize(*snapshot, block, c, toGeo);
        if (geojson) {
            char point[96] = "null";
            if (sum.geo)
                std::snprintf(point, sizeof point,
                              "{\"type\":\"Point\",\"coordinates\":[%.9f,%.9f]}",
                              sum.geo->longitude, sum.geo->latitude);
            auto measured = [](double m) { return m >= 0.0 ? m : std::nan(""); };
            if (!features.empty()) features += ",";
            features += std::string("{\"type\":\"Feature\",\"geometry\":") + point +
                        ",\"properties\":" +
                        JsonLine()
                            .str("name", e.name)
                            .unum("number", e.number)
                            .str("time", isoTime(block))
                            .unum("ping", block.pingNumber)
                            .real("length", measured(block.length), 2)
                            .real("width", measured(block.width), 2)
                            .real("height", measured(block.height), 2)
                            .str("description", description)
                            .text() +
                        "}";
            continue;
        }
        JsonLine line;
        line.str("name", e.name).unum("number", e.number).str("time", isoTime(block));
        line.unum("ping", block.pingNumber);
        if (sum.geo)
            line.real("latitude", sum.geo->latitude, 9).real("longitude", sum.geo->longitude, 9);
        else
            line.raw("latitude", "null").raw("longitude", "null");
        if (sum.grid)
            line.real("x", sum.grid->east, 2).real("y", sum.grid->north, 2);
        else
            line.raw("x", "null").raw("y", "null");
        // A measurement without positions is kept negative: no value.
        auto measured = [](double m) { return m >= 0.0 ? m : std::nan(""); };
        line.real("length", measured(block.length), 2).real("width", measured(block.width), 2);
        line.real("height", measured(block.height), 2).boolean("picture", e.picture);
        line.str("description", description);
        std::printf("%s\n", line.text().c_str());
    }
    if (geojson)
        std::printf("{\"type\":\"FeatureCollection\",\"features\":[%s]}\n", features.c_str());
    if (std::fflush(stdout) != 0) return kExitFailure;
    return allRead ? kExitOk : kExitFailure;
}

const Registration reg{"targets", kUsage, runTargets};

} // namespace
} // namespace kestrova::cli
