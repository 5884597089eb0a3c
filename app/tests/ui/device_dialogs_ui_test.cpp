// The four device dialogs as Qt widgets under the offscreen platform: the
// fields load from the settings, the enable rules show, OK stores and writes
// the project's configuration file in a temporary folder, and the buttons
// send through a recording command channel.

#include "app/tests/device_dialog_fakes.h"
#include "app/ui/device_dialogs.h"
#include "platform/tests/temp_folder.h"
#include "position/ui/ins_device_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace kestrova::app::ui {
namespace {

using kestrova::testing::readText;
using kestrova::testing::TempFolder;
using kestrova::testing::writeText;
using testing::LineRecordingPort;

template <typename W> W* child(QWidget& parent, const char* name) {
    W* w = parent.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

class DialogsUi : public ::testing::Test {
  protected:
    void SetUp() override {
        messenger.setEnglish(true);
        messenger.setSink(&messages);
        config = std::make_unique<Configuration>(program.path(), messenger);
        projectIni = project.file("Survey.ini");
        writeText(projectIni, "");
    }
    std::string lastText() const {
        auto m = messages.messages();
        return m.empty() ? std::string() : m.back().text;
    }

    TempFolder program;
    TempFolder project;
    std::string projectIni;
    RecordingMessageSink messages;
    Messenger messenger;
    platform::MessageQueue queue;
    std::unique_ptr<Configuration> config;
};

std::vector<std::string> noPorts() {
    return {};
}

// The stored installation and position settings show in the controls; a
// model without heading sensor shows "GPS Course" with "Fish Gyro" disabled;
// internal sync greys the polarity out at "Positive"; the network dialog is
// the one shown for "Net".
TEST_F(DialogsUi, DeviceParametersLoadTheSettings) {
    config->device.SetModelNumber(ModelNumberFromIdentifier("QM-104"));
    config->device.ApplyDeviceModel();
    InstallationSettings& in = config->sonar.install;
    in.soundVelocity = 1490.0f;
    in.gpsY = -3.5f;
    in.useShipSpeed = false;
    in.shipSpeed = 4.0f;
    in.useTowfishDepth = true;
    in.headingSource = 0;
    in.syncMode = 0;
    in.syncPolarity = 1;
    in.latLonFormat = 2;
    config->ins.modeSelect = 1;
    config->ins.dataType = 1;
    config->ins.port = 6100;
    position::PositionSystem positions(*config, queue);
    FitParaContext ctx{*config, positions, projectIni, false, 1500.0, noPorts, {}};
    CFitPara dlg(ctx);
    EXPECT_EQ(dlg.windowTitle(), "Device Parameters");
    EXPECT_DOUBLE_EQ(child<QDoubleSpinBox>(dlg, "soundVelocity")->value(), 1490.0);
    EXPECT_DOUBLE_EQ(child<QDoubleSpinBox>(dlg, "gpsY")->value(), -3.5);
    EXPECT_TRUE(child<QRadioButton>(dlg, "speedManual")->isChecked());
    EXPECT_TRUE(child<QDoubleSpinBox>(dlg, "shipSpeed")->isEnabled());
    EXPECT_FALSE(child<QDoubleSpinBox>(dlg, "towfishDepth")->isEnabled());
    EXPECT_TRUE(child<QDoubleSpinBox>(dlg, "density")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(dlg, "headingGpsCourse")->isChecked());
    EXPECT_FALSE(child<QRadioButton>(dlg, "headingFishGyro")->isEnabled());
    EXPECT_FALSE(child<QComboBox>(dlg, "polarity")->isEnabled());
    EXPECT_EQ(child<QComboBox>(dlg, "polarity")->currentText(), "Positive");
    EXPECT_EQ(child<QComboBox>(dlg, "latLonFormat")->currentText(), "deg");
    QComboBox* protocol = child<QComboBox>(dlg, "protocol");
    ASSERT_EQ(protocol->count(), 3);
    EXPECT_EQ(protocol->currentText(), "Ostra INS Protocol");
    EXPECT_TRUE(child<QRadioButton>(dlg, "modeNet")->isChecked());
    auto* stack = dlg.findChild<QStackedWidget*>();
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->currentWidget(), dlg.networkDialog());
    EXPECT_EQ(dlg.networkDialog()->portEdit()->value(), 6100);
    child<QRadioButton>(dlg, "modeCom")->click();
    EXPECT_EQ(stack->currentWidget(), dlg.serialDialog());

    // Switching to external sync frees the polarity; to manual depth the
    // depth edit, greying the density out.
    child<QRadioButton>(dlg, "syncExternal")->setChecked(true);
    EXPECT_TRUE(child<QComboBox>(dlg, "polarity")->isEnabled());
    child<QRadioButton>(dlg, "depthManual")->setChecked(true);
    EXPECT_TRUE(child<QDoubleSpinBox>(dlg, "towfishDepth")->isEnabled());
    EXPECT_FALSE(child<QDoubleSpinBox>(dlg, "density")->isEnabled());
}

// In playback the position-input controls cannot be touched.
TEST_F(DialogsUi, DeviceParametersInPlaybackDisablePositionInput) {
    position::PositionSystem positions(*config, queue);
    FitParaContext ctx{*config, positions, std::nullopt, true, 1500.0, noPorts, {}};
    CFitPara dlg(ctx);
    EXPECT_FALSE(child<QRadioButton>(dlg, "modeNet")->isEnabled());
    EXPECT_FALSE(child<QComboBox>(dlg, "protocol")->isEnabled());
    EXPECT_FALSE(dlg.networkDialog()->isEnabled());
    EXPECT_TRUE(child<QDoubleSpinBox>(dlg, "soundVelocity")->isEnabled());
}

// OK: the position input stored and INSPara written, then every installation
// field and SonarSetPara; the waterfalls are marked because the sound speed moved.
TEST_F(DialogsUi, DeviceParametersOkStoresAndWritesBothSections) {
    position::PositionSystem positions(*config, queue);
    FitParaContext ctx{*config, positions, projectIni, false, 1500.0, noPorts, {}};
    CFitPara dlg(ctx);
    child<QRadioButton>(dlg, "modeNet")->click();
    dlg.networkDialog()->addressEdit()->setText("127.0.0.1");
    dlg.networkDialog()->portEdit()->setValue(0);
    dlg.networkDialog()->typeButton(0)->setChecked(true);
    child<QComboBox>(dlg, "protocol")->setCurrentIndex(2);
    child<QDoubleSpinBox>(dlg, "soundVelocity")->setValue(1487.25);
    child<QDoubleSpinBox>(dlg, "towLength")->setValue(42.0);
    child<QRadioButton>(dlg, "syncExternal")->setChecked(true);
    child<QComboBox>(dlg, "polarity")->setCurrentIndex(1);
    child<QComboBox>(dlg, "latLonFormat")->setCurrentIndex(1);
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    EXPECT_EQ(config->ins.modeSelect, 1);
    EXPECT_EQ(config->ins.netType, 0);
    EXPECT_EQ(config->ins.dataType, 2);
    EXPECT_EQ(positions.input().settings().dataType, 2);
    EXPECT_FLOAT_EQ(config->sonar.install.soundVelocity, 1487.25f);
    EXPECT_DOUBLE_EQ(config->sonar.soundSpeed, 1487.25);
    EXPECT_FLOAT_EQ(config->sonar.install.towLength, 42.0f);
    EXPECT_EQ(config->sonar.install.syncMode, 1);
    EXPECT_EQ(config->sonar.install.syncPolarity, 1);
    EXPECT_EQ(config->sonar.install.latLonFormat, 1);
    EXPECT_TRUE(ctx.stored.recomputeWaterfalls);
    EXPECT_TRUE(ctx.stored.sectionWritten);
    const std::string file = readText(projectIni);
    for (const char* line :
         {"INS_ModeSelect=1", "INS_NetType=0", "INS_DataType=2", "FitSoundVelocity=1487.250000",
          "FitTowLength=42.000000", "SyncMode=1", "SyncPolarity=1", "LatLonFormat=1"})
        EXPECT_NE(file.find(line), std::string::npos) << line << "\n" << file;
}

// Guards: with a main frame to tell, OK opening or closing the channel itself
// (the main frame's 1552 / 1553 handling must decide), or posting the wrong
// message for the choice.
TEST_F(DialogsUi, DeviceParametersOkTellsTheMainFrame) {
    position::PositionSystem positions(*config, queue);
    std::vector<std::uint32_t> posted;
    const platform::WindowHandle frame =
        queue.registerWindow([&](const platform::WindowMessage& m) { posted.push_back(m.id); });
    FitParaContext ctx{*config, positions, projectIni, false, 1500.0, noPorts, {}, &queue, frame};
    {
        CFitPara dlg(ctx);
        child<QRadioButton>(dlg, "modeNet")->click();
        dlg.networkDialog()->addressEdit()->setText("127.0.0.1");
        dlg.networkDialog()->portEdit()->setValue(0);
        dlg.networkDialog()->typeButton(0)->setChecked(true);
        dlg.accept();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    EXPECT_EQ(positions.input().settings().modeSelect, 1);
    EXPECT_NE(readText(projectIni).find("INS_ModeSelect=1"), std::string::npos);
    EXPECT_FALSE(positions.input().udpOpen()); // not before the main frame says so
    queue.drain();
    EXPECT_EQ(posted, std::vector<std::uint32_t>{position::nav_message::kApplyPositionSettings});

    positions.restartPositionInput(); // what the main frame does with 1552
    ASSERT_TRUE(positions.input().udpOpen());
    posted.clear();
    {
        CFitPara dlg(ctx);
        child<QRadioButton>(dlg, "modeClose")->click();
        dlg.accept();
    }
    EXPECT_EQ(positions.input().settings().modeSelect, 0);
    EXPECT_TRUE(positions.input().udpOpen());
    queue.drain();
    EXPECT_EQ(posted, std::vector<std::uint32_t>{position::nav_message::kStopPositionInput});
    positions.stopPositionInput(); // 1553
    EXPECT_FALSE(positions.input().udpOpen());
    queue.unregisterWindow(frame);
}

// A network address the dialog refuses keeps the dialog open and stores nothing.
TEST_F(DialogsUi, DeviceParametersRefusedAddressStoresNothing) {
    position::PositionSystem positions(*config, queue);
    FitParaContext ctx{*config, positions, projectIni, false, 1500.0, noPorts, {}};
    CFitPara dlg(ctx);
    child<QRadioButton>(dlg, "modeNet")->click();
    dlg.networkDialog()->addressEdit()->setText("not an address");
    child<QDoubleSpinBox>(dlg, "soundVelocity")->setValue(1400);
    dlg.accept();
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(config->ins.modeSelect, 0);
    EXPECT_FLOAT_EQ(config->sonar.install.soundVelocity, 1500.0f);
    EXPECT_EQ(readText(projectIni), "");
    EXPECT_FALSE(messages.messages().empty());
}

// "Coordinate" without the coordinate settings library in the program folder.
TEST_F(DialogsUi, CoordinateButtonWithoutLibrary) {
    position::PositionSystem positions(*config, queue);
    FitParaContext ctx{*config, positions, projectIni, false, 1500.0, noPorts, {}};
    CFitPara dlg(ctx);
    const _DefGeodetsyParameterSetting before = config->geo.record;
    child<QPushButton>(dlg, "coordinate")->click();
    EXPECT_EQ(lastText(), "Load Oberlane.dll Error!");
    EXPECT_EQ(std::memcmp(&before, &config->geo.record, sizeof before), 0);
    EXPECT_EQ(readText(projectIni), "");
}

// "Coordinate" with the English dialog library beside the program: the
// operator's choices reach the engine at once and ParaOfGeo of the open
// project; without a project the operator hears they are not saved.
TEST_F(DialogsUi, CoordinateButtonEditsTheProjectCoordinateSystem) {
    const char* bin = std::getenv("KESTROVA_BIN");
    const std::string library = std::string(bin ? bin : "build/bin") + "/libFaldrenaEN.so";
    ASSERT_TRUE(std::filesystem::exists(library)) << library;
    std::filesystem::copy_file(library, program.file("libFaldrenaEN.so"));
    position::PositionSystem positions(*config, queue);
    auto operate = [](const char* meridian) {
        QTimer::singleShot(0, [meridian] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (!w->isVisible() || w->objectName() != "CSetEllipticalSheet") continue;
                // The masked field lays the characters into its positions.
                w->findChild<QLineEdit*>("CentralMeridian")->setText(meridian);
                w->findChild<QPushButton*>("ok")->click();
            }
        });
    };
    {
        FitParaContext ctx{*config, positions, projectIni, false, 1500.0, noPorts, {}};
        CFitPara dlg(ctx);
        operate("120300000000E");
        child<QPushButton>(dlg, "coordinate")->click();
    }
    EXPECT_EQ(lastText(), "Coordinate system parameter setted successfully!");
    EXPECT_STREQ(config->geo.record.CentralMeridian, "120300000000E");
    EXPECT_NE(readText(projectIni).find("CentralMeridian=120300000000E"), std::string::npos);
    EXPECT_NEAR(positions.geodesy().forward(0.0, 120.5, 0.0).y, 500000.0, 1e-6);

    const std::string saved = readText(projectIni);
    {
        FitParaContext ctx{*config, positions, std::nullopt, false, 1500.0, noPorts, {}};
        CFitPara dlg(ctx);
        operate("121000000000E");
        child<QPushButton>(dlg, "coordinate")->click();
    }
    EXPECT_EQ(lastText(),
              "The coordinate system is in use, but no project is open: it is not saved!");
    EXPECT_NEAR(positions.geodesy().forward(0.0, 121.0, 0.0).y, 500000.0, 1e-6);
    EXPECT_EQ(readText(projectIni), saved);
}

// The alarm dialog: ticking enables the edit and switches the alarm at once;
// OK writes; Cancel puts the values back.
TEST_F(DialogsUi, AlarmSettingOkAndCancel) {
    AlarmContext ctx{*config, projectIni};
    {
        CALertSet dlg(ctx);
        EXPECT_EQ(dlg.windowTitle(), "Alarm Setting");
        QDoubleSpinBox* altitude = child<QDoubleSpinBox>(dlg, "altitude");
        EXPECT_FALSE(altitude->isEnabled());
        child<QCheckBox>(dlg, "altitudeAlarm")->click();
        EXPECT_TRUE(altitude->isEnabled());
        EXPECT_TRUE(config->sonar.alarm.alertAltitude);
        altitude->setValue(3.0);
        child<QRadioButton>(dlg, "RTK Fixed")->click();
        dlg.accept();
    }
    EXPECT_FLOAT_EQ(config->sonar.alarm.minAltitude, 3.0f);
    EXPECT_EQ(config->sonar.alarm.alertGpsLevel, 3);
    EXPECT_EQ(config->alarmLive.gpsAlertLevel.load(), 3);
    EXPECT_NE(readText(projectIni).find("AlS_iuAlertGps=3"), std::string::npos);
    {
        CALertSet dlg(ctx);
        EXPECT_TRUE(child<QDoubleSpinBox>(dlg, "altitude")->isEnabled());
        child<QCheckBox>(dlg, "gpsAlarm")->click();
        EXPECT_FALSE(child<QRadioButton>(dlg, "No Data")->isEnabled());
        child<QCheckBox>(dlg, "altitudeAlarm")->click();
        EXPECT_FALSE(config->sonar.alarm.alertAltitude);
        dlg.reject();
    }
    EXPECT_TRUE(config->sonar.alarm.alertAltitude);
    EXPECT_TRUE(config->sonar.alarm.alertGps);
}

// The calibration dialog: the pressure reply posted to its window (1156)
// reaches it, and the next tick reports it; while calibrating it cannot close.
TEST_F(DialogsUi, CalibrationPressureTakesTheReplyMessage) {
    LineRecordingPort port;
    platform::WindowHandle handed = platform::kNoWindow;
    platform::WindowHandle dialogWindow = platform::kNoWindow;
    PressureContext ctx{port, messenger, queue, [&](platform::WindowHandle w) { handed = w; }};
    {
        CAdjustPressure dlg(ctx);
        EXPECT_EQ(dlg.windowTitle(), "Calibration Pressure");
        ASSERT_NE(handed, platform::kNoWindow);
        EXPECT_EQ(handed, dlg.window());
        dialogWindow = dlg.window();
        dlg.show();
        QLabel* counter = child<QLabel>(dlg, "counter");
        EXPECT_FALSE(counter->isVisible());
        child<QPushButton>(dlg, "calibrate")->click();
        EXPECT_EQ(port.all(), "$cmd,set,autoclear*ff\r\n");
        EXPECT_TRUE(dlg.timer().isActive());
        EXPECT_EQ(dlg.timer().interval(), 1000);
        EXPECT_TRUE(counter->isVisible());
        EXPECT_EQ(counter->text(), "1 s");
        EXPECT_FALSE(child<QPushButton>(dlg, "calibrate")->isEnabled());
        EXPECT_FALSE(child<QPushButton>(dlg, "close")->isEnabled());
        dlg.reject();
        EXPECT_TRUE(dlg.isVisible()) << "closed while calibrating";

        ASSERT_TRUE(queue.post(handed, kMsgPressureReply, 1017));
        queue.drain();
        dlg.onTick();
        EXPECT_EQ(counter->text(), "2 s");
        EXPECT_FALSE(dlg.timer().isActive());
        EXPECT_EQ(child<QLabel>(dlg, "status")->text(),
                  "Calibrating pressure successfully: 1017 mbar");
        EXPECT_TRUE(child<QPushButton>(dlg, "close")->isEnabled());
        dlg.hide();
    }
    EXPECT_EQ(handed, platform::kNoWindow);
    // Closed: a late reply finds no window to go to.
    EXPECT_FALSE(queue.post(dialogWindow, kMsgPressureReply, 1));
}

// The advanced dialog: each button acts at once with its control's value.
TEST_F(DialogsUi, AdvancedButtonsSendTheirLines) {
    LineRecordingPort port;
    AdvancedSettings settings;
    settings.idleTimeText = "15";
    AdvancedContext ctx{settings, port, messenger};
    CHideAdvenced dlg(ctx);
    EXPECT_EQ(dlg.windowTitle(), "Advanced settings interface");
    EXPECT_EQ(child<QLineEdit>(dlg, "idleTime")->text(), "15");
    EXPECT_EQ(child<QComboBox>(dlg, "algorithm")->currentIndex(), 1);
    child<QComboBox>(dlg, "transmit")->setCurrentIndex(3);
    child<QPushButton>(dlg, "transmitButton")->click();
    child<QComboBox>(dlg, "algorithm")->setCurrentIndex(8);
    child<QPushButton>(dlg, "algorithmButton")->click();
    child<QPushButton>(dlg, "stopButton")->click();
    EXPECT_EQ(port.all(), "$cmd,set,emittransducer,5,5*ff\r\n$cmd,set,emittransducer,6,5*ff\r\n"
                          "$cmd,set,algorithm,8*ff\r\n$cmd,sysrun,0*ff\r\n");
    EXPECT_EQ(settings.algorithm, 8);
    CHideAdvenced again(ctx);
    EXPECT_EQ(child<QComboBox>(again, "algorithm")->currentIndex(), 8);
    EXPECT_EQ(child<QComboBox>(again, "transmit")->currentIndex(), 3);
}

} // namespace
} // namespace kestrova::app::ui
