// The main frame's position input, offscreen, with a UDP sender on loopback:
// the INSPara section of SysCfg.ini in the program folder opens the channel at
// start-up; the device parameters dialog's OK reaches the channel only through
// the main frame's messages 1552 (open or reopen) and 1553 (stop); status pane
// 3 tells when the time messages (ZDA) stopped for more than 3 s.

// Before any Qt header: Qt's "emit" keyword would hide a member of the same name.
#include "tools/nav-sim/nav_model.h"

#include "app/ui/device_dialogs.h"
#include "app/ui/main_window.h"
#include "platform/tests/temp_folder.h"
#include "platform/udp_socket.h"
#include "position/navigation_input.h"
#include "position/ui/ins_device_dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include "app/tests/ui/window_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>

namespace kestrova::app::ui {
namespace {

using test::binFolder;
using test::copyResources;
using test::waitFor;

namespace fs = std::filesystem;
using position::NavigationInput;

// Lets the event loop run for a while (the sender's pace, never a check).
void pumpFor(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A loopback UDP port nobody holds right now.
std::uint16_t freeUdpPort() {
    platform::UdpSocket s;
    if (!s.open() || !s.bind({0x7F000001, 0})) return 0;
    return s.localPort();
}

bool portTaken(std::uint16_t port) {
    platform::UdpSocket s;
    return !(s.open() && s.bind({0x7F000001, port}));
}

void send(std::uint16_t port, const std::string& text) {
    platform::UdpSocket s;
    ASSERT_TRUE(s.open());
    s.sendTo(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()),
                                           text.size()),
             {0x7F000001, port});
}

std::string gga(double latitude) {
    navsim::GgaData g;
    const std::time_t now = std::time(nullptr);
    g.utcSecondsOfDay = static_cast<double>(now % 86400);
    g.latitude = latitude;
    g.longitude = 120.0;
    return navsim::ggaSentence(g);
}

std::string zda() {
    return navsim::zdaSentence(static_cast<double>(std::time(nullptr)));
}

// "New Project" in the preset location, so the project commands are enabled.
class NewProjectDialogs : public ProjectDialogs {
  public:
    ManageChoice showManageDialog() override { return ManageChoice::NewProject; }
    std::optional<NewProjectEntry> showNewProjectDialog(const NewProjectEntry& preset) override {
        return NewProjectEntry{"Positions", preset.location};
    }
    std::optional<std::string> chooseProjectFile(const OpenProjectRequest&) override {
        return std::nullopt;
    }
};

// Works the device parameters dialog once it shows, then presses OK.
class DialogOperator {
  public:
    explicit DialogOperator(std::function<void(CFitPara&)> act) : act_(std::move(act)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<CFitPara*>(QApplication::activeModalWidget());
            if (!dialog) return;
            timer_.stop();
            act_(*dialog);
            dialog->accept();
            done_ = true;
        });
        timer_.start();
    }
    bool done() const { return done_; }

  private:
    std::function<void(CFitPara&)> act_;
    QTimer timer_;
    bool done_ = false;
};

class MainFramePosition : public test::WindowFixture {
  protected:
    void TearDown() override {
        drovanta_.terminate();
        WindowFixture::TearDown();
    }
    // SysCfg.ini with the sonar nowhere and the position input on UDP `port`.
    void writeSystemConfig(std::uint16_t port) {
        std::ofstream(program_.file("SysCfg.ini"))
            << "[Net]\r\nIP=127.0.0.1\r\nPORT1=1\r\nPORT2=1\r\n"
            << "[INSPara]\r\nINS_ModeSelect=1\r\nINS_Ip=16777343\r\nINS_Port=" << port
            << "\r\nINS_NetType=0\r\nINS_DataType=0\r\n";
    }
};

// Guards: the window starting without the position input SysCfg.ini asks for;
// the dialog's new port never reaching the channel (or reaching it without the
// main frame's message); 1553 leaving the socket open; a "Close" choice
// keeping the old channel.
TEST_F(MainFramePosition, SystemSettingsOpenTheInputAndTheDialogRestartsAndStopsIt) {
    const std::uint16_t first = freeUdpPort();
    ASSERT_NE(first, 0);
    writeSystemConfig(first);
    Configuration config(program_.path());
    config.LoadSystemConfig();
    config.messenger().setEnglish(true);
    NewProjectDialogs dialogs;
    MainFrameOptions options;
    options.projectDialogs = &dialogs;
    CMainFrame window(config, drovanta_, options);
    RecordingMessageSink messages;
    config.messenger().setSink(&messages);
    window.show();
    NavigationInput& nav = window.session().navigation();

    // Open at start, on the port of SysCfg.ini, and reading.
    ASSERT_TRUE(waitFor([&] { return nav.udpOpen(); }, 5));
    EXPECT_EQ(nav.boundPort(), first);
    send(first, zda() + gga(30.25));
    ASSERT_TRUE(waitFor([&] { return nav.messagesAccepted() >= 2; }, 10));
    EXPECT_NEAR(nav.displaySnapshot().latitude, 30.25, 1e-6);

    // The project (a new one keeps the settings in force) enables Device Settings.
    ASSERT_TRUE(waitFor([&] { return window.session().projects().projectOpen(); }, 5));
    ASSERT_TRUE(nav.udpOpen());
    const std::string projectIni = *window.projectConfigPath();

    // The operator moves the input to another port.
    const std::uint16_t second = freeUdpPort();
    ASSERT_NE(second, 0);
    ASSERT_NE(second, first);
    {
        DialogOperator op([&](CFitPara& dialog) {
            dialog.findChild<QRadioButton*>("modeNet")->click();
            dialog.networkDialog()->addressEdit()->setText("127.0.0.1");
            dialog.networkDialog()->portEdit()->setValue(second);
            dialog.networkDialog()->typeButton(position::kNetUdp)->setChecked(true);
            dialog.findChild<QComboBox*>("protocol")->setCurrentIndex(0);
        });
        window.runCommand(FrameCommand::DeviceSettings);
        ASSERT_TRUE(op.done());
    }
    EXPECT_EQ(config.ins.port, second);
    ASSERT_TRUE(waitFor([&] { return nav.udpOpen() && nav.boundPort() == second; }, 5));
    EXPECT_FALSE(portTaken(first)); // the old socket is gone
    const std::uint64_t before = nav.messagesAccepted();
    send(second, zda() + gga(31.5));
    ASSERT_TRUE(waitFor([&] { return nav.messagesAccepted() >= before + 2; }, 10));
    EXPECT_NEAR(nav.displaySnapshot().latitude, 31.5, 1e-6);

    // 1553 stops the input although the settings still ask for the network;
    // 1552 opens it again for them.
    window.queue().post(window.windowHandle(), position::nav_message::kStopPositionInput);
    ASSERT_TRUE(waitFor([&] { return !nav.udpOpen(); }, 5));
    EXPECT_FALSE(portTaken(second));
    window.queue().post(window.windowHandle(), position::nav_message::kApplyPositionSettings);
    ASSERT_TRUE(waitFor([&] { return nav.udpOpen() && nav.boundPort() == second; }, 5));

    // "Close": the page stops the input and the project keeps the choice.
    {
        DialogOperator op(
            [&](CFitPara& dialog) { dialog.findChild<QRadioButton*>("modeClose")->click(); });
        window.runCommand(FrameCommand::DeviceSettings);
        ASSERT_TRUE(op.done());
    }
    ASSERT_TRUE(waitFor([&] { return !nav.udpOpen(); }, 5));
    EXPECT_EQ(config.ins.modeSelect, position::kModeNoDevice);
    EXPECT_FALSE(portTaken(second));
    std::ifstream in(projectIni);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("INS_ModeSelect=0"), std::string::npos) << text;
    for (const auto& m : messages.messages())
        if (m.text != "Create the new project succesfully!")
            ADD_FAILURE() << "operator was told: " << m.text;
    config.messenger().setSink(nullptr);
}

// Guards: pane 3 fed by nothing (never yellow), or by the sentence count
// instead of the time messages (yellow while GGA+ZDA flows, or never while
// only GGA comes).
TEST_F(MainFramePosition, PaneThreeTellsWhenTheTimeMessagesStop) {
    const std::uint16_t port = freeUdpPort();
    ASSERT_NE(port, 0);
    writeSystemConfig(port);
    Configuration config(program_.path());
    config.LoadSystemConfig();
    config.messenger().setEnglish(true);
    MainFrameOptions options;
    options.offerLastProject = false;
    CMainFrame window(config, drovanta_, options);
    window.show();
    NavigationInput& nav = window.session().navigation();
    ASSERT_TRUE(waitFor([&] { return nav.udpOpen(); }, 5));
    QLabel* pane = window.statusPane(3);

    // GGA+ZDA at 5 Hz for longer than the 3 s limit: the pane stays empty.
    const auto flowing = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - flowing < std::chrono::milliseconds(3600)) {
        send(port, zda() + gga(30.0));
        pumpFor(200);
    }
    ASSERT_TRUE(nav.lastTimeMessageTick().has_value());
    window.refreshStatus();
    EXPECT_EQ(pane->text().toStdString(), "");
    EXPECT_EQ(pane->styleSheet().toStdString(), "color: #000000; background: #ffffff;");

    // GGA alone: after 3 s without a ZDA the pane says so, in yellow.
    const std::uint64_t positionsBefore = nav.messagesAccepted();
    ASSERT_TRUE(waitFor(
        [&] {
            send(port, gga(30.0));
            pumpFor(200);
            window.refreshStatus();
            return pane->text() == "No ZDA data";
        },
        15));
    EXPECT_EQ(pane->styleSheet().toStdString(), "color: #000000; background: #ffff00;");
    EXPECT_GT(nav.messagesAccepted(), positionsBefore); // positions kept coming

    // The time messages come back: the pane is empty again.
    ASSERT_TRUE(waitFor(
        [&] {
            send(port, zda() + gga(30.0));
            pumpFor(100);
            window.refreshStatus();
            return pane->text().isEmpty();
        },
        10));
}

// Guards: the main frame never taking the track on 0x467, so the navigation
// pane stays empty while positions flow.
TEST_F(MainFramePosition, FixesReachTheNavigationPane) {
    const std::uint16_t port = freeUdpPort();
    ASSERT_NE(port, 0);
    writeSystemConfig(port);
    Configuration config(program_.path());
    config.LoadSystemConfig();
    config.messenger().setEnglish(true);
    MainFrameOptions options;
    options.offerLastProject = false;
    CMainFrame window(config, drovanta_, options);
    window.show();
    NavigationInput& nav = window.session().navigation();
    ASSERT_TRUE(waitFor([&] { return nav.udpOpen(); }, 5));
    const navigation::NaviModel& map = window.navigationView()->model();
    double latitude = 30.0;
    ASSERT_TRUE(waitFor(
        [&] {
            latitude += 0.00001; // about 1.1 m north each time
            send(port, zda() + gga(latitude));
            pumpFor(250);
            return map.track().size() >= 3;
        },
        15));
    EXPECT_GT(map.track().back().north, map.track().front().north);
    window.runCommand(FrameCommand::Navigation);
    EXPECT_TRUE(window.navigationPane()->isVisible());
}

} // namespace
} // namespace kestrova::app::ui
