// The mosaic's canvas: lines laid on a flat seabed on the right side, the
// sample nearest nadir keeping its cell, and tiles that left memory coming back.

#include "navigation/mosaic_canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kestrova::navigation {
namespace {

std::uint16_t cellAt(MosaicCanvas& canvas, double east, double north) {
    const double cell = canvas.cellMetres();
    const auto column = static_cast<std::int64_t>(std::floor(east / cell));
    const auto row = static_cast<std::int64_t>(std::floor(-north / cell));
    constexpr std::int64_t t = MosaicCanvas::kTileCells;
    auto div = [](std::int64_t a) { return a >= 0 ? a / t : -((-a + t - 1) / t); };
    const TileKey key{div(column), div(row)};
    std::vector<std::uint16_t> values;
    if (!canvas.tileValues(key, values)) return 0;
    return values[static_cast<std::size_t>((row - key.row * t) * t + column - key.column * t)];
}

// Guards the slant-range correction and the sides: heading east, starboard is
// south; a point 4.2 m out at 3 m altitude lies at 5.16 m slant, sample 51 of 0.1 m.
TEST(MosaicCanvas, LaysALineOnTheGroundByItsSlantRange) {
    MosaicCanvas canvas(0.05);
    std::vector<std::uint16_t> port(300), starboard(300);
    for (std::uint16_t i = 0; i < 300; ++i) {
        port[i] = static_cast<std::uint16_t>(1000 + i);
        starboard[i] = static_cast<std::uint16_t>(2000 + i);
    }
    GroundLine g;
    g.east = 100.0;
    g.north = 200.0;
    g.headingDegrees = 90.0;
    g.altitude = 3.0;
    g.sampleMetres = 0.1;
    g.alongMetres = 0.5;
    g.port = port;
    g.starboard = starboard;
    paintLine(canvas, g);
    EXPECT_EQ(cellAt(canvas, 100.01, 200.0 - 4.21), 2051);
    EXPECT_EQ(cellAt(canvas, 100.01, 200.0 + 4.21), 1051);
    // Ground range reaches sqrt(30^2 - 3^2) = 29.85 m, not the 30 m of slant.
    EXPECT_NE(cellAt(canvas, 100.01, 200.0 - 29.8), 0);
    EXPECT_EQ(cellAt(canvas, 100.01, 200.0 - 29.95), 0);
    // The water column is gone: half a metre out lies sample 30 (3.04 m slant).
    EXPECT_EQ(cellAt(canvas, 100.01, 200.0 - 0.51), 2030);
}

// Guards coverage in a turn: a fish turning to starboard 3 degrees a ping on
// a 20 m circle, 1.05 m apart, 40 m of ground range a side. Out at 35 m on the
// outer (port) side the pings lie 2.9 m apart: every cell of that arc is
// painted.
TEST(MosaicCanvas, ATurnLeavesNoGapOnItsOuterSide) {
    constexpr double kRadius = 20.0, kStep = 3.0, kPiD = 3.14159265358979323846;
    MosaicCanvas canvas(0.25);
    std::vector<std::uint16_t> side(400, 500);
    GroundTrack track;
    for (int i = 0; i <= 40; ++i) {
        const double bearing = i * kStep * kPiD / 180.0; // from the centre to the fish
        PingPositionRecord rec;
        rec.easting = 1000.0 + kRadius * std::sin(bearing - kPiD / 2);
        rec.northing = 2000.0 + kRadius * std::cos(bearing - kPiD / 2);
        rec.heading = i * kStep; // clockwise round the centre at (1000, 2000)
        rec.altitude = 0.0;
        rec.range = 40.0;
        paintLine(canvas, track.next(rec, side, side));
    }
    int holes = 0;
    for (double deg = 5.0; deg <= 115.0; deg += 0.5) {
        const double b = (deg - 90.0) * kPiD / 180.0; // port of the fish, away from the centre
        const double r = kRadius + 35.0;
        if (cellAt(canvas, 1000.0 + r * std::sin(b), 2000.0 + r * std::cos(b)) == 0) ++holes;
    }
    EXPECT_EQ(holes, 0);
}

// Guards constant memory: with room for four tiles, a survey across forty keeps
// every cell, and the sample nearest its nadir wins over later, farther ones.
TEST(MosaicCanvas, KeepsTilesOutOfMemoryAndTheNearestToNadir) {
    MosaicCanvas canvas(1.0, 4);
    for (int k = 0; k < 40; ++k)
        canvas.put(k * 256.0 + 5.0, -(k * 256.0 + 7.0), static_cast<std::uint16_t>(100 + k), 10.0);
    EXPECT_LE(canvas.tilesInMemory(), 4u);
    for (int k = 0; k < 40; ++k) {
        canvas.put(k * 256.0 + 5.0, -(k * 256.0 + 7.0), 9, 12.0);    // farther: ignored
        if (k % 2) canvas.put(k * 256.0 + 5.0, -(k * 256.0 + 7.0), 7, 3.0); // nearer: wins
    }
    ASSERT_TRUE(canvas.ok());
    EXPECT_EQ(canvas.first().column, 0);
    EXPECT_EQ(canvas.last().row, 39);
    for (int k = 0; k < 40; ++k)
        EXPECT_EQ(cellAt(canvas, k * 256.0 + 5.5, -(k * 256.0 + 7.5)), k % 2 ? 7 : 100 + k) << k;
    EXPECT_LE(canvas.tilesInMemory(), 4u);
}

} // namespace
} // namespace kestrova::navigation
