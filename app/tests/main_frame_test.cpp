// The main frame's rules without a window: which commands the operator may use
// in each program state, what the status bar says and in which colours, the
// ping parameter panel texts, and the snapshot file on a real folder. Expected
// values are written out by hand from the command and status tables.

#include "app/main_frame_commands.h"
#include "app/main_frame_status.h"
#include "app/ping_parameter_panel.h"
#include "app/snapshot_file.h"
#include "platform/tests/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>

namespace kestrova::app {
namespace {

using kestrova::testing::TempFolder;
namespace fs = std::filesystem;

FrameState connectedProject() {
    FrameState s;
    s.projectOpen = true;
    s.deviceConnected = true;
    return s;
}

// Guards against a command reachable in a state where it would lose data or
// talk to a sonar that is not there.
TEST(FrameCommands, EnableRulesFollowTheProgramState) {
    FrameState none; // start-up: no project, nothing connected
    EXPECT_TRUE(commandEnabled(FrameCommand::Project, none));
    for (FrameCommand c :
         {FrameCommand::ConnectDevice, FrameCommand::OpenFile, FrameCommand::DeviceSettings,
          FrameCommand::AlarmSettings, FrameCommand::Start, FrameCommand::Stop,
          FrameCommand::SaveKsf, FrameCommand::XtfFile, FrameCommand::SwitchWindow,
          FrameCommand::Snapshot, FrameCommand::Navigation, FrameCommand::Target,
          FrameCommand::CalibrationPressure})
        EXPECT_FALSE(commandEnabled(c, none)) << commandText(c, true);
    EXPECT_TRUE(commandEnabled(FrameCommand::About, none));
    EXPECT_TRUE(commandEnabled(FrameCommand::ConversionTool, none));
    EXPECT_TRUE(commandEnabled(FrameCommand::WindowReset, none));

    FrameState s = connectedProject();
    EXPECT_TRUE(commandEnabled(FrameCommand::Start, s));
    EXPECT_FALSE(commandEnabled(FrameCommand::Stop, s));
    EXPECT_TRUE(commandEnabled(FrameCommand::CalibrationPressure, s));
    s.running = true;
    EXPECT_FALSE(commandEnabled(FrameCommand::Start, s));
    EXPECT_TRUE(commandEnabled(FrameCommand::Stop, s));
    // While pinging the operator cannot switch project, device or file.
    EXPECT_FALSE(commandEnabled(FrameCommand::Project, s));
    EXPECT_FALSE(commandEnabled(FrameCommand::ConnectDevice, s));
    EXPECT_FALSE(commandEnabled(FrameCommand::OpenFile, s));
    EXPECT_FALSE(commandEnabled(FrameCommand::DeviceSettings, s));
    EXPECT_FALSE(commandEnabled(FrameCommand::CalibrationPressure, s));
    EXPECT_TRUE(commandEnabled(FrameCommand::AlarmSettings, s));

    // Start needs a device; in playback Start/Stop belong to the disk page.
    FrameState p;
    p.projectOpen = true;
    EXPECT_FALSE(commandEnabled(FrameCommand::Start, p));
    p.playbackMode = true;
    p.deviceConnected = true;
    EXPECT_FALSE(commandEnabled(FrameCommand::Start, p));
    p.running = true;
    EXPECT_FALSE(commandEnabled(FrameCommand::Stop, p));

    // No pressure sensor, no calibration.
    FrameState noSensor = connectedProject();
    noSensor.pressureSensor = false;
    EXPECT_FALSE(commandEnabled(FrameCommand::CalibrationPressure, noSensor));
}

TEST(FrameCommands, ProjectIsRefusedWhileEitherRecordingRuns) {
    FrameState s = connectedProject();
    EXPECT_TRUE(commandEnabled(FrameCommand::Project, s));
    s.rawRecording = true;
    EXPECT_FALSE(commandEnabled(FrameCommand::Project, s));
    s.rawRecording = false;
    s.xtfRecording = true;
    EXPECT_FALSE(commandEnabled(FrameCommand::Project, s));
}

// Mended: Save KSF in playback started a recording that stayed empty.
TEST(FrameCommands, SaveKsfNeedsAConnectedDeviceOutsidePlayback) {
    FrameState s;
    s.projectOpen = true;
    EXPECT_FALSE(commandEnabled(FrameCommand::SaveKsf, s));
    s.deviceConnected = true;
    EXPECT_TRUE(commandEnabled(FrameCommand::SaveKsf, s));
    s.playbackMode = true;
    EXPECT_FALSE(commandEnabled(FrameCommand::SaveKsf, s));
    s.deviceConnected = false;
    EXPECT_FALSE(commandEnabled(FrameCommand::SaveKsf, s));
    s.rawRecording = true; // a recording that runs can be stopped
    EXPECT_TRUE(commandEnabled(FrameCommand::SaveKsf, s));
    s.rawRecording = false;
    s.playbackMode = false;
    s.deviceConnected = true;
    s.projectOpen = false; // nowhere to record to
    EXPECT_FALSE(commandEnabled(FrameCommand::SaveKsf, s));
    // Cut KSF only splits a recording that runs.
    FrameState c = connectedProject();
    EXPECT_FALSE(commandEnabled(FrameCommand::CutKsf, c));
    c.rawRecording = true;
    EXPECT_TRUE(commandEnabled(FrameCommand::CutKsf, c));
}

TEST(FrameCommands, SwitchWindowIsDisabledWithOneFrequency) {
    FrameState s = connectedProject();
    s.frequencyCount = 2;
    EXPECT_TRUE(commandEnabled(FrameCommand::SwitchWindow, s));
    s.frequencyCount = 1;
    EXPECT_FALSE(commandEnabled(FrameCommand::SwitchWindow, s));
}

TEST(FrameCommands, LanguageSwitchOffersOnlyTheOtherLanguage) {
    FrameState en;
    en.english = true;
    EXPECT_TRUE(commandEnabled(FrameCommand::Chinese, en));
    EXPECT_FALSE(commandEnabled(FrameCommand::English, en));
    FrameState zh;
    zh.english = false;
    EXPECT_FALSE(commandEnabled(FrameCommand::Chinese, zh));
    EXPECT_TRUE(commandEnabled(FrameCommand::English, zh));
}

// The identifiers are what the resource files and saved toolbars refer to.
TEST(FrameCommands, IdentifiersTextsAndKeysOfTheTable) {
    struct Row {
        FrameCommand c;
        std::uint32_t id;
        const char* text;
        const char* keyEn;
        const char* keyZh;
    };
    const Row rows[] = {
        {FrameCommand::Project, 32776, "Project", "", ""},
        {FrameCommand::ConnectDevice, 32789, "Connect Device", "", ""},
        {FrameCommand::OpenFile, 32777, "Open File", "", ""},
        {FrameCommand::DeviceSettings, 32785, "Device Settings", "", ""},
        {FrameCommand::AlarmSettings, 32787, "Alarm Settings", "", ""},
        {FrameCommand::Start, 32779, "Start", "F1", "F1"},
        {FrameCommand::Stop, 32781, "Stop", "F2", "F2"},
        {FrameCommand::SaveKsf, 32783, "Save KSF", "F3", "F3"},
        {FrameCommand::CutKsf, 32810, "Cut KSF", "", "F4"},
        {FrameCommand::XtfFile, 32784, "XTF File", "F4", ""},
        {FrameCommand::CalibrationPressure, 32786, "Calibration Pressure", "", ""},
        {FrameCommand::SwitchWindow, 32782, "Switch Window", "F11", "F11"},
        {FrameCommand::Snapshot, 32788, "Snapshot", "F12", "F12"},
        {FrameCommand::Navigation, 32800, "Navigation", "", ""},
        {FrameCommand::Target, 32801, "Target", "", ""},
        {FrameCommand::About, 32812, "About", "", ""},
        {FrameCommand::Chinese, 32814, "Chinese", "", ""},
        {FrameCommand::English, 32816, "English", "", ""},
        {FrameCommand::ConversionTool, 32818, "Conversion Tool", "", ""},
        {FrameCommand::WindowReset, 32820, "Window Reset", "", ""},
    };
    ASSERT_EQ(std::size(rows), std::size_t(kFrameCommandCount));
    for (const Row& r : rows) {
        EXPECT_EQ(commandId(r.c), r.id) << r.text;
        EXPECT_EQ(commandFromId(r.id), r.c) << r.text;
        EXPECT_EQ(commandText(r.c, true), r.text);
        EXPECT_EQ(commandKey(r.c, true), r.keyEn) << r.text;
        EXPECT_EQ(commandKey(r.c, false), r.keyZh) << r.text;
    }
    EXPECT_FALSE(commandFromId(32000).has_value());
    // The toolbar: button index = image index, in the order operators know.
    const auto& bar = toolbarCommands();
    EXPECT_EQ(bar[0], FrameCommand::Project);
    EXPECT_EQ(bar[7], FrameCommand::SaveKsf);
    EXPECT_EQ(bar[8], FrameCommand::CutKsf);
    EXPECT_EQ(bar[13], FrameCommand::Target);
}

TEST(FrameCommands, RecordingPromptsSayWhatAPressWillDo) {
    FrameState s = connectedProject();
    EXPECT_EQ(commandPrompt(FrameCommand::SaveKsf, s), "Start Record to KSF files");
    EXPECT_EQ(commandPrompt(FrameCommand::XtfFile, s), "Start Record to XTF files");
    s.rawRecording = true;
    s.xtfRecording = true;
    EXPECT_EQ(commandPrompt(FrameCommand::SaveKsf, s), "Stop Record to KSF files");
    EXPECT_EQ(commandPrompt(FrameCommand::XtfFile, s), "Stop Record to XTF files");
    EXPECT_EQ(commandPrompt(FrameCommand::CutKsf, s), "Cut KSF");
    s.english = false;
    EXPECT_NE(commandPrompt(FrameCommand::SaveKsf, s), "Stop Record to KSF files");
    // Buttons 7 and 8 change image with the recording state.
    EXPECT_EQ(recordingButtonImages(false, false).rawImage, 7);
    EXPECT_EQ(recordingButtonImages(true, false).rawImage, 15);
    EXPECT_EQ(recordingButtonImages(false, false).xtfImage, 8);
    EXPECT_EQ(recordingButtonImages(false, true).xtfImage, 16);
}

TEST(FrameLayout, SwitchWindowCyclesAndABadStoredLayoutReadsAsHfOnly) {
    EXPECT_EQ(nextLayout(0), 1);
    EXPECT_EQ(nextLayout(1), 2);
    EXPECT_EQ(nextLayout(2), 0);
    EXPECT_EQ(effectiveLayout(7), 0);
    EXPECT_EQ(nextLayout(7), 1);
    EXPECT_EQ(effectiveLayout(-3), 0);
    EXPECT_TRUE(layoutRows(0).hfShown);
    EXPECT_FALSE(layoutRows(0).lfShown);
    EXPECT_FALSE(layoutRows(1).hfShown);
    EXPECT_TRUE(layoutRows(1).lfShown);
    EXPECT_TRUE(layoutRows(2).hfShown && layoutRows(2).lfShown);
    EXPECT_FALSE(layoutRows(3).lfShown);
}

// The sonar-data pane with state 2 must flash (white on red, then plain) and
// sound at every refresh; with state 3 it is a quiet green.
TEST(StatusDisplay, SonarDataAlarmAlternatesAndNormalIsGreen) {
    const PaneShow lost = dataPane(2, true);
    EXPECT_EQ(lost.text, "No Sonar Data");
    EXPECT_EQ(lost.style, PaneStyle::Alarm);
    EXPECT_TRUE(lost.beep);
    const PaneColours on = paneColours(lost.style, true);
    const PaneColours off = paneColours(lost.style, false);
    EXPECT_EQ(on.text, 0xFFFFFFu);
    EXPECT_EQ(on.background, 0xFF0000u);
    EXPECT_EQ(off.text, 0x000000u);
    EXPECT_EQ(off.background, 0xFFFFFFu);

    const PaneShow normal = dataPane(3, true);
    EXPECT_EQ(normal.text, "Sonar Data Normal");
    EXPECT_EQ(normal.style, PaneStyle::Green);
    EXPECT_FALSE(normal.beep);
    EXPECT_EQ(paneColours(PaneStyle::Green, true).background, 0x80FF00u);
    EXPECT_EQ(paneColours(PaneStyle::Green, false).background, 0x80FF00u);

    EXPECT_EQ(dataPane(1, true).style, PaneStyle::Yellow);
    EXPECT_FALSE(dataPane(1, true).beep);
    EXPECT_EQ(dataPane(0, true).text, "");
    EXPECT_EQ(dataPane(9, true).text, "");
    EXPECT_EQ(paneColours(PaneStyle::Yellow, false).background, 0xFFFF00u);
    EXPECT_EQ(paneColours(PaneStyle::Orange, false).background, 0xFF8000u);
}

TEST(StatusDisplay, ConnectionPane) {
    EXPECT_EQ(connectionPane(1, true).text, "Net not connected");
    const PaneShow lost = connectionPane(2, true);
    EXPECT_EQ(lost.text, "Net Disconnected");
    EXPECT_EQ(lost.style, PaneStyle::Alarm);
    EXPECT_TRUE(lost.beep);
    EXPECT_EQ(connectionPane(3, true).style, PaneStyle::Green);
    EXPECT_EQ(connectionPane(4, true).text, "Playback Mode");
    EXPECT_EQ(connectionPane(4, true).style, PaneStyle::Orange);
    EXPECT_EQ(connectionPane(0, true).text, "");
    EXPECT_EQ(connectionPane(-1, true).style, PaneStyle::Plain);
}

TEST(StatusDisplay, PositionPaneForEveryStateCode) {
    struct Row {
        int state;
        const char* text;
        PaneStyle style;
        bool beep;
    };
    using P = PaneStyle;
    const Row rows[] = {
        {0, "GPS device Unused", P::Yellow, false},  {1, "GPS serial disconnect", P::Alarm, true},
        {2, "GPS data error", P::Alarm, false},      {3, "GPS initialization", P::Alarm, true},
        {4, "GPS Stand Alone", P::Green, false},     {5, "GPS Stand Alone", P::Alarm, true},
        {6, "GPS Differential", P::Green, false},    {7, "GPS Differential", P::Alarm, true},
        {8, "GPS PPS Invalid", P::Alarm, false},     {9, "GPS RTK Fixed", P::Green, false},
        {10, "GPS RTK Float", P::Alarm, true},       {11, "GPS RTK Float", P::Green, false},
        {12, "GPS Reckoning", P::Alarm, true},       {13, "GPS Manual", P::Alarm, false},
        {14, "GPS Reckoning", P::Alarm, true},       {15, "GPS No data", P::Alarm, false},
        {16, "GPS Data Anomaly", P::Alarm, true},    {17, "No GPS data", P::Yellow, false},
        {18, "GPS initialization", P::Green, false}, {19, "No GPS data", P::Alarm, true},
        {20, "GPS Data Anomaly", P::Alarm, false},   {-1, "GPS Data Anomaly", P::Alarm, false},
    };
    for (const Row& r : rows) {
        const PaneShow s = positionPane(r.state, true);
        EXPECT_EQ(s.text, r.text) << r.state;
        EXPECT_EQ(s.style, r.style) << r.state;
        EXPECT_EQ(s.beep, r.beep) << r.state;
    }
    EXPECT_EQ(positionPane(14, false).text, "GPS 航位推算模式");
}

TEST(StatusDisplay, AltitudeAndTimeMessagePanes) {
    EXPECT_EQ(altitudePane(1, 12.34, true).text, "Altitude：12.3");
    EXPECT_EQ(altitudePane(1, 12.34, true).style, PaneStyle::Plain);
    EXPECT_EQ(altitudePane(2, 2.06, true).text, "Altitude：2.1");
    EXPECT_EQ(altitudePane(2, 2.06, true).style, PaneStyle::Alarm);
    EXPECT_TRUE(altitudePane(2, 2.06, true).beep);
    EXPECT_EQ(altitudePane(3, 20.0, false).text, "高度：20.0");
    EXPECT_EQ(altitudePane(3, 20.0, false).style, PaneStyle::Green);
    EXPECT_EQ(altitudePane(0, 20.0, true).text, "");
    EXPECT_EQ(altitudePane(4, 20.0, true).text, "");

    EXPECT_EQ(timeMessagePane(true, true).text, "No ZDA data");
    EXPECT_EQ(timeMessagePane(true, true).style, PaneStyle::Yellow);
    EXPECT_EQ(timeMessagePane(false, true).text, "");

    // One refresh beeps while any pane asks for it, and only then.
    StatusInputs in;
    in.gpsState = 4;
    in.connectionState = 3;
    in.dataState = 3;
    EXPECT_FALSE(statusPanes(in).beep());
    in.dataState = 2;
    EXPECT_TRUE(statusPanes(in).beep());
    EXPECT_EQ(statusPanes(in).panes[3].text, "No Sonar Data");

    EXPECT_EQ(modelPaneText("QM-302", true), "Model:QM-302");
    EXPECT_EQ(modelPaneText("QM-302", false), "型号：QM-302");
    EXPECT_EQ(identifierPaneText("A17"), "ID：A17");
    EXPECT_EQ(playbackPaneText(true), "Playback mode");
}

TEST(PingParameterPanel, CodesBecomeTheOperatorsTexts) {
    PingParameterCodes c;
    c.year = 2024;
    c.month = 1;
    c.day = 31;
    c.hour = 4;
    c.minute = 5;
    c.second = 9;
    c.pressure = 1013;
    c.rangeMetres = 75;
    c.powerFlag = '1';
    c.powerCode = '3';
    c.signal = '2';
    c.pulse = 'a';
    c.gain = 12;
    c.spreading = 15;
    c.absorption = 40;
    PingParameterTexts t = formatPingParameters(c, true);
    EXPECT_EQ(t.date, "2024-01-31");
    EXPECT_EQ(t.time, "04:05:09");
    EXPECT_EQ(t.pressure, "1013 mbar");
    EXPECT_EQ(t.range, "75 m");
    EXPECT_EQ(t.power, "190 dB");
    EXPECT_EQ(t.signal, "LFM");
    EXPECT_EQ(t.pulse, "8000 us");
    EXPECT_EQ(t.gain, "12 dB");
    EXPECT_EQ(t.spreading, "15 dB");
    EXPECT_EQ(t.absorption, "40 dB/km");

    c.pressure = 35001; // no sensor reading
    c.powerCode = '9';
    c.signal = '1';
    c.pulse = '4';
    t = formatPingParameters(c, true);
    EXPECT_EQ(t.pressure, "None");
    EXPECT_EQ(t.power, "220 dB");
    EXPECT_EQ(t.signal, "CW");
    EXPECT_EQ(t.pulse, "100 us");
    c.powerCode = 'x';
    c.signal = '3';
    c.pulse = 'b';
    t = formatPingParameters(c, true);
    EXPECT_EQ(t.power, "None");
    EXPECT_EQ(t.signal, "None");
    EXPECT_EQ(t.pulse, "None");
    c.powerFlag = '0';
    EXPECT_EQ(formatPingParameters(c, true).power, "Off");
    EXPECT_EQ(formatPingParameters(c, false).power, "关");
}

TEST(PingParameterPanel, CommandedSettingsGiveTheCodes) {
    acquisition::PingHeader h;
    h.year = 2026;
    h.month = 12;
    h.day = 7;
    h.hour = 23;
    h.minute = 59;
    h.second = 58;
    SonarParameterSet set;
    set.powerLevel = 5;  // 200 dB: code '5'
    set.pulseLevel = 4;  // 100 us: code '4'
    set.signalShape = 1; // CW
    set.gainLevel = 7;
    set.setSpreadingLevel(5);   // 15 dB
    set.setAbsorptionLevel(30); // 40 dB/km
    const PingParameterTexts t = formatPingParameters(pingParameterCodes(h, set, 50), true);
    EXPECT_EQ(t.date, "2026-12-07");
    EXPECT_EQ(t.time, "23:59:58");
    EXPECT_EQ(t.range, "50 m");
    EXPECT_EQ(t.power, "200 dB");
    EXPECT_EQ(t.pulse, "100 us");
    EXPECT_EQ(t.signal, "CW");
    EXPECT_EQ(t.gain, "7 dB");
    EXPECT_EQ(t.spreading, "15 dB");
    EXPECT_EQ(t.absorption, "40 dB/km");
    EXPECT_EQ(t.pressure, "None");
    set.powerLevel = 0;
    EXPECT_EQ(formatPingParameters(pingParameterCodes(h, set, 50), true).power, "Off");
}

// Mended: the panel kept the page's commanded range after a live change and
// in playback; the ping's own range window says what it was made with.
TEST(PingParameterPanel, RangeFromThePingHeader) {
    acquisition::PingHeader h;
    EXPECT_EQ(pingRangeMetres(h, 1500.0, 50), 50); // no window: the commanded range
    h.port.sampleRate = 54000;
    h.port.rangeWindow = 3600; // 3600 / 54000 s two-way at 1500 m/s: 50 m
    EXPECT_EQ(pingRangeMetres(h, 1500.0, 75), 50);
    h.port.rangeWindow = 10800; // 150 m
    EXPECT_EQ(pingRangeMetres(h, 1500.0, 50), 150);
    EXPECT_EQ(pingRangeMetres(h, 1450.0, 50), 145);
    EXPECT_EQ(pingRangeMetres(h, 0.0, 50), 50);
}

// Local time of the snapshot: the test pins the zone so the clock is fixed.
class SnapshotFile : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        savedTz_ = tz ? tz : "";
        hadTz_ = tz != nullptr;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        messenger_.setSink(&sink_);
        messenger_.setEnglish(true);
    }
    void TearDown() override {
        if (hadTz_)
            ::setenv("TZ", savedTz_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    static ScreenPixels picture(int w, int h) {
        ScreenPixels p;
        p.width = w;
        p.height = h;
        for (int i = 0; i < w * h * 4; ++i)
            p.rows.push_back(static_cast<std::uint8_t>(i * 7));
        return p;
    }
    static std::vector<std::uint8_t> bytesOf(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t off) {
        return b[off] | b[off + 1] << 8 | b[off + 2] << 16 | std::uint32_t(b[off + 3]) << 24;
    }

    // 2024-01-31 14:25:01 UTC: 19753 days after 1970-01-01, then 51901 s.
    static constexpr std::time_t kAt = 19753LL * 86400 + 14 * 3600 + 25 * 60 + 1;
    RecordingMessageSink sink_;
    Messenger messenger_;
    std::string savedTz_;
    bool hadTz_ = false;
};

TEST_F(SnapshotFile, NamedByLocalTimeAndStartsWithTheBitmapHeader) {
    TempFolder project;
    const ScreenPixels p = picture(3, 2);
    const auto path = writeSnapshot(project.path(), kAt, p, messenger_);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, project.path() + "/20240131_142501.jpg");
    const auto b = bytesOf(*path);
    ASSERT_EQ(b.size(), 54u + 3 * 2 * 4);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(u32(b, 2), 54u + 24u); // file size
    EXPECT_EQ(u32(b, 10), 54u);      // pixel offset
    EXPECT_EQ(u32(b, 14), 40u);      // information header size
    EXPECT_EQ(u32(b, 18), 3u);
    EXPECT_EQ(u32(b, 22), 2u);
    EXPECT_EQ(b[26] | b[27] << 8, 1);  // planes
    EXPECT_EQ(b[28] | b[29] << 8, 32); // bits per pixel
    EXPECT_EQ(u32(b, 34), 24u);
    EXPECT_TRUE(std::equal(p.rows.begin(), p.rows.end(), b.begin() + 54));
    EXPECT_EQ(sink_.count(), 0u);
}

// Two presses of F12 within one second must not overwrite the first picture.
TEST_F(SnapshotFile, ASecondSnapshotInTheSameSecondKeepsTheFirst) {
    TempFolder project;
    ASSERT_TRUE(writeSnapshot(project.path(), kAt, picture(2, 2), messenger_));
    const auto second = writeSnapshot(project.path(), kAt, picture(4, 4), messenger_);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(*second, project.path() + "/20240131_142501_1.jpg");
    EXPECT_EQ(bytesOf(project.path() + "/20240131_142501.jpg").size(), 54u + 16u);
}

TEST_F(SnapshotFile, MissingProjectFolderShowsTheMessageAndWritesNothing) {
    TempFolder parent;
    const std::string gone = parent.file("deleted-project");
    EXPECT_FALSE(writeSnapshot(gone, kAt, picture(2, 2), messenger_).has_value());
    ASSERT_EQ(sink_.count(), 1u);
    EXPECT_EQ(sink_.messages()[0].text,
              "Failed to create .Jpg file. Please check the project path and disk space!");
    EXPECT_FALSE(fs::exists(gone));
    // A picture whose rows do not match its size is refused, not written short.
    ScreenPixels bad = picture(4, 4);
    bad.rows.resize(10);
    TempFolder project;
    EXPECT_FALSE(writeSnapshot(project.path(), kAt, bad, messenger_).has_value());
    EXPECT_TRUE(fs::is_empty(project.path()));
}

// A disk that fills during the write leaves no half picture behind.
TEST_F(SnapshotFile, AWriteThatFailsLeavesNoFile) {
    TempFolder project;
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto path = writeSnapshot(project.path(), kAt, picture(64, 64), messenger_);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(path.has_value());
    EXPECT_EQ(sink_.count(), 1u);
    EXPECT_TRUE(fs::is_empty(project.path()));
}

} // namespace
} // namespace kestrova::app
