// kestrova-cli geo forward|inverse [--config FILE.ini]: converts points between
// geographic and grid coordinates through the geodesy engine, so a surveyor can
// check a project's coordinate set-up against known points.
//   forward: "lat lon h" (decimal degrees, metres) -> "x y h" (northing, easting)
//   inverse: "x y h" -> "lat lon h"
// Blank lines and text after '#' are skipped; a bad line is reported on stderr
// with its number and skipped, and the exit code is then 1.
// kestrova-cli geo --show [--config FILE.ini]: the record field by field, tab
// by tab, as the coordinate settings dialog shows it.

#include "tools/cli/command.h"
#include "tools/cli/geo_config.h"

#include "libs/faldrena/geo_fields.h"
#include "libs/tessmark/engine_handle.h"
#include "mosaic/grid_mapping.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace kestrova::cli {
namespace {

constexpr const char* kUsage = "geo forward|inverse|--show [--config FILE.ini]";

GeoConfigLoader& loaderSlot() {
    static GeoConfigLoader loader = nullptr;
    return loader;
}

// Numbers separated by blanks, tabs or commas.
std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string current;
    for (char c : line) {
        if (c == ' ' || c == '\t' || c == ',' || c == '\r') {
            if (!current.empty()) fields.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) fields.push_back(current);
    return fields;
}

// The three numbers of a line, or a reason why not.
bool readPoint(const std::string& line, bool forward, double (&v)[3], std::string& why) {
    const std::vector<std::string> fields = splitFields(line);
    if (fields.size() != 3) {
        why = forward ? "expected three numbers \"lat lon h\"" : "expected three numbers \"x y h\"";
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        if (!parseDouble(fields[i], v[i]) || !std::isfinite(v[i])) {
            why = "\"" + fields[i] + "\" is not a number";
            return false;
        }
    }
    if (forward && std::fabs(v[0]) > 90.0) {
        why = "latitude " + fields[0] + " is outside -90..90";
        return false;
    }
    if (forward && std::fabs(v[1]) > 360.0) {
        why = "longitude " + fields[1] + " is outside -360..360";
        return false;
    }
    return true;
}

// Record texts are printed as read within their field; bytes that are no
// printable text show as '?', so a damaged file cannot garble the terminal.
std::string printable(const std::string& text) {
    std::string out;
    for (char c : text)
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return out;
}

template <std::size_t N> void printText(const char* key, const char (&field)[N]) {
    std::printf("%s = %s\n", key, printable(faldrena::fieldText(field)).c_str());
}

template <std::size_t N>
void printAngle(const char* key, const char (&field)[N], faldrena::AngleKind kind) {
    const std::string stored = faldrena::fieldText(field);
    const std::string shown = faldrena::shownAngle(kind, stored);
    std::string check;
    faldrena::Refusal why;
    if (!faldrena::storedAngle(kind, shown, check, why) || check != stored)
        std::printf("%s = %s (stored \"%s\" is not a packed angle)\n", key, shown.c_str(),
                    printable(stored).c_str());
    else
        std::printf("%s = %s\n", key, shown.c_str());
}

template <typename List> void printChoice(const char* key, std::int32_t stored, const List& list) {
    const int index = faldrena::shownChoice(stored, list.size());
    if (index < 0)
        std::printf("%s = %d (not in the list)\n", key, static_cast<int>(stored));
    else
        std::printf("%s = %d %s\n", key, index, list[static_cast<std::size_t>(index)].english);
}

void printRecord(const _DefGeodetsyParameterSetting& r) {
    using faldrena::AngleKind;
    printText("Version", r.Version);
    std::printf("[Ellipsoid]\n");
    printChoice("SourceEllipsoid", r.SourceEllipsoid, faldrena::kEllipsoids);
    printText("SourceSemimajor", r.SourceSemimajor);
    printText("SourceFlattening", r.SourceFlattening);
    printChoice("TargetEllipsoid", r.TargetEllipsoid, faldrena::kEllipsoids);
    printText("TargetSemimajor", r.TargetSemimajor);
    printText("TargetFlattening", r.TargetFlattening);
    std::printf("[Projection]\n");
    printChoice("ProjectionType", r.ProjectionType, faldrena::kProjections);
    std::printf("AddBandnumber = %u\nPositiveSouth = %u\nPositiveWest = %u\n",
                unsigned{r.AddBandnumber}, unsigned{r.PositiveSouth}, unsigned{r.PositiveWest});
    printAngle("CentralMeridian", r.CentralMeridian, AngleKind::CentralMeridian);
    printText("NorthConst", r.NorthConst);
    printText("EastConst", r.EastConst);
    printText("ScaleRadio", r.ScaleRadio);
    printText("ProjectonAltitude", r.ProjectonAltitude);
    printAngle("DatumLatitude", r.DatumLatitude, AngleKind::Latitude);
    printAngle("NorthParallel", r.NorthParallel, AngleKind::Latitude);
    printAngle("SouthParallel", r.SouthParallel, AngleKind::Latitude);
    printText("SkewAzimuth", r.SkewAzimuth);
    std::printf("[Convert]\n");
    printChoice("ETransType", r.ETransType, faldrena::kDatumTransforms);
    printText("ETransDx", r.ETransDx);
    printText("ETransDy", r.ETransDy);
    printText("ETransDz", r.ETransDz);
    printText("ETransRx", r.ETransRx);
    printText("ETransRy", r.ETransRy);
    printText("ETransRz", r.ETransRz);
    printText("ETransSc", r.ETransSc);
    std::printf("[Plane]\n");
    printChoice("PTransType", r.PTransType, faldrena::kPlaneTransforms);
    std::printf("PTransNorthDR = %u\nPTransEastDR = %u\n", unsigned{r.PTransNorthDR},
                unsigned{r.PTransEastDR});
    printText("PTransDx", r.PTransDx);
    printText("PTransDy", r.PTransDy);
    printAngle("PTransRa", r.PTransRa, AngleKind::Rotation);
    printText("PTransSc", r.PTransSc);
    printText("PTransONorth", r.PTransONorth);
    std::printf("[HeightFitting]\n");
    printChoice("HFittingType", r.HFittingType, faldrena::kHeightFittings);
    printText("HFittingA", r.HFittingA);
    printText("HFittingB", r.HFittingB);
    printText("HFittingC", r.HFittingC);
    printText("HFittingD", r.HFittingD);
    printText("HFittingE", r.HFittingE);
    printText("HFittingF", r.HFittingF);
    printText("HFittingX0", r.HFittingX0);
    printText("HFittingY0", r.HFittingY0);
    std::printf("[Translation]\n");
    printText("CTransDx", r.CTransDx);
    printText("CTransDy", r.CTransDy);
    printText("CTransDz", r.CTransDz);
}

int runGeo(const Args& args) {
    ArgList list(args);
    const std::optional<std::string> config = list.value("--config");
    const bool show = list.flag("--show");
    if (!list.ok()) return usageError(kUsage, list.error());
    const std::vector<std::string> rest = list.positional();
    if (show && !rest.empty()) return usageError(kUsage, "--show converts nothing");
    if (!show && (rest.size() != 1 || (rest[0] != "forward" && rest[0] != "inverse")))
        return usageError(kUsage, rest.empty() ? "forward or inverse?" : "unexpected arguments");
    const bool forward = !show && rest[0] == "forward";

    _DefGeodetsyParameterSetting record = defaultGeodeticRecord();
    if (config) {
        GeoConfigLoader loader = geoConfigLoader();
        if (loader == nullptr) {
            std::fprintf(stderr, "kestrova-cli: geo: --config is not available in this build\n");
            return kExitUsage;
        }
        std::string error;
        if (!loader(*config, record, error)) {
            std::fprintf(stderr, "kestrova-cli: geo: %s\n", error.c_str());
            return kExitFailure;
        }
    }

    if (show) {
        printRecord(record);
        // The same grid for GIS programs (and the mosaic's GeoTIFF), or why not.
        const mosaic::GridMapping grid = mosaic::projDefinition(record);
        std::printf("[GIS]\nPROJ = %s\n",
                    grid.mapped ? grid.definition.c_str() : ("none: " + grid.reason).c_str());
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fprintf(stderr, "kestrova-cli: geo: cannot write the record\n");
            return kExitFailure;
        }
        return kExitOk;
    }

    tessmark::EngineHandle engine;
    if (!engine.valid()) {
        std::fprintf(stderr, "kestrova-cli: geo: Load Tessmark.dll error!\n");
        return kExitFailure;
    }
    engine.setRecord(record);

    int bad = 0;
    long lineNo = 0;
    std::string line;
    while (std::getline(std::cin, line)) {
        ++lineNo;
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        double v[3];
        std::string why;
        if (!readPoint(line, forward, v, why)) {
            std::fprintf(stderr, "kestrova-cli: geo: line %ld: %s\n", lineNo, why.c_str());
            ++bad;
            continue;
        }
        if (forward) {
            const tessmark::GridPoint g = engine.toGrid(v[0], v[1], v[2]);
            if (!std::isfinite(g.north) || !std::isfinite(g.east) || !std::isfinite(g.height)) {
                std::fprintf(stderr, "kestrova-cli: geo: line %ld: no grid position\n", lineNo);
                ++bad;
                continue;
            }
            std::printf("%.3f %.3f %.3f\n", g.north, g.east, g.height);
        } else {
            const tessmark::GeoPoint p = engine.toGeo(v[0], v[1], v[2]);
            if (!std::isfinite(p.latitude) || !std::isfinite(p.longitude) ||
                !std::isfinite(p.height)) {
                std::fprintf(stderr, "kestrova-cli: geo: line %ld: no geographic position\n",
                             lineNo);
                ++bad;
                continue;
            }
            std::printf("%.9f %.9f %.3f\n", p.latitude, p.longitude, p.height);
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "kestrova-cli: geo: cannot write the results\n");
        return kExitFailure;
    }
    if (bad > 0) {
        std::fprintf(stderr, "kestrova-cli: geo: %d bad line%s skipped\n", bad,
                     bad == 1 ? "" : "s");
        return kExitFailure;
    }
    return kExitOk;
}

const Registration reg{"geo", kUsage, runGeo};

} // namespace

GeoConfigLoaderRegistration::GeoConfigLoaderRegistration(GeoConfigLoader loader) {
    loaderSlot() = loader;
}

GeoConfigLoader geoConfigLoader() {
    return loaderSlot();
}

} // namespace kestrova::cli
