// The map's arithmetic as the operator sees it: where things land on the
// screen, zooming, turning, fitting, following the vessel, the grid spacing.

#include "navigation/navi_model.h"
#include "navigation/navi_view_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace kestrova::navigation;

ViewState sized(int w, int h) {
    ViewState v;
    v.width = w;
    v.height = h;
    return v;
}

TEST(NaviView, DefaultPlacesGridOriginAndMapsBack) {
    ViewState v = sized(801, 600);
    ScreenPoint p = gridToScreen(v, 0.0, 0.0);
    EXPECT_NEAR(p.x, 350.0, 1e-9);
    EXPECT_NEAR(p.y, 150.0, 1e-9);
    // North up: 100 m north at 2 m per pixel is 50 pixels up.
    p = gridToScreen(v, 0.0, 100.0);
    EXPECT_NEAR(p.y, 100.0, 1e-9);
    // Turned by 90° clockwise, north points to the right of the screen.
    v.theta = 90.0;
    ScreenPoint q = gridToScreen(v, 0.0, 100.0);
    ScreenPoint o = gridToScreen(v, 0.0, 0.0);
    EXPECT_NEAR(q.x - o.x, 50.0, 1e-9);
    EXPECT_NEAR(q.y - o.y, 0.0, 1e-9);
    GridPoint g = screenToGrid(v, q.x, q.y);
    EXPECT_NEAR(g.east, 0.0, 1e-9);
    EXPECT_NEAR(g.north, 100.0, 1e-9);
}

TEST(NaviView, WheelKeepsThePointUnderTheCursorAndTheScaleInRange) {
    ViewState v = sized(800, 600);
    v.theta = 30.0;
    const double x = 123.0, y = 456.0;
    GridPoint under = screenToGrid(v, x, y);
    for (int i = 0; i < 10; ++i)
        wheelZoom(v, true, x, y);
    EXPECT_NEAR(v.s, 2.0 / std::pow(1.1, 10), 1e-12);
    GridPoint still = screenToGrid(v, x, y);
    EXPECT_NEAR(still.east, under.east, 1e-6);
    EXPECT_NEAR(still.north, under.north, 1e-6);

    // Every zoom path stops at the limits, keys included.
    for (int i = 0; i < 200; ++i)
        applyKey(v, NaviKey::PageUp, true);
    EXPECT_GE(v.s, kMinScale);
    for (int i = 0; i < 400; ++i)
        applyKey(v, NaviKey::PageDown, true);
    EXPECT_LE(v.s, kMaxScale);
    for (int i = 0; i < 400; ++i)
        wheelZoom(v, false, x, y);
    EXPECT_LE(v.s, kMaxScale);
}

TEST(NaviView, KeysTurnPanAndChooseFollowModes) {
    ViewState v = sized(800, 600);
    v.theta = 5.0;
    applyKey(v, NaviKey::Left, true);
    EXPECT_DOUBLE_EQ(v.theta, 355.0);
    applyKey(v, NaviKey::Up, true);
    EXPECT_DOUBLE_EQ(v.theta, 356.0);
    applyKey(v, NaviKey::Home, true);
    EXPECT_DOUBLE_EQ(v.theta, 0.0);
    applyKey(v, NaviKey::D4, true);
    EXPECT_EQ(v.follow, 3);
    applyKey(v, NaviKey::Right, true); // course up: the turn is the vessel's
    EXPECT_DOUBLE_EQ(v.theta, 0.0);
    applyKey(v, NaviKey::D3, true);
    const double ox = v.ox;
    EXPECT_EQ(applyKey(v, NaviKey::Left, false), KeyResult::None); // centred: no pan
    EXPECT_EQ(v.ox, ox);
    applyKey(v, NaviKey::D1, true);
    applyKey(v, NaviKey::Left, false);
    EXPECT_DOUBLE_EQ(v.ox, ox + 40.0);
    EXPECT_EQ(applyKey(v, NaviKey::H, true), KeyResult::NextLine);
}

TEST(NaviView, GridSpacingFromTheVisibleExtent) {
    EXPECT_EQ(leadingDigitStep(437.0), 400.0);
    EXPECT_EQ(gridSpacing(4 * 437.0, 100.0), 400.0);
    EXPECT_EQ(gridSpacing(0.0, 0.0), 0.0); // a zero extent used to loop forever
    EXPECT_EQ(gridSpacing(std::nan(""), 1.0 / 0.0), 0.0);
}

TEST(NaviView, FollowModesKeepTheVesselInView) {
    ViewState v = sized(800, 600);
    GridPoint vessel{10000.0, -5000.0};
    v.follow = 0;
    applyFollow(v, vessel, 45.0);
    EXPECT_DOUBLE_EQ(v.ox, 350.0);

    v.follow = 1; // far outside: brought to the centre
    applyFollow(v, vessel, 45.0);
    ScreenPoint p = gridToScreen(v, vessel.east, vessel.north);
    EXPECT_NEAR(p.x, 400.0, 1e-9);
    EXPECT_NEAR(p.y, 300.0, 1e-9);
    GridPoint moved{vessel.east + 100.0, vessel.north}; // 50 px right: still inside
    applyFollow(v, moved, 45.0);
    EXPECT_NEAR(gridToScreen(v, moved.east, moved.north).x, 450.0, 1e-9);

    v.follow = 2;
    applyFollow(v, moved, 45.0);
    EXPECT_NEAR(gridToScreen(v, moved.east, moved.north).x, 400.0, 1e-9);

    v.follow = 3; // course up: a point ahead of the vessel is straight above it
    applyFollow(v, moved, 45.0);
    EXPECT_DOUBLE_EQ(v.theta, 315.0);
    ScreenPoint ahead = gridToScreen(v, moved.east + 70.0, moved.north + 70.0);
    EXPECT_NEAR(ahead.x, 400.0, 1e-9);
    EXPECT_LT(ahead.y, 300.0);
}

TEST(NaviView, FitShowsEverythingAndSurvivesNothingAndNoWindow) {
    NaviModel model;
    model.view().width = 1000;
    model.view().height = 500;
    model.lines().replace("x.lnw", true, {{"1", {{1000.0, 2000.0}, {3000.0, 2500.0}}}});
    kestrova::position::TrackPoint t{2000.0, 1000.0, 5.0f, 90.0f};
    model.addTrackPoints({&t, 1});
    model.fitView();
    const ViewState& v = model.view();
    for (GridPoint g : model.fitPoints()) {
        ScreenPoint p = gridToScreen(v, g.east, g.north);
        EXPECT_GE(p.x, 0.0);
        EXPECT_LE(p.x, 1000.0);
        EXPECT_GE(p.y, 0.0);
        EXPECT_LE(p.y, 500.0);
    }
    // The tighter side (1500 m north-south = 750 + 2 px at 2 m/px into 500 px)
    // fills the window but for the 5 % margin.
    ScreenPoint a = gridToScreen(v, 1000.0, 0.0), b = gridToScreen(v, 3000.0, 0.0);
    EXPECT_NEAR(b.x - a.x, 1000.0 * (500.0 / 752.0) / 1.05, 1e-6);

    NaviModel empty;
    empty.fitView();
    EXPECT_DOUBLE_EQ(empty.view().ox, 200.0);
    EXPECT_DOUBLE_EQ(empty.view().oy, 600.0);
    EXPECT_DOUBLE_EQ(empty.view().s, 2.0);
    NaviModel minimised = model;
    minimised.view().width = 0;
    minimised.view().height = 0;
    minimised.fitView();
    EXPECT_TRUE(std::isfinite(minimised.view().s));
}

TEST(NaviView, ClearTrackKeepsTheLastPoint) {
    NaviModel model;
    kestrova::position::TrackPoint one{5.0, 6.0, 1.0f, 0.0f};
    model.addTrackPoints({&one, 1});
    CoverageSegment seg{};
    model.addCoverage(true, {&seg, 1});
    model.clearTrack();
    ASSERT_EQ(model.track().size(), 1u);
    EXPECT_EQ(model.track()[0].east, 5.0);
    EXPECT_TRUE(model.coverage(true).empty());
}

TEST(NaviView, SpeedTextByUnitAndLimit) {
    EXPECT_EQ(speedText(5.0, 0), "ShipSpeed:5.00 knot");
    EXPECT_EQ(speedText(120.0, 0), "ShipSpeed:");
    EXPECT_EQ(speedText(10.0, 1), "ShipSpeed:5.14 m/s");
    EXPECT_EQ(speedText(10.0, 2), "ShipSpeed:18.52 km/h");
}

} // namespace

namespace {

using namespace kestrova::navigation;

// The thinned track kept between frames must be what thinning the whole
// list gives, however the points arrived, and always end at the vessel.
TEST(NaviView, ThinnedTrackGrowsLikeAFreshThinning) {
    std::vector<GridPoint> all;
    for (int i = 0; i < 1000; ++i)
        all.push_back({i * 0.3, std::sin(i * 0.05) * 10.0});
    ThinnedPolyline grown, fresh;
    for (std::size_t n = 1; n <= all.size(); n += 37)
        grown.update(std::span<const GridPoint>(all.data(), n), 2.0);
    const auto& a = grown.update(all, 2.0);
    const auto& b = fresh.update(all, 2.0);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        EXPECT_EQ(a[i].east, b[i].east);
    EXPECT_EQ(a.back().east, all.back().east);
    EXPECT_LT(a.size(), all.size() / 3);
    // A cleared track starts over.
    std::vector<GridPoint> one = {{5.0, 5.0}};
    EXPECT_EQ(grown.update(one, 2.0).size(), 1u);
}

// Guards: a zoom that draws other points than thinning the whole day would
// (the picture changing with the zoom history), or a point lost at a scale.
TEST(NaviView, ZoomThinsExactlyAsTheWholeListWouldAtEveryScale) {
    // Lines at 2 m/s and 10 fixes a second with GPS jitter, a stop, a turn.
    std::vector<GridPoint> all;
    std::uint32_t seed = 7;
    auto jitter = [&] {
        seed = seed * 1664525u + 1013904223u;
        return (static_cast<double>(seed >> 8) / (1u << 24) - 0.5) * 0.06;
    };
    for (int i = 0; i < 60000; ++i) {
        const int leg = i / 5000;
        const double along = (i % 5000) * (leg == 3 ? 0.0 : 0.2);
        all.push_back({leg * 25.0 + jitter(), (leg % 2 ? 1000.0 - along : along) + jitter()});
    }
    // The plain rule: keep a point at least t from the last kept one; the
    // last point always.
    auto plain = [&](std::size_t n, double t) {
        std::vector<GridPoint> out{all[0]};
        for (std::size_t i = 1; i < n; ++i)
            if (std::hypot(all[i].east - out.back().east, all[i].north - out.back().north) >= t)
                out.push_back(all[i]);
        if (n > 1 && (out.back().east != all[n - 1].east || out.back().north != all[n - 1].north))
            out.push_back(all[n - 1]);
        return out;
    };
    auto same = [](const std::vector<GridPoint>& a, const std::vector<GridPoint>& b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i].east != b[i].east || a[i].north != b[i].north) return false;
        return true;
    };
    ThinnedPolyline thin;
    std::size_t n = 0;
    int checked = 0;
    // Points arrive in bursts; the operator zooms in and out between them.
    for (double t = 0.003; t < 20000.0; t *= 1.7) {
        n = std::min(all.size(), n + 4000);
        const std::span<const GridPoint> part(all.data(), n);
        thin.update(part, t * 2.0);
        EXPECT_TRUE(same(thin.update(part, t), plain(n, t))) << "tolerance " << t << ", " << n;
        ++checked;
    }
    EXPECT_GT(checked, 20);
    EXPECT_TRUE(same(thin.update(all, 0.19), plain(all.size(), 0.19)));
    EXPECT_TRUE(same(thin.update(all, 0.2), plain(all.size(), 0.2)));
}

} // namespace
