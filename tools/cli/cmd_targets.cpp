// kestrova-cli targets list FOLDER [--config FILE.ini]: one JSON line per target
// of a project's "Target" folder (from "Target.idx", or the ".tgt" files when
// there is none); nothing is written.
// kestrova-cli targets csv FOLDER [--config FILE.ini]: writes "Target.csv" and
// the index as "Save all" does (without redrawing the pictures).
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

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace kestrova::cli {
namespace {

constexpr const char* kUsage = "targets list|csv FOLDER [--config FILE.ini]";

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

std::string isoTime(const targets::TargetBlock& b) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%06u", b.year, b.month, b.day,
                  b.hour, b.minute, b.second, b.microseconds % 1000000u);
    return text;
}

int runTargets(const Args& args) {
    ArgList list(args);
    const auto configFile = list.value("--config");
    const auto rest = list.positional();
    if (!list.ok()) return usageError(kUsage, list.error());
    if (rest.size() != 2 || (rest[0] != "list" && rest[0] != "csv")) return usageError(kUsage, "");
    const std::string folder = rest[1];
    if (!platform::isDirectory(folder)) {
        std::fprintf(stderr, "kestrova-cli: %s is not a folder\n", folder.c_str());
        return kExitFailure;
    }

    app::defaultMessenger().setEnglish(app::interfaceEnglish());
    app::RecordingMessageSink quiet;
    app::Messenger configMessages;
    configMessages.setSink(&quiet);
    app::Configuration config(platform::executableFolder(), configMessages);
    const std::string ini = configFile ? *configFile : projectConfigFor(folder);
    if (!ini.empty()) {
        if (!platform::PathFileExistsA(ini)) {
            std::fprintf(stderr, "kestrova-cli: cannot read %s\n", ini.c_str());
            return kExitFailure;
        }
        config.LoadConfigSection("SonarSetPara", ini);
        config.LoadConfigSection("ParaOfGeo", ini);
    }
    position::GeodesyEngine engine(config.geo.record);
    const targets::GridToGeo toGeo =
        [&engine](const targets::GroundPoint& p) -> std::optional<targets::GeoPosition> {
        const auto g = engine.inverse(p.north, p.east, 0.0);
        if (!std::isfinite(g.latitude) || !std::isfinite(g.longitude)) return std::nullopt;
        return targets::GeoPosition{g.latitude, g.longitude};
    };
    const double c = config.sonar.soundSpeed > 0 ? config.sonar.soundSpeed : 1500.0;
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
    if (std::fflush(stdout) != 0) return kExitFailure;
    return allRead ? kExitOk : kExitFailure;
}

const Registration reg{"targets", kUsage, runTargets};

} // namespace
} // namespace kestrova::cli
