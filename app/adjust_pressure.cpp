#include "app/adjust_pressure.h"

#include "acquisition/device_session.h"
#include "acquisition/sonar_commands.h"

#include <cstdio>

namespace kestrova::app {

static_assert(kMsgPressureReply == acquisition::WM_PRESSURE_REFERENCE,
              "the calibration dialog takes the message the receive path posts");

namespace {
std::string withNumber(const char* pattern, int value) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}
} // namespace

PressureCalibration::PressureCalibration(SonarCommandPort& port, Messenger& messenger)
    : port_(port), messenger_(messenger) {}

std::string PressureCalibration::counterText() const {
    return withNumber("%d s", counter_);
}

void PressureCalibration::calibrate() {
    if (!port_.commandChannelConnected()) {
        messenger_.ShowMessage(acquisition::session_text::kNotConnectedZh,
                               acquisition::session_text::kNotConnectedEn);
        return;
    }
    replyReceived_ = false;
    statusVisible_ = true;
    status_.clear();
    buttonsEnabled_ = false;
    counter_ = 1;
    port_.sendCommandLines(acquisition::kAutoClearLine);
    timerRunning_ = true;
}

void PressureCalibration::tick() {
    if (!timerRunning_) return;
    ++counter_;
    // A reply that came in the last second still counts: the sonar did answer,
    // and calling that a time-out would send the operator to repeat a good
    // calibration.
    if (replyReceived_) {
        timerRunning_ = false;
        report(withNumber("校准压力成功：%d mbar", value_),
               withNumber("Calibrating pressure successfully: %d mbar", value_));
        return;
    }
    if (counter_ >= kCalibrationTimeoutSeconds) {
        timerRunning_ = false;
        report("错误：校准压力超时！", "Error: Calibrating pressure timeout!");
    }
}

void PressureCalibration::report(const std::string& chinese, const std::string& english) {
    status_ = messenger_.english() ? english : chinese;
    messenger_.ShowMessage(chinese, english, mb::kWarningOkCancel);
    buttonsEnabled_ = true;
}

void PressureCalibration::restoreDefaults() {
    if (!port_.commandChannelConnected()) {
        messenger_.ShowMessage(acquisition::session_text::kNotConnectedZh,
                               acquisition::session_text::kNotConnectedLowerEn);
        return;
    }
    // One block: the sonar takes the reference before it is asked for it.
    port_.sendCommandLines(acquisition::kPressureReferenceLines);
    defaultRequested_ = true;
}

void PressureCalibration::pressureReply(int mbar) {
    value_ = mbar;
    replyReceived_ = true;
    if (!defaultRequested_) return;
    defaultRequested_ = false;
    const std::string chinese = withNumber("压力默认值：%d mbar", mbar);
    const std::string english = withNumber("Default value of pressure: %d mbar", mbar);
    status_ = messenger_.english() ? english : chinese;
    statusVisible_ = true;
    messenger_.ShowMessage(chinese, english, mb::kWarningOkCancel);
}

} // namespace kestrova::app
