// The Control pane's display pages as Qt widgets under the offscreen
// platform: what the operator clicks reaches the rules and the settings, and
// what the rules decide shows in the controls.

#include "display/tests/sim_pings.h"
#include "display/ui/page_bottom_tracking.h"
#include "display/ui/page_display_set.h"
#include "display/ui/page_para_display.h"
#include "platform/tests/temp_folder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <filesystem>

namespace kestrova::display::ui {
namespace {

class CountingHost : public ControlPageHost {
  public:
    int redraws = 0;
    std::optional<std::string> projectConfigPath() const override { return std::nullopt; }
    void redrawView(Frequency) override { ++redraws; }
};

class ControlPagesUi : public ::testing::Test {
  protected:
    ControlPagesUi() {
        messenger.setEnglish(true);
        messenger.setSink(&sink);
        for (const char* name : {"brown.clr", "prismy.clr", "gray.clr", "jet.clr"})
            std::filesystem::copy_file(std::filesystem::path(test::binFolder()) / name,
                                       std::filesystem::path(program.path()) / name);
    }
    kestrova::testing::TempFolder program;
    app::RecordingMessageSink sink;
    app::Messenger messenger;
    app::Configuration config{program.path(), messenger};
    DisplayShared shared;
    CountingHost host;
};

TEST_F(ControlPagesUi, AltitudeTrackerFollowsTheOperatorsClicks) {
    shared.ranges.metres = {30, 60};
    CPageBottomTracking page(config, shared, host);
    page.show();
    EXPECT_FALSE(page.startSlider()->isEnabled()) << "off: every control waits";
    EXPECT_TRUE(page.onOffBox()->isEnabled());
    page.onOffBox()->click();
    EXPECT_EQ(shared.settings.bottom.on, 1);
    EXPECT_EQ(host.redraws, 2);
    EXPECT_TRUE(page.stopSlider()->isEnabled());
    EXPECT_EQ(page.stopSlider()->maximum(), 299);
    EXPECT_EQ(page.stopHigh()->text(), "30.0");
    EXPECT_EQ(page.thresholdValue()->text(), "Auto");
    EXPECT_EQ(page.stopValue()->font().pixelSize(), 20);

    page.stopSlider()->setValue(149); // keyboard or a click on the groove
    EXPECT_EQ(shared.settings.bottom.searchStopDm, 150u);
    EXPECT_EQ(page.stopValue()->text(), "15.0 m");
    EXPECT_EQ(page.startSlider()->maximum(), 148);

    page.manualButton()->click();
    EXPECT_EQ(shared.settings.bottom.source, bottom_source::kManual);
    EXPECT_TRUE(page.startSlider()->isHidden() || !page.startSlider()->isVisible());
    EXPECT_TRUE(page.altitudeBox()->isVisible());
    EXPECT_FALSE(page.hfButton()->isVisible());
    page.altitudeBox()->setText("nan");
    page.applyButton()->click();
    EXPECT_EQ(sink.count(), 1u);
    EXPECT_EQ(page.altitudeBox()->text(), "5");
    page.altitudeBox()->setText("12.5");
    page.applyButton()->click();
    EXPECT_FLOAT_EQ(shared.settings.bottom.manualAltitude, 12.5f);

    page.sonarDataButton()->click();
    page.lfButton()->click();
    EXPECT_EQ(shared.settings.bottom.source, bottom_source::kLf);
    EXPECT_EQ(page.stopHigh()->text(), "60.0");
    // The HF-only view mode after identification: the choice hides, HF again.
    config.device.FrequencyLayout = app::kLayoutHfOnly;
    page.deviceIdentified();
    EXPECT_EQ(shared.settings.bottom.source, bottom_source::kHf);
    EXPECT_FALSE(page.lfButton()->isVisible());
    EXPECT_TRUE(page.hfButton()->isChecked() || !page.hfButton()->isVisible());
}

TEST_F(ControlPagesUi, DisplaySettingsRedrawOnlyOnARealChangeAndShowThePalette) {
    config.sonar.display.backStrengthHF = 150;
    CPageDisplaySet page(config, shared, host);
    page.show();
    EXPECT_EQ(page.strengthSlider(Frequency::HF)->value(), 99);
    EXPECT_EQ(page.strengthLabel(Frequency::HF)->text(), "99%");
    EXPECT_EQ(page.paletteList(Frequency::HF)->count(), 4);
    // Built in Chinese; the window turns it into English through Polyvox.
    EXPECT_EQ(page.paletteList(Frequency::HF)->itemText(3), QString::fromUtf8("彩虹"));
    EXPECT_EQ(page.caption(Frequency::LF)->text(), QString::fromUtf8("低频"));

    ASSERT_EQ(page.preview(Frequency::HF)->colours().size(), 511u);
    const std::vector<std::uint32_t> brown = page.preview(Frequency::HF)->colours();
    page.resize(900, 500); // room for one line per entry
    QApplication::processEvents();
    ASSERT_EQ(page.preview(Frequency::HF)->width(), 511);
    const QImage picture = page.grab().toImage();
    const QPoint at = page.preview(Frequency::HF)->mapTo(&page, QPoint(0, 2));
    EXPECT_EQ(picture.pixel(at) & 0xFFFFFFu, brown[0]) << "entry 1 drawn first";
    EXPECT_EQ(picture.pixel(at + QPoint(510, 0)) & 0xFFFFFFu, brown[510]) << "entry 1021 last";

    page.strengthSlider(Frequency::LF)->setValue(100);
    EXPECT_EQ(config.sonar.display.backStrengthLF, 99);
    EXPECT_EQ(page.strengthLabel(Frequency::LF)->text(), "100%");
    EXPECT_EQ(host.redraws, 1);

    QComboBox* list = page.paletteList(Frequency::HF);
    emit list->activated(0); // brown again
    EXPECT_EQ(host.redraws, 1);
    list->setCurrentIndex(3);
    emit list->activated(3);
    EXPECT_EQ(shared.settings.palette[0], 3);
    EXPECT_EQ(host.redraws, 2);
    EXPECT_NE(page.preview(Frequency::HF)->colours(), brown);
    page.invertBox(Frequency::HF)->click();
    EXPECT_TRUE(config.sonar.display.invertHF);
    EXPECT_EQ(host.redraws, 3);

    config.device.FrequencyLayout = app::kLayoutHfOnly;
    config.sonar.display.invertLF = true;
    page.deviceIdentified();
    EXPECT_FALSE(config.sonar.display.invertLF);
    EXPECT_FALSE(page.invertBox(Frequency::LF)->isVisible());
    EXPECT_FALSE(page.caption(Frequency::HF)->isVisible());
}

TEST_F(ControlPagesUi, StatusInformationShowsTheAltitudeOnlyWhileTracking) {
    CPageParaDisplay page(config, shared);
    page.show();
    EXPECT_EQ(page.readout(QString::fromUtf8("日期："))->text(), "None");
    EXPECT_EQ(page.readout(QString::fromUtf8("压力："))->text(), "0.0 mbar");
    EXPECT_FALSE(page.altitudeFigure()->isVisible());
    EXPECT_EQ(page.sonarRowCaption(Frequency::HF)->text(), "High:");

    shared.settings.bottom.on = 1;
    shared.processing.currentAltitude = 0.5;
    StatusPageInputs in;
    acquisition::PingHeader h;
    h.pingNumber = 12;
    in.pings[1] = h;
    page.update(in);
    EXPECT_TRUE(page.altitudeFigure()->isVisible());
    EXPECT_EQ(page.altitudeFigure()->text(), "0.5");
    EXPECT_EQ(page.altitudeFigure()->font().pixelSize(), 40);
    EXPECT_TRUE(page.altitudeFigure()->styleSheet().contains("ff0000"));
    EXPECT_EQ(page.sonarReadout(Frequency::LF, QString::fromUtf8("脉冲："))->text(), "12");
    EXPECT_EQ(page.sonarReadout(Frequency::HF, QString::fromUtf8("脉冲："))->text(), "None");

    config.device.frequencyCount = 1;
    config.device.sensors.pressure = false;
    page.deviceIdentified();
    EXPECT_EQ(page.sonarRowCaption(Frequency::HF)->text(), "Sonar Para:");
    EXPECT_FALSE(page.sonarRowCaption(Frequency::LF)->isVisible());
    EXPECT_FALSE(page.readout(QString::fromUtf8("压力："))->isVisible());
    EXPECT_EQ(page.sonarReadout(Frequency::LF, QString::fromUtf8("脉冲："))->text(), "None");
}

} // namespace
} // namespace kestrova::display::ui
