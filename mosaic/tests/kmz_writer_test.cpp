// The Google Earth overlay: a zip whose KML holds the mosaic's bounds, the
// vessel's track and the targets as placemarks, names escaped for XML.

#include "mosaic/kmz_writer.h"

#include "platform/tests/temp_folder.h"

#include <cpl_vsi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kestrova::mosaic {
namespace {

std::string zipEntry(const std::string& zip, const std::string& name) {
    const std::string path = "/vsizip/" + zip + "/" + name;
    VSILFILE* f = VSIFOpenL(path.c_str(), "rb");
    if (!f) return {};
    std::string out;
    char buffer[4096];
    for (std::size_t got; (got = VSIFReadL(buffer, 1, sizeof buffer, f)) > 0;)
        out.append(buffer, got);
    VSIFCloseL(f);
    return out;
}

double tagValue(const std::string& kml, const std::string& tag) {
    const auto at = kml.find("<" + tag + ">");
    return at == std::string::npos ? 0.0 : std::atof(kml.c_str() + at + tag.size() + 2);
}

TEST(Kmz, TrackAndTargetsAsPlacemarksInsideTheOverlay) {
    kestrova::testing::TempFolder dir;
    // A 40 m square of seabed around 24.4 N 118.15 E (UTM zone 50).
    auto grid = GridProjection::utmFor(24.4, 118.15);
    ASSERT_TRUE(grid);
    double e0 = 0, n0 = 0;
    ASSERT_TRUE(grid->forward(24.4, 118.15, e0, n0));
    MosaicCanvas canvas(0.5);
    for (double de = -20; de < 20; de += 0.5)
        for (double dn = -20; dn < 20; dn += 0.5)
            canvas.put(e0 + de, n0 + dn, 1000, 1.0);
    std::string error;
    ASSERT_TRUE(writeGeoTiff(canvas, *grid, dir.file("m.tif"), error)) << error;

    const std::vector<TrackPoint> track = {{1.0, 24.39995, 118.14995}, {2.0, 24.40005, 118.15005}};
    const std::vector<Placemark> targets = {{"00001_142502", 24.40001, 118.15002},
                                            {"tyre <&> \"old\"", 24.4, 118.15}};
    ASSERT_TRUE(writeKmz(dir.file("m.tif"), track, targets, dir.file("m.kmz"), error)) << error;

    const std::string kml = zipEntry(dir.file("m.kmz"), "doc.kml");
    ASSERT_FALSE(kml.empty());
    EXPECT_FALSE(zipEntry(dir.file("m.kmz"), "mosaic.png").empty());
    // The overlay covers the painted square (about 0.0002 degrees each way).
    EXPECT_GT(tagValue(kml, "north"), 24.40015);
    EXPECT_LT(tagValue(kml, "south"), 24.39985);
    EXPECT_GT(tagValue(kml, "east"), 118.15015);
    EXPECT_LT(tagValue(kml, "west"), 118.14985);
    // Longitude first, as KML wants it.
    EXPECT_NE(kml.find("118.14995000,24.39995000,0\n118.15005000,24.40005000,0\n"),
              std::string::npos)
        << kml;
    EXPECT_NE(kml.find("<Placemark><name>00001_142502</name><Point><coordinates>"
                       "118.15002000,24.40001000,0</coordinates></Point></Placemark>"),
              std::string::npos)
        << kml;
    EXPECT_NE(kml.find("<name>tyre &lt;&amp;&gt; &quot;old&quot;</name>"), std::string::npos);
    // Nothing left beside it.
    EXPECT_FALSE(std::filesystem::exists(dir.file("m.kmz") + ".part"));
}

} // namespace
} // namespace kestrova::mosaic
