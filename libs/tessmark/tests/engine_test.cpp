// The geodesy engine against published reference points and hand computations.

#include "libs/tessmark/engine_handle.h"
#include "libs/tessmark/tests/gie.h"
#include "libs/tessmark/tests/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace kestrova::tessmark::test {
namespace {

using Record = _DefGeodetsyParameterSetting;

std::string dataDir() {
    const char* source = std::getenv("KESTROVA_SOURCE");
    return std::string(source ? source : ".") + "/libs/tessmark/tests/data";
}

// Reference tables: a wrong series term, axis swap, zone or hemisphere slip
// shows as a point off its published coordinates.
class GieTable : public ::testing::TestWithParam<const char*> {};

TEST_P(GieTable, MatchesPublishedAndHandComputedPoints) {
    const std::string path = dataDir() + "/" + GetParam();
    GieResult result = runGieFile(path);
    EXPECT_GT(result.checks, 0) << path;
    for (const auto& f : result.failures)
        ADD_FAILURE() << path << ":" << f.line << ": " << f.message;
}

INSTANTIATE_TEST_SUITE_P(Tables, GieTable,
                         ::testing::Values("gauss_kruger.gie", "utm.gie", "mercator.gie",
                                           "plane_height.gie"));

Record withProjection(int type, const char* centralMeridian, const char* scale = "1.0") {
    Record r = defaultGeodeticRecord();
    r.ProjectionType = type;
    setText(r.CentralMeridian, centralMeridian);
    setText(r.ScaleRadio, scale);
    return r;
}

// EPSG Guidance Note 7-2, Coordinate Frame rotation worked example, WGS 72 to
// WGS 84: tZ +4.5 m, rZ -0.554", dS +0.219 ppm; 55 N 4 E 0 m on WGS 72 is
// geocentric 3657660.66 255768.55 5201382.11 and becomes 3657660.78 255778.43
// 5201387.75. The engine's rotation matrix is the coordinate frame one.
Record wgs72ToWgs84(const char* rz) {
    Record r = withProjection(1, "004000000000E");
    setText(r.SourceSemimajor, "6378135.0");
    setText(r.SourceFlattening, "298.26");
    r.ETransType = 1;
    setText(r.ETransDz, "4.5");
    setText(r.ETransRz, rz);
    setText(r.ETransSc, "0.219");
    return r;
}

TEST(DatumTransformation, CoordinateFrameWorkedExample) {
    const Geocentric source = geocentric(6378135.0, 298.26, 55.0, 4.0, 0.0);
    ASSERT_NEAR(source.X, 3657660.66, 0.006);
    ASSERT_NEAR(source.Y, 255768.55, 0.006);
    ASSERT_NEAR(source.Z, 5201382.11, 0.006);

    EngineHandle datum;
    datum.setRecord(wgs72ToWgs84("-0.554"));
    const GridPoint grid = datum.toGrid(55.0, 4.0, 0.0);

    // The same grid read back without the datum step is the WGS 84 position.
    EngineHandle plain;
    Record r = withProjection(1, "004000000000E");
    plain.setRecord(r);
    const GeoPoint target = plain.toGeo(grid.north, grid.east, grid.height);
    const Geocentric t =
        geocentric(6378137.0, 298.257223563, target.latitude, target.longitude, target.height);
    EXPECT_NEAR(t.X, 3657660.78, 0.006);
    EXPECT_NEAR(t.Y, 255778.43, 0.006);
    EXPECT_NEAR(t.Z, 5201387.75, 0.006);

    // And back through the reverse datum step to the WGS 72 start.
    const GeoPoint back = datum.toGeo(grid.north, grid.east, grid.height);
    EXPECT_LT(groundMetres(back.latitude, back.longitude, 55.0, 4.0), 0.001);
    EXPECT_NEAR(back.height, 0.0, 0.001);
}

TEST(DatumTransformation, PositionVectorSignIsNotWhatTheEngineTakes) {
    // Guards the rotation convention: the position vector sign of the same
    // rotation lands 1.4 m away in X.
    EngineHandle datum;
    datum.setRecord(wgs72ToWgs84("0.554"));
    const GridPoint grid = datum.toGrid(55.0, 4.0, 0.0);
    EngineHandle plain;
    plain.setRecord(withProjection(1, "004000000000E"));
    const GeoPoint target = plain.toGeo(grid.north, grid.east, grid.height);
    const Geocentric t =
        geocentric(6378137.0, 298.257223563, target.latitude, target.longitude, target.height);
    EXPECT_GT(std::fabs(t.X - 3657660.78), 1.0);
}

TEST(DatumTransformation, NullParametersOnEqualEllipsoidsKeepThePosition) {
    // Every quadrant of the longitude recovery and both hemispheres.
    Record r = withProjection(1, "000000000000E");
    r.ETransType = 1;
    EngineHandle withStep;
    withStep.setRecord(r);
    r.ETransType = 0;
    EngineHandle without;
    without.setRecord(r);
    for (double lat : {-60.0, -1.0, 0.0, 33.3, 71.0}) {
        for (double lon : {-179.0, -120.0, -90.0, -30.0, 0.0, 2.5, 90.0, 150.0, 180.0}) {
            Record cm = r;
            // Project near each longitude so the grid stays inside the series.
            char text[32];
            std::snprintf(text, sizeof text, "%03d000000000%c", static_cast<int>(std::fabs(lon)),
                          lon < 0 ? 'W' : 'E');
            setText(cm.CentralMeridian, text);
            cm.ETransType = 1;
            withStep.setRecord(cm);
            cm.ETransType = 0;
            without.setRecord(cm);
            const GridPoint a = withStep.toGrid(lat, lon + 0.5, 10.0);
            const GridPoint b = without.toGrid(lat, lon + 0.5, 10.0);
            EXPECT_NEAR(a.north, b.north, 1e-6) << lat << " " << lon;
            EXPECT_NEAR(a.east, b.east, 1e-6) << lat << " " << lon;
            EXPECT_NEAR(a.height, b.height, 1e-6) << lat << " " << lon;
        }
    }
}

TEST(DatumTransformation, FixAtThePoleKeepsItsHeight) {
    // Near 90 degrees the height from P / cos B divides two vanishing numbers;
    // a fix at the pole came back kilometres off.
    Record r = withProjection(1, "000000000000E");
    r.ETransType = 1;
    EngineHandle engine;
    engine.setRecord(r);
    for (double lat : {90.0, 89.9999999, -90.0, 89.0}) {
        const GridPoint g = engine.toGrid(lat, 0.0, 25.0);
        EXPECT_NEAR(g.height, 25.0, 0.001) << lat;
    }
}

TEST(DatumTransformation, SevenParametersRoundTrip) {
    // The reverse step is the exact inverse of the forward rotation matrix:
    // large rotations (a few arc seconds) must still close.
    Record r = withProjection(1, "117000000000E");
    setText(r.SourceSemimajor, "6378245.0");
    setText(r.SourceFlattening, "298.3");
    r.ETransType = 1;
    setText(r.ETransDx, "-15.415");
    setText(r.ETransDy, "157.025");
    setText(r.ETransDz, "94.74");
    setText(r.ETransRx, "1.465");
    setText(r.ETransRy, "-0.312");
    setText(r.ETransRz, "-8.12");
    setText(r.ETransSc, "-1.99");
    EngineHandle engine;
    engine.setRecord(r);
    for (double lat = -70; lat <= 70; lat += 10) {
        for (double lon = 114.5; lon <= 119.5; lon += 1.25) {
            const GridPoint g = engine.toGrid(lat, lon, 50.0);
            const GeoPoint p = engine.toGeo(g.north, g.east, g.height);
            EXPECT_LT(groundMetres(p.latitude, p.longitude, lat, lon), 0.001) << lat << " " << lon;
            EXPECT_NEAR(p.height, 50.0, 0.0001);
        }
    }
}

// Forward then inverse over the whole zone, equator to 80 degrees in both
// hemispheres, for 3 degree zones (1.5 degrees either side, Gauss-Krueger) and
// 6 degree zones (3 degrees, UTM and Gauss-Krueger), both series. A position
// must come back within 0.1 mm on the ground, and its grid coordinates again
// within 0.1 mm. Guards the footpoint latitude (a series in e1 that misses the
// forward arc by 0.8 mm near 73 degrees), the longitude D^7 term (0.4 mm at
// the zone edge) and the C1^2 term of the latitude (0.08 mm near 18 degrees).
TEST(TransverseMercator, ForwardThenInverseReturnsWithinATenthOfAMillimetre) {
    struct Zone {
        int type;
        const char* scale;
        double halfWidth;
    } zones[] = {{0, "0.9996", 3.0}, {0, "0.9996", 1.5}, {1, "1.0", 3.0}, {1, "1.0", 1.5}};
    for (const Zone& z : zones) {
        EngineHandle engine;
        engine.setRecord(withProjection(z.type, "117000000000E", z.scale));
        double worst = 0.0;
        double worstLat = 0.0;
        double worstDl = 0.0;
        for (double lat = -80.0; lat <= 80.0; lat += 0.5) {
            for (double dl = -z.halfWidth; dl <= z.halfWidth + 1e-9; dl += z.halfWidth / 12.0) {
                const GridPoint g = engine.toGrid(lat, 117.0 + dl, 3.0);
                const GeoPoint p = engine.toGeo(g.north, g.east, g.height);
                const GridPoint again = engine.toGrid(p.latitude, p.longitude, p.height);
                const double e = std::max(groundMetres(p.latitude, p.longitude, lat, 117.0 + dl),
                                          std::hypot(again.north - g.north, again.east - g.east));
                if (e > worst) {
                    worst = e;
                    worstLat = lat;
                    worstDl = dl;
                }
                EXPECT_EQ(p.height, 3.0);
            }
        }
        EXPECT_LT(worst, 0.0001) << "type " << z.type << " half width " << z.halfWidth
                                 << ": worst at " << worstLat << " " << worstDl;
    }
}

// On the central meridian the inverse is the footpoint latitude alone: it must
// invert the forward arc itself, to well under a micrometre, at any latitude.
TEST(TransverseMercator, FootpointLatitudeInvertsTheMeridianArc) {
    EngineHandle engine;
    engine.setRecord(withProjection(1, "117000000000E"));
    for (double lat = -84.0; lat <= 84.0; lat += 0.25) {
        const GridPoint g = engine.toGrid(lat, 117.0, 0.0);
        const GeoPoint p = engine.toGeo(g.north, g.east, 0.0);
        EXPECT_LT(std::fabs(p.latitude - lat) * 111000.0, 1e-6) << lat;
        EXPECT_NEAR(p.longitude, 117.0, 1e-12) << lat;
    }
}

TEST(TransverseMercator, ZoneEdgeIsSymmetricBetweenNeighbourZones) {
    // 6 E is the edge of UTM zones 31 (3 E) and 32 (9 E): the same point is
    // 3 degrees east of one meridian and 3 west of the other, so its eastings
    // mirror about 500 000 and its northings agree.
    EngineHandle zone31;
    EngineHandle zone32;
    zone31.setRecord(withProjection(0, "003000000000E", "0.9996"));
    zone32.setRecord(withProjection(0, "009000000000E", "0.9996"));
    for (double lat : {-50.0, 0.0, 12.0, 56.0, 72.0}) {
        const GridPoint a = zone31.toGrid(lat, 6.0, 0.0);
        const GridPoint b = zone32.toGrid(lat, 6.0, 0.0);
        EXPECT_NEAR(a.north, b.north, 1e-6) << lat;
        EXPECT_NEAR(a.east - 500000.0, 500000.0 - b.east, 1e-6) << lat;
        EXPECT_GT(a.east, 500000.0);
    }
}

TEST(TransverseMercator, LongitudeDifferenceWrapsAcrossTheAntimeridian) {
    // Zone 1 (central meridian 177 W): 179.5 E is 3.5 degrees west of it, the
    // mirror of 173.5 W, 3.5 degrees east. Read back it comes out as 179.5 E.
    EngineHandle zone1;
    zone1.setRecord(withProjection(0, "177000000000W", "0.9996"));
    const GridPoint west = zone1.toGrid(-20.0, 179.5, 0.0);
    const GridPoint east = zone1.toGrid(-20.0, -173.5, 0.0);
    const GridPoint beyond = zone1.toGrid(-20.0, -180.5, 0.0);
    EXPECT_NEAR(west.north, east.north, 1e-6);
    EXPECT_NEAR(west.east - 500000.0, 500000.0 - east.east, 1e-6);
    EXPECT_NEAR(beyond.east, west.east, 1e-6);
    const GeoPoint back = zone1.toGeo(west.north, west.east, 0.0);
    EXPECT_NEAR(back.longitude, 179.5, 1e-8);
    // Zone 60 (177 E): a point at 178.5 W is across the antimeridian, 4.5 east.
    EngineHandle zone60;
    zone60.setRecord(withProjection(0, "177000000000E", "0.9996"));
    const GeoPoint across = zone60.toGeo(zone60.toGrid(5.0, -178.5, 0.0).north,
                                         zone60.toGrid(5.0, -178.5, 0.0).east, 0.0);
    EXPECT_NEAR(across.longitude, -178.5, 1e-7);
}

TEST(Mercator, ForwardThenInverseReturns) {
    Record r = withProjection(2, "117000000000E");
    setText(r.DatumLatitude, "30000000000N");
    EngineHandle engine;
    engine.setRecord(r);
    for (double lat = -80.0; lat <= 80.0; lat += 5.0) {
        for (double lon = -60.0; lon <= 170.0; lon += 23.0) {
            const GridPoint g = engine.toGrid(lat, lon, 0.0);
            const GeoPoint p = engine.toGeo(g.north, g.east, 0.0);
            EXPECT_LT(groundMetres(p.latitude, p.longitude, lat, lon), 1e-5) << lat << " " << lon;
        }
    }
}

// Packed angles: the dialog's 13-character central meridian, any other length
// the 117 E fallback (the program's own 14-character default included).
TEST(PackedAngles, CentralMeridianTextsAndFallbacks) {
    struct Case {
        const char* text;
        double degrees;
    } cases[] = {
        {"117203012345E", 117.0 + 20.0 / 60.0 + 30.12345 / 3600.0},
        {"120300000000E", 120.5},
        {"075000000000W", -75.0},
        {"000000000000W", 0.0},
        {"1200000.00000E", 117.0}, // 14 characters: fallback whatever the digits
        {"12000000000E", 117.0},   // 12 characters
        {"", 117.0},
    };
    for (const Case& c : cases) {
        EngineHandle engine;
        engine.setRecord(withProjection(1, c.text));
        const GeoPoint p = engine.toGeo(0.0, 500000.0, 0.0);
        EXPECT_DOUBLE_EQ(p.longitude, c.degrees) << c.text;
    }
}

TEST(PackedAngles, LatitudeOfTrueScaleNeedsTwelveCharacters) {
    // A 13-character latitude (the program default's form) falls back to 0:
    // the scale is then the equator's, one degree = a pi / 180.
    const double perDegreeAtEquator = 6378137.0 * 3.14159265358979 / 180.0;
    for (const char* text : {"000000.00000N", "6000000000N", "600000000000N"}) {
        Record r = withProjection(2, "000000000000E");
        setText(r.DatumLatitude, text);
        setText(r.EastConst, "0");
        EngineHandle engine;
        engine.setRecord(r);
        EXPECT_NEAR(engine.toGrid(0.0, 1.0, 0.0).east, perDegreeAtEquator, 1e-6) << text;
    }
    Record south = withProjection(2, "000000000000E");
    setText(south.DatumLatitude, "60000000000S");
    setText(south.EastConst, "0");
    EngineHandle engine;
    engine.setRecord(south);
    EXPECT_NEAR(engine.toGrid(0.0, 1.0, 0.0).east, 55800.002, 0.001);
}

TEST(Sphere, InverseFlatteningNotAboveTheLimitIsASphere) {
    // Such a record used to leave the semi-minor axis unset (or at the value
    // of the previous record): every result came from an uninitialised number.
    const double quarterArc = 6371000.0 * 3.14159265358979 / 4.0;
    for (const char* flattening : {"0", "0.00001", "-298.257", "sphere"}) {
        Record r = withProjection(1, "000000000000E");
        setText(r.TargetSemimajor, "6371000.0");
        setText(r.TargetFlattening, flattening);
        EngineHandle fresh;
        fresh.setRecord(r);
        const GridPoint g = fresh.toGrid(45.0, 0.0, 0.0);
        EXPECT_NEAR(g.north, quarterArc, 0.001) << flattening;
        // An engine that had an ellipsoid before gives the same numbers.
        EngineHandle reused;
        reused.setRecord(defaultGeodeticRecord());
        reused.toGrid(45.0, 0.0, 0.0);
        reused.setRecord(r);
        const GridPoint h = reused.toGrid(45.0, 2.0, 0.0);
        const GridPoint f = fresh.toGrid(45.0, 2.0, 0.0);
        EXPECT_EQ(h.north, f.north) << flattening;
        EXPECT_EQ(h.east, f.east) << flattening;
        const GeoPoint back = reused.toGeo(h.north, h.east, 0.0);
        EXPECT_LT(groundMetres(back.latitude, back.longitude, 45.0, 2.0), 0.001);
    }
}

TEST(Sphere, DatumStepFromASphere) {
    Record r = withProjection(1, "000000000000E");
    setText(r.SourceSemimajor, "6371000.0");
    setText(r.SourceFlattening, "0");
    r.ETransType = 1;
    EngineHandle engine;
    engine.setRecord(r);
    const GridPoint g = engine.toGrid(40.0, 1.0, 0.0);
    ASSERT_TRUE(std::isfinite(g.north));
    const GeoPoint back = engine.toGeo(g.north, g.east, g.height);
    EXPECT_LT(groundMetres(back.latitude, back.longitude, 40.0, 1.0), 0.001);
    EXPECT_NEAR(back.height, 0.0, 0.001);
}

TEST(Engine, NoRecordYetGivesNoNumbers) {
    // Conversions before the first record read uninitialised parameters.
    EngineHandle engine;
    ASSERT_TRUE(engine.valid());
    const GridPoint g = engine.toGrid(30.0, 120.0, 0.0);
    EXPECT_TRUE(std::isnan(g.north) && std::isnan(g.east) && std::isnan(g.height));
    const GeoPoint p = engine.toGeo(3323905.467, 789525.463, 0.0);
    EXPECT_TRUE(std::isnan(p.latitude) && std::isnan(p.longitude) && std::isnan(p.height));
}

TEST(Engine, BadFixOrBadEllipsoidDoesNotHangTheConversion) {
    // A NaN latitude or an ellipsoid typed as 0 kept the latitude iterations
    // running forever on the navigation thread.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Record r = withProjection(2, "000000000000E");
    r.ETransType = 1;
    EngineHandle engine;
    engine.setRecord(r);
    EXPECT_TRUE(std::isnan(engine.toGrid(nan, 0.0, 0.0).north));
    EXPECT_TRUE(std::isnan(engine.toGeo(nan, 0.0, 0.0).latitude));
    EXPECT_TRUE(std::isnan(engine.toGrid(10.0, std::numeric_limits<double>::infinity(), 0.0).east));
    setText(r.TargetSemimajor, "0");
    setText(r.SourceSemimajor, "junk");
    engine.setRecord(r);
    EXPECT_FALSE(std::isfinite(engine.toGrid(10.0, 1.0, 0.0).north));
    EXPECT_FALSE(std::isfinite(engine.toGeo(1000.0, 1000.0, 0.0).latitude));
}

TEST(Engine, FullFieldWithoutTerminatorReadsOnlyTheField) {
    // A record read from a file may fill a text field to its last byte.
    Record r = defaultGeodeticRecord();
    std::memcpy(r.TargetFlattening, "298.2572235630000000000000000000", 32);
    std::memcpy(r.TargetSemimajor, "6378137.00000000000000000000000000", 32);
    EngineHandle engine;
    engine.setRecord(r);
    const GridPoint g = engine.toGrid(30.0, 120.0, 0.0);
    EXPECT_NEAR(g.north, 3323905.467, 0.001);
    EXPECT_NEAR(g.east, 789525.463, 0.001);
}

TEST(Engine, RecordComesBackByteForByteAndCopiesAreIndependent) {
    Record r = withProjection(0, "123000000000E", "0.9996");
    r.AddBandnumber = 1;
    r.PositiveWest = 1;
    setText(r.PTransONorth, "12.5");
    CCoordinateCal engine;
    engine.SetGeodetsyParameter(r);
    const Record back = engine.GetGeodetsyParameter();
    EXPECT_EQ(std::memcmp(&back, &r, sizeof r), 0);

    CCoordinateCal copy(engine);
    CCoordinateCal assigned;
    assigned = engine;
    engine.SetGeodetsyParameter(defaultGeodeticRecord());
    double x1, y1, h1, x2, y2, h2, x3, y3, h3;
    copy.BLHtoxyh(40.0, 124.0, 0.0, x1, y1, h1);
    assigned.BLHtoxyh(40.0, 124.0, 0.0, x2, y2, h2);
    engine.BLHtoxyh(40.0, 124.0, 0.0, x3, y3, h3);
    EXPECT_EQ(x1, x2);
    EXPECT_EQ(y1, y2);
    EXPECT_NE(y1, y3); // the original moved on to the defaults
    const Record copied = copy.GetGeodetsyParameter();
    EXPECT_EQ(std::memcmp(&copied, &r, sizeof r), 0);
}

TEST(Engine, DeleteIgnoresNull) {
    DeleteTessmark(nullptr);
    Tessmark* t = CreateTessmark();
    ASSERT_NE(t, nullptr);
    DeleteTessmark(t);
}

TEST(GieRunner, AngleNotation) {
    double d = 0;
    ASSERT_TRUE(parseAngle("52:39:27.2531N", d));
    EXPECT_NEAR(d, 52.0 + 39.0 / 60.0 + 27.2531 / 3600.0, 1e-12);
    ASSERT_TRUE(parseAngle("37:57:03.7203S", d));
    EXPECT_LT(d, -37.9);
    ASSERT_TRUE(parseAngle("-1.5", d));
    EXPECT_EQ(d, -1.5);
    EXPECT_FALSE(parseAngle("1:x", d));
}

} // namespace
} // namespace kestrova::tessmark::test
