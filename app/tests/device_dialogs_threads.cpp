// The calibration and advanced settings dialogs' rules against the sonar
// simulator over loopback, through the real device session and receive
// thread: the lines must reach the sonar in the right order and the sonar's
// pressure reply must come back to the calibration dialog as message 1156.

#include "acquisition/device_session.h"
#include "app/adjust_pressure.h"
#include "app/hide_advanced.h"
#include "platform/tests/temp_folder.h"
#include "tools/sonar-sim/sim_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

namespace kestrova::app {
namespace {

using kestrova::testing::TempFolder;

class WithSimulator : public ::testing::Test {
  protected:
    void SetUp() override {
        messenger.setEnglish(true);
        messenger.setSink(&messages);
        ASSERT_TRUE(sim.start({"--speed", "4"}));
        acquisition::SonarNetSettings net;
        net.commandPort = sim.commandPort;
        net.dataPort = sim.dataPort;
        config = std::make_unique<Configuration>(program.path(), messenger);
        acq = std::make_unique<acquisition::SonarAcquisition>(queue, net);
        session = std::make_unique<acquisition::DeviceSession>(*config, *acq);
        acq->setReplySink(session.get());
        ASSERT_TRUE(acq->startThreads());
        ASSERT_TRUE(session->connect_sonar());
        calibration = std::make_unique<PressureCalibration>(*session, messenger);
        // The calibration dialog's window, as the Qt dialog registers it.
        dialogWindow = queue.registerWindow([this](const platform::WindowMessage& m) {
            if (m.id == kMsgPressureReply)
                calibration->pressureReply(static_cast<int>(static_cast<std::intptr_t>(m.wParam)));
        });
        session->setPressureDialog(dialogWindow);
        messages.clear();
    }
    void TearDown() override {
        if (acq) acq->shutDown();
        queue.unregisterWindow(dialogWindow);
        session.reset();
        acq.reset();
    }
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            queue.waitAndDrain(10);
            if (done()) return true;
        }
        return false;
    }
    bool shown(const std::string& text) {
        for (const auto& m : messages.messages())
            if (m.text == text) return true;
        return false;
    }

    sim::SimProcess sim;
    TempFolder program;
    RecordingMessageSink messages;
    Messenger messenger;
    platform::MessageQueue queue;
    std::unique_ptr<Configuration> config;
    std::unique_ptr<acquisition::SonarAcquisition> acq;
    std::unique_ptr<acquisition::DeviceSession> session;
    std::unique_ptr<PressureCalibration> calibration;
    platform::WindowHandle dialogWindow = platform::kNoWindow;
};

// The sonar's reference is first moved to 900 mbar. "Restore Defaults" must set
// 1013 before asking: asked first, the sonar would still answer 900.
TEST_F(WithSimulator, RestoreDefaultsReachesSonarSetBeforeGet) {
    ASSERT_TRUE(session->sendCommandLines("$cmd,set,pressureref,900*ff\r\n"
                                          "$cmd,get,pressureref*ff\r\n"));
    ASSERT_TRUE(pumpUntil([&] { return calibration->receivedValue() == 900; }, 3000));
    EXPECT_TRUE(messages.messages().empty()) << "a reply nobody asked a default for";

    calibration->restoreDefaults();
    ASSERT_TRUE(pumpUntil([&] { return shown("Default value of pressure: 1013 mbar"); }, 3000))
        << sim.output();
    EXPECT_EQ(calibration->statusText(), "Default value of pressure: 1013 mbar");
    // A marker line after them, so the simulator's list holds both.
    ASSERT_TRUE(session->sendCommandLines("$cmd,set,algorithm,9*ff\r\n"));
    ASSERT_TRUE(sim.waitForOutput("command $cmd,set,algorithm,9", 3000)) << sim.output();
    const std::vector<std::string> lines = sim.commandLines();
    const std::vector<std::string> tail(lines.end() - std::min<std::size_t>(lines.size(), 3),
                                        lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"$cmd,set,pressureref,1013*ff\\r\\n",
                                              "$cmd,get,pressureref*ff\\r\\n",
                                              "$cmd,set,algorithm,9*ff\\r\\n"}))
        << sim.output();
}

// The zeroing line and the advanced lines are taken by the sonar as they are
// (none refused), transducer selection 3 as code 5 on both channels.
TEST_F(WithSimulator, AdvancedAndCalibrationLinesAcceptedBySonar) {
    calibration->calibrate();
    EXPECT_TRUE(calibration->timerRunning());
    AdvancedSettings s;
    AdvancedSettingsRules r(s, *session, messenger);
    EXPECT_TRUE(r.changeTransmitMode(3));
    EXPECT_TRUE(r.changeReceiveMode(3));
    EXPECT_TRUE(r.changeAlgorithm(4));
    EXPECT_TRUE(r.changeUpload(2));
    EXPECT_TRUE(r.changeGain(35));
    EXPECT_EQ(session->builder().advancedGain(Frequency::LF), 35);
    ASSERT_TRUE(sim.waitForOutput("gainpara,6,", 3000)) << sim.output();
    const std::string& out = sim.output();
    for (const char* line :
         {"command $cmd,set,autoclear*ff\\r\\n", "command $cmd,set,emittransducer,5,5*ff\\r\\n",
          "command $cmd,set,emittransducer,6,5*ff\\r\\n",
          "command $cmd,set,recvtransducer,6,5*ff\\r\\n", "command $cmd,set,algorithm,4*ff\\r\\n",
          "command $cmd,set,updataswitch,2*ff\\r\\n", "command $cmd,set,gainpara,5,0,35,"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    EXPECT_EQ(out.find("rejected"), std::string::npos) << out;
}

} // namespace
} // namespace kestrova::app
