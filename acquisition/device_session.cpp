#include "acquisition/device_session.h"

#include "platform/clock.h"

namespace kestrova::acquisition {
namespace {

// wParam of WM_SESSION_NOTICE.
constexpr std::uintptr_t kNoticeReplaced = 0;
constexpr std::uintptr_t kNoticePulseTooLong = 1;

} // namespace

DeviceSession::DeviceSession(app::Configuration& config, SonarAcquisition& acquisition,
                             SessionHooks hooks)
    : config_(config), acq_(acquisition), hooks_(std::move(hooks)),
      builder_(config.sonar, config.system) {
    ownWindow_ = acq_.queue().registerWindow([this](const platform::WindowMessage& m) {
        if (m.id == WM_APPLY_DEVICE_MODEL) config_.device.ApplyDeviceModel();
        if (m.id == WM_SESSION_NOTICE) showNotice(m.wParam);
    });
}

DeviceSession::~DeviceSession() {
    acq_.queue().unregisterWindow(ownWindow_);
}

void DeviceSession::post(platform::WindowHandle w, std::uint32_t id, std::uintptr_t wParam) {
    if (w != platform::kNoWindow) acq_.queue().post(w, id, wParam);
}

bool DeviceSession::commandChannelConnected() const {
    return acq_.channel(SonarChannelId::Command).connected;
}

bool DeviceSession::sendIfConnected(std::string_view lines) {
    if (!commandChannelConnected()) return false;
    return acq_.send_command(lines);
}

void DeviceSession::syncBuilder() {
    const DeviceInformation info = deviceInformation();
    builder_.setChannelFrequencies(info.lfFrequency, info.hfFrequency);
    builder_.setSonarRunning(acq_.status().sonarRunning);
}

DeviceInformation DeviceSession::deviceInformation() const {
    std::lock_guard hold(infoMutex_);
    return info_;
}

bool DeviceSession::connect_sonar() {
    acq_.clearConnectRequests();
    const bool connected = acq_.connect_command_channel() && acq_.connect_data_channel();
    if (!connected) {
        config_.messenger().ShowMessage(session_text::kConnectFailedZh,
                                        session_text::kConnectFailedEn);
        return false;
    }
    acq_.channel(SonarChannelId::Command).connected = true;
    acq_.channel(SonarChannelId::Data).connected = true;
    SonarStatus& s = acq_.status();
    s.bothConnected = true;
    s.connectionState = connection_state::kConnected;
    s.dataState = data_state::kNotPinging;
    config_.messenger().ShowMessage(session_text::kConnectedZh, session_text::kConnectedEn,
                                    app::mb::kIconInformation | app::mb::kOk);
    acq_.send_command(clockLine(pcClockTime(config_.system.timeZoneHour)));
    sendQueries(0);
    return true;
}

void DeviceSession::sendQueries(std::uint32_t pauseMs) {
    for (std::string_view query :
         {kQueryDeviceType, kQueryDeviceId, kQueryFrequencies, kQueryVersion}) {
        if (!commandChannelConnected()) continue;
        acq_.send_command(query);
        if (pauseMs) platform::sleepMs(pauseMs);
    }
}

bool DeviceSession::configure_and_run() {
    if (!commandChannelConnected()) return false;
    timeSyncWanted_ = true;
    syncBuilder();
    const app::InstallationSettings& install = config_.sonar.install;
    const std::string block = builder_.build_fixed_lines() +
                              surveyParaLine(install.syncMode, install.syncPolarity) +
                              builder_.build_channel_block() + filterBandwidthLines();
    if (!acq_.send_command(block)) return false;
    if (!acq_.send_command(kStartLine)) return false;
    acq_.status().sonarRunning = true;
    return true;
}

void DeviceSession::start_work() {
    if (!acq_.status().playbackMode) {
        sendQueries(100);
        // A failed start leaves the running flag as it was.
        configure_and_run();
    } else if (hooks_.startPlayback) {
        hooks_.startPlayback();
    }
    working_ = true;
}

void DeviceSession::stop_work() {
    if (!acq_.status().playbackMode) {
        acq_.status().sonarRunning = false;
        sendIfConnected(kStopLine);
    } else if (hooks_.pausePlayback) {
        hooks_.pausePlayback();
    }
    working_ = false;
}

bool DeviceSession::sendSonarClock(const SonarClockTime& time) {
    if (!sendIfConnected(clockLine(time))) return false;
    timeSyncWanted_ = false;
    return true;
}

bool DeviceSession::sendTypedInterval(std::string_view typed) {
    auto line = typedIntervalLine(typed);
    return line && sendIfConnected(*line);
}

bool DeviceSession::sendEmitTransducer(int selection) {
    return sendIfConnected(emitTransducerLines(selection));
}

bool DeviceSession::sendRecvTransducer(int selection) {
    return sendIfConnected(recvTransducerLines(selection));
}

bool DeviceSession::sendUpdataSwitch(int selection) {
    auto line = updataSwitchLine(selection);
    return line && sendIfConnected(*line);
}

bool DeviceSession::sendAlgorithm(int algorithm) {
    if (!commandChannelConnected()) return false;
    algorithm_ = algorithm;
    return acq_.send_command(algorithmLine(algorithm));
}

bool DeviceSession::sendPressureZero() {
    if (!commandChannelConnected()) {
        config_.messenger().ShowMessage(session_text::kNotConnectedZh,
                                        session_text::kNotConnectedEn);
        return false;
    }
    return acq_.send_command(kAutoClearLine);
}

bool DeviceSession::sendPressureReference() {
    if (!commandChannelConnected()) {
        config_.messenger().ShowMessage(session_text::kNotConnectedZh,
                                        session_text::kNotConnectedLowerEn);
        return false;
    }
    return acq_.send_command(kPressureReferenceLines);
}

bool DeviceSession::sendRangeCommand(app::Frequency f) {
    if (!commandChannelConnected()) return false;
    syncBuilder();
    return acq_.send_command(builder_.build_sampling_lines(f) + builder_.build_signal_lines(f));
}

bool DeviceSession::sendTransmitCommand(app::Frequency f) {
    if (!commandChannelConnected()) return false;
    syncBuilder();
    return acq_.send_command(builder_.build_signal_lines(f));
}

bool DeviceSession::sendGainCommand(app::Frequency f) {
    if (!commandChannelConnected()) return false;
    syncBuilder();
    return acq_.send_command(builder_.build_gain_line(f));
}

bool DeviceSession::sendChannelCommand() {
    if (!commandChannelConnected()) return false;
    syncBuilder();
    return acq_.send_command(builder_.build_channel_block());
}

void DeviceSession::takeReply(ReplyAccumulator& accumulator) {
    if (auto line = extractReplyLine(accumulator)) interpret(*line);
}

void DeviceSession::interpret(std::string_view line) {
    const SonarReply r = interpretReply(line);
    switch (r.kind) {
    case ReplyKind::DeviceId:
        deviceIdentified(r.text);
        break;
    case ReplyKind::DeviceType:
        deviceTyped(r.text);
        break;
    case ReplyKind::Frequencies: {
        std::lock_guard hold(infoMutex_);
        info_.lfFrequency = static_cast<float>(r.lfFrequency);
        info_.hfFrequency = static_cast<float>(r.hfFrequency);
        break;
    }
    case ReplyKind::PressureReference:
        post(pressureDialog_.load(), WM_PRESSURE_REFERENCE,
             static_cast<std::uintptr_t>(static_cast<std::intptr_t>(r.value)));
        break;
    case ReplyKind::UpdateOverflow:
        warnPulseTooLong();
        break;
    case ReplyKind::Version: {
        std::lock_guard hold(infoMutex_);
        info_.firmwareVersion = r.text;
        break;
    }
    case ReplyKind::Unknown:
        break;
    }
    if (replyObserver_) replyObserver_(line, r);
}

void DeviceSession::deviceIdentified(const std::string& identifier) {
    bool replaced = false;
    {
        std::lock_guard hold(infoMutex_);
        replaced = info_.identifierSeen && info_.identifier != identifier;
        info_.identifier = identifier;
        info_.identifierSeen = true;
    }
    post(mainWindow_.load(), WM_DEVICE_INFO, 1);
    if (!replaced) return;
    // Another unit answers on the same address: nothing recorded or pinging
    // may carry on as if it were the old one.
    acq_.clearConnectRequests();
    if (hooks_.rawRecordingOn && hooks_.rawRecordingOn() && hooks_.stopRawRecording)
        hooks_.stopRawRecording();
    if (acq_.status().sonarRunning) {
        acq_.status().sonarRunning = false;
        sendIfConnected(kStopLine);
    }
    acq_.queue().post(ownWindow_, WM_SESSION_NOTICE, kNoticeReplaced);
}

void DeviceSession::deviceTyped(const std::string& type) {
    post(mainWindow_.load(), WM_DEVICE_INFO, 0);
    {
        std::lock_guard hold(infoMutex_);
        if (info_.type == type) return;
        info_.type = type;
    }
    config_.device.SetModelNumber(app::ModelNumberFromIdentifier(type));
    acq_.queue().post(ownWindow_, WM_APPLY_DEVICE_MODEL);
}

void DeviceSession::warnPulseTooLong() {
    const std::uint32_t now = platform::tickCount();
    if (warned_ && platform::ticksSince(lastWarnTick_, now) < 5000) return;
    warned_ = true;
    lastWarnTick_ = now;
    acq_.queue().post(ownWindow_, WM_SESSION_NOTICE, kNoticePulseTooLong);
}

void DeviceSession::showNotice(std::uintptr_t which) {
    if (which == kNoticeReplaced)
        config_.messenger().ShowMessage(session_text::kReplacedZh, session_text::kReplacedEn);
    else if (which == kNoticePulseTooLong)
        config_.messenger().ShowMessage(session_text::kPulseTooLongZh,
                                        session_text::kPulseTooLongEn);
}

} // namespace kestrova::acquisition
