// The rules of the four device dialogs without a window: pressure calibration
// driven tick by tick, the advanced settings' lines through a recording
// channel, the alarm and installation values into real configuration files in
// a temporary folder, and the coordinate settings library looked up in a real
// program folder. Expected lines and texts are written out by hand.

#include "app/adjust_pressure.h"
#include "app/alert_set.h"
#include "app/fit_para.h"
#include "app/hide_advanced.h"
#include "app/tests/device_dialog_fakes.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace kestrova::app {
namespace {

using kestrova::testing::readText;
using kestrova::testing::TempFolder;
using kestrova::testing::writeText;
using testing::LineRecordingPort;

class Dialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        messenger.setEnglish(true);
        messenger.setSink(&messages);
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> t;
        for (const auto& m : messages.messages())
            t.push_back(m.text);
        return t;
    }
    std::string lastText() const {
        auto m = messages.messages();
        return m.empty() ? std::string() : m.back().text;
    }

    RecordingMessageSink messages;
    Messenger messenger;
    LineRecordingPort port;
};

// ---------------------------------------------------------------- calibration

// Guards against calibrating a sonar that is not there: nothing is sent and
// no timer runs, so the dialog cannot lock its buttons waiting for nothing.
TEST_F(Dialogs, CalibrationWithoutSonarOnlyTellsTheOperator) {
    port.connected = false;
    PressureCalibration c(port, messenger);
    c.calibrate();
    EXPECT_EQ(texts(), std::vector<std::string>{"Error: Sonar is not connected!"});
    EXPECT_FALSE(c.timerRunning());
    EXPECT_TRUE(c.calibrationEnabled());
    EXPECT_TRUE(port.sent.empty());
    c.restoreDefaults();
    EXPECT_EQ(lastText(), "Error: sonar is not connected!");
    EXPECT_TRUE(port.sent.empty());
}

// A reply that arrives in the fifth second is reported at the next tick with
// its value, not earlier and not as a time-out.
TEST_F(Dialogs, ReplyInFifthSecondReportsSuccessAtNextTick) {
    PressureCalibration c(port, messenger);
    c.calibrate();
    ASSERT_EQ(port.sent, std::vector<std::string>{"$cmd,set,autoclear*ff\r\n"});
    EXPECT_TRUE(c.timerRunning());
    EXPECT_FALSE(c.calibrationEnabled());
    EXPECT_FALSE(c.closeEnabled());
    EXPECT_TRUE(c.statusVisible());
    EXPECT_EQ(c.counterText(), "1 s");
    for (int i = 0; i < 4; ++i)
        c.tick();
    EXPECT_EQ(c.counterText(), "5 s");
    c.pressureReply(1021);
    EXPECT_TRUE(messages.messages().empty()) << "reported before the tick";
    EXPECT_TRUE(c.timerRunning());
    c.tick();
    EXPECT_FALSE(c.timerRunning());
    EXPECT_EQ(c.counterText(), "6 s");
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(messages.messages()[0].text, "Calibrating pressure successfully: 1021 mbar");
    EXPECT_EQ(messages.messages()[0].flags, 0x31u);
    EXPECT_EQ(c.statusText(), "Calibrating pressure successfully: 1021 mbar");
    EXPECT_TRUE(c.calibrationEnabled());
    EXPECT_TRUE(c.closeEnabled());
    c.tick(); // a late tick of a stopped timer changes nothing
    EXPECT_EQ(messages.count(), 1u);
}

// No reply: the time-out comes when the counter reaches 10 and not before;
// the dialog is usable again and a new calibration starts from 1 s.
TEST_F(Dialogs, CalibrationTimesOutAtTenSecondsAndCanBeRepeated) {
    PressureCalibration c(port, messenger);
    c.calibrate();
    for (int i = 0; i < 8; ++i)
        c.tick();
    EXPECT_EQ(c.counterText(), "9 s");
    EXPECT_TRUE(c.timerRunning());
    EXPECT_TRUE(messages.messages().empty());
    c.tick();
    EXPECT_FALSE(c.timerRunning());
    EXPECT_EQ(texts(), std::vector<std::string>{"Error: Calibrating pressure timeout!"});
    EXPECT_EQ(c.statusText(), "Error: Calibrating pressure timeout!");
    EXPECT_TRUE(c.calibrationEnabled());

    c.calibrate();
    EXPECT_EQ(c.counterText(), "1 s");
    EXPECT_TRUE(c.timerRunning());
    EXPECT_EQ(port.sent.size(), 2u);
}

// A reply left over from before "Calibration" must not pass for the answer to
// this calibration.
TEST_F(Dialogs, EarlierReplyDoesNotCountForNewCalibration) {
    PressureCalibration c(port, messenger);
    c.pressureReply(990);
    c.calibrate();
    for (int i = 0; i < 9; ++i)
        c.tick();
    EXPECT_EQ(texts(), std::vector<std::string>{"Error: Calibrating pressure timeout!"});
}

// A reply that came during the last second is still the sonar's answer: it is
// reported as success, not as a time-out.
TEST_F(Dialogs, ReplyInLastSecondIsNotCalledTimeout) {
    PressureCalibration c(port, messenger);
    c.calibrate();
    for (int i = 0; i < 8; ++i)
        c.tick();
    c.pressureReply(1005);
    c.tick();
    EXPECT_EQ(texts(), std::vector<std::string>{"Calibrating pressure successfully: 1005 mbar"});
}

// The status line follows the interface language; the message pair carries both.
TEST_F(Dialogs, CalibrationStatusInChineseInterface) {
    messenger.setEnglish(false);
    PressureCalibration c(port, messenger);
    c.calibrate();
    c.pressureReply(1013);
    c.tick();
    EXPECT_NE(c.statusText().find("1013 mbar"), std::string::npos);
    EXPECT_EQ(c.statusText().find("successfully"), std::string::npos);
    EXPECT_EQ(lastText(), c.statusText());
}

// "Restore Defaults": the reference is set before it is asked for, and the
// answer is shown once; later replies are not announced again.
TEST_F(Dialogs, RestoreDefaultsSetsThenGetsAndShowsTheAnswerOnce) {
    PressureCalibration c(port, messenger);
    c.restoreDefaults();
    ASSERT_EQ(port.all(), "$cmd,set,pressureref,1013*ff\r\n$cmd,get,pressureref*ff\r\n");
    EXPECT_TRUE(messages.messages().empty());
    c.pressureReply(1013);
    EXPECT_EQ(texts(), std::vector<std::string>{"Default value of pressure: 1013 mbar"});
    EXPECT_EQ(c.statusText(), "Default value of pressure: 1013 mbar");
    EXPECT_TRUE(c.statusVisible());
    c.pressureReply(1013);
    EXPECT_EQ(messages.count(), 1u);
}

// ---------------------------------------------------------------- advanced

// Transducer selection 3 is code 5, on both channels, HF (5) first; the
// operator is told both frequencies changed.
TEST_F(Dialogs, TransducerIndexThreeSendsModeFiveForBothChannels) {
    messenger.setEnglish(false);
    AdvancedSettings s;
    AdvancedSettingsRules r(s, port, messenger);
    EXPECT_TRUE(r.changeTransmitMode(3));
    EXPECT_TRUE(r.changeReceiveMode(3));
    ASSERT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(port.sent[0], "$cmd,set,emittransducer,5,5*ff\r\n$cmd,set,emittransducer,6,5*ff\r\n");
    EXPECT_EQ(port.sent[1], "$cmd,set,recvtransducer,5,5*ff\r\n$cmd,set,recvtransducer,6,5*ff\r\n");
    EXPECT_EQ(texts(), (std::vector<std::string>{"高低频同时变化哦", "高低频同时变化哦"}));
    EXPECT_EQ(s.transmitMode, 3);
    EXPECT_EQ(s.receiveMode, 3);
    port.sent.clear();
    r.changeTransmitMode(1);
    EXPECT_EQ(port.all(), "$cmd,set,emittransducer,5,1*ff\r\n$cmd,set,emittransducer,6,1*ff\r\n");
}

// Upload kind: index 1 and 2 as themselves, anything else as 0; the raw-upload
// flag only for 1.
TEST_F(Dialogs, UploadKindLinesAndRawFlag) {
    AdvancedSettings s;
    AdvancedSettingsRules r(s, port, messenger);
    r.changeUpload(1);
    EXPECT_TRUE(s.rawUpload);
    r.changeUpload(2);
    EXPECT_FALSE(s.rawUpload);
    r.changeUpload(7);
    EXPECT_EQ(port.all(), "$cmd,set,updataswitch,1*ff\r\n$cmd,set,updataswitch,2*ff\r\n"
                          "$cmd,set,updataswitch,0*ff\r\n");
    EXPECT_FALSE(s.rawUpload);
    EXPECT_EQ(s.uploadKind, 0);
}

// The maximum gain goes to both frequencies' gain lines, HF then LF; the
// interval is sent as typed and kept, a text that would break the line is
// refused; the algorithm index is kept; the two pinging buttons.
TEST_F(Dialogs, GainIntervalAlgorithmAndPinging) {
    AdvancedSettings s;
    AdvancedSettingsRules r(s, port, messenger);
    EXPECT_TRUE(r.changeGain(25));
    EXPECT_EQ(port.advancedGainHF, 25);
    EXPECT_EQ(port.advancedGainLF, 25);
    EXPECT_EQ(s.maximumGain, 25);
    EXPECT_EQ(port.sent, (std::vector<std::string>{"gain HF", "gain LF"}));
    EXPECT_EQ(lastText(), "HF and LF changed together.");

    port.sent.clear();
    EXPECT_TRUE(r.changeIdleTime("20"));
    EXPECT_EQ(s.idleTimeText, "20");
    EXPECT_FALSE(r.changeIdleTime("2,0"));
    EXPECT_EQ(s.idleTimeText, "20");
    EXPECT_EQ(lastText(), "Error: the idle time cannot be sent as typed!");
    EXPECT_TRUE(r.changeAlgorithm(7));
    EXPECT_EQ(s.algorithm, 7);
    r.changeStorage(1);
    EXPECT_EQ(s.storageForm, 1);
    EXPECT_TRUE(r.stopPinging());
    EXPECT_TRUE(r.startPinging());
    EXPECT_EQ(port.all(), "$cmd,set,interval,20*ff\r\n$cmd,set,algorithm,7*ff\r\n"
                          "$cmd,sysrun,0*ff\r\n$cmd,sysrun,1*ff\r\n");
}

// Without a command channel nothing is sent and the operator is not told that
// both frequencies changed.
TEST_F(Dialogs, AdvancedButtonsWithoutSonarSendNothing) {
    port.connected = false;
    AdvancedSettings s;
    AdvancedSettingsRules r(s, port, messenger);
    EXPECT_FALSE(r.changeTransmitMode(2));
    EXPECT_FALSE(r.changeGain(10));
    EXPECT_FALSE(r.stopPinging());
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(texts(), (std::vector<std::string>{"Error: Sonar is not connected!",
                                                 "Error: Sonar is not connected!"}));
}

// ---------------------------------------------------------------- alarms

class Files : public Dialogs {
  protected:
    void SetUp() override {
        Dialogs::SetUp();
        config = std::make_unique<Configuration>(program.path(), messenger);
        projectIni = project.file("Survey.ini");
        writeText(projectIni, "");
    }
    // A second program reading the project file, as a later project load would.
    std::unique_ptr<Configuration> reload() {
        auto other = std::make_unique<Configuration>(program.path(), messenger);
        EXPECT_TRUE(other->LoadConfigSection("SonarSetPara", projectIni));
        return other;
    }

    TempFolder program;
    TempFolder project;
    std::string projectIni;
    std::unique_ptr<Configuration> config;
};

// Ticking the altitude alarm takes effect at once (globals and the live copy
// the threads read); OK keeps all four values and writes them to the project.
TEST_F(Files, AlarmValuesStoredAndWrittenOnOk) {
    AlarmSettingRules r(*config);
    EXPECT_FALSE(r.altitudeEditEnabled());
    r.setAltitudeAlarm(true);
    EXPECT_TRUE(config->sonar.alarm.alertAltitude);
    EXPECT_TRUE(config->alarmLive.altitudeAlertOn.load());
    EXPECT_TRUE(r.altitudeEditEnabled());
    r.setMinAltitude(2.5f);
    r.setGpsAlarm(true);
    EXPECT_TRUE(r.levelRadiosEnabled());
    EXPECT_TRUE(r.setGpsLevel(3));
    EXPECT_FALSE(r.setGpsLevel(4));
    EXPECT_EQ(config->alarmLive.gpsAlertLevel.load(), 1) << "level applied before OK";
    ASSERT_TRUE(r.accept(projectIni));
    EXPECT_EQ(config->alarmLive.gpsAlertLevel.load(), 3);
    EXPECT_NE(readText(projectIni).find("AlS_fMinAltitude=2.500000"), std::string::npos);
    auto other = reload();
    EXPECT_TRUE(other->sonar.alarm.alertAltitude);
    EXPECT_FLOAT_EQ(other->sonar.alarm.minAltitude, 2.5f);
    EXPECT_TRUE(other->sonar.alarm.alertGps);
    EXPECT_EQ(other->sonar.alarm.alertGpsLevel, 3);
    EXPECT_EQ(other->alarmLive.gpsAlertLevel.load(), 3);
}

// Cancel puts back what the dialog opened with, the immediate altitude switch
// included; without a project nothing is written anywhere.
TEST_F(Files, AlarmCancelRestoresAndNoProjectWritesNothing) {
    AlarmSettingRules r(*config);
    r.setAltitudeAlarm(true);
    r.setGpsLevel(2);
    r.reject();
    EXPECT_FALSE(config->sonar.alarm.alertAltitude);
    EXPECT_FALSE(config->alarmLive.altitudeAlertOn.load());
    EXPECT_EQ(config->sonar.alarm.alertGpsLevel, 1);

    AlarmSettingRules again(*config);
    again.setGpsAlarm(false);
    ASSERT_TRUE(again.accept(std::nullopt));
    EXPECT_FALSE(config->alarmLive.gpsAlertOn.load());
    EXPECT_EQ(readText(projectIni), "");
}

// ---------------------------------------------------------------- device parameters

// A one-frequency model without heading sensor shows "GPS Course", cannot
// pick "Fish Gyro", and stores heading source 1 even though 0 was stored and
// the fields say 0.
TEST_F(Files, ModelWithoutHeadingSensorForcesGpsCourse) {
    config->device.SetModelNumber(ModelNumberFromIdentifier("QM-101"));
    config->device.ApplyDeviceModel();
    ASSERT_EQ(config->device.frequencyCount, 1);
    config->sonar.install.headingSource = 0;
    FitParaFields f = fitParaFields(config->sonar.install, config->device.sensors);
    EXPECT_EQ(f.headingSource, 1);
    EXPECT_FALSE(fitParaEnables(f, config->device.sensors, false).fishGyro);
    f.headingSource = 0;
    storeFitParaFields(*config, f, 1500.0, projectIni);
    EXPECT_EQ(config->sonar.install.headingSource, 1);
    EXPECT_EQ(reload()->sonar.install.headingSource, 1);

    // With a heading sensor the operator's choice stands.
    config->device.SetModelNumber(ModelNumberFromIdentifier("QM-302"));
    config->device.ApplyDeviceModel();
    EXPECT_EQ(fitParaFields(config->sonar.install, config->device.sensors).headingSource, 1);
    EXPECT_TRUE(fitParaEnables(f, config->device.sensors, false).fishGyro);
    storeFitParaFields(*config, f, 1500.0, projectIni);
    EXPECT_EQ(config->sonar.install.headingSource, 0);
}

// Enable rules: polarity only with external sync (internal shows "Positive"),
// manual speed and depth edits only with the manual source, density only with
// the automatic depth source, position controls not in playback; a stored
// format outside 0..2 shows as 0.
TEST_F(Files, DeviceParameterEnableRules) {
    InstallationSettings in;
    in.syncMode = 0;
    in.syncPolarity = 1;
    in.useShipSpeed = true;
    in.useTowfishDepth = false;
    in.latLonFormat = 5;
    const SensorFlags sensors;
    FitParaFields f = fitParaFields(in, sensors);
    EXPECT_EQ(f.syncPolarity, 0);
    EXPECT_EQ(f.latLonFormat, 0);
    FitParaEnables e = fitParaEnables(f, sensors, false);
    EXPECT_FALSE(e.syncPolarity);
    EXPECT_FALSE(e.shipSpeed);
    EXPECT_TRUE(e.towfishDepth);
    EXPECT_FALSE(e.density);
    EXPECT_TRUE(e.positionControls);

    in.syncMode = 1;
    in.useShipSpeed = false;
    in.useTowfishDepth = true;
    in.latLonFormat = 2;
    f = fitParaFields(in, sensors);
    EXPECT_EQ(f.syncPolarity, 1);
    EXPECT_EQ(f.latLonFormat, 2);
    e = fitParaEnables(f, sensors, true);
    EXPECT_TRUE(e.syncPolarity);
    EXPECT_TRUE(e.shipSpeed);
    EXPECT_FALSE(e.towfishDepth);
    EXPECT_TRUE(e.density);
    EXPECT_FALSE(e.positionControls);

    EXPECT_EQ(withPositionChoice({}, 2, 1).modeSelect, 2);
    EXPECT_EQ(withPositionChoice({}, 2, 1).dataType, 1);
    EXPECT_EQ(withPositionChoice({}, 9, -1).modeSelect, 0);
    EXPECT_EQ(insDataProtocolNames(true),
              (std::vector<std::string>{"GGA+ZDA", "Ostra INS Protocol", "Custom"}));
}

// OK stores every field into the globals (sound speed in both precisions),
// marks the waterfalls for recomputation only when the sound speed moved, and
// writes every key to the project file.
TEST_F(Files, DeviceParametersStoreEveryFieldAndWriteTheProject) {
    FitParaFields f;
    f.soundVelocity = 1480.5f;
    f.density = 1.025f;
    f.autoShipSpeed = false;
    f.shipSpeed = 4.5f;
    f.gpsX = 1.25f;
    f.gpsY = -2.5f;
    f.gpsZ = 3.75f;
    f.towLength = 60.0f;
    f.towPointToWater = 1.5f;
    f.autoTowfishDepth = true;
    f.towfishDepth = 12.0f;
    f.headingSource = 1;
    f.syncMode = 1;
    f.syncPolarity = 1;
    f.latLonFormat = 7;
    const FitParaStored r = storeFitParaFields(*config, f, 1500.0, projectIni);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.sectionWritten);
    EXPECT_TRUE(r.recomputeWaterfalls);
    EXPECT_DOUBLE_EQ(config->sonar.soundSpeed, 1480.5);

    const std::string file = readText(projectIni);
    for (const char* line :
         {"FitSoundVelocity=1480.500000", "FitbShipSpeed=0", "FitShipSpeed=4.500000",
          "FitGpsX=1.250000", "FitGpsY=-2.500000", "FitGpsZ=3.750000", "FitTowLength=60.000000",
          "FitbTowfishDepth=1", "FitTowfishDepth=12.000000", "FitDensity=1.025000",
          "FitTowPointToWater=1.500000", "HeadingSource=1", "SyncMode=1", "SyncPolarity=1",
          "LatLonFormat=0"})
        EXPECT_NE(file.find(line), std::string::npos) << line << "\n" << file;
    auto other = reload();
    EXPECT_DOUBLE_EQ(other->sonar.soundSpeed, 1480.5);
    EXPECT_FLOAT_EQ(other->sonar.install.gpsY, -2.5f);

    // The same sound speed again: nothing to recompute. No project: no file.
    const std::string before = readText(projectIni);
    f.gpsX = 9.0f;
    const FitParaStored same = storeFitParaFields(*config, f, 1480.5, std::nullopt);
    EXPECT_FALSE(same.recomputeWaterfalls);
    EXPECT_FALSE(same.sectionWritten);
    EXPECT_FLOAT_EQ(config->sonar.install.gpsX, 9.0f);
    EXPECT_EQ(readText(projectIni), before);

    // A sound speed of 0 is taken as typed.
    f.soundVelocity = 0;
    storeFitParaFields(*config, f, 1480.5, std::nullopt);
    EXPECT_EQ(config->sonar.soundSpeed, 0.0);
}

// "Coordinate" with no coordinate settings library in the program folder:
// the load error, and the record and the engine left alone.
TEST_F(Files, CoordinateWithoutLibraryChangesNothing) {
    const _DefGeodetsyParameterSetting before = config->geo.record;
    int handed = 0;
    const CoordinateOutcome o = runCoordinateSettings(*config, [&](const auto&) {
        ++handed;
        return CoordinateStored::Saved;
    });
    EXPECT_EQ(o, CoordinateOutcome::LibraryMissing);
    EXPECT_EQ(texts(), std::vector<std::string>{"Load Oberlane.dll Error!"});
    EXPECT_EQ(handed, 0);
    EXPECT_EQ(std::memcmp(&before, &config->geo.record, sizeof before), 0);
    EXPECT_EQ(readText(projectIni), "");
}

std::string binFolder() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return bin ? bin : "build/bin";
}

// A library of that name without the dialog's entry point: its own message,
// nothing changes.
TEST_F(Files, CoordinateLibraryWithoutEntryPoint) {
    const std::string some = binFolder() + "/libdrovanta.so";
    ASSERT_TRUE(std::filesystem::exists(some)) << some;
    std::filesystem::copy_file(some, program.file(kCoordinateLibraryEnglish));
    int handed = 0;
    EXPECT_EQ(runCoordinateSettings(*config,
                                    [&](const auto&) {
                                        ++handed;
                                        return CoordinateStored::Saved;
                                    }),
              CoordinateOutcome::EntryMissing);
    EXPECT_EQ(texts(), std::vector<std::string>{"Function finding failure in DLL!"});
    EXPECT_EQ(handed, 0);
}

// A stand-in library whose dialog finishes (it writes "9" into the central
// meridian) or cancels (KESTROVA_FAKE_COORDINATE_CANCEL set): a finished
// dialog hands the new record on and says so, a cancelled one changes nothing.
TEST_F(Files, CoordinateDialogFinishedOrCancelled) {
    const std::string fake = FAKE_COORDINATE_DIALOG;
    ASSERT_TRUE(std::filesystem::exists(fake)) << fake;
    std::filesystem::copy_file(fake, program.file(kCoordinateLibraryChinese));
    messenger.setEnglish(false);
    _DefGeodetsyParameterSetting got{};
    int handed = 0;
    CoordinateStored stored = CoordinateStored::Saved;
    auto keep = [&](const _DefGeodetsyParameterSetting& r) {
        got = r;
        ++handed;
        return stored;
    };
    ::setenv("KESTROVA_FAKE_COORDINATE_CANCEL", "1", 1);
    EXPECT_EQ(runCoordinateSettings(*config, keep), CoordinateOutcome::Cancelled);
    ::unsetenv("KESTROVA_FAKE_COORDINATE_CANCEL");
    EXPECT_EQ(handed, 0);
    EXPECT_TRUE(messages.messages().empty());

    EXPECT_EQ(runCoordinateSettings(*config, keep), CoordinateOutcome::Changed);
    EXPECT_EQ(handed, 1);
    EXPECT_STREQ(got.CentralMeridian, "9");
    EXPECT_EQ(texts(), std::vector<std::string>{"坐标系统参数设置成功！"});
    EXPECT_STRNE(config->geo.record.CentralMeridian, "9") << "changed only through the handler";

    // Without a project, or when the project file cannot be written, the
    // operator hears that the setting is not kept, never that it succeeded.
    messages.clear();
    stored = CoordinateStored::NoProject;
    EXPECT_EQ(runCoordinateSettings(*config, keep), CoordinateOutcome::ChangedWithoutSaving);
    EXPECT_EQ(texts(),
              std::vector<std::string>{"坐标系统参数已生效，但没有打开的工程，参数未保存！"});
    messages.clear();
    stored = CoordinateStored::SaveFailed;
    EXPECT_EQ(runCoordinateSettings(*config, keep), CoordinateOutcome::SaveFailed);
    EXPECT_EQ(texts(), std::vector<std::string>{"坐标系统参数已生效，但未能保存到工程配置文件！"});
    EXPECT_EQ(handed, 3);
}

} // namespace
} // namespace kestrova::app
