// The navigation pane as the operator meets it, under the offscreen platform:
// the simulator's fixes through the real position input onto the map, the
// towfish behind the vessel, the keys, the settings and colour dialogs.

#include "navigation/navigation_feed.h"
#include "navigation/ui/color_set_dlg.h"
#include "navigation/ui/navi_form_view.h"
#include "navigation/ui/navi_setting_dlg.h"
#include "position/tests/nav_harness.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace kestrova;
using namespace kestrova::navigation;
using namespace kestrova::navigation::ui;
using position::testing::NavHarness;
using position::testing::SimProcess;

struct Pane {
    Pane() : view(messenger, true, {}) {
        messenger.setSink(&sink);
        messenger.setEnglish(true);
        view.resize(400, 300);
        view.show();
        QApplication::processEvents();
    }
    app::RecordingMessageSink sink;
    app::Messenger messenger;
    CNaviFormView view;
};

void press(QWidget& w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent e(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(&w, &e);
}

// Guards: fixes never reaching the map, the vessel drawn somewhere other than
// where the fixes put it, and a towfish placed ahead of the vessel or beside
// it instead of a layback behind.
TEST(NaviPane, SimulatorTrackShowsWhereTheFixesPutItWithTheTowfishBehind) {
    NavHarness h;
    h.nav.setSettings(position::testing::networkSettings(position::kNetUdp, 0, 0));
    h.nav.apply_position_settings();
    ASSERT_TRUE(h.nav.udpOpen());
    h.nav.start_navigation_thread();
    SimProcess sim("--udp 127.0.0.1:" + std::to_string(h.nav.boundPort()) +
                   " --type gga --rate 10 --seconds 3.2 --seed 3 --jitter 0 --speed 6"
                   " --start-time 1717243200");
    ASSERT_GT(sim.port(), 0) << sim.firstLine();

    Pane pane;
    NaviModel& model = pane.view.model();
    std::vector<position::FixEvent> events;
    h.waitFor([&] {
        model.addTrackPoints(h.nav.takeTrackPoints());
        auto more = h.nav.takeFixEvents();
        events.insert(events.end(), more.begin(), more.end());
        return model.track().size() >= 2 && events.size() >= 25;
    });
    ASSERT_GE(model.track().size(), 2u);
    model.view().follow = 2; // vessel centred
    const QImage map = pane.view.grabMap();
    const position::TrackPoint last = *model.lastTrackPoint();
    const ScreenPoint at = gridToScreen(model.view(), last.east, last.north);
    EXPECT_NEAR(at.x, 200.0, 0.5);
    EXPECT_NEAR(at.y, 150.0, 0.5);
    // The track leads into the vessel: its colour lies 3 px behind it, against the course.
    const double c = last.course * 3.14159265358979 / 180.0;
    const QColor behind = map.pixelColor(static_cast<int>(std::lround(200 - 3 * std::sin(c))),
                                         static_cast<int>(std::lround(150 + 3 * std::cos(c))));
    EXPECT_NE(behind, fromBgr(model.settings().viewBkColor));

    // Pings half way between dated fixes; 30 m of cable straight out behind.
    TowfishTrack track;
    TowfishInstall install;
    install.towLength = 30.0;
    install.headingSource = 1;
    // The fixes from the first time message on (before it a fix is dated by
    // the PC's day, which the recorded ZDA then corrects).
    std::vector<position::FixEvent> dated;
    for (const auto& e : events) {
        if (!dated.empty() && e.fixTime < dated.back().fixTime) dated.clear();
        if (e.fixTime > 0.0) dated.push_back(e);
    }
    ASSERT_GE(dated.size(), 3u);
    for (const auto& e : dated)
        track.addFixEvent(e);
    std::vector<PingPositionRecord> placed;
    std::vector<CoverageSegment> segments;
    for (std::size_t i = 0; i + 1 < dated.size(); ++i)
        track.addPing({(dated[i].fixTime + dated[i + 1].fixTime) / 2, std::uint32_t(i), 40.0, 0.0});
    track.process(
        install, [](std::uint32_t) { return 10.0; },
        [&](std::uint32_t, const PingPositionRecord& r) { placed.push_back(r); }, segments);
    ASSERT_EQ(placed.size(), dated.size() - 1);
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const double ae = (dated[i].east + dated[i + 1].east) / 2;
        const double an = (dated[i].north + dated[i + 1].north) / 2;
        const double h2 = placed[i].heading * 3.14159265358979 / 180.0;
        EXPECT_NEAR(ae - placed[i].easting, 30.0 * std::sin(h2), 1e-6);
        EXPECT_NEAR(an - placed[i].northing, 30.0 * std::cos(h2), 1e-6);
    }
    EXPECT_EQ(sim.wait(), 0);
}

TEST(NaviPane, KeysCommandsAndAnEmptyOrMinimisedMap) {
    Pane pane;
    ViewState& v = pane.view.model().view();
    v.theta = 5.0;
    press(pane.view, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(v.theta, 355.0);
    press(pane.view, Qt::Key_4, Qt::ControlModifier);
    EXPECT_EQ(v.follow, 3);
    // Nothing loaded: the line commands say so and change nothing.
    press(pane.view, Qt::Key_H, Qt::ControlModifier);
    pane.view.command(navi_command::kReverseLine);
    ASSERT_EQ(pane.sink.count(), 2u);
    EXPECT_EQ(pane.sink.messages()[1].text, "No line is loaded");
    EXPECT_TRUE(v.reverse);

    // An empty map, a one-point line and a minimised window draw without harm.
    pane.view.model().lines().replace("x.lnw", true, {{"1", {{10.0, 10.0}}}});
    press(pane.view, Qt::Key_Home);
    EXPECT_FALSE(pane.view.grabMap().isNull());
    pane.view.resize(0, 0);
    QApplication::processEvents();
    pane.view.model().view().width = 0;
    pane.view.model().view().height = 0;
    pane.view.command(navi_command::kFit);
    EXPECT_FALSE(pane.view.grabMap().isNull());

    // Panned far out at the finest scale: the grid step no longer moves a
    // running sum of coordinates; drawing must still end.
    pane.view.resize(400, 300);
    QApplication::processEvents();
    v.s = kMinScale;
    v.ox = -1e19;
    EXPECT_FALSE(pane.view.grabMap().isNull());

    // Clear track asks; OK keeps the last point.
    position::TrackPoint pts[2] = {{0, 0, 1, 0}, {5, 5, 1, 0}};
    pane.view.model().addTrackPoints(pts);
    pane.sink.setAnswer(app::IDOK);
    pane.view.command(navi_command::kClearTrack);
    EXPECT_EQ(pane.sink.messages().back().text, "Are you sure to clear track?");
    ASSERT_EQ(pane.view.model().track().size(), 1u);
}

// Guards: targets never reaching the map, drawn while "Display Target" is
// off, or left out of Fit so a target off the track stays out of view.
TEST(NaviPane, TargetsAreMarkedWhenShownAndFitTakesThemIn) {
    Pane pane;
    NaviModel& m = pane.view.model();
    m.settings().grid = 0;
    m.settings().compass = 0;
    m.showSpeed = false;
    m.view().follow = 0; // the vessel may sit anywhere after Fit
    position::TrackPoint pts[2] = {{1000.0, 2000.0, 1, 0}, {1000.0, 2100.0, 1, 0}};
    m.addTrackPoints(pts);
    m.setTargets({{{1400.0, 2050.0}, "00001_120000"}});
    pane.view.command(navi_command::kFit);
    const ScreenPoint at = gridToScreen(m.view(), 1400.0, 2050.0);
    ASSERT_GE(at.x, 0.0);
    ASSERT_LT(at.x, 400.0);
    ASSERT_GE(at.y, 0.0);
    ASSERT_LT(at.y, 300.0);
    auto redNear = [&](const QImage& img) {
        int red = 0;
        for (int y = static_cast<int>(at.y) - 8; y <= static_cast<int>(at.y) + 8; ++y)
            for (int x = static_cast<int>(at.x) - 8; x <= static_cast<int>(at.x) + 8; ++x)
                if (img.valid(x, y) && img.pixelColor(x, y).red() > 180 &&
                    img.pixelColor(x, y).green() < 60 && img.pixelColor(x, y).blue() < 60)
                    ++red;
        return red;
    };
    EXPECT_GT(redNear(pane.view.grabMap()), 10);
    m.settings().target = 0;
    EXPECT_EQ(redNear(pane.view.grabMap()), 0);
}

TEST(NaviPane, SettingsDialogShowsTakesAndDropsValues) {
    app::Messenger messenger;
    app::RecordingMessageSink sink;
    messenger.setSink(&sink);
    messenger.setEnglish(true);
    NaviSettingValues in;
    in.follow = 7; // outside 0..3: shown and taken as "In View"
    in.settings.coverLineHF = 0;
    CNaviSettingDlg dlg(in, messenger, true);
    EXPECT_EQ(dlg.windowTitle(), "Settings");
    EXPECT_TRUE(dlg.followButton(1)->isChecked());
    EXPECT_FALSE(dlg.coverHF()->isChecked());
    dlg.unitButton(2)->setChecked(true);
    dlg.coverHF()->setChecked(true);
    NaviSettingValues out = dlg.values();
    EXPECT_EQ(out.follow, 1);
    EXPECT_EQ(out.settings.shipVelFmt, 2);
    EXPECT_EQ(out.settings.coverLineHF, 1);

    // The colour dialog refuses a white vessel and restores the defaults.
    CColorSetDlg colours(in.settings, messenger, true);
    EXPECT_EQ(colours.windowTitle(), "Color Settings");
    EXPECT_FALSE(colours.setColour(12, 0xFFFFFF));
    EXPECT_EQ(sink.messages().back().text, "Please select a different color from the BACK color!");
    EXPECT_EQ(colours.colours().boatColor, 0x0000FF);
    EXPECT_TRUE(colours.setColour(6, 0x123456));
    EXPECT_EQ(colours.colours().trackColor, 0x123456);
    colours.restoreDefaults();
    EXPECT_EQ(colours.colours().trackColor, 0xFFFF00);

    // On OK the view takes the values and the follow mode, and saves them.
    Pane pane;
    app::NaviSettings program;
    int saved = 0;
    NaviViewHost host;
    host.settings = &program;
    host.saveSettings = [&] { ++saved; };
    host.runSettingsDialog = [](NaviSettingValues& v) {
        v.follow = 3;
        v.settings.trackColor = 0x00FF00;
        return true;
    };
    CNaviFormView view(messenger, true, host);
    view.command(navi_command::kSettings);
    EXPECT_EQ(view.model().view().follow, 3);
    EXPECT_EQ(program.trackColor, 0x00FF00);
    EXPECT_EQ(saved, 1);
}

} // namespace
