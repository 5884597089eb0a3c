// The project's grid written for other programs: for each kind of record the
// PROJ definition must put a position where the geodesy engine (and so the
// navigation view) puts it, through the same transformation a GIS program
// makes from WGS 84 latitude and longitude.

#include "mosaic/grid_mapping.h"

#include "libs/tessmark/engine_handle.h"

#include <ogr_spatialref.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace kestrova::mosaic {
namespace {

template <std::size_t N> void set(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    std::strncpy(field, text, N - 1);
}

// The largest distance between the engine's grid position and PROJ's over a
// box of points (latitude, longitude) +- half sizes, 5 x 5 points.
double worstDisagreement(const _DefGeodetsyParameterSetting& record, const std::string& definition,
                         double latitude, double longitude, double halfLat, double halfLon) {
    OGRSpatialReference wgs84, grid;
    wgs84.importFromEPSG(4326);
    if (grid.importFromProj4(definition.c_str()) != OGRERR_NONE) return HUGE_VAL;
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    grid.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    std::unique_ptr<OGRCoordinateTransformation> t(
        OGRCreateCoordinateTransformation(&wgs84, &grid));
    if (!t) return HUGE_VAL;
    tessmark::EngineHandle engine;
    engine.setRecord(record);
    double worst = 0.0;
    for (int i = -2; i <= 2; ++i) {
        for (int j = -2; j <= 2; ++j) {
            const double B = latitude + halfLat * i / 2.0, L = longitude + halfLon * j / 2.0;
            double east = L, north = B;
            if (!t->Transform(1, &east, &north)) return HUGE_VAL;
            const tessmark::GridPoint g = engine.toGrid(B, L, 0.0);
            worst = std::max(worst, std::hypot(east - g.east, north - g.north));
        }
    }
    return worst;
}

// Guards: a record that is a UTM zone reads as that zone; a Gauss-Krüger grid
// on Beijing 54 with a seven-parameter shift from WGS 84 (the rotations' sign
// convention: one arc second is 31 m on the ground), a plane step that only
// scales and shifts, a final shift and a height fitting; a Mercator with a
// latitude of true scale, a scale factor and a projection surface height.
// PROJ and the engine agree within 5 cm across each area.
TEST(GridMapping, MappedGridsPlacePositionsWhereTheEngineDoes) {
    // UTM zone 51 north: central meridian 6 x 51 - 183 = 123 E, k0 0.9996,
    // false easting 500 000 m, on WGS 84, the dialog's "UTM" series.
    _DefGeodetsyParameterSetting utm = defaultGeodeticRecord();
    utm.ProjectionType = 0;
    set(utm.CentralMeridian, "123000000000E");
    set(utm.ScaleRadio, "0.9996");
    GridMapping m = projDefinition(utm);
    ASSERT_TRUE(m.mapped) << m.reason;
    EXPECT_EQ(m.definition, "+proj=utm +zone=51 +datum=WGS84 +units=m +no_defs");
    EXPECT_LE(worstDisagreement(utm, m.definition, 31.0, 123.0, 2.0, 3.0), 0.05);

    // A 3-degree Gauss-Krüger zone 40 (central meridian 120 E, the zone number
    // before the false easting) on Krassowsky, with typical WGS 84 -> Beijing 54
    // parameters.
    _DefGeodetsyParameterSetting gk = defaultGeodeticRecord();
    gk.ProjectionType = 1;
    gk.TargetEllipsoid = 2;
    set(gk.TargetSemimajor, "6378245.0");
    set(gk.TargetFlattening, "298.3");
    set(gk.CentralMeridian, "120000000000E");
    set(gk.EastConst, "40500000");
    gk.ETransType = 1;
    set(gk.ETransDx, "-31.4");
    set(gk.ETransDy, "144.3");
    set(gk.ETransDz, "81.2");
    set(gk.ETransRx, "0.35");
    set(gk.ETransRy, "-1.2");
    set(gk.ETransRz, "2.5");
    set(gk.ETransSc, "-3.2");
    gk.PTransType = 1;
    set(gk.PTransDx, "12.5");
    set(gk.PTransDy, "-7.25");
    set(gk.PTransRa, "+000000000000");
    set(gk.PTransSc, "1.00001");
    set(gk.CTransDx, "100");
    set(gk.CTransDy, "-20");
    gk.HFittingType = 1;
    set(gk.HFittingA, "-12.0");
    m = projDefinition(gk);
    ASSERT_TRUE(m.mapped) << m.reason;
    EXPECT_EQ(m.definition.rfind("+proj=tmerc +lat_0=0 +lon_0=120 +k=1.00001 ", 0), 0u)
        << m.definition;
    // False easting 1.00001 x 40 500 000 - 7.25 - 20, northing 12.5 + 100.
    EXPECT_NE(m.definition.find(" +x_0=40500377.75 +y_0=112.5 +ellps=krass +towgs84="),
              std::string::npos)
        << m.definition;
    EXPECT_LE(worstDisagreement(gk, m.definition, 30.0, 120.0, 2.0, 3.0), 0.05);

    // Mercator, true scale at 30 N, k0 0.9999, the surface 50 m up (no shift:
    // the positions' latitude and longitude are projected as they come).
    _DefGeodetsyParameterSetting merc = defaultGeodeticRecord();
    merc.ProjectionType = 2;
    set(merc.CentralMeridian, "010000000000W");
    set(merc.DatumLatitude, "30000000000N");
    set(merc.ScaleRadio, "0.9999");
    set(merc.EastConst, "0");
    set(merc.NorthConst, "-1000");
    set(merc.ProjectonAltitude, "50");
    m = projDefinition(merc);
    ASSERT_TRUE(m.mapped) << m.reason;
    EXPECT_EQ(m.definition.rfind("+proj=merc +lon_0=-10 +k=0.866", 0), 0u) << m.definition;
    EXPECT_NE(m.definition.find(" +a=6378187 +b=6356802.314245"), std::string::npos)
        << m.definition;
    EXPECT_LE(worstDisagreement(merc, m.definition, 31.0, -8.0, 2.0, 5.0), 0.05);
}

// Guards: what PROJ cannot draw the same way gives no definition and says why.
TEST(GridMapping, UnmappableRecordsSayWhy) {
    _DefGeodetsyParameterSetting turned = defaultGeodeticRecord();
    turned.PTransType = 1;
    set(turned.PTransRa, "+001000000000");
    GridMapping m = projDefinition(turned);
    EXPECT_FALSE(m.mapped);
    EXPECT_NE(m.reason.find("turns the grid by 1 degrees"), std::string::npos) << m.reason;

    _DefGeodetsyParameterSetting fromKrass = defaultGeodeticRecord();
    fromKrass.ETransType = 1;
    set(fromKrass.SourceSemimajor, "6378245.0");
    set(fromKrass.SourceFlattening, "298.3");
    m = projDefinition(fromKrass);
    EXPECT_FALSE(m.mapped);
    EXPECT_NE(m.reason.find("other than the positions' WGS 84"), std::string::npos) << m.reason;

    _DefGeodetsyParameterSetting none = defaultGeodeticRecord();
    none.ProjectionType = 5;
    m = projDefinition(none);
    EXPECT_FALSE(m.mapped);
    EXPECT_NE(m.reason.find("projection type 5"), std::string::npos) << m.reason;
}

} // namespace
} // namespace kestrova::mosaic
