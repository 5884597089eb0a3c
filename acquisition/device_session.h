#pragma once
// The device session: what the program says to the sonar on connecting, on
// Start and on Stop, what it learns from the replies (device identifier, type,
// channel frequencies, firmware version), and how it notices a change of
// device or of model. It sends through the command channel of
// SonarAcquisition and takes the replies the receive thread hands it.
//
// Threads: connect_sonar, start_work, stop_work, configure_and_run and the
// parameter page's commands run on the interface thread; takeReply runs on the
// receive thread and posts to windows, never waiting for the operator: the
// two warnings it gives and a new model reported by the sonar reach the
// interface thread through messages to the session's own window, which shows
// them and applies the model there. sendSonarClock may also be called by the
// position thread.

#include "acquisition/sonar_acquisition.h"
#include "acquisition/sonar_commands.h"
#include "acquisition/sonar_commands_reply.h"
#include "app/config/configuration.h"
#include "app/config/sonar_command_port.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace kestrova::acquisition {

// To the main window: refresh the device pane (wParam 1 after an identifier,
// 0 after a type).
constexpr std::uint32_t WM_DEVICE_INFO = 0x046C;
// To the pressure calibration dialog: the reference the sonar reports (wParam).
constexpr std::uint32_t WM_PRESSURE_REFERENCE = 0x0484;
// To the session's own window: apply the model the sonar reported.
constexpr std::uint32_t WM_APPLY_DEVICE_MODEL = 0x0470;
// To the session's own window: tell the operator (wParam: which notice). The
// receive thread posts it and goes on; the interface thread shows the box.
constexpr std::uint32_t WM_SESSION_NOTICE = 0x0490;

// What the sonar said about itself.
struct DeviceInformation {
    std::string identifier; // from the "deviceid" reply
    bool identifierSeen = false;
    std::string type = app::kDefaultModelIdentifier; // at most 16 characters
    float lfFrequency = 0;
    float hfFrequency = 0;
    std::string firmwareVersion; // at most 16 characters
};

// Operator texts of the session (Chinese, English).
namespace session_text {
constexpr const char* kConnectedZh = "声纳连接成功！";
constexpr const char* kConnectedEn = "Sonar connected successfully!";
constexpr const char* kConnectFailedZh = "声纳连接失败，请检查设备！";
constexpr const char* kConnectFailedEn = "Failed to connect Sonar, please check the device!";
constexpr const char* kReplacedZh = "设备已更换。";
constexpr const char* kReplacedEn = "The device has been replaced.";
constexpr const char* kPulseTooLongZh = "请减小脉宽或增大量程！";
constexpr const char* kPulseTooLongEn = "Please reduce the pulse width or increase the range!";
constexpr const char* kNotConnectedZh = "错误：声纳未连接！";
constexpr const char* kNotConnectedEn = "Error: Sonar is not connected!";
constexpr const char* kNotConnectedLowerEn = "Error: sonar is not connected!";
} // namespace session_text

// What the session asks of the recorder and the playback, when they exist.
struct SessionHooks {
    std::function<bool()> rawRecordingOn;
    std::function<void()> stopRawRecording;
    std::function<void()> startPlayback; // start or resume
    std::function<void()> pausePlayback;
};

class DeviceSession : public app::SonarCommandPort, public ReplySink, public SonarClockSetter {
  public:
    // Registers the session's window in the acquisition's message queue: create
    // it on the interface thread, before the receive thread runs.
    DeviceSession(app::Configuration& config, SonarAcquisition& acquisition,
                  SessionHooks hooks = {});
    ~DeviceSession() override;
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Menu "Connect Device": both channels directly, then the clock and the
    // queries. Reports the outcome to the operator.
    bool connect_sonar();
    // Start (F1): queries, configuration and the start line (live), or playback.
    void start_work();
    // Stop (F2): the stop line (live) or a playback pause.
    void stop_work();
    // The configuration block, then the start line; true when both went out.
    bool configure_and_run();

    // The four queries, each only while the command channel is connected;
    // `pauseMs` after each one sent (start_work waits 100 ms for the replies).
    void sendQueries(std::uint32_t pauseMs);
    // The sonar's clock. Only while the command channel is connected; a line
    // handed over successfully clears time-sync-wanted.
    bool sendSonarClock(const SonarClockTime& time) override;
    bool timeSyncWanted() const override { return timeSyncWanted_.load(); }
    bool working() const { return working_.load(); }

    // Hidden advanced settings and pressure calibration (sent only while connected).
    bool sendTypedInterval(std::string_view typed);
    bool sendEmitTransducer(int selection);
    bool sendRecvTransducer(int selection);
    bool sendUpdataSwitch(int selection);
    bool sendAlgorithm(int algorithm);
    int currentAlgorithm() const { return algorithm_; }
    void setAdvancedGain(app::Frequency f, int value) override {
        builder_.setAdvancedGain(f, value);
    }
    // Pressure zeroing and reference; without a command channel they tell the operator.
    bool sendPressureZero();
    bool sendPressureReference();

    // app::SonarCommandPort: single changed settings while the sonar runs.
    bool commandChannelConnected() const override;
    bool sendRangeCommand(app::Frequency f) override;
    bool sendTransmitCommand(app::Frequency f) override;
    bool sendGainCommand(app::Frequency f) override;
    bool sendChannelCommand() override;
    bool sendCommandLines(std::string_view lines) override { return sendIfConnected(lines); }

    // ReplySink (receive thread): one reply line out of the accumulator, acted on.
    void takeReply(ReplyAccumulator& accumulator) override;
    // Acts on one reply line (the part of takeReply after extraction).
    void interpret(std::string_view line);

    DeviceInformation deviceInformation() const;
    SonarCommandBuilder& builder() { return builder_; }
    int intervalValue(app::Frequency f) const { return builder_.intervalValue(f); }

    // Windows the session posts to.
    void setMainWindow(platform::WindowHandle w) { mainWindow_.store(w); }
    void setPressureDialog(platform::WindowHandle w) { pressureDialog_.store(w); }
    // Called on the receive thread after each reply line (the command-line tool lists them).
    using ReplyObserver = std::function<void(std::string_view line, const SonarReply& reply)>;
    void setReplyObserver(ReplyObserver observer) { replyObserver_ = std::move(observer); }

  private:
    bool sendIfConnected(std::string_view lines);
    void deviceIdentified(const std::string& identifier);
    void deviceTyped(const std::string& type);
    void warnPulseTooLong();
    void showNotice(std::uintptr_t which);
    void syncBuilder();
    void post(platform::WindowHandle w, std::uint32_t id, std::uintptr_t wParam);

    app::Configuration& config_;
    SonarAcquisition& acq_;
    SessionHooks hooks_;
    SonarCommandBuilder builder_;
    platform::WindowHandle ownWindow_ = platform::kNoWindow;
    std::atomic<platform::WindowHandle> mainWindow_{platform::kNoWindow};
    std::atomic<platform::WindowHandle> pressureDialog_{platform::kNoWindow};

    mutable std::mutex infoMutex_;
    DeviceInformation info_;

    std::atomic<bool> working_{false};
    std::atomic<bool> timeSyncWanted_{false};
    int algorithm_ = 1;
    // The pulse warning is shown at most once per 5000 ms (receive thread only).
    bool warned_ = false;
    std::uint32_t lastWarnTick_ = 0;
    ReplyObserver replyObserver_;
};

} // namespace kestrova::acquisition
