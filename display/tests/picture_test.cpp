// What a surveyor sees after a few hundred simulated pings, rendered headless:
// the water column darker than the seabed, the bottom line where the seabed
// is, and the acoustic shadows behind the objects the simulator laid down.

#include "display/png_image.h"
#include "display/tests/sim_pings.h"
#include "display/waterfall.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace kestrova::display::test {
namespace {

int grey(std::uint32_t c) {
    return static_cast<int>(((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF)) / 3;
}

class Picture : public ::testing::Test {
  protected:
    // 400 HF pings of seed 7 (50 m range; 3600 samples at 54000 Hz, 72 per metre).
    static constexpr std::uint32_t kPings = 400;
    static constexpr int kHalf = 601; // client 1202 wide: Wp = Ws = 602

    void SetUp() override {
        ASSERT_TRUE(drovanta.load(binFolder())) << drovanta.failure().english;
        drovanta.initialize();
        view = std::make_unique<ViewPipeline>(Frequency::HF, drovanta, shared);
        picture = std::make_unique<Waterfall>(*view);
        view->setTarget(picture.get());
        picture->layout(2 * kHalf, ViewLayout::kWaterfallTop + static_cast<int>(kPings));
        Palette gray;
        ASSERT_TRUE(gray.load(binFolder(), 2, false));
        picture->setPalette(gray);
        shared.settings.bottom.on = 1;
        auto config = hfOnly();
        config.seed = 7;
        sim = std::make_unique<SimPings>(config);
        acquisition::PingBatch batch;
        for (std::uint32_t k = 0; k < kPings; k += 4) {
            for (std::uint32_t i = k; i < k + 4; ++i)
                ASSERT_TRUE(sim->append(batch, true, i));
            view->intake(batch);
            view->processPass();
            if (view->redrawFlag()) view->processPass();
        }
        if (const char* keep = std::getenv("KESTROVA_KEEP_PICTURES"))
            writePng(picture->image(), std::string(keep) + "/picture_test.png");
    }

    // Screen row of ping k (newest on top) and screen column of a slant range.
    int rowOf(std::uint32_t k) const {
        return ViewLayout::kWaterfallTop + static_cast<int>(kPings - 1 - k);
    }
    int columnOf(double slant, int side) const {
        const double perPixel = 3600.0 / picture->viewLayout().portWidth;
        return kHalf + side * static_cast<int>(std::floor(slant * 72.0 / perPixel));
    }
    double meanGrey(std::uint32_t k0, std::uint32_t k1, double slant0, double slant1,
                    int side) const {
        double sum = 0;
        int n = 0;
        for (std::uint32_t k = k0; k <= k1; ++k) {
            const int a = columnOf(slant0, side), b = columnOf(slant1, side);
            for (int x = std::min(a, b); x <= std::max(a, b); ++x) {
                sum += grey(picture->image().at(x, rowOf(k)));
                ++n;
            }
        }
        return n ? sum / n : 0;
    }
    double altitude(std::uint32_t k) const { return sim->seabed().altitude(sim->alongTrack(k)); }
    std::uint32_t pingAt(double alongM) const {
        return static_cast<std::uint32_t>(std::lround(alongM / sim->alongTrack(1)));
    }

    DrovantaApi drovanta;
    DisplayShared shared;
    std::unique_ptr<ViewPipeline> view;
    std::unique_ptr<Waterfall> picture;
    std::unique_ptr<SimPings> sim;
};

TEST_F(Picture, WaterColumnIsDarkerThanTheSeabed) {
    int darker = 0;
    for (std::uint32_t k = 0; k < kPings; ++k)
        for (int side : {-1, 1}) {
            const double h = altitude(k);
            const double water = meanGrey(k, k, 1.0, 0.8 * h, side);
            const double bed = meanGrey(k, k, 1.2 * h, 2.5 * h, side);
            darker += bed > 2 * water + 5;
        }
    EXPECT_GE(darker, static_cast<int>(2 * kPings * 95 / 100));
}

TEST_F(Picture, BottomLineLiesWhereTheSimulatorPutTheSeabed) {
    int onBottom = 0;
    for (std::uint32_t k = 0; k < kPings; ++k) {
        const std::uint32_t* row = picture->image().row(rowOf(k));
        int mark = -1;
        for (int x = kHalf + 1; x < 2 * kHalf && mark < 0; ++x)
            if (row[x] == Waterfall::kBottomMark) mark = x;
        ASSERT_GE(mark, 0) << "no bottom mark in the row of ping " << k;
        const double perPixel = 3600.0 / picture->viewLayout().portWidth;
        const double slant = (mark - kHalf) * perPixel / 72.0;
        onBottom += std::abs(slant - altitude(k)) < 0.35;
        // The port half carries the same mark, mirrored.
        EXPECT_EQ(row[2 * kHalf - mark], Waterfall::kBottomMark) << "ping " << k;
    }
    EXPECT_GE(onBottom, static_cast<int>(kPings * 95 / 100));
}

TEST_F(Picture, ObjectsCastShadowsBehindTheirHighlights) {
    // Seed 7 lays two objects along these 61 m of track.
    const auto objects = sim->seabed().objectsBetween(5, sim->alongTrack(kPings - 1));
    ASSERT_EQ(objects.size(), 2u);
    for (const sim::SeabedObject& o : objects) {
        const int side = o.starboard ? 1 : -1;
        const std::uint32_t centre = pingAt(o.alongM);
        const std::uint32_t reach = static_cast<std::uint32_t>(o.lengthM / 4 / sim->alongTrack(1));
        const std::uint32_t k0 = centre - reach, k1 = centre + reach;
        const double h = altitude(centre);
        const double far = o.acrossM + o.widthM / 2;
        const double shadow = o.heightM * far / (h - o.heightM);
        auto slantOf = [h](double ground) { return std::sqrt(ground * ground + h * h); };
        const double s0 = slantOf(far + 0.5), s1 = slantOf(far + 0.8 * shadow);
        const double h0 = slantOf(o.acrossM - o.widthM / 2), h1 = slantOf(far);
        // The same ranges on pings far from any object.
        const std::uint32_t r0 = 40, r1 = 100;
        const double shadowGrey = meanGrey(k0, k1, s0, s1, side);
        const double openGrey = meanGrey(r0, r1, s0, s1, side);
        EXPECT_LT(shadowGrey, 0.35 * openGrey) << "object at " << o.alongM << " m";
        EXPECT_GT(meanGrey(k0, k1, h0, h1, side), 1.5 * meanGrey(r0, r1, h0, h1, side))
            << "object at " << o.alongM << " m";
        // The other side of the same pings has no shadow there.
        EXPECT_GT(meanGrey(k0, k1, s0, s1, -side), 0.6 * meanGrey(r0, r1, s0, s1, -side));
    }
}

} // namespace
} // namespace kestrova::display::test
