// The "Sonar parameter" page widget under the offscreen platform: dragging,
// releasing, keyboard steps, the On/Off box and a model change.

#include "app/tests/fakes.h"
#include "app/ui/page_sonar_para_set.h"
#include "app/ui/qt_message_sink.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>

namespace kestrova::app::ui {
namespace {

using kestrova::app::testing::FakePageHost;
using kestrova::app::testing::RecordingCommandPort;
using kestrova::testing::readText;
using kestrova::testing::TempFolder;
using Strings = std::vector<std::string>;

// The application object lives in main(), around all tests.
void application() {
    ASSERT_NE(QApplication::instance(), nullptr);
}

class PageWidgetTest : public ::testing::Test {
  protected:
    PageWidgetTest() {
        application();
        messenger.setSink(&sink);
        config.device.ApplyDeviceModel();
        host.configPath = dir.file("Survey.ini");
        page = std::make_unique<CPageSonarParaSet>(config, port, host);
        page->show();
    }
    TempFolder dir;
    RecordingMessageSink sink;
    Messenger messenger;
    Configuration config{dir.path(), messenger};
    RecordingCommandPort port;
    FakePageHost host;
    std::unique_ptr<CPageSonarParaSet> page;
};

TEST_F(PageWidgetTest, ControlsShowTheSettingsWithinTheLimits) {
    QSlider* range = page->slider(Frequency::HF, SliderKind::Range);
    EXPECT_EQ(range->minimum(), 0);
    EXPECT_EQ(range->maximum(), 6);
    EXPECT_EQ(range->value(), 3);
    EXPECT_EQ(page->valueLabel(Frequency::HF, SliderKind::Range)->text(), "50 m");
    EXPECT_EQ(page->highLabel(Frequency::HF, SliderKind::Range)->text(), "150");
    EXPECT_EQ(page->highLabel(Frequency::HF, SliderKind::Pulse)->text(), "2");
    EXPECT_EQ(page->valueLabel(Frequency::HF, SliderKind::Pulse)->text(), "CW 0.1 ms");
    EXPECT_TRUE(page->onOffBox(Frequency::HF)->isChecked());
    EXPECT_FALSE(page->rowBox(Frequency::LF)->isHidden()) << "two-frequency model";
    EXPECT_TRUE(page->slider(Frequency::HF, SliderKind::Power)->isHidden());
    QFont f = page->valueLabel(Frequency::LF, SliderKind::Gain)->font();
    EXPECT_TRUE(f.bold());
    EXPECT_EQ(f.pixelSize(), 20);
}

// Guards: dragging must only relabel; the command and the file write happen
// once, on release, with the pulse brought into the new range's limit.
TEST_F(PageWidgetTest, DragRelabelsAndReleaseCommits) {
    QSlider* range = page->slider(Frequency::HF, SliderKind::Range);
    config.sonar.hf.pulseLevel = 6;
    page->refreshPage();
    range->setSliderDown(true);
    range->setSliderPosition(1);
    EXPECT_EQ(page->valueLabel(Frequency::HF, SliderKind::Range)->text(), "15 m");
    EXPECT_EQ(config.sonar.hf.rangeLevel, 3);
    EXPECT_TRUE(port.sent.empty());
    range->setSliderDown(false);
    EXPECT_EQ(config.sonar.hf.rangeLevel, 1);
    EXPECT_EQ(port.sent, (Strings{"range HF"}));
    QSlider* pulse = page->slider(Frequency::HF, SliderKind::Pulse);
    EXPECT_EQ(pulse->maximum(), 4);
    EXPECT_EQ(pulse->value(), 4);
    EXPECT_EQ(page->highLabel(Frequency::HF, SliderKind::Pulse)->text(), "0.1");
    EXPECT_NE(readText(dir.file("Survey.ini")).find("Range_HF=1\r\n"), std::string::npos);
}

TEST_F(PageWidgetTest, KeyboardStepCommitsAtOnce) {
    QSlider* gain = page->slider(Frequency::LF, SliderKind::Gain);
    gain->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(config.sonar.lf.gainLevel, 1);
    EXPECT_EQ(page->valueLabel(Frequency::LF, SliderKind::Gain)->text(), "1 dB");
    EXPECT_EQ(port.sent, (Strings{"gain LF"}));
}

TEST_F(PageWidgetTest, OnOffDisablesTheRow) {
    page->onOffBox(Frequency::HF)->click();
    EXPECT_FALSE(config.sonar.hf.channelEnabled);
    EXPECT_FALSE(page->slider(Frequency::HF, SliderKind::Range)->isEnabled());
    EXPECT_TRUE(page->slider(Frequency::LF, SliderKind::Range)->isEnabled());
    EXPECT_EQ(port.sent, (Strings{"channel"}));
}

// Guards: a model change posted while the page is open must reach the page.
TEST_F(PageWidgetTest, ModelChangeRefreshesThePage) {
    config.device.SetModelNumber(ModelNumberFromIdentifier("QM-305"));
    config.device.ApplyDeviceModel();
    EXPECT_FALSE(page->rowBox(Frequency::LF)->isHidden()) << "the refresh is posted, not immediate";
    QCoreApplication::processEvents();
    EXPECT_TRUE(page->rowBox(Frequency::LF)->isHidden());
    EXPECT_FALSE(page->onOffBox(Frequency::LF)->isChecked());
    EXPECT_FALSE(config.sonar.lf.channelEnabled);
}

TEST(QtMessageSinkTest, CaptionAndAnswerFromTheBox) {
    application();
    QtMessageSink sink;
    OperatorMessage m{"Quit Kestrova?", "Kestrova", 0x31, true};
    // Close the box as the operator would, once it is up.
    QMetaObject::invokeMethod(
        qApp,
        [] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(w)) {
                    EXPECT_EQ(box->windowTitle(), "Kestrova");
                    EXPECT_EQ(box->text(), "Quit Kestrova?");
                    box->button(QMessageBox::Cancel)->click();
                }
            }
        },
        Qt::QueuedConnection);
    EXPECT_EQ(sink.present(m), IDCANCEL);
}

} // namespace
} // namespace kestrova::app::ui

// Widgets need the application object for the whole run and must be gone
// before it is destroyed, so it lives here rather than in a static.
