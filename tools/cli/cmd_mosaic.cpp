// kestrova-cli mosaic FILE.ksf|FILE.xtf... --out SURVEY.tif [--frequency HF|LF]
// [--resolution M] [--config FILE.ini] [--project FILE.ksp|FOLDER]
// [--kmz SURVEY.kmz [--targets FOLDER]] [--sequential]: the survey as a georeferenced picture of the seabed. Every
// ping of the chosen frequency is drawn by the waterfall views' own display
// pipeline, laid on a flat seabed from its altitude at the towfish position
// of its time, and written as a tiled, compressed GeoTIFF with overviews in
// the project's grid (--project, or a ParaOfGeo section in --config) where
// PROJ can name it, placed as the navigation view places it; otherwise in
// the survey's UTM zone on WGS 84, with a line saying why. The towfish is
// placed with each recording's own installation (cable, tow point, depth, antenna offsets,
// heading source) unless --config (with a SonarSetPara section) or --project
// gives the surveyor's corrected one. An XTF file (one frequency, its display
// lines as written) brings its pings' own positions and no installation:
// only --config or --project places its fish behind the antenna. --kmz adds the same mosaic as a Google
// Earth overlay with the vessel's track (and the targets of FOLDER, a
// project's "Target" folder, as placemarks). One JSON summary line on standard
// output.

#include "app/config/configuration.h"
#include "app/session/display_settings.h"
#include "display/drovanta_api.h"
#include "mosaic/kmz_writer.h"
#include "mosaic/recording_mosaic.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/json_line.h"
#include "tools/cli/command.h"
#include "tools/cli/operator_settings.h"
#include "tools/cli/target_places.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace kestrova::cli {
namespace {

const char* kUsage = "mosaic FILE.ksf|FILE.xtf... --out SURVEY.tif [--frequency HF|LF] [--resolution M] "
                     "[--config FILE.ini] [--project FILE.ksp|FOLDER] [--kmz SURVEY.kmz "
                     "[--targets FOLDER]] [--sequential]";

navigation::TowfishInstall towfishInstallOf(const app::InstallationSettings& in) {
    navigation::TowfishInstall t;
    t.towLength = in.towLength;
    t.towPointToWater = in.towPointToWater;
    t.towfishDepth = in.towfishDepth;
    t.gpsX = in.gpsX;
    t.gpsY = in.gpsY;
    t.headingSource = in.headingSource;
    return t;
}

std::string settingsFile(const std::string& configArg) {
    if (platform::isDirectory(configArg))
        return platform::joinPath(configArg, app::kSystemConfigFile);
    return configArg;
}

bool hasSection(const std::string& configArg, const char* section) {
    platform::IniFile ini(settingsFile(configArg));
    return ini.load() && ini.document().hasSection(section);
}

int runMosaic(const Args& args) {
    ArgList list(args);
    auto out = list.value("--out");
    auto frequency = list.value("--frequency");
    auto resolution = list.value("--resolution");
    auto configArg = list.value("--config");
    auto projectArg = list.value("--project");
    auto kmz = list.value("--kmz");
    auto targetFolder = list.value("--targets");
    const bool sequential = list.flag("--sequential");
    auto inputs = list.positional();
    if (!list.ok()) return usageError(kUsage, list.error());
    if (!out) return usageError(kUsage, "--out SURVEY.tif is required");
    if (inputs.empty()) return usageError(kUsage, "no recording given");
    for (const auto& in : inputs)
        if (in.size() > 1 && in[0] == '-') return usageError(kUsage, "unknown option " + in);
    if (targetFolder && !kmz) return usageError(kUsage, "--targets goes with --kmz");
    mosaic::MosaicOptions options;
    if (frequency && *frequency != "HF" && *frequency != "LF")
        return usageError(kUsage, "--frequency is HF or LF");
    options.channel = frequency && *frequency == "LF" ? 1 : 0;
    if (resolution && (!parseDouble(*resolution, options.resolution) ||
                       !(options.resolution >= 0.02 && options.resolution <= 100.0)))
        return usageError(kUsage, "--resolution is metres per cell, 0.02 to 100");

    if (configArg || projectArg) {
        app::Configuration config(platform::executableFolder());
        app::defaultMessenger().setEnglish(config.readLanguageFlag());
        if (!loadOperatorSettings(config, configArg, projectArg)) return kExitFailure;
        app::applyProcessingSettings(config, options.display.settings);
        if (projectArg || hasSection(*configArg, "SonarSetPara"))
            options.install = towfishInstallOf(config.sonar.install);
        // The project's grid: the project's own record (as opening it reads
        // it), else the ParaOfGeo section of the settings file.
        bool haveGrid = projectArg.has_value();
        if (!projectArg && hasSection(*configArg, "ParaOfGeo")) {
            if (!config.LoadConfigSection("ParaOfGeo", settingsFile(*configArg))) {
                std::fprintf(stderr, "kestrova-cli: cannot read section ParaOfGeo of %s\n",
                             settingsFile(*configArg).c_str());
                return kExitFailure;
            }
            haveGrid = true;
        }
        if (haveGrid) options.gridRecord = config.geo.record;
    }
    options.display.readAhead = !sequential;
    options.display.splitFrequencies = !sequential;

    display::DrovantaApi drovanta;
    if (!drovanta.load()) {
        std::fprintf(stderr, "kestrova-cli: %s\n", drovanta.failure().english.c_str());
        return kExitFailure;
    }
    drovanta.initialize();

    const auto started = std::chrono::steady_clock::now();
    mosaic::SurveyMosaic survey(options);
    std::uint64_t positions = 0, lines = 0;
    int failed = 0;
    for (const std::string& path : inputs) {
        const bool xtf = path.size() > 4 && (path.compare(path.size() - 4, 4, ".xtf") == 0 ||
                                             path.compare(path.size() - 4, 4, ".XTF") == 0);
        const auto r = xtf ? survey.addXtf(path) : survey.add(path, drovanta);
        positions += r.positions;
        lines += r.lines;
        if (!r.readable) {
            std::fprintf(stderr, "kestrova-cli: %s: not a %s that can be read\n", path.c_str(),
                         xtf ? "XTF file" : "raw recording");
            ++failed;
        } else if (r.readError) {
            std::fprintf(stderr, "kestrova-cli: %s: reading stopped on an error\n", path.c_str());
            ++failed;
        } else if (r.positions == 0) {
            std::fprintf(stderr, "kestrova-cli: %s: the recording holds no positions\n",
                         path.c_str());
        }
    }
    drovanta.terminate();
    if (survey.gridFailed()) {
        std::fprintf(stderr, "kestrova-cli: the survey's positions have no grid to map them to\n");
        return kExitFailure;
    }
    const std::string& gridNote = survey.gridNote();
    if (!gridNote.empty() && survey.grid())
        std::fprintf(stderr, "kestrova-cli: the mosaic is in %s, not the project's grid: %s\n",
                     survey.grid()->name().c_str(), gridNote.c_str());
    std::string error;
    if (failed || !survey.write(*out, error)) {
        if (!failed)
            std::fprintf(stderr, "kestrova-cli: %s: no mosaic written\n", error.c_str());
        else
            std::fprintf(stderr, "kestrova-cli: no mosaic written\n");
        return kExitFailure;
    }
    std::vector<mosaic::Placemark> placemarks;
    if (targetFolder) {
        std::vector<TargetPlace> places;
        if (!targetPlacemarks(*targetFolder, places)) return kExitFailure;
        for (const TargetPlace& p : places)
            placemarks.push_back({p.name, p.latitude, p.longitude});
    }
    if (kmz && !mosaic::writeKmz(*out, survey.track(), placemarks, *kmz, error)) {
        std::fprintf(stderr, "kestrova-cli: %s\n", error.c_str());
        return kExitFailure;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::puts(JsonLine()
                  .unum("files", inputs.size())
                  .unum("positions", positions)
                  .unum("lines", lines)
                  .unum("placed", survey.placed())
                  .str("grid", survey.grid()->name())
                  .real("resolution", options.resolution, 3)
                  .str("out", *out)
                  .str("kmz", kmz ? *kmz : "")
                  .real("seconds", seconds, 3)
                  .text()
                  .c_str());
    return kExitOk;
}

const Registration reg{"mosaic", kUsage, runMosaic};

} // namespace
} // namespace kestrova::cli
