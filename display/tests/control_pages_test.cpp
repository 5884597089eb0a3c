// The rules of the Control pane's display pages with the operator's figures:
// the search window's sliders and their limits, the manual altitude, the
// altitude source and what is saved, the strengths and palettes, and the
// rows of the status page; and the settings kept in range at every load.

#include "display/bottom_tracking_page.h"
#include "display/display_set_page.h"
#include "display/status_page.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kestrova::display {
namespace {

using kestrova::testing::readText;
using kestrova::testing::TempFolder;
using kestrova::testing::writeText;

class RecordingHost : public ControlPageHost {
  public:
    std::optional<std::string> configPath;
    std::vector<Frequency> redraws;
    std::optional<std::string> projectConfigPath() const override { return configPath; }
    void redrawView(Frequency f) override { redraws.push_back(f); }
};

class ControlPages : public ::testing::Test {
  protected:
    ControlPages() {
        messenger.setEnglish(true);
        messenger.setSink(&sink);
        host.configPath = projectFile();
    }
    std::string projectFile() const { return dir.file("Survey.ini"); }
    std::string saved() const { return readText(projectFile()); }
    bool savedHas(const std::string& line) const { return saved().find(line) != std::string::npos; }

    TempFolder dir;
    app::RecordingMessageSink sink;
    app::Messenger messenger;
    app::Configuration config{dir.path(), messenger};
    DisplayShared shared;
    RecordingHost host;
};

TEST_F(ControlPages, SearchSlidersMapTenthsOfAMetreAndKeepAWindowInsideTheRange) {
    shared.ranges.metres = {30, 100};
    shared.settings.bottom.searchStartDm = 350; // 35.0 m, beyond the 30 m HF range
    BottomTrackingPage page(config, shared, host);
    config.sonar.bottomTrack.on = 1;
    page.open();
    const BottomTrackingPageState& s = page.state();
    // A window is never empty: stop reaches the range, start stays below it.
    EXPECT_EQ(shared.settings.bottom.searchStopDm, 300u);
    EXPECT_EQ(shared.settings.bottom.searchStartDm, 299u);
    EXPECT_EQ(s.stop.valueLabel, "30.0 m");
    EXPECT_EQ(s.stop.highLabel, "30.0");
    EXPECT_EQ(s.stop.max, 299);
    EXPECT_EQ(s.start.valueLabel, "29.9 m");
    EXPECT_TRUE(s.start.enabled);

    // Position p stands for (p + 1) tenths of a metre.
    EXPECT_EQ(searchValueText(0), "0.1 m");
    EXPECT_EQ(searchValueText(99), "10.0 m");
    page.startReleased(19);
    EXPECT_EQ(shared.settings.bottom.searchStartDm, 20u);
    EXPECT_EQ(s.start.valueLabel, "2.0 m");
    EXPECT_EQ(s.start.lowLabel, "0.1");
    page.stopReleased(0); // below the start: one tenth above it
    EXPECT_EQ(shared.settings.bottom.searchStopDm, 21u);
    EXPECT_EQ(s.stop.valueLabel, "2.1 m");
    EXPECT_EQ(s.stop.lowLabel, "2.1");
    page.startReleased(500); // at most one tenth below the stop
    EXPECT_EQ(shared.settings.bottom.searchStartDm, 20u);

    // The LF source measures against the LF range.
    page.frequencyChosen(Frequency::LF);
    page.stopReleased(2000);
    EXPECT_EQ(shared.settings.bottom.searchStopDm, 1000u);
    EXPECT_EQ(s.stop.highLabel, "100.0");
}

TEST_F(ControlPages, WithoutARangeTheWindowKeepsItsDefaultsAndTheSlidersWait) {
    config.sonar.bottomTrack.on = 1;
    config.sonar.bottomTrack.alertGps = 1;
    shared.ranges.metres = {50, 0}; // no LF pings (yet, or ever)
    BottomTrackingPage page(config, shared, host);
    page.open();
    EXPECT_EQ(shared.settings.bottom.searchStartDm, 10u);
    EXPECT_EQ(shared.settings.bottom.searchStopDm, 100u);
    EXPECT_FALSE(page.state().start.enabled);
    EXPECT_FALSE(page.state().stop.enabled);
    page.stopReleased(0);
    EXPECT_EQ(shared.settings.bottom.searchStopDm, 100u);
    // The range arrives: the window fits it and the sliders work.
    shared.ranges.metres = {50, 5};
    page.rangesChanged();
    EXPECT_EQ(shared.settings.bottom.searchStopDm, 50u);
    EXPECT_TRUE(page.state().stop.enabled);
}

TEST_F(ControlPages, ThresholdOutsideItsRangeOpensAsAuto) {
    shared.settings.bottom.threshold = 12;
    BottomTrackingPage page(config, shared, host);
    page.open();
    EXPECT_EQ(shared.settings.bottom.threshold, 0u);
    EXPECT_EQ(page.state().threshold.valueLabel, "Auto");
    EXPECT_EQ(page.thresholdMoving(4), "4");
    page.thresholdReleased(7);
    EXPECT_EQ(shared.settings.bottom.threshold, 7u);
    EXPECT_EQ(thresholdText(0, false), "自动");
}

// Guards: NaN, negative and unreadable altitudes reaching the altitude, the
// alarm and the slant ranges.
TEST_F(ControlPages, ManualAltitudeTakesOnlyAFiniteAltitudeWithinTheRange) {
    shared.ranges.metres = {50, 100};
    BottomTrackingPage page(config, shared, host);
    page.open();
    page.manualChosen();
    EXPECT_TRUE(page.state().manualVisible);
    EXPECT_FALSE(page.state().searchVisible);
    EXPECT_FALSE(page.state().frequencyChoiceVisible);
    for (const char* bad : {"abc", "", "nan", "inf", "-2", "0", "100.5", "7 m", "1e400"}) {
        sink.clear();
        EXPECT_FALSE(page.applyManualAltitude(bad)) << bad;
        EXPECT_EQ(sink.count(), 1u) << bad;
        EXPECT_FLOAT_EQ(shared.settings.bottom.manualAltitude, 5.0f) << bad;
        EXPECT_EQ(page.state().manualAltitudeText, "5") << bad;
    }
    EXPECT_NE(sink.messages().back().text.find("100.0 m"), std::string::npos);
    EXPECT_TRUE(page.applyManualAltitude(" 7.5 "));
    EXPECT_FLOAT_EQ(shared.settings.bottom.manualAltitude, 7.5f);
    EXPECT_TRUE(page.applyManualAltitude("100"));
}

// Guards: a source saved only for some choices, so a restart brought back a
// source the operator had left; a stored value that no choice shows.
TEST_F(ControlPages, SourceIsSavedOnEveryChangeAndAStrayValueReadsAsManual) {
    BottomTrackingPage page(config, shared, host);
    page.open();
    page.manualChosen();
    EXPECT_TRUE(savedHas("BT_iuAlertGps=5"));
    EXPECT_EQ(shared.settings.bottom.source, bottom_source::kManual);
    page.sonarDataChosen();
    EXPECT_TRUE(savedHas("BT_iuAlertGps=0"));
    page.frequencyChosen(Frequency::LF);
    EXPECT_TRUE(savedHas("BT_iuAlertGps=1"));
    page.onOffClicked(true);
    EXPECT_TRUE(savedHas("BT_bOn=1"));
    EXPECT_EQ(host.redraws, (std::vector<Frequency>{Frequency::HF, Frequency::LF}));
    EXPECT_EQ(shared.settings.bottom.on, 1);

    writeText(projectFile(), "[SonarSetPara]\r\nBT_iuAlertGps=7\r\n");
    ASSERT_TRUE(config.LoadConfigSection("SonarSetPara", projectFile()));
    EXPECT_EQ(config.sonar.bottomTrack.alertGps, 5);
    page.open();
    EXPECT_TRUE(page.state().manualChecked);
}

TEST_F(ControlPages, HfOnlyViewCannotKeepTheLfSource) {
    config.sonar.bottomTrack.alertGps = 1;
    BottomTrackingPage page(config, shared, host);
    page.open();
    EXPECT_TRUE(page.state().lfChecked);
    EXPECT_TRUE(page.state().frequencyChoiceVisible);
    config.device.FrequencyLayout = app::kLayoutHfOnly;
    page.deviceIdentified();
    EXPECT_EQ(shared.settings.bottom.source, bottom_source::kHf);
    EXPECT_FALSE(page.state().lfChecked);
    EXPECT_FALSE(page.state().frequencyChoiceVisible);
    EXPECT_TRUE(savedHas("BT_iuAlertGps=0"));
    page.frequencyChosen(Frequency::LF);
    EXPECT_EQ(shared.settings.bottom.source, bottom_source::kHf);
}

// Guards: a stored strength of 100 divided the colour scale by zero, above 100
// it went negative; only the page's opening kept it in range.
TEST_F(ControlPages, StrengthsAndPalettesAreKeptInRangeAtEveryLoad) {
    writeText(projectFile(), "[SonarSetPara]\r\nDIS_siuBackStrength=150\r\n"
                             "DIS_backStrength_LF=100\r\nDIS_siuWaveStrength=-3\r\n"
                             "DIS_intBackColor_HF=7\r\nDIS_intBackColor_LF=3\r\n"
                             "[ParaOfNavi]\r\nSurColor=-1\r\nBoatColor=16777471\r\n");
    ASSERT_TRUE(config.LoadConfigSection("SonarSetPara", projectFile()));
    ASSERT_TRUE(config.LoadConfigSection("ParaOfNavi", projectFile()));
    EXPECT_EQ(config.sonar.display.backStrengthHF, 99);
    EXPECT_EQ(config.sonar.display.backStrengthLF, 99);
    EXPECT_EQ(config.sonar.display.waveStrengthHF, 0);
    EXPECT_EQ(config.sonar.display.backColorHF, 0);
    EXPECT_EQ(config.sonar.display.backColorLF, 3);
    EXPECT_EQ(config.navi.surColor, 0xFFFFFF);
    EXPECT_EQ(config.navi.boatColor, 0x0000FF);
}

TEST_F(ControlPages, DisplaySettingsStoreRedrawAndSaveOnlyRealChanges) {
    writeText(dir.file("prismy.clr"), std::string(4096, '\x11'));
    config.sonar.display.backStrengthHF = 150; // as a page opened before any load could see
    DisplaySetPage page(config, shared, host);
    page.open();
    const ChannelDisplayState& hf = page.state().of(Frequency::HF);
    EXPECT_EQ(hf.strengthPosition, 99);
    EXPECT_EQ(hf.strengthLabel, "99%");
    EXPECT_EQ(shared.settings.strength[0], 99);

    EXPECT_EQ(page.strengthMoving(Frequency::HF, 40), "40%");
    EXPECT_TRUE(host.redraws.empty()) << "a drag only moves the label";
    EXPECT_TRUE(page.strengthReleased(Frequency::HF, 100));
    EXPECT_EQ(hf.strengthLabel, "100%");
    EXPECT_EQ(config.sonar.display.backStrengthHF, 99);
    EXPECT_TRUE(page.strengthReleased(Frequency::LF, 30));
    EXPECT_EQ(shared.settings.strength[1], 30);
    EXPECT_TRUE(savedHas("DIS_backStrength_LF=30"));
    EXPECT_FALSE(page.strengthReleased(Frequency::LF, 30));
    EXPECT_EQ(host.redraws, (std::vector<Frequency>{Frequency::HF, Frequency::LF}));

    host.redraws.clear();
    EXPECT_FALSE(page.paletteChosen(Frequency::HF, 0)) << "the same palette again";
    EXPECT_TRUE(host.redraws.empty());
    EXPECT_TRUE(page.paletteChosen(Frequency::HF, 1));
    EXPECT_EQ(shared.settings.palette[0], 1);
    EXPECT_TRUE(savedHas("DIS_intBackColor_HF=1"));
    ASSERT_EQ(hf.preview.size(), DisplaySetPage::kPreviewLines);
    EXPECT_EQ(hf.preview.front(), 0x111111u) << "the top byte is not a colour";
    EXPECT_TRUE(page.invertToggled(Frequency::HF, true));
    EXPECT_TRUE(shared.settings.invert[0]);
    EXPECT_EQ(host.redraws, (std::vector<Frequency>{Frequency::HF, Frequency::HF}));
}

TEST_F(ControlPages, HfOnlyModelClearsTheLfInversionAndHidesTheLfRow) {
    config.sonar.display.invertLF = true;
    config.device.FrequencyLayout = app::kLayoutHfOnly;
    DisplaySetPage page(config, shared, host);
    page.open();
    EXPECT_FALSE(config.sonar.display.invertLF);
    EXPECT_FALSE(shared.settings.invert[1]);
    EXPECT_FALSE(page.state().of(Frequency::LF).visible);
    EXPECT_FALSE(page.state().captionsVisible);
    EXPECT_TRUE(page.state().of(Frequency::HF).visible);
}

TEST_F(ControlPages, StatusPageRowsFollowTheDeviceAndClearToNone) {
    config.device.frequencyCount = 1;
    config.device.sensors.humidity = false;
    StatusPage page(config, shared);
    page.open();
    const StatusPageState& s = page.state();
    EXPECT_EQ(s.firstRowCaption, "Sonar Para:");
    EXPECT_FALSE(s.lfRowVisible);
    EXPECT_FALSE(s.humidityVisible);
    EXPECT_TRUE(s.pressureVisible);
    EXPECT_EQ(s.date, "None");
    EXPECT_EQ(s.rows[0].gain, "None");
    EXPECT_EQ(s.temperature, "0.0 ℃");
    EXPECT_EQ(s.humidity, "0 %");
    EXPECT_EQ(s.pressure, "0.0 mbar");
    EXPECT_FALSE(s.altitudeVisible);

    shared.settings.bottom.on = 1;
    shared.settings.minAltitude = 3.0f;
    shared.processing.currentAltitude = 12.34;
    StatusPageInputs in;
    in.fix.kind = 1;
    in.fix.year = 2024;
    in.fix.month = 1;
    in.fix.day = 31;
    in.fix.hour = 14;
    in.fix.minute = 25;
    in.fix.second = 1;
    in.fix.latitude = 30.5;
    in.fix.latHemisphere = 'N';
    in.fix.longitude = 120.25;
    in.fix.lonHemisphere = 'E';
    acquisition::PingHeader h;
    h.pingNumber = 77;
    h.heading = 9050;
    in.pings[0] = h;
    page.update(in);
    EXPECT_EQ(s.date, "2024-01-31");
    EXPECT_EQ(s.time, "14:25:01");
    EXPECT_EQ(s.latitude, "30:30:00.00000 N");
    EXPECT_EQ(s.longitude, "120:15:00.00000 E");
    EXPECT_EQ(s.rows[0].ping, "77");
    EXPECT_EQ(s.heading, "90.50°");
    EXPECT_TRUE(s.altitudeVisible);
    EXPECT_EQ(s.altitude, "12.3");
    EXPECT_EQ(s.altitudeColour, kAltitudeSafeColour);
    shared.processing.currentAltitude = 3.0;
    page.update(in);
    EXPECT_EQ(s.altitudeColour, kAltitudeLowColour);
    page.clear();
    EXPECT_EQ(s.rows[0].ping, "None");
}

} // namespace
} // namespace kestrova::display
