// The sonar parameter page's rules: level texts, the pulse limit of a range,
// clamping into the model's limits at refresh, and what a commit sends and saves.

#include "app/sonar_parameter_page.h"
#include "app/tests/fakes.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

namespace kestrova::app {
namespace {

using kestrova::app::testing::FakePageHost;
using kestrova::app::testing::RecordingCommandPort;
using kestrova::testing::readText;
using kestrova::testing::TempFolder;
using kestrova::testing::writeText;
using Strings = std::vector<std::string>;

TEST(LevelTables, TextsOfTheLevels) {
    EXPECT_EQ(pulseText(0), "关");
    EXPECT_EQ(pulseText(1), "CW 0.015 ms");
    EXPECT_EQ(pulseText(2), "CW 0.030 ms");
    EXPECT_EQ(pulseText(4), "CW 0.1 ms");
    EXPECT_EQ(pulseText(5), "Chirp 1 ms");
    EXPECT_EQ(pulseText(6), "Chirp 2 ms");
    EXPECT_EQ(pulseText(7), "Chirp 4 ms");
    EXPECT_EQ(pulseText(9), "CW 0.015 ms") << "levels above the table are 15 µs";
    EXPECT_EQ(rangeText(0), "10 m");
    EXPECT_EQ(rangeText(9), "300 m");
    EXPECT_EQ(rangeText(12), "50 m");
    EXPECT_EQ(powerText(0), "关");
    EXPECT_EQ(powerText(1), "180 dB");
    EXPECT_EQ(powerText(9), "220 dB");
    EXPECT_EQ(powerText(11), "200 dB");
    EXPECT_EQ(spreadingText(5), "15 dB");
    EXPECT_EQ(absorptionText(0), "10 dB/km");
    EXPECT_EQ(gainText(29), "29 dB");
}

// Guards: a pulse longer than the range's echo window makes the sonar overrun;
// the limit per range is the one the device tolerates.
TEST(LevelTables, PulseLimitOfEachRange) {
    const int expectedLevel[] = {4, 4, 5, 6, 6, 7, 7, 7, 7, 7};
    const char* expectedLabel[] = {"0.1", "0.1", "1", "2", "2", "4", "4", "4", "4", "4"};
    for (int range = 0; range < 10; ++range) {
        EXPECT_EQ(maxPulseLevel(range), expectedLevel[range]) << range;
        EXPECT_EQ(pulseLimitLabel(maxPulseWidthUs(range)), expectedLabel[range]) << range;
    }
    EXPECT_EQ(maxPulseWidthUs(10), 2000) << "an unknown level counts as 50 m";
    EXPECT_EQ(maxPulseWidthUs(-1), 2000);
}

class SonarPageTest : public ::testing::Test {
  protected:
    SonarPageTest() {
        messenger.setSink(&sink);
        config.device.ApplyDeviceModel(); // default model, no limits file: default limits
        host.configPath = projectFile();
    }
    std::string projectFile() const { return dir.file("Survey.ini"); }
    const SliderState& slider(Frequency f, SliderKind k) const { return page.row(f).slider(k); }

    TempFolder dir;
    RecordingMessageSink sink;
    Messenger messenger;
    Configuration config{dir.path(), messenger};
    RecordingCommandPort port;
    FakePageHost host;
    SonarParameterPage page{config, port, host};
};

// Guards: a project saved under a model with wider limits must be brought inside
// the current model's limits before anything reaches the device.
TEST_F(SonarPageTest, LoadedProjectIsClampedAtTheNextRefresh) {
    writeText(projectFile(), "[SonarSetPara]\r\nRange_HF=7\r\nRange_LF=9\r\n");
    ASSERT_TRUE(config.LoadConfigSection("SonarSetPara", projectFile()));
    page.initialise();
    EXPECT_EQ(config.sonar.hf.rangeLevel, 4);
    EXPECT_EQ(slider(Frequency::HF, SliderKind::Range).valueLabel, "75 m");
    EXPECT_EQ(config.sonar.lf.rangeLevel, 9);
    EXPECT_EQ(slider(Frequency::LF, SliderKind::Range).valueLabel, "300 m");
    EXPECT_EQ(slider(Frequency::HF, SliderKind::Range).highLabel, "150");
    EXPECT_EQ(slider(Frequency::LF, SliderKind::Range).highLabel, "300");
    EXPECT_TRUE(port.sent.empty());
    // Clamped values reach the file only with the next committed change.
    EXPECT_NE(readText(projectFile()).find("Range_HF=7"), std::string::npos);
    page.sliderReleased(Frequency::HF, SliderKind::Gain, 3);
    EXPECT_NE(readText(projectFile()).find("Range_HF=4"), std::string::npos);
}

TEST_F(SonarPageTest, ProjectFromAnotherModelIsBroughtIntoThisModelsLimits) {
    writeText(dir.file("QM-303.ini"),
              "[Range_HF]\nRangeLevelMax_HF=9\n[Gain_HF]\nGainLevelMax_HF=50\n"
              "[Absorption_LF]\nAbsorptionLevelMax_LF=400\n");
    config.device.SetModelNumber(ModelNumberFromIdentifier("QM-303"));
    config.device.ApplyDeviceModel();
    page.initialise();
    page.sliderReleased(Frequency::HF, SliderKind::Range, 8);
    page.sliderReleased(Frequency::HF, SliderKind::Gain, 45);
    page.sliderReleased(Frequency::LF, SliderKind::Absorption, 300);
    page.sliderReleased(Frequency::HF, SliderKind::Pulse, 7);
    ASSERT_EQ(config.sonar.hf.rangeLevel, 8);
    ASSERT_EQ(config.sonar.hf.gainLevel, 45);

    Configuration reopened(dir.path(), messenger); // the same project, a QM-302 connected
    ASSERT_TRUE(reopened.LoadConfigSection("SonarSetPara", projectFile()));
    reopened.device.ApplyDeviceModel();
    SonarParameterPage other(reopened, port, host);
    other.initialise();
    EXPECT_EQ(reopened.sonar.hf.rangeLevel, 4);
    EXPECT_EQ(reopened.sonar.hf.gainLevel, 0);
    EXPECT_EQ(reopened.sonar.lf.absorptionLevel, 0);
    EXPECT_EQ(reopened.sonar.lf.absorptionValue, 10);
    EXPECT_EQ(reopened.sonar.hf.pulseLevel, 4) << "75 m allows 2 ms at most: back to 0.1 ms";
}

TEST_F(SonarPageTest, RefreshReplacesEveryOutOfRangeLevel) {
    SonarSettings& s = config.sonar;
    s.hf.powerLevel = 12;
    s.lf.powerLevel = 12;
    s.hf.signalShape = 3;
    s.hf.rangeLevel = 0;
    s.hf.pulseLevel = 6; // 10 m allows level 4 at most
    s.hf.gainLevel = 35;
    s.hf.spreadingLevel = 25;
    s.lf.absorptionLevel = -1;
    s.lf.pulseLevel = -2;
    page.refresh();
    EXPECT_EQ(s.hf.powerLevel, 5);
    EXPECT_EQ(s.lf.powerLevel, 5);
    EXPECT_EQ(s.hf.signalShape, 1);
    EXPECT_EQ(s.hf.pulseLevel, 4);
    EXPECT_EQ(s.hf.gainLevel, 0);
    EXPECT_EQ(s.hf.spreadingLevel, 0);
    EXPECT_EQ(s.hf.spreadingValue, 10);
    EXPECT_EQ(s.lf.absorptionLevel, 0);
    EXPECT_EQ(s.lf.pulseLevel, 4);
    const SliderState& pulse = slider(Frequency::HF, SliderKind::Pulse);
    EXPECT_EQ(pulse.min, 0);
    EXPECT_EQ(pulse.max, 4);
    EXPECT_EQ(pulse.highLabel, "0.1");
    EXPECT_EQ(pulse.lowLabel, "0");
    EXPECT_EQ(slider(Frequency::HF, SliderKind::Spreading).highLabel, "30");
    EXPECT_EQ(slider(Frequency::LF, SliderKind::Absorption).highLabel, "200");
    EXPECT_EQ(slider(Frequency::HF, SliderKind::Gain).highLabel, "29");
}

// Guards the mended rule: when the replacement level itself lies outside a
// model's span, the level is clamped rather than left outside the limits.
TEST_F(SonarPageTest, ReplacementOutsideTheSpanIsClamped) {
    writeText(dir.file("QM-302.ini"), "[Range_HF]\nRangeLevelMin_HF=5\nRangeLevelMax_HF=9\n"
                                      "[Gain_HF]\nGainLevelMin_HF=10\n");
    config.device.ApplyDeviceModel();
    config.sonar.hf.rangeLevel = 1;
    page.refresh();
    EXPECT_EQ(config.sonar.hf.rangeLevel, 5);
    EXPECT_EQ(config.sonar.hf.gainLevel, 10);
    EXPECT_EQ(slider(Frequency::HF, SliderKind::Range).lowLabel, "100");
}

// Guards: shortening the range must shorten a pulse the new range cannot take,
// and the device must get one combined command, not two.
TEST_F(SonarPageTest, ShorterRangeLowersThePulseAndSendsOneCommand) {
    config.sonar.hf.rangeLevel = 5; // 100 m
    config.sonar.hf.pulseLevel = 7; // 4 ms
    page.initialise();
    ASSERT_EQ(slider(Frequency::HF, SliderKind::Pulse).max, 7);
    EXPECT_EQ(slider(Frequency::HF, SliderKind::Pulse).highLabel, "4");

    page.sliderReleased(Frequency::HF, SliderKind::Range, 2); // 25 m
    EXPECT_EQ(config.sonar.hf.pulseLevel, 5);
    EXPECT_EQ(slider(Frequency::HF, SliderKind::Pulse).max, 5);
    EXPECT_EQ(slider(Frequency::HF, SliderKind::Pulse).highLabel, "1");
    EXPECT_EQ(slider(Frequency::HF, SliderKind::Pulse).valueLabel, "Chirp 1 ms");
    EXPECT_EQ(port.sent, (Strings{"range HF"}));
    EXPECT_EQ(host.rangeCommits, (std::vector<Frequency>{Frequency::HF}));
    std::string file = readText(projectFile());
    EXPECT_NE(file.find("Range_HF=2\r\n"), std::string::npos);
    EXPECT_NE(file.find("Pulse_HF=5\r\n"), std::string::npos);

    page.sliderReleased(Frequency::HF, SliderKind::Range, 5);
    EXPECT_EQ(config.sonar.hf.pulseLevel, 5) << "a longer range does not lengthen the pulse";
    EXPECT_EQ(slider(Frequency::HF, SliderKind::Pulse).max, 7);
}

TEST_F(SonarPageTest, EachSliderSendsItsCommandAndSaves) {
    page.initialise();
    page.sliderReleased(Frequency::HF, SliderKind::Spreading, 5);
    EXPECT_EQ(slider(Frequency::HF, SliderKind::Spreading).valueLabel, "15 dB");
    EXPECT_EQ(config.sonar.hf.spreadingValue, 15);
    EXPECT_NE(readText(projectFile()).find("\r\nSpreading_HF=5\r\n"), std::string::npos);
    page.sliderReleased(Frequency::LF, SliderKind::Absorption, 40);
    EXPECT_EQ(config.sonar.lf.absorptionValue, 50);
    page.sliderReleased(Frequency::LF, SliderKind::Gain, 12);
    page.sliderReleased(Frequency::HF, SliderKind::Power, 0);
    EXPECT_EQ(slider(Frequency::HF, SliderKind::Power).valueLabel, "关");
    page.sliderReleased(Frequency::LF, SliderKind::Pulse, 6);
    EXPECT_EQ(port.sent, (Strings{"gain HF", "gain LF", "gain LF", "transmit HF", "transmit LF"}));
    EXPECT_EQ(config.sonar.lf.pulseLevel, 6);
    EXPECT_EQ(sink.count(), 0u);
}

// Guards: an unchanged release must not resend the whole configuration nor rewrite the file.
TEST_F(SonarPageTest, ReleaseAtTheSameLevelDoesNothing) {
    page.initialise();
    EXPECT_EQ(page.sliderMoving(Frequency::HF, SliderKind::Range, 5), "100 m");
    EXPECT_EQ(config.sonar.hf.rangeLevel, 3) << "moving stores nothing";
    page.sliderReleased(Frequency::HF, SliderKind::Range, 3);
    page.sliderReleased(Frequency::HF, SliderKind::Pulse, 4);
    EXPECT_EQ(slider(Frequency::HF, SliderKind::Range).valueLabel, "50 m");
    EXPECT_TRUE(port.sent.empty());
    EXPECT_TRUE(host.rangeCommits.empty());
    EXPECT_FALSE(std::filesystem::exists(projectFile()));
}

// Guards: without a connection the change is kept and saved, and reaches the
// device with the next command that carries it.
TEST_F(SonarPageTest, DisconnectedOrWithoutProjectStillStoresTheValue) {
    page.initialise();
    port.connected = false;
    page.sliderReleased(Frequency::HF, SliderKind::Gain, 20);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_NE(readText(projectFile()).find("Gain_HF=20"), std::string::npos);
    host.configPath.reset();
    page.sliderReleased(Frequency::HF, SliderKind::Gain, 21);
    EXPECT_EQ(config.sonar.hf.gainLevel, 21);
    EXPECT_NE(readText(projectFile()).find("Gain_HF=20"), std::string::npos);
}

TEST_F(SonarPageTest, OnOffSwitchesTheRowAndSendsTheChannelCommand) {
    page.initialise();
    page.onOffClicked(Frequency::HF, false);
    EXPECT_FALSE(config.sonar.hf.channelEnabled);
    EXPECT_FALSE(page.row(Frequency::HF).controlsEnabled);
    EXPECT_TRUE(page.row(Frequency::HF).onOffEnabled);
    EXPECT_EQ(port.sent, (Strings{"channel"}));
    EXPECT_NE(readText(projectFile()).find("ChEn_HF=0"), std::string::npos);

    host.playback = true;
    page.onOffClicked(Frequency::HF, true);
    EXPECT_TRUE(page.row(Frequency::HF).controlsEnabled);
    EXPECT_FALSE(page.row(Frequency::HF).onOffEnabled) << "the box stays off during playback";
}

TEST_F(SonarPageTest, SignalShapeRespansThePulseSlider) {
    page.initialise();
    page.signalShapeChosen(Frequency::HF, 2);
    const SliderState& pulse = slider(Frequency::HF, SliderKind::Pulse);
    EXPECT_EQ(pulse.max, 2);
    EXPECT_EQ(pulse.lowLabel, "1000");
    EXPECT_EQ(pulse.highLabel, "4000");
    EXPECT_EQ(config.sonar.hf.pulseLevel, 0);
    EXPECT_EQ(pulse.valueLabel, "0 us");
    page.signalShapeChosen(Frequency::HF, 2);
    EXPECT_EQ(port.sent, (Strings{"transmit HF"})) << "choosing the same shape sends nothing";
    page.signalShapeChosen(Frequency::HF, 1);
    EXPECT_EQ(pulse.max, 5);
    EXPECT_EQ(pulse.lowLabel, "15");
    EXPECT_EQ(pulse.highLabel, "500");
    EXPECT_EQ(config.sonar.hf.pulseLevel, 3);
    EXPECT_EQ(pulse.valueLabel, "50 us");
    EXPECT_NE(readText(projectFile()).find("Signalshape_HF=1\r\nPulse_HF=3"), std::string::npos);
}

// Guards: a one-frequency towfish must not offer (or transmit on) LF.
TEST_F(SonarPageTest, OneFrequencyModelHidesTheLowFrequencyRow) {
    page.initialise();
    EXPECT_TRUE(page.row(Frequency::LF).visible);
    config.device.SetModelNumber(ModelNumberFromIdentifier("QM-201"));
    config.device.ApplyDeviceModel();
    page.refresh();
    EXPECT_FALSE(page.row(Frequency::LF).visible);
    EXPECT_FALSE(page.row(Frequency::LF).onOffChecked);
    EXPECT_FALSE(config.sonar.lf.channelEnabled);

    config.device.SetModelNumber(ModelNumberFromIdentifier("QM-208"));
    config.device.ApplyDeviceModel();
    page.refresh();
    EXPECT_TRUE(page.row(Frequency::LF).visible);
    EXPECT_TRUE(config.sonar.lf.channelEnabled);
}

} // namespace
} // namespace kestrova::app
