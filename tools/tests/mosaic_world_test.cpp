// The mosaic against a simulated world with known objects: a survey recorded
// through the real session (both simulators on loopback sharing one world),
// mosaicked from the command line and read back with GDAL.

#include "tools/sonar-sim/sim_process.h"
#include "tools/tests/cli_process.h"

#include "libs/tessmark/engine_handle.h"
#include "mosaic/grid_mapping.h"
#include "platform/tests/temp_folder.h"

#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrova::testing {
namespace {

constexpr int kWorld = 3;

int freeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string jsonText(const std::string& out, const std::string& key) {
    const auto at = out.find("\"" + key + "\":\"");
    if (at == std::string::npos) return {};
    const auto start = at + key.size() + 4;
    return out.substr(start, out.find('"', start) - start);
}

struct Object {
    double latitude = 0.0, longitude = 0.0, size = 0.0;
};

std::vector<Object> worldObjects() {
    std::vector<Object> out;
    const std::string cmd = binDir() + "/kestrova-sonar-sim --world " + std::to_string(kWorld) +
                            " --list-objects";
    std::FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return out;
    char line[256];
    while (std::fgets(line, sizeof line, p)) {
        Object o;
        double height = 0.0;
        if (std::sscanf(line, "{\"latitude\":%lf,\"longitude\":%lf,\"size\":%lf,\"height\":%lf}",
                        &o.latitude, &o.longitude, &o.size, &height) == 4)
            out.push_back(o);
    }
    ::pclose(p);
    return out;
}

// Where a latitude and longitude lie in a file's grid: easting, northing.
using ToGrid = std::function<bool(double latitude, double longitude, double& x, double& y)>;

// For each object the survey covered: how far the brightest spot (of a 1.25 m
// box mean) within 6 m of its true position lies from it. The position in the
// grid through the file's own CRS, or through `toGrid` when given.
std::vector<double> objectErrors(const std::string& tif, const std::vector<Object>& objects,
                                 const ToGrid& toGrid = nullptr) {
    std::vector<double> errors;
    GDALAllRegister();
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(tif.c_str(), GDAL_OF_RASTER));
    if (!ds) return errors;
    double g[6];
    if (ds->GetGeoTransform(g) != CE_None) return errors;
    const OGRSpatialReference* grid = ds->GetSpatialRef();
    if (!grid) return errors;
    OGRSpatialReference wgs84, target(*grid);
    wgs84.importFromEPSG(4326);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    target.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> t(
        OGRCreateCoordinateTransformation(&wgs84, &target));
    GDALRasterBand* band = ds->GetRasterBand(1);
    const double cell = g[1];
    const int half = static_cast<int>(6.0 / cell), box = static_cast<int>(0.625 / cell);
    const int n = 2 * half + 1;
    for (const Object& o : objects) {
        double x = o.longitude, y = o.latitude;
        if (toGrid ? !toGrid(o.latitude, o.longitude, x, y) : !t->Transform(1, &x, &y)) continue;
        const int col = static_cast<int>(std::floor((x - g[0]) / cell));
        const int row = static_cast<int>(std::floor((y - g[3]) / g[5]));
        if (col - half < 0 || row - half < 0 || col + half >= ds->GetRasterXSize() ||
            row + half >= ds->GetRasterYSize())
            continue;
        std::vector<std::uint16_t> v(static_cast<std::size_t>(n) * n);
        if (band->RasterIO(GF_Read, col - half, row - half, n, n, v.data(), n, n, GDT_UInt16, 0,
                           0) != CE_None)
            continue;
        int filled = 0;
        for (auto s : v)
            filled += s != 0;
        if (filled < n * n * 9 / 10) continue; // not (wholly) surveyed
        double best = -1.0;
        int bestR = 0, bestC = 0;
        for (int r = box; r < n - box; ++r) {
            for (int c = box; c < n - box; ++c) {
                double sum = 0.0;
                for (int dr = -box; dr <= box; ++dr)
                    for (int dc = -box; dc <= box; ++dc)
                        sum += v[static_cast<std::size_t>((r + dr) * n + c + dc)];
                if (sum > best) {
                    best = sum;
                    bestR = r;
                    bestC = c;
                }
            }
        }
        const double fx = g[0] + (col - half + bestC + 0.5) * cell;
        const double fy = g[3] + (row - half + bestR + 0.5) * g[5];
        errors.push_back(std::hypot(fx - x, fy - y));
    }
    return errors;
}

// One file of a zip, through GDAL's zip reader.
std::string zipEntry(const std::string& zip, const std::string& name) {
    VSILFILE* f = VSIFOpenL(("/vsizip/" + zip + "/" + name).c_str(), "rb");
    if (!f) return {};
    std::string out;
    char buf[4096];
    std::size_t n = 0;
    while ((n = VSIFReadL(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    VSIFCloseL(f);
    return out;
}

class MosaicWorld : public ::testing::Test {
  protected:
    // One survey for the suite: 22 s across the world's first line.
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        sim::SimProcess sim;
        const std::string start = std::to_string(std::time(nullptr) - 15);
        if (!sim.start({"--world", std::to_string(kWorld), "--world-start", start, "--seconds",
                        "60"}))
            return;
        const int udp = freeUdpPort();
        // The tow as the world has it: 30 m of cable, tow point 2 m up, fish 5 m down.
        writeText(folder_->file("SysCfg.ini"),
                  "[Net]\nIP=127.0.0.1\nPORT1=" + std::to_string(sim.commandPort) +
                      "\nPORT2=" + std::to_string(sim.dataPort) +
                      "\n[INSPara]\nINS_ModeSelect=1\nINS_NetType=0\nINS_Ip=16777343\nINS_Port=" +
                      std::to_string(udp) +
                      "\nINS_DataType=0\n[SonarSetPara]\nFitTowLength=30\nFitTowPointToWater=2\n"
                      "FitTowfishDepth=5\n");
        const std::string navCmd = binDir() + "/kestrova-nav-sim --world " +
                                   std::to_string(kWorld) + " --world-start " + start +
                                   " --udp 127.0.0.1:" + std::to_string(udp) +
                                   " --rate 5 --seconds 28 >/dev/null 2>&1";
        std::FILE* nav = ::popen(navCmd.c_str(), "r");
        const CliRun r = runCli("acquire --seconds 22 --config " + folder_->path() + " --record " +
                                folder_->path() + "/survey");
        if (nav) ::pclose(nav);
        sim.stop();
        if (r.exitCode == 0) *recording_ = jsonText(r.out, "file");
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }

    static TempFolder* folder_;
    static std::string* recording_;
};
TempFolder* MosaicWorld::folder_ = nullptr;
std::string* MosaicWorld::recording_ = new std::string;

// Guards: every object lies within 2 m of its true position, from the raw
// recording and from its XTF export; the layback matters (with the cable taken
// as 0 m the same check fails); the file is a tiled, compressed GeoTIFF in the
// survey's UTM zone with overviews; the KMZ overlay holds the track.
TEST_F(MosaicWorld, ObjectsLieWhereTheWorldPutsThem) {
    ASSERT_FALSE(recording_->empty()) << "the survey was not recorded";
    const auto objects = worldObjects();
    ASSERT_GE(objects.size(), 4u);
    const std::string tif = folder_->file("survey.tif");
    const std::string kmz = folder_->file("survey.kmz");
    const CliRun r = runCli("mosaic " + *recording_ + " --out " + tif + " --kmz " + kmz);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"grid\":\"WGS 84 / UTM zone 50N\""), std::string::npos) << r.out;
    const auto errors = objectErrors(tif, objects);
    ASSERT_GE(errors.size(), 1u) << "no object in the surveyed strip";
    for (double e : errors)
        EXPECT_LE(e, 2.0);
    std::string shown;
    for (double e : errors)
        shown += std::to_string(e) + " ";
    RecordProperty("object_errors_m", shown);

    {
        std::unique_ptr<GDALDataset> ds(GDALDataset::Open(tif.c_str(), GDAL_OF_RASTER));
        ASSERT_TRUE(ds);
        ASSERT_TRUE(ds->GetSpatialRef());
        EXPECT_STREQ(ds->GetSpatialRef()->GetAuthorityCode(nullptr), "32650");
        GDALRasterBand* band = ds->GetRasterBand(1);
        EXPECT_GE(band->GetOverviewCount(), 1);
        int bx = 0, by = 0;
        band->GetBlockSize(&bx, &by);
        EXPECT_EQ(bx, 256);
        EXPECT_EQ(by, 256);
        const char* compression = ds->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE");
        EXPECT_STREQ(compression ? compression : "", "DEFLATE");
    }

    // The KMZ is a zip whose KML overlay bounds hold the whole track.
    {
        const std::string kml = zipEntry(kmz, "doc.kml");
        double box[4] = {0, 0, 0, 0}; // north, south, east, west
        const char* tags[4] = {"<north>", "<south>", "<east>", "<west>"};
        for (int i = 0; i < 4; ++i) {
            const auto at = kml.find(tags[i]);
            ASSERT_NE(at, std::string::npos) << kml.substr(0, 400);
            box[i] = std::atof(kml.c_str() + at + std::strlen(tags[i]));
        }
        const auto from = kml.find("<coordinates>\n");
        ASSERT_NE(from, std::string::npos);
        std::istringstream points(kml.substr(from + 14, kml.find("</coordinates>", from) - from - 14));
        int count = 0;
        double lon = 0, lat = 0;
        char comma = 0;
        std::string rest;
        while (points >> lon >> comma >> lat >> rest) {
            ++count;
            EXPECT_TRUE(lat < box[0] && lat > box[1] && lon < box[2] && lon > box[3])
                << lat << "," << lon;
        }
        EXPECT_GE(count, 10);
        EXPECT_FALSE(zipEntry(kmz, "mosaic.png").empty());
    }

    // The track for GIS programs: longitude first.
    const CliRun track = runCli("track geojson " + *recording_);
    ASSERT_EQ(track.exitCode, 0) << track.err;
    EXPECT_EQ(track.out.rfind("{\"type\":\"FeatureCollection\",\"features\":[{\"type\":"
                              "\"Feature\",\"geometry\":{\"type\":\"LineString\","
                              "\"coordinates\":[[118.",
                              0),
              0u)
        << track.out.substr(0, 200);

    // The same survey exported to XTF mosaics the same: the pings' own
    // positions, the tow given (an XTF file keeps none).
    ASSERT_EQ(runCli("export-xtf " + *recording_ + " --quiet --out " + folder_->path()).exitCode, 0);
    std::string hf = *recording_;
    hf = folder_->file(hf.substr(hf.rfind('/') + 1, hf.size() - hf.rfind('/') - 5) + "_HF.xtf");
    writeText(folder_->file("Tow.ini"),
              "[SonarSetPara]\nFitTowLength=30\nFitTowPointToWater=2\nFitTowfishDepth=5\n");
    const std::string fromXtf = folder_->file("xtf.tif");
    const CliRun x = runCli("mosaic " + hf + " --out " + fromXtf + " --config " +
                            folder_->file("Tow.ini"));
    ASSERT_EQ(x.exitCode, 0) << x.err;
    const auto xtfErrors = objectErrors(fromXtf, objects);
    EXPECT_EQ(xtfErrors.size(), errors.size());
    for (double e : xtfErrors)
        EXPECT_LE(e, 2.0);

    writeText(folder_->file("NoTow.ini"), "[SonarSetPara]\nFitTowLength=0\n");
    const std::string noTow = folder_->file("notow.tif");
    ASSERT_EQ(runCli("mosaic " + *recording_ + " --out " + noTow + " --config " +
                     folder_->file("NoTow.ini"))
                  .exitCode,
              0);
    const auto without = objectErrors(noTow, objects);
    bool anyOff = without.size() < errors.size();
    for (double e : without)
        anyOff = anyOff || e > 2.0;
    shown.clear();
    for (double e : without)
        shown += std::to_string(e) + " ";
    RecordProperty("object_errors_without_layback_m", shown);
    EXPECT_TRUE(anyOff) << "the check does not see the layback";
}

// Guards: a project whose grid is a Gauss-Krüger zone on Beijing 54 with a
// seven-parameter shift from WGS 84 gets its mosaic in that grid: the file's
// CRS is the record's PROJ definition (a GIS program places each object where
// the engine does, within 5 cm), and each object lies where the engine puts
// it. A grid PROJ cannot draw (turned by the plane step) falls back to the UTM
// zone and the command says why in one line.
TEST_F(MosaicWorld, ProjectGridIsTheMosaicsGrid) {
    ASSERT_FALSE(recording_->empty()) << "the survey was not recorded";
    const auto objects = worldObjects();
    ASSERT_GE(objects.size(), 4u);
    // The same record as the configuration file holds it.
    _DefGeodetsyParameterSetting record = defaultGeodeticRecord();
    std::string section = "[ParaOfGeo]\nProjectionType=1\nTargetEllipsoid=2\n";
    auto key = [&](const char* name, char* field, std::size_t size, const char* value) {
        std::memset(field, 0, size);
        std::strncpy(field, value, size - 1);
        section += std::string(name) + "=" + value + "\n";
    };
#define KEY(field, value) key(#field, record.field, sizeof record.field, value)
    KEY(TargetSemimajor, "6378245.0");
    KEY(TargetFlattening, "298.3");
    KEY(CentralMeridian, "117000000000E");
    KEY(EastConst, "39500000");
    KEY(ETransDx, "-31.4");
    KEY(ETransDy, "144.3");
    KEY(ETransDz, "81.2");
    KEY(ETransRx, "0.35");
    KEY(ETransRy, "-1.2");
    KEY(ETransRz, "2.5");
    KEY(ETransSc, "-3.2");
#undef KEY
    record.ProjectionType = 1;
    record.TargetEllipsoid = 2;
    record.ETransType = 1;
    section += "ETransType=1\n";
    const mosaic::GridMapping mapping = mosaic::projDefinition(record);
    ASSERT_TRUE(mapping.mapped) << mapping.reason;

    writeText(folder_->file("Grid.ini"), section);
    const std::string tif = folder_->file("grid.tif");
    const CliRun r = runCli("mosaic " + *recording_ + " --out " + tif + " --config " +
                            folder_->file("Grid.ini"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"grid\":\"project grid: " + mapping.definition + "\""),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.err, "");

    tessmark::EngineHandle engine;
    engine.setRecord(record);
    const ToGrid byEngine = [&](double latitude, double longitude, double& x, double& y) {
        const tessmark::GridPoint p = engine.toGrid(latitude, longitude, 0.0);
        x = p.east;
        y = p.north;
        return std::isfinite(x) && std::isfinite(y);
    };
    const auto errors = objectErrors(tif, objects, byEngine);
    ASSERT_GE(errors.size(), 1u) << "no object in the surveyed strip";
    for (double e : errors)
        EXPECT_LE(e, 2.0);
    {
        GDALAllRegister();
        std::unique_ptr<GDALDataset> ds(GDALDataset::Open(tif.c_str(), GDAL_OF_RASTER));
        ASSERT_TRUE(ds && ds->GetSpatialRef());
        OGRSpatialReference wgs84, grid(*ds->GetSpatialRef());
        wgs84.importFromEPSG(4326);
        wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        grid.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        std::unique_ptr<OGRCoordinateTransformation> t(
            OGRCreateCoordinateTransformation(&wgs84, &grid));
        ASSERT_TRUE(t);
        for (const Object& o : objects) {
            double x = o.longitude, y = o.latitude, ex = 0.0, ey = 0.0;
            ASSERT_TRUE(t->Transform(1, &x, &y) && byEngine(o.latitude, o.longitude, ex, ey));
            EXPECT_LE(std::hypot(x - ex, y - ey), 0.05);
        }
    }

    writeText(folder_->file("Turned.ini"), section + "PTransType=1\nPTransRa='+001000000000'\n");
    const CliRun turned = runCli("mosaic " + *recording_ + " --out " + tif + " --config " +
                                 folder_->file("Turned.ini"));
    ASSERT_EQ(turned.exitCode, 0) << turned.err;
    EXPECT_NE(turned.out.find("\"grid\":\"WGS 84 / UTM zone 50N\""), std::string::npos)
        << turned.out;
    EXPECT_EQ(turned.err, "kestrova-cli: the mosaic is in WGS 84 / UTM zone 50N, not the "
                          "project's grid: the plane transformation turns the grid by 1 "
                          "degrees\n");
}

// Guards: input without positions gives a clear message and no file; a file
// cut short mosaics what it holds.
TEST_F(MosaicWorld, BadInputGivesNoFileAndACutFileMosaicsWhatItHolds) {
    ASSERT_FALSE(recording_->empty()) << "the survey was not recorded";
    const std::string out = folder_->file("bad.tif");
    writeText(folder_->file("junk.ksf"), std::string(4000, 'x'));
    CliRun r = runCli("mosaic " + folder_->file("junk.ksf") + " --out " + out);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("not a raw recording"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));

    // A survey recorded without a positioning system.
    {
        sim::SimProcess sim;
        ASSERT_TRUE(sim.start({"--speed", "4", "--samples", "200"}));
        TempFolder bare;
        writeText(bare.file("SysCfg.ini"), "[Net]\nIP=127.0.0.1\nPORT1=" +
                                               std::to_string(sim.commandPort) + "\nPORT2=" +
                                               std::to_string(sim.dataPort) + "\n");
        const CliRun rec =
            runCli("acquire --seconds 1.5 --config " + bare.path() + " --record " + bare.path());
        sim.stop();
        ASSERT_EQ(rec.exitCode, 0) << rec.err;
        r = runCli("mosaic " + jsonText(rec.out, "file") + " --out " + out);
    }
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no positions"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));

    const std::string whole = slurp(*recording_);
    writeText(folder_->file("cut.ksf"), whole.substr(0, whole.size() / 2 + 777));
    r = runCli("mosaic " + folder_->file("cut.ksf") + " --out " + out);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(out));
}

} // namespace
} // namespace kestrova::testing
