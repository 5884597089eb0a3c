#pragma once
// "Calibration Pressure" (CAdjustPressure): zeroing the towfish's pressure
// sensor while it hangs in the air, and restoring the sonar's default pressure
// reference. The dialog only mirrors this state; the 1000 ms timer of the
// dialog calls tick(), and the pressure reply the receive path posts (message
// 1156, the value in mbar as wParam) arrives through pressureReply().

#include "app/config/message.h"
#include "app/config/sonar_command_port.h"

#include <cstdint>
#include <string>

namespace kestrova::app {

// Posted by the receive path to the calibration dialog with the pressure in mbar.
constexpr std::uint32_t kMsgPressureReply = 1156;
// Seconds the operator waits for the sonar before the calibration gives up.
constexpr int kCalibrationTimeoutSeconds = 10;
constexpr int kCalibrationTickMs = 1000;

namespace pressure_text {
constexpr const char* kCaption = "压力校准";
constexpr const char* kStep1 = "1. 是否需要校准压力？";
constexpr const char* kStep2 = "2. 确认拖鱼在空气中。";
constexpr const char* kStep3 = "3. 点击“校准”按钮开始校准。";
constexpr const char* kCalibrationButton = "校准";
constexpr const char* kRestoreButton = "恢复默认值";
constexpr const char* kCloseButton = "关闭";
} // namespace pressure_text

class PressureCalibration {
  public:
    PressureCalibration(SonarCommandPort& port, Messenger& messenger);

    // "Calibration": zeroing line and the timer, or the not-connected message.
    void calibrate();
    // The dialog's 1000 ms timer.
    void tick();
    // "Restore Defaults": the reference 1013 mbar set, then asked back.
    void restoreDefaults();
    // Message 1156.
    void pressureReply(int mbar);

    // What the dialog shows.
    bool timerRunning() const { return timerRunning_; }
    bool calibrationEnabled() const { return buttonsEnabled_; }
    bool closeEnabled() const { return buttonsEnabled_; }
    bool statusVisible() const { return statusVisible_; }
    const std::string& statusText() const { return status_; }
    std::string counterText() const;
    int counter() const { return counter_; }
    int receivedValue() const { return value_; }
    bool replyReceived() const { return replyReceived_; }

  private:
    void report(const std::string& chinese, const std::string& english);

    SonarCommandPort& port_;
    Messenger& messenger_;
    bool timerRunning_ = false;
    bool buttonsEnabled_ = true;
    bool statusVisible_ = false;
    bool replyReceived_ = false;
    bool defaultRequested_ = false;
    int counter_ = 0;
    int value_ = 0;
    std::string status_;
};

} // namespace kestrova::app
