// The main frame as the operator uses it, offscreen, against the sonar
// simulator on loopback: a project created in a temporary home through the
// Project command, Connect Device and Start, "Save KSF" toggled on and off,
// and a .ksf found in the project's Data folder; the commands follow their
// rules on the way; F12 writes the bitmap snapshot into the project folder.

#include "app/ui/control_pages.h"
#include "app/ui/main_window.h"
#include "app/ui/page_disk.h"
#include "app/ui/page_sonar_para_set.h"
#include "display/ui/page_bottom_tracking.h"
#include "display/ui/page_display_set.h"
#include "platform/tests/temp_folder.h"
#include "tools/sonar-sim/sim_process.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDockWidget>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>

#include "app/tests/ui/window_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

namespace kestrova::app::ui {
namespace {

using test::binFolder;
using test::copyResources;
using test::waitFor;

using acquisition::Frequency;
namespace fs = std::filesystem;

// "New Project" with the name typed by the operator, in the preset location.
class NewProjectDialogs : public ProjectDialogs {
  public:
    explicit NewProjectDialogs(std::string name) : name_(std::move(name)) {}
    ManageChoice showManageDialog() override { return ManageChoice::NewProject; }
    std::optional<NewProjectEntry> showNewProjectDialog(const NewProjectEntry& preset) override {
        location = preset.location;
        return NewProjectEntry{name_, preset.location};
    }
    std::optional<std::string> chooseProjectFile(const OpenProjectRequest&) override {
        return std::nullopt;
    }
    std::string location;

  private:
    std::string name_;
};

using MainFrameWindow = test::WindowFixture;

// Quitting while the sonar pings sends the stop line once, as the last line.
TEST_F(MainFrameWindow, QuitWhilePingingSendsTheStopLineOnce) {
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--speed", "4"}));
    Configuration config(program_.path());
    config.system.commandPort = sim.commandPort;
    config.system.dataPort = sim.dataPort;
    config.messenger().setEnglish(true);
    MainFrameOptions options;
    options.offerLastProject = false;
    {
        CMainFrame window(config, drovanta_, options);
        RecordingMessageSink messages;
        config.messenger().setSink(&messages);
        window.show();
        window.connectSonar();
        ASSERT_TRUE(waitFor(
            [&] {
                return window.acquisition().status().sonarRunning.load() &&
                       window.view(Frequency::HF).pipeline().pingsReceived() > 5;
            },
            10));
        window.quitWithoutAsking();
        EXPECT_TRUE(window.close());
        EXPECT_TRUE(window.quitting());
        window.close(); // a second request during shut-down does nothing
    }
    ASSERT_TRUE(sim.stop());
    const auto lines = sim.commandLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "$cmd,sysrun,1*ff\\r\\n"), lines.end());
    EXPECT_EQ(lines.back(), "$cmd,sysrun,0*ff\\r\\n");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "$cmd,sysrun,0*ff\\r\\n"), 1);
}

TEST_F(MainFrameWindow, ProjectConnectStartAndSaveKsfRecordIntoTheDataFolder) {
    sim::SimProcess sim;
    ASSERT_TRUE(sim.start({"--speed", "4"}));
    Configuration config(program_.path());
    config.system.commandPort = sim.commandPort;
    config.system.dataPort = sim.dataPort;
    config.messenger().setEnglish(true);
    NewProjectDialogs dialogs("Survey1");
    MainFrameOptions options;
    options.projectDialogs = &dialogs;
    {
        CMainFrame window(config, drovanta_, options);
        RecordingMessageSink messages;
        config.messenger().setSink(&messages);
        window.show();
        EXPECT_EQ(window.windowTitle().toStdString(), "Kestrova--No project");
        // Nothing that needs a project is offered before one exists.
        EXPECT_TRUE(window.action(FrameCommand::Project)->isEnabled());
        EXPECT_FALSE(window.action(FrameCommand::ConnectDevice)->isEnabled());
        EXPECT_FALSE(window.action(FrameCommand::Snapshot)->isEnabled());
        // Start-up 1125: Kestrova.ini names no project, so the project dialogs follow.
        ASSERT_TRUE(waitFor([&] { return window.session().projects().projectOpen(); }, 5));
        const std::string project = home_.path() + "/KestrovaData/Survey1";
        EXPECT_EQ(window.windowTitle().toStdString(), "Kestrova--" + project + "/Survey1.ksp");
        EXPECT_TRUE(fs::is_directory(project + "/Data"));
        EXPECT_TRUE(window.action(FrameCommand::ConnectDevice)->isEnabled());
        EXPECT_FALSE(window.action(FrameCommand::Start)->isEnabled()); // no device yet
        EXPECT_FALSE(window.action(FrameCommand::SaveKsf)->isEnabled());

        window.action(FrameCommand::ConnectDevice)->trigger();
        ASSERT_TRUE(waitFor(
            [&] {
                window.refreshCommands();
                return window.action(FrameCommand::Start)->isEnabled();
            },
            10));
        window.action(FrameCommand::Start)->trigger();
        ASSERT_TRUE(waitFor([&] { return window.acquisition().status().sonarRunning.load(); }, 5));
        window.refreshCommands();
        EXPECT_FALSE(window.action(FrameCommand::Start)->isEnabled());
        EXPECT_TRUE(window.action(FrameCommand::Stop)->isEnabled());
        EXPECT_FALSE(window.action(FrameCommand::Project)->isEnabled()); // running

        ASSERT_TRUE(window.action(FrameCommand::SaveKsf)->isEnabled());
        EXPECT_EQ(window.action(FrameCommand::SaveKsf)->toolTip().toStdString(),
                  "Start Record to KSF files");
        window.action(FrameCommand::SaveKsf)->trigger();
        ASSERT_TRUE(window.session().rawRecorder().recording())
            << (messages.count() ? messages.messages().back().text : std::string());
        EXPECT_EQ(window.action(FrameCommand::SaveKsf)->toolTip().toStdString(),
                  "Stop Record to KSF files");
        EXPECT_TRUE(window.action(FrameCommand::CutKsf)->isEnabled());
        const auto before = window.session().rawRecorder().counters().frames.load();
        ASSERT_TRUE(waitFor(
            [&] { return window.session().rawRecorder().counters().frames.load() >= before + 20; },
            10));
        window.action(FrameCommand::Stop)->trigger();
        window.action(FrameCommand::SaveKsf)->trigger();
        EXPECT_FALSE(window.session().rawRecorder().recording());
        window.refreshCommands();
        EXPECT_TRUE(window.action(FrameCommand::Project)->isEnabled());

        std::vector<fs::path> recordings;
        for (const auto& e : fs::directory_iterator(project + "/Data"))
            if (e.path().extension() == ".ksf") recordings.push_back(e.path());
        ASSERT_EQ(recordings.size(), 1u);
        // A recording: its header and the frames after it, starting with 0x0F "KSF".
        EXPECT_GT(fs::file_size(recordings[0]), 1024u);
        std::ifstream in(recordings[0], std::ios::binary);
        char magic[4] = {};
        in.read(magic, 4);
        EXPECT_EQ(magic[0], '\x0F');
        EXPECT_EQ(std::string(magic + 1, 3), "KSF");

        // The status bar follows the live session.
        window.refreshStatus();
        EXPECT_EQ(window.statusPane(5)->text().toStdString(), "Net Connected");
        EXPECT_EQ(window.statusPane(2)->text().left(6).toStdString(), "Slant:");

        // F12: a JPEG of the main window (mended: a bitmap of the whole screen
        // under the .jpg name) into the project folder, named by the (fixed)
        // local time; the status bar says where it went.
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        window.setClock([] { return std::time_t{19753LL * 86400 + 14 * 3600 + 25 * 60 + 1}; });
        window.action(FrameCommand::Snapshot)->trigger();
        const std::string shot = project + "/20240131_142501.jpg";
        ASSERT_TRUE(fs::exists(shot));
        std::ifstream picture(shot, std::ios::binary);
        char soi[3] = {};
        picture.read(soi, 3);
        EXPECT_EQ(std::string(soi, 3), "\xFF\xD8\xFF");
        const QImage read(QString::fromStdString(shot), "JPG");
        EXPECT_EQ(read.size(), window.size());
        EXPECT_TRUE(window.statusPane(2)->text().contains(QString::fromStdString(shot)));
        // Playback of the recording: the sonar page is closed and Save KSF
        // refused (mended: it started a recording that stayed empty); Connect
        // Device leaves playback and opens the page again.
        window.setPlaybackChooser([&] { return recordings[0].string(); });
        window.action(FrameCommand::OpenFile)->trigger();
        ASSERT_TRUE(window.session().playbackMode());
        window.refreshCommands();
        EXPECT_FALSE(window.sonarPage()->isEnabled());
        EXPECT_FALSE(window.action(FrameCommand::SaveKsf)->isEnabled());
        window.action(FrameCommand::ConnectDevice)->trigger();
        EXPECT_FALSE(window.session().playbackMode());
        EXPECT_TRUE(window.sonarPage()->isEnabled());
        config.messenger().setSink(nullptr);
    }
    sim.stop();
}

// Switch Window walks the three layouts and a one-frequency model has none to switch.
TEST_F(MainFrameWindow, SwitchWindowLayoutsAndTheControlPane) {
    Configuration config(program_.path());
    config.messenger().setEnglish(true);
    config.system.commandPort = 1; // nothing listens: the window stays unconnected
    config.system.dataPort = 1;
    NewProjectDialogs dialogs("Layouts");
    MainFrameOptions options;
    options.projectDialogs = &dialogs;
    CMainFrame window(config, drovanta_, options);
    RecordingMessageSink messages;
    config.messenger().setSink(&messages);
    window.resize(900, 700);
    window.show();
    ASSERT_TRUE(waitFor([&] { return window.session().projects().projectOpen(); }, 5));

    // The Control pane holds the sheet with its five pages in the operators' order.
    ASSERT_NE(window.controlPane(), nullptr);
    ASSERT_EQ(window.controlSheet()->count(), 5);
    const char* pages[] = {"Sonar parameter", "Display settings", "Storage and playback",
                           "Altitude Tracker", "Status information"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(window.controlSheet()->tabText(i).toStdString(), pages[i]);
    // A page's choice stays with the project.
    window.controlSheet()->setCurrentIndex(3);
    window.controlPages().bottomPage()->onOffBox()->click();
    window.controlPages().bottomPage()->manualButton()->click();
    const auto projectConfig = window.session().projects().current().configPath();
    ASSERT_TRUE(projectConfig);
    const std::string saved = kestrova::testing::readText(*projectConfig);
    EXPECT_NE(saved.find("BT_bOn=1"), std::string::npos);
    EXPECT_NE(saved.find("BT_iuAlertGps=5"), std::string::npos);

    // A one-frequency sonar identified: one waterfall, and the pages drop their LF parts.
    config.device.SetModelNumber(ModelNumberFromIdentifier("QM-104"));
    config.device.ApplyDeviceModel();
    ASSERT_TRUE(waitFor([&] { return !window.waterfall(Frequency::LF).isVisible(); }, 5));
    EXPECT_TRUE(window.waterfall(Frequency::HF).isVisible());
    EXPECT_TRUE(window.controlPages().displayPage()->invertBox(Frequency::LF)->isHidden());
    display::ui::CPageBottomTracking* bottom = window.controlPages().bottomPage();
    bottom->sonarDataButton()->click();
    EXPECT_FALSE(bottom->lfButton()->isVisibleTo(bottom));
    config.device.SetModelNumber(ModelNumberFromIdentifier("QM-302"));
    config.device.ApplyDeviceModel();
    ASSERT_TRUE(waitFor([&] { return window.waterfall(Frequency::LF).isVisible(); }, 5));

    config.device.FrequencyLayout = kLayoutBoth;
    window.applyLayout();
    window.refreshCommands();
    ASSERT_TRUE(window.action(FrameCommand::SwitchWindow)->isEnabled());
    window.action(FrameCommand::SwitchWindow)->trigger(); // 2 -> 0: HF only
    EXPECT_EQ(config.device.FrequencyLayout, 0);
    EXPECT_TRUE(window.waterfall(Frequency::HF).isVisible());
    EXPECT_FALSE(window.waterfall(Frequency::LF).isVisible());
    window.action(FrameCommand::SwitchWindow)->trigger(); // 1: LF only
    EXPECT_FALSE(window.waterfall(Frequency::HF).isVisible());
    EXPECT_TRUE(window.waterfall(Frequency::LF).isVisible());
    window.action(FrameCommand::SwitchWindow)->trigger(); // 2: both
    EXPECT_TRUE(window.waterfall(Frequency::HF).isVisible());
    EXPECT_TRUE(window.waterfall(Frequency::LF).isVisible());

    config.device.frequencyCount = 1;
    window.refreshCommands();
    EXPECT_FALSE(window.action(FrameCommand::SwitchWindow)->isEnabled());
    window.runCommand(FrameCommand::SwitchWindow); // F11 does nothing
    EXPECT_EQ(config.device.FrequencyLayout, 2);
    // No sonar: Start and Save KSF stay refused.
    EXPECT_FALSE(window.action(FrameCommand::Start)->isEnabled());
    EXPECT_FALSE(window.action(FrameCommand::SaveKsf)->isEnabled());
    config.messenger().setSink(nullptr);
}

// Quit: the close button and Quit ask "Quit Kestrova?"; Cancel keeps the
// threads running, OK stops them, and a second close during the shut-down
// asks nothing more.
TEST_F(MainFrameWindow, QuitAsksAndOkStopsEverything) {
    Configuration config(program_.path());
    config.messenger().setEnglish(true);
    config.system.commandPort = 1; // nothing listens
    config.system.dataPort = 1;
    MainFrameOptions options;
    options.offerLastProject = false;
    CMainFrame window(config, drovanta_, options);
    RecordingMessageSink messages;
    config.messenger().setSink(&messages);
    window.show();
    ASSERT_TRUE(window.acquisition().threadsRunning());

    messages.setAnswer(IDCANCEL);
    window.close();
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(messages.messages().back().text, "Quit Kestrova?");
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.quitting());
    EXPECT_TRUE(window.acquisition().threadsRunning());

    messages.setAnswer(IDOK);
    QAction* quit = window.findChild<QAction*>("commandQuit");
    ASSERT_NE(quit, nullptr);
    quit->trigger();
    EXPECT_EQ(messages.count(), 2u);
    EXPECT_TRUE(window.quitting());
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.acquisition().threadsRunning());
    window.show();
    window.close(); // a late close request: nothing asked, nothing done
    EXPECT_EQ(messages.count(), 2u);
    config.messenger().setSink(nullptr);
}

} // namespace
} // namespace kestrova::app::ui
