// The waterfall picture over plain images: palettes and their files, the
// colour scale, pixel rows from hand-made lines, bottom marks, scrolling, the
// range scale ticks, the full-scale number, slant readout and zoom.

#include "display/tests/sim_pings.h"
#include "display/waterfall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace kestrova::display::test {
namespace {

namespace fs = std::filesystem;

class TempFolder {
  public:
    TempFolder() {
        path_ = fs::temp_directory_path() / ("kestrova_palette_" + std::to_string(::getpid()) +
                                             "_" + std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string str() const { return path_.string(); }
    void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        std::ofstream(path_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

  private:
    fs::path path_;
    static inline int counter_ = 0;
};

// Palette file whose entry i is 0x00RRGGBB = i * 0x10101 / 4, little-endian.
std::vector<std::uint8_t> rampFile() {
    std::vector<std::uint8_t> bytes(4096);
    for (std::uint32_t i = 0; i < 1024; ++i) {
        const std::uint32_t v = (i / 4) * 0x010101u + (i == 1023 ? 0x01000000u : 0);
        for (int b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<std::uint8_t>(v >> (8 * b));
    }
    return bytes;
}

// A missing or cut file must not wipe the palette in use, and must say so.
TEST(Palettes, MissingOrShortFileKeepsThePaletteAndTellsTheOperator) {
    TempFolder dir;
    app::RecordingMessageSink sink;
    app::Messenger messenger;
    messenger.setSink(&sink);
    messenger.setEnglish(true);
    Palette p;
    const std::uint32_t before = p[700];
    EXPECT_FALSE(p.load(dir.str(), 2, false, messenger));
    ASSERT_EQ(sink.count(), 1u);
    EXPECT_EQ(sink.messages()[0].text, dir.str() + "/gray.clr" + "Failed to open file");
    EXPECT_EQ(sink.messages()[0].flags, app::mb::kWarningOkCancel);
    EXPECT_EQ(p[700], before);

    auto cut = rampFile();
    cut.resize(4000);
    dir.write("gray.clr", cut);
    EXPECT_FALSE(p.load(dir.str(), 2, false, messenger));
    EXPECT_EQ(sink.count(), 2u);
    EXPECT_NE(sink.messages()[1].text.find("gray.clr"), std::string::npos);
    EXPECT_EQ(p[700], before);

    auto longer = rampFile();
    longer.push_back(0);
    dir.write("gray.clr", longer);
    EXPECT_FALSE(p.load(dir.str(), 2, false, messenger));
    EXPECT_EQ(p[700], before);
}

// Entries are little-endian words, the setting picks the file, inversion swaps ends.
TEST(Palettes, FileSettingAndInversion) {
    TempFolder dir;
    dir.write("brown.clr", rampFile());
    app::RecordingMessageSink sink;
    app::Messenger messenger;
    messenger.setSink(&sink);
    Palette p;
    ASSERT_TRUE(p.load(dir.str(), 7, false, messenger)); // 7: brown.clr
    EXPECT_EQ(p[4], 0x010101u);
    EXPECT_EQ(p[1023], 0x01FFFFFFu); // the unused top byte is carried as it is
    ASSERT_TRUE(p.load(dir.str(), 0, true, messenger));
    // Inverted: the strongest echo takes entry 0 of the file.
    EXPECT_EQ(p[1023], 0u);
    EXPECT_EQ(p[0], 0x01FFFFFFu);
    EXPECT_EQ(p[1019], 0x010101u);
    EXPECT_EQ(sink.count(), 0u);
    EXPECT_STREQ(Palette::fileName(1), "prismy.clr");
    EXPECT_STREQ(Palette::fileName(3), "jet.clr");
}

double luminance(std::uint32_t c) {
    return 0.299 * ((c >> 16) & 0xFF) + 0.587 * ((c >> 8) & 0xFF) + 0.114 * (c & 0xFF);
}

// The shipped palettes must load and run from dark (weak echo) to bright.
TEST(Palettes, ShippedPalettesRunFromDarkToBright) {
    app::RecordingMessageSink sink;
    app::Messenger messenger;
    messenger.setSink(&sink);
    for (int setting = 0; setting < 4; ++setting) {
        Palette p;
        ASSERT_TRUE(p.load(binFolder(), setting, false, messenger)) << Palette::fileName(setting);
        EXPECT_EQ(fs::file_size(binFolder() + "/" + Palette::fileName(setting)), 4096u);
        EXPECT_LT(luminance(p[0]), 60.0) << Palette::fileName(setting);
        double brightest = 0;
        for (std::size_t i = 0; i < 1024; ++i)
            brightest = std::max(brightest, luminance(p[i]));
        EXPECT_GT(brightest, 150.0) << Palette::fileName(setting);
        // Jet peaks in its yellow middle; the others end brightest.
        if (setting != 3) {
            EXPECT_GT(luminance(p[1023]), 150.0) << Palette::fileName(setting);
        }
        // No entries beyond the 24 colour bits.
        for (std::size_t i = 0; i < 1024; ++i)
            ASSERT_EQ(p[i] >> 24, 0u);
    }
    Palette gray;
    ASSERT_TRUE(gray.load(binFolder(), 2, false, messenger));
    for (std::size_t i = 1; i < 1024; ++i)
        ASSERT_GE(luminance(gray[i]), luminance(gray[i - 1]));
    EXPECT_EQ(sink.count(), 0u);
}

// The colour scale: v = 50 puts the full display value on the top entry.
TEST(ColourScale, StrengthMapsDisplayValuesToPaletteEntries) {
    const std::uint64_t k50 = colourScale(50);
    // 1024 * 2^32 = 32767 * (2^27 + 4096) + 4096.
    EXPECT_EQ(k50, 134221824u);
    EXPECT_EQ(Palette::index(32767, k50), 1023u);
    EXPECT_EQ(Palette::index(16384, k50), 512u); // 2^14 * (2^27 + 2^12) / 2^32 = 512.016
    EXPECT_EQ(Palette::index(0, k50), 0u);
    EXPECT_EQ(colourScale(0), 0u);
    EXPECT_EQ(Palette::index(32767, colourScale(0)), 0u);
    // v = 75: K = 75 * 1024 * 2^32 / (25 * 32767); 10923 * K / 2^32 = 1024.03 -> 1023.
    EXPECT_EQ(Palette::index(10923, colourScale(75)), 1023u);
    EXPECT_EQ(Palette::index(10922, colourScale(75)), 1023u);
    EXPECT_EQ(Palette::index(10900, colourScale(75)), 1021u);
    // Out of range settings cannot divide by zero.
    EXPECT_EQ(colourScale(100), colourScale(99));
}

// Rows are built from lines put straight into a ring.
class Rows : public ::testing::Test {
  protected:
    void SetUp() override {
        view = std::make_unique<ViewPipeline>(Frequency::HF, drovanta, shared);
        waterfall = std::make_unique<Waterfall>(*view);
        view->setTarget(waterfall.get());
        // Client 8 wide: C = 4, Wp = 5, Ws = 5, row of 9 columns.
        waterfall->layout(8, 81);
        Palette p;
        waterfall->setPalette(p); // grey ramp: entry i is (i / 4) in each colour
    }
    // Line 0 with the given port and starboard samples.
    void line(const std::vector<std::uint16_t>& port, const std::vector<std::uint16_t>& stbd) {
        HistoryRing& ring = view->ring();
        std::copy(port.begin(), port.end(), ring.port(0).begin());
        std::copy(stbd.begin(), stbd.end(), ring.starboard(0).begin());
        ring.portCount[0] = static_cast<std::uint32_t>(port.size());
        ring.starboardCount[0] = static_cast<std::uint32_t>(stbd.size());
    }
    std::uint16_t value(int column) const { return waterfall->valueRow(0)[column]; }

    DrovantaApi drovanta; // not loaded: rows need none of it
    DisplayShared shared;
    std::unique_ptr<ViewPipeline> view;
    std::unique_ptr<Waterfall> waterfall;
};

TEST_F(Rows, LayoutOfTheClientArea) {
    const ViewLayout& l = waterfall->viewLayout();
    EXPECT_EQ(l.centre, 4);
    EXPECT_EQ(l.portWidth, 5);
    EXPECT_EQ(l.starboardWidth, 5);
    EXPECT_EQ(l.waterfallHeight, 10);
    EXPECT_EQ(computeLayout(1921, 300).portWidth, 961);
    EXPECT_EQ(computeLayout(1921, 300).starboardWidth, 962);
    EXPECT_EQ(computeLayout(9000, 300).portWidth, 1); // 4501: too wide for a half
}

// A single strong sample must never vanish between pixels.
TEST_F(Rows, EachPixelTakesTheLargestSampleOfItsRun) {
    // Ten samples over five pixels: sp = 2, e = 0, 2, 4, 6, 8.
    line({10, 20, 30, 32000, 50, 60, 70, 80, 90, 100}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    view->dataWindow() = {0, 10, 0, 10};
    waterfall->buildRow(view->ring(), 0, 0, colourScale(50), false);
    EXPECT_EQ(value(0), 10);    // n = 0: the sample at e_-1 = 0
    EXPECT_EQ(value(1), 30);    // samples 1, 2
    EXPECT_EQ(value(2), 32000); // samples 3, 4
    EXPECT_EQ(value(3), 70);    // samples 5, 6
    // Starboard from the centre column on: it takes the shared column.
    EXPECT_EQ(waterfall->valueRow(0)[4], 1);
    EXPECT_EQ(waterfall->valueRow(0)[5], 3);
    EXPECT_EQ(waterfall->valueRow(0)[8], 9);
    // Colour through the palette: 32000 * K50 >> 32 = 1000 -> grey 250.
    EXPECT_EQ(waterfall->pixelRow(0)[2], 0xFAFAFAu);
}

// Zoomed in, one sample spans more than a pixel; the window's left edge counts.
TEST_F(Rows, ZoomedWindowRepeatsSamplesAndStartsAtItsLeftEdge) {
    line({0, 0, 0, 0, 11, 12, 13, 14, 15, 16}, {0, 0, 0, 0, 21, 22, 23, 24, 25, 26});
    view->dataWindow() = {4, 3, 0, 10}; // sp = 0.6: e = 0, 0, 1, 1, 2
    waterfall->buildRow(view->ring(), 0, 0, colourScale(50), false);
    EXPECT_EQ(value(0), 11);
    EXPECT_EQ(value(1), 11);
    EXPECT_EQ(value(2), 12);
    EXPECT_EQ(value(3), 12);
    EXPECT_EQ(waterfall->valueRow(0)[4 + 4], 23);
    // A window reaching past the line's end reads zeros, never another line.
    view->dataWindow() = {8, 10, 0, 10};
    waterfall->buildRow(view->ring(), 0, 0, colourScale(50), false);
    EXPECT_EQ(value(0), 15);
    EXPECT_EQ(value(1), 16); // samples 9, 10
    EXPECT_EQ(value(2), 0);
}

// With v = 0 everything takes entry 0.
TEST_F(Rows, ZeroStrengthPaintsEveryPixelWithTheFirstEntry) {
    line({32767, 20000, 5, 9, 100}, {32767, 1, 2, 3, 4});
    view->dataWindow() = {0, 5, 0, 10};
    waterfall->buildRow(view->ring(), 0, 0, colourScale(0), false);
    for (int x = 0; x < 9; ++x)
        EXPECT_EQ(waterfall->pixelRow(0)[x], 0u);
}

// The bottom mark must sit on the bottom sample's column, or nowhere.
TEST_F(Rows, BottomMarkOnTheBottomColumnOnlyInsideTheWindow) {
    line(std::vector<std::uint16_t>(10, 100), std::vector<std::uint16_t>(10, 100));
    view->dataWindow() = {0, 10, 0, 10};
    view->ring().bottomSample[0] = 6; // column floor(6 / 2) = 3
    waterfall->buildRow(view->ring(), 0, 0, colourScale(50), true);
    EXPECT_EQ(waterfall->pixelRow(0)[3], Waterfall::kBottomMark);
    EXPECT_EQ(waterfall->pixelRow(0)[4 + 3], Waterfall::kBottomMark);
    EXPECT_EQ(waterfall->portBottomColumn(), 3);
    view->ring().bottomSample[0] = 50; // outside the window
    waterfall->buildRow(view->ring(), 0, 0, colourScale(50), true);
    for (int x = 0; x < 9; ++x)
        EXPECT_NE(waterfall->pixelRow(0)[x], Waterfall::kBottomMark);
    EXPECT_EQ(waterfall->portBottomColumn(), 6); // the strip's width + 1: off the strip
    // Manual source: fs * 5 m * 2 / c; with no ping yet fs is 0, sample 0 -> column 0.
    shared.settings.bottom.source = bottom_source::kManual;
    waterfall->buildRow(view->ring(), 0, 0, colourScale(50), true);
    EXPECT_EQ(waterfall->pixelRow(0)[0], Waterfall::kBottomMark);
}

// A live batch scrolls the picture by its rows, newest on top.
TEST(Scrolling, BatchScrollsByItsRowsAndRedrawStartsClean) {
    DrovantaApi drovanta;
    ASSERT_TRUE(drovanta.load(binFolder()));
    drovanta.initialize();
    DisplayShared shared;
    ViewPipeline view(Frequency::HF, drovanta, shared);
    Waterfall w(view);
    view.setTarget(&w);
    w.layout(200, 71 + 40);
    SimPings sim(hfOnly(300));
    acquisition::PingBatch batch;
    sim.append(batch, true, 0);
    view.intake(batch);
    view.processPass(); // live, then the redraw of the new count
    view.processPass();
    const RgbImage& before = w.waterfallBitmap();
    std::vector<std::uint32_t> top(before.row(0), before.row(0) + before.width);
    for (std::uint32_t k = 1; k <= 3; ++k)
        sim.append(batch, true, k);
    view.intake(batch);
    const PassResult r = view.processPass();
    EXPECT_EQ(r.linesCovered, 3u);
    const RgbImage& bmp = w.waterfallBitmap(); // as the pass left it
    // The old top row is now three rows down; the new rows are the pass's rows.
    EXPECT_TRUE(std::equal(top.begin(), top.end(), bmp.row(3)));
    EXPECT_TRUE(std::equal(bmp.row(0), bmp.row(0) + bmp.width, w.pixelRow(0)));
    EXPECT_TRUE(std::equal(bmp.row(2), bmp.row(2) + bmp.width, w.pixelRow(2)));
    EXPECT_FALSE(std::equal(top.begin(), top.end(), bmp.row(0)));
}

// The picture as it was made before the rows were kept in a ring: the whole
// bitmap moved down by each batch's rows, the new rows copied into its top,
// and the waterfall strip recomposed from it after every pass. The picture
// kept in a ring must come out the same, pixel for pixel.
class ScrollingReference : public PassTarget {
  public:
    ScrollingReference(Waterfall& picture, const ViewPipeline& view)
        : picture_(picture), view_(view) {}
    void layout(int width, int height) {
        picture_.layout(width, height);
        const ViewLayout& l = picture_.viewLayout();
        bitmap.resize(l.rowWidth(), l.waterfallHeight);
    }
    std::int64_t waterfallRows() const override { return picture_.waterfallRows(); }
    void buildRow(const HistoryRing& ring, std::uint32_t line, std::uint32_t row, std::uint64_t k,
                  bool marks) override {
        picture_.buildRow(ring, line, row, k, marks);
    }
    void finishPass(const PassResult& r) override {
        picture_.finishPass(r);
        const auto stride = static_cast<std::size_t>(bitmap.width);
        const int rows = std::min<int>(static_cast<int>(r.linesCovered), bitmap.height);
        if (r.redraw) bitmap.fill(0);
        if (r.live && rows > 0 && rows < bitmap.height)
            std::memmove(bitmap.row(rows), bitmap.row(0),
                         stride * static_cast<std::size_t>(bitmap.height - rows) * 4);
        for (int y = 0; y < rows; ++y)
            std::copy_n(picture_.pixelRow(static_cast<std::uint32_t>(y)), stride, bitmap.row(y));
        window = view_.dataWindow();
    }
    // Row y of the waterfall strip as it was composed: the window's rows
    // stretched over the strip, the port half mirrored, the centre line.
    std::vector<std::uint32_t> strip(int y) const {
        const ViewLayout& l = picture_.viewLayout();
        const std::uint64_t h = static_cast<std::uint64_t>(l.waterfallHeight);
        const std::uint64_t rows = window.height > 0 ? window.height : h;
        const std::uint64_t src = window.top + static_cast<std::uint64_t>(y) * rows / h;
        std::vector<std::uint32_t> out(static_cast<std::size_t>(l.width), 0u);
        const int portCopy = std::min(l.portWidth, l.centre + 1);
        const int starboardCopy = std::max(std::min(l.starboardWidth, l.width - l.centre), 0);
        if (src < static_cast<std::uint64_t>(bitmap.height)) {
            const std::uint32_t* from = bitmap.row(static_cast<int>(src));
            for (int x = 0; x < l.width; ++x) {
                const int i = x < l.centre ? l.centre - x : x - l.centre;
                if (x < l.centre && i < portCopy) out[static_cast<std::size_t>(x)] = from[i];
                if (x >= l.centre && i < starboardCopy)
                    out[static_cast<std::size_t>(x)] = from[l.portWidth - 1 + i];
            }
        }
        out[static_cast<std::size_t>(l.centre)] = Waterfall::kScaleColour;
        return out;
    }

    RgbImage bitmap;
    DataWindow window;

  private:
    Waterfall& picture_;
    const ViewPipeline& view_;
};

// A few hundred pings, live in batches of one and more, through a zoom, a
// resize that keeps it, a return to the whole line, a change of range, a
// strength change and a window taller than the pings received.
TEST(Scrolling, RingPictureEqualsTheScrolledPictureThroughZoomResizeAndRange) {
    DrovantaApi drovanta;
    ASSERT_TRUE(drovanta.load(binFolder()));
    drovanta.initialize();
    DisplayShared shared;
    shared.settings.bottom.on = 1;
    ViewPipeline view(Frequency::HF, drovanta, shared);
    Waterfall picture(view);
    Palette palette;
    ASSERT_TRUE(palette.load(binFolder(), 1, false));
    picture.setPalette(palette);
    ScrollingReference reference(picture, view);
    view.setTarget(&reference);
    reference.layout(401, 71 + 150);

    int passes = 0, mismatches = 0;
    auto check = [&](const char* stage) {
        const RgbImage& image = picture.image();
        const ViewLayout& l = picture.viewLayout();
        ASSERT_EQ(image.width, l.width);
        ASSERT_EQ(image.height, l.height);
        for (int y = 0; y < l.waterfallHeight; ++y) {
            const std::vector<std::uint32_t> want = reference.strip(y);
            const std::uint32_t* got = image.row(ViewLayout::kWaterfallTop + y);
            if (!std::equal(want.begin(), want.end(), got)) {
                if (++mismatches < 5) ADD_FAILURE() << stage << ": row " << y << " differs";
            }
        }
        const RgbImage& bitmap = picture.waterfallBitmap();
        EXPECT_EQ(bitmap.pixels, reference.bitmap.pixels) << stage;
        ++passes;
    };
    // Every pass the view would run for the message, checked after each.
    auto run = [&](const char* stage) {
        do {
            view.processPass();
            check(stage);
        } while (view.redrawFlag());
    };
    acquisition::PingBatch batch;
    std::uint32_t k = 0;
    auto feed = [&](SimPings& sim, std::uint32_t pings, std::uint32_t per, const char* stage) {
        for (std::uint32_t done = 0; done < pings; done += per) {
            for (std::uint32_t i = 0; i < per; ++i)
                ASSERT_TRUE(sim.append(batch, true, k++));
            ASSERT_GT(view.intake(batch), 0u);
            run(stage);
        }
    };
    SimPings near(hfOnly(300));
    feed(near, 60, 1, "first pings");
    feed(near, 40, 4, "batches of four");

    bool minW = false, minH = false;
    ASSERT_TRUE(applyZoom(view.dataWindow(), {220, 20, 330, 90}, 401, 150, 300, minW, minH));
    view.setZoomed(true);
    view.setRedrawFlag();
    run("zoom");
    feed(near, 40, 1, "zoomed");

    reference.layout(333, 71 + 60); // keeps the zoom, which now reaches past the rows
    view.setRedrawFlag();
    run("resize");
    feed(near, 30, 3, "zoomed after resize");

    view.resetDataWindow();
    view.setRedrawFlag();
    run("whole line");
    feed(near, 30, 1, "whole line");

    SimPings far(hfOnly(520)); // longer range: new count, whole history redrawn
    feed(far, 40, 1, "new range");
    shared.settings.strength[0] = 70;
    run("strength, recompose only");
    view.setRedrawFlag();
    run("strength, redraw");
    feed(far, 20, 2, "brighter");

    reference.layout(640, 71 + 420); // taller than the pings received
    view.setRedrawFlag();
    run("tall");
    feed(far, 30, 1, "tall");
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(passes, 200);
}

// Tick positions for the ranges the operator picks.
TEST(RangeScale, TicksFollowTheNiceStepRule) {
    EXPECT_TRUE(rangeTicks(0, 30, 99).empty());                              // n = 0
    EXPECT_EQ(rangeTicks(0, 30, 350), (std::vector<double>{0, 10, 20, 30})); // n = 3
    EXPECT_EQ(rangeTicks(0, 25, 250), (std::vector<double>{0, 10, 20}));     // n = 2
    // 50 m over 960 pixels: n = 9, d = 5.56, e = 1, m = 0.556: step 5.
    auto t = rangeTicks(0, 50, 960);
    ASSERT_EQ(t.size(), 11u);
    EXPECT_DOUBLE_EQ(t[1], 5.0);
    // 7.5 .. 12.5 m over 500 pixels: n = 5, d = 1, e = 0, m = 1: step 1, ticks 8 .. 12.
    EXPECT_EQ(rangeTicks(7.5, 12.5, 500), (std::vector<double>{8, 9, 10, 11, 12}));
    // 0 .. 1 m, n = 4: d = 0.25, e = 0, m = 0.25: step 0.2.
    t = rangeTicks(0, 1, 400);
    ASSERT_EQ(t.size(), 6u);
    EXPECT_NEAR(t[3], 0.6, 1e-12);
    EXPECT_TRUE(rangeTicks(5, 5, 500).empty());
    EXPECT_EQ(tickLabel(2.5), "2.5");
    EXPECT_EQ(tickLabel(10.0), "10");
    EXPECT_EQ(tickLabel(0.6000000001), "0.6");
    EXPECT_EQ(tickLabel(0.0), "0");
}

// The full-scale number follows the peaks slowly, ignoring the blind zone.
TEST(FullScaleNumber, RunningLevelOfThePeaksBeyondTheBlindZone) {
    FullScaleSettings s; // BlindMeter 3.5, NewScale 0.05, OldScale 0.95, UseScale 0.7
    FullScale f;
    std::vector<std::uint32_t> port(600, 10), stbd(600, 10);
    // First sample considered: floor(3.5 * 2 / 1500 * 54000) = 252.
    port[100] = 99999;
    port[300] = 1000;
    EXPECT_EQ(f.update(port, stbd, 54000, 1500, s), 1428u); // floor(1000 / 0.7)
    stbd[252] = 2000;
    // floor(1000 * 0.95 + 2000 * 0.05) = 1050; floor(1050 / 0.7) = 1500.
    EXPECT_EQ(f.update(port, stbd, 54000, 1500, s), 1500u);
    f.reset();
    EXPECT_EQ(f.update(port, stbd, 54000, 0, s), 2857u); // c = 0 taken as 1500
    // Traces: heights are value * 47 / F, at most 47.
    std::vector<int> x, h;
    amplitudeTrace(std::vector<std::uint32_t>{0, 1500, 3000, 750}, 10, 1500, x, h);
    EXPECT_EQ(h, (std::vector<int>{0, 46, 47, 23}));
    EXPECT_EQ(x, (std::vector<int>{0, 2, 5, 7}));
    amplitudeTrace(std::vector<std::uint32_t>{1, 9, 2, 3, 1500, 4}, 3, 1500, x, h);
    EXPECT_EQ(x, (std::vector<int>{0, 1, 2})); // per column: the largest of two samples
    EXPECT_EQ(h, (std::vector<int>{0, 0, 46}));
}

// The readout under the pointer: metres from the samples across the half.
TEST(Pointer, SlantRangeReadoutForAKnownPixel) {
    DataWindow w{0, 3600, 0, 100};
    // h = 500, 7.2 samples per pixel; x = 700: 7.2 * 201 = 1447.2 -> 1447 * 750 / 54000.
    EXPECT_NEAR(slantUnderPointer(700, 1000, w, 1500, 54000), 20.0972, 1e-4);
    EXPECT_EQ(slantText(slantUnderPointer(700, 1000, w, 1500, 54000), true), "Slant:20.10 m ");
    EXPECT_DOUBLE_EQ(slantUnderPointer(300, 1000, w, 1500, 54000), 20.0); // 7.2 * 200
    w.left = 100;
    EXPECT_DOUBLE_EQ(slantUnderPointer(500, 1000, w, 1500, 54000), 100 * 750 / 54000.0);
    EXPECT_DOUBLE_EQ(slantUnderPointer(10, 1000, w, 1500, 0), 0.0);
}

// A tiny drag is a click, not a zoom; repeated zooms stop at a fifth of the strip.
TEST(Zoom, SmallDragsChangeNothingAndZoomStopsAtTheMinimum) {
    DataWindow w{0, 3600, 0, 400};
    bool minW = false, minH = false;
    EXPECT_FALSE(applyZoom(w, {600, 10, 608, 210}, 1000, 400, 3600, minW, minH));
    EXPECT_EQ(w.width, 3600u);
    EXPECT_FALSE(applyZoom(w, {600, 10, 900, 210, true}, 1000, 400, 3600, minW, minH));
    // Starboard drag 600 .. 900 = 100 .. 400 from the centre, rows 100 .. 300.
    ASSERT_TRUE(applyZoom(w, {600, 100, 900, 300}, 1000, 400, 3600, minW, minH));
    EXPECT_EQ(w.left, 720u);   // floor(100 / 500 * 3600)
    EXPECT_EQ(w.width, 2160u); // floor(400 / 500 * 3600) - 720
    EXPECT_EQ(w.top, 100u);
    EXPECT_EQ(w.height, 200u);
    // Port drag 100 .. 400 = 100 .. 400 from the centre outward as well.
    DataWindow p{0, 3600, 0, 400};
    ASSERT_TRUE(applyZoom(p, {100, 0, 400, 400}, 1000, 400, 3600, minW, minH));
    EXPECT_EQ(p.left, 720u);
    EXPECT_EQ(p.width, 2160u);
    for (int i = 0; i < 10; ++i)
        applyZoom(w, {500, 0, 600, 400}, 1000, 400, 3600, minW, minH);
    EXPECT_EQ(w.width, 100u); // h / 5 samples
    EXPECT_LE(w.left + w.width, 3600u);
    for (int i = 0; i < 10; ++i)
        applyZoom(w, {500, 0, 1000, 20}, 1000, 400, 3600, minW, minH);
    EXPECT_EQ(w.height, 80u); // H / 5 lines
    EXPECT_TRUE(minH);
}

} // namespace
} // namespace kestrova::display::test
