// The main frame's two waterfalls under the offscreen platform, fed with
// simulated pings through the real batches: a resize of the window ends the
// zoom of the views the view mode shows together (the HF view's resets 0x48E
// and 0x48F), and leaves the others as they were.

#include "app/ui/main_window.h"
#include "display/tests/sim_pings.h"
#include "navigation/navigation_feed.h"
#include "platform/tests/temp_folder.h"
#include "targets/ui/target_form_view.h"

#include <QApplication>
#include <QDockWidget>
#include <QLabel>
#include <QTreeWidget>

#include "app/tests/ui/window_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace kestrova::app::ui {
namespace {

using test::copyResources;
using test::waitFor;

namespace fs = std::filesystem;
using acquisition::Frequency;
using display::test::binFolder;
using display::test::SimPings;

// Lets the queued messages run (never a check by itself).
void settle() {
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

class MainFrameViews : public ::testing::Test {
  protected:
    void SetUp() override {
        copyResources(program_.path());
        ASSERT_TRUE(drovanta_.load(binFolder())) << drovanta_.failure().english;
        drovanta_.initialize();
        config_ = std::make_unique<Configuration>(program_.path());
        config_->messenger().setEnglish(true);
        config_->system.commandPort = 1; // no sonar: the pings come from the test
        config_->system.dataPort = 1;
        MainFrameOptions options;
        options.offerLastProject = false;
        window_ = std::make_unique<CMainFrame>(*config_, drovanta_, options);
        window_->resize(1000, 700);
        window_->show();
        settle();
        feed(Frequency::HF);
        feed(Frequency::LF);
    }
    void TearDown() override {
        window_.reset();
        drovanta_.terminate();
    }

    // Thirty pings of 300 samples a side into the frequency's batch, and the
    // batch message to its view, as the receive thread does.
    void feed(Frequency f) {
        sim::SonarStreamConfig c;
        c.samplesPerSide = 300;
        SimPings sim(c);
        acquisition::SonarAcquisition& acq = window_->acquisition();
        const bool hf = f == Frequency::HF;
        for (std::uint32_t k = 0; k < 30; ++k)
            ASSERT_TRUE(sim.append(acq.handOff().batch(f), hf, k));
        window_->queue().post(acq.windows().view(f).load(),
                              hf ? acquisition::WM_PING_HF : acquisition::WM_PING_LF);
        ASSERT_TRUE(waitFor([&] { return view(f).pipeline().pingsReceived() >= 30; }, 10));
        ASSERT_EQ(view(f).pipeline().samplesPerSide(), 300u);
    }
    display::WaterfallView& view(Frequency f) { return window_->view(f); }
    void setMode(int mode) {
        config_->device.FrequencyLayout = mode;
        window_->applyLayout();
        settle();
    }
    // A drag over the middle of the waterfall: a narrower data window.
    void zoom(Frequency f) {
        display::WaterfallView& v = view(f);
        const int w = v.waterfall().viewLayout().width;
        ASSERT_TRUE(v.zoom(w / 4, 90, w / 2, 140, false));
        ASSERT_TRUE(v.pipeline().zoomed());
        ASSERT_LT(v.pipeline().dataWindow().width, 300u);
    }
    bool wholeLine(Frequency f) {
        const display::DataWindow& d = view(f).pipeline().dataWindow();
        return !view(f).pipeline().zoomed() && d.left == 0 && d.width == 300;
    }
    bool laidOutAt(Frequency f) {
        const display::ViewLayout& l = view(f).waterfall().viewLayout();
        return l.width == window_->waterfall(f).width() &&
               l.height == window_->waterfall(f).height();
    }

    kestrova::testing::TempFolder program_;
    display::DrovantaApi drovanta_;
    std::unique_ptr<Configuration> config_;
    std::unique_ptr<CMainFrame> window_;
};

// Guards: a resize that keeps the zoom (no reset message, or one the views do
// not answer), and the LF view left zoomed while it shows beside the HF view.
TEST_F(MainFrameViews, BothChannelsShownBothViewsReturnToTheWholeLine) {
    setMode(kLayoutBoth);
    zoom(Frequency::HF);
    zoom(Frequency::LF);
    window_->resize(1200, 760);
    EXPECT_TRUE(waitFor([&] { return wholeLine(Frequency::HF) && wholeLine(Frequency::LF); }, 10))
        << "HF width " << view(Frequency::HF).pipeline().dataWindow().width << ", LF width "
        << view(Frequency::LF).pipeline().dataWindow().width;
    EXPECT_TRUE(laidOutAt(Frequency::HF));
    EXPECT_TRUE(laidOutAt(Frequency::LF));
}

// Guards: the HF view resetting the hidden LF view too, or not resetting itself.
TEST_F(MainFrameViews, HfOnlyResetsTheHfViewAlone) {
    setMode(kLayoutHfOnly);
    zoom(Frequency::HF);
    zoom(Frequency::LF);
    window_->resize(1150, 740);
    ASSERT_TRUE(waitFor([&] { return wholeLine(Frequency::HF); }, 10));
    settle(); // a 0x48F posted with the 0x48E would have run by now
    EXPECT_TRUE(view(Frequency::LF).pipeline().zoomed());
    EXPECT_TRUE(laidOutAt(Frequency::HF));
}

// Guards: the HF view resetting while only the LF view shows, or the LF view
// resetting on its own resize (only the HF view speaks for both).
TEST_F(MainFrameViews, LfOnlyKeepsBothZooms) {
    setMode(kLayoutLfOnly);
    zoom(Frequency::HF);
    zoom(Frequency::LF);
    const int before = view(Frequency::LF).waterfall().viewLayout().width;
    window_->resize(1180, 750);
    ASSERT_TRUE(waitFor(
        [&] {
            return laidOutAt(Frequency::LF) &&
                   view(Frequency::LF).waterfall().viewLayout().width != before;
        },
        10));
    settle();
    EXPECT_TRUE(view(Frequency::LF).pipeline().zoomed());
    EXPECT_TRUE(view(Frequency::HF).pipeline().zoomed());
}

// Guards: a maximise or a restore taken for a plain resize. The window's
// state change brings its own layout, which keeps what the operator zoomed.
TEST_F(MainFrameViews, MaximiseAndRestoreKeepTheZoom) {
    setMode(kLayoutBoth);
    zoom(Frequency::HF);
    zoom(Frequency::LF);
    const int normalWidth = window_->waterfall(Frequency::HF).width();
    window_->showMaximized();
    if (!waitFor([&] { return window_->waterfall(Frequency::HF).width() != normalWidth; }, 5))
        GTEST_SKIP() << "this platform does not maximise";
    ASSERT_TRUE(waitFor([&] { return laidOutAt(Frequency::HF) && laidOutAt(Frequency::LF); }, 5));
    settle();
    EXPECT_TRUE(view(Frequency::HF).pipeline().zoomed());
    EXPECT_TRUE(view(Frequency::LF).pipeline().zoomed());

    window_->showNormal();
    ASSERT_TRUE(
        waitFor([&] { return window_->waterfall(Frequency::HF).width() == normalWidth; }, 5));
    ASSERT_TRUE(waitFor([&] { return laidOutAt(Frequency::HF) && laidOutAt(Frequency::LF); }, 5));
    settle();
    EXPECT_TRUE(view(Frequency::HF).pipeline().zoomed());
    EXPECT_TRUE(view(Frequency::LF).pipeline().zoomed());

    // A plain resize afterwards still ends both zooms.
    window_->resize(window_->width() + 60, window_->height() + 30);
    EXPECT_TRUE(waitFor([&] { return wholeLine(Frequency::HF) && wholeLine(Frequency::LF); }, 10));
}

// Guards: the per-ping position ring left at zero (targets captured with no
// position), or a ping's record written at another ping's line.
TEST_F(MainFrameViews, PingsBetweenTwoFixesGetTheirTowfishInThePositionRing) {
    display::WaterfallView& v = view(Frequency::HF);
    const std::vector<display::PingTimeRecord> pings = v.pipeline().pingTimes().records();
    ASSERT_GE(pings.size(), 2u);
    ASSERT_GT(pings.front().time, 0.0);
    position::FixEvent a, b;
    a.fixTime = pings.front().time - 1.0;
    b.fixTime = pings.back().time + 1.0;
    a.north = 1000.0;
    b.north = 1000.0 + 2.0 * (b.fixTime - a.fixTime); // 2 m/s north
    a.latHemisphere = b.latHemisphere = 'N';
    navigation::NaviModel model;
    navigation::NavigationFeed feed(model);
    const position::FixEvent events[2] = {a, b};
    feed.takeFixEvents(events);
    feed.takePings(v);
    navigation::TowfishInstall install;
    install.headingSource = 1; // the course, 0: north
    install.towLength = 20.0;
    EXPECT_EQ(feed.place(install, v), pings.size());
    for (const display::PingTimeRecord& p : pings) {
        const PingPositionRecord r = PingPositionRecord::decode(v.positionRing().record(p.historyLine));
        ASSERT_TRUE(r.valid) << p.historyLine;
        EXPECT_DOUBLE_EQ(r.time, p.time);
        EXPECT_NEAR(r.northing, 1000.0 + 2.0 * (p.time - a.fixTime) - 20.0, 1e-6);
        EXPECT_NEAR(r.range, p.portSlantRange, 1e-9);
    }
    EXPECT_FALSE(model.coverage(true).empty());
}

} // namespace
} // namespace kestrova::app::ui

namespace kestrova::app::ui {
namespace {

// Guards: a capture that reaches no target view (0x489 not forwarded as
// 0x48B), or a pane that stays hidden when a target is marked.
TEST_F(MainFrameViews, ARightDoubleClickCaptureBecomesAListedTarget) {
    kestrova::testing::TempFolder location;
    static RecordingMessageSink quiet; // outlives the window
    config_->messenger().setSink(&quiet);
    ProjectResult project =
        window_->session().projects().createProject({"Survey", location.path()});
    ASSERT_TRUE(project.ok);
    settle();
    window_->targetPane()->hide();
    display::WaterfallView& hf = view(Frequency::HF);
    const int w = hf.waterfall().viewLayout().width;
    ASSERT_TRUE(hf.captureTarget(w * 3 / 4, display::ViewLayout::kWaterfallTop + 5));
    ASSERT_TRUE(
        waitFor([&] { return window_->targetView()->list()->topLevelItemCount() == 1; }, 5));
    EXPECT_TRUE(window_->targetPane()->isVisible());
    const std::string name = window_->targetView()->currentName();
    EXPECT_TRUE(fs::exists(project.project.targetFolderPath() + "/" + name + ".tgt")) << name;
    EXPECT_EQ(config_->sonar.targetNumber, 1);
}

} // namespace
} // namespace kestrova::app::ui

namespace kestrova::app::ui {
namespace {

// Guards: a captured target without a position ("N/A" everywhere) because the
// per-ping position ring stayed empty, and a target that never reaches the map.
// The fixes go through the program's own position input (as a recording's
// position records do), the main frame places the pings on 0x467, and a
// capture of the newest pings lands in the list with its position.
TEST_F(MainFrameViews, ACaptureBetweenTwoFixesIsListedWithItsPositionAndMarkedOnTheMap) {
    kestrova::testing::TempFolder location;
    static RecordingMessageSink quiet; // outlives the window
    config_->messenger().setSink(&quiet);
    ASSERT_TRUE(window_->session().projects().createProject({"Survey", location.path()}).ok);
    settle();
    display::WaterfallView& hf = view(Frequency::HF);
    const std::vector<display::PingTimeRecord> pings = hf.pipeline().pingTimes().records();
    ASSERT_GE(pings.size(), 2u);
    // North at 2 m/s, from one second before the first ping to one after the last.
    position::PositionFix f;
    f.kind = position::kFixPosition;
    f.quality = 4;
    f.latHemisphere = 'N';
    f.lonHemisphere = 'E';
    f.east = 500000.0;
    const double start = pings.front().time - 1.0, end = pings.back().time + 1.0;
    for (const double t : {start, end}) {
        f.fixTime = t;
        f.north = 3400000.0 + 2.0 * (t - start);
        const position::PositionFixBytes bytes = position::encode(f);
        window_->session().navigation().replay(
            acquisition::FrameType::Position,
            std::span<const std::uint8_t, acquisition::kPositionRecordSize>(bytes));
    }
    const std::uint32_t newest = pings.back().historyLine;
    ASSERT_TRUE(waitFor(
        [&] { return PingPositionRecord::decode(hf.positionRing().record(newest)).valid; }, 5));

    const int w = hf.waterfall().viewLayout().width;
    ASSERT_TRUE(hf.captureTarget(w * 3 / 4, display::ViewLayout::kWaterfallTop + 5));
    targets::ui::CTargetFormView& targets = *window_->targetView();
    ASSERT_TRUE(waitFor([&] { return targets.list()->topLevelItemCount() == 1; }, 5));
    // Latitude, longitude, X and Y of the marked point, none "N/A".
    int positionTexts = 0;
    for (const QLabel* l : targets.findChildren<QLabel*>()) {
        const QString t = l->text();
        if (!t.startsWith("Lat:") && !t.startsWith("Lon:") && !t.startsWith("X(East):") &&
            !t.startsWith("Y(North):"))
            continue;
        ++positionTexts;
        EXPECT_EQ(t.indexOf("N/A"), -1) << t.toStdString();
    }
    EXPECT_EQ(positionTexts, 4);
    const auto& marks = window_->navigationView()->model().targets();
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].name, targets.currentName());
    // On the starboard side (right of the picture's middle), east of the
    // north-going track, within the 50 m range, between the two fixes.
    EXPECT_GT(marks[0].at.east, 500000.0);
    EXPECT_LT(marks[0].at.east, 500050.0);
    EXPECT_GT(marks[0].at.north, 3400000.0);
    EXPECT_LT(marks[0].at.north, 3400000.0 + 2.0 * (end - start));
}

} // namespace
} // namespace kestrova::app::ui
