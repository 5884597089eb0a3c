#include "app/session/survey_session.h"

#include "acquisition/sonar_messages.h"
#include "app/config/device_model.h"
#include "app/session/display_settings.h"
#include "position/position_fix.h"

#include <cstdio>

namespace kestrova::app {

using Freq = acquisition::Frequency;

namespace {

acquisition::SonarNetSettings netSettingsOf(const Configuration& config) {
    acquisition::SonarNetSettings net;
    net.ip = config.system.sonarIp;
    auto port = [](int value, std::uint16_t fallback) {
        return value >= 1 && value <= 65535 ? static_cast<std::uint16_t>(value) : fallback;
    };
    net.commandPort = port(config.system.commandPort, net.commandPort);
    net.dataPort = port(config.system.dataPort, net.dataPort);
    return net;
}

} // namespace

// The project manager's host: the session's own steps first, then the owner's.
class SurveySession::Host : public ProjectHost {
  public:
    Host(SurveySession& session, ProjectHost& owner) : session_(session), owner_(owner) {}
    void setWindowTitle(const std::string& title) override { owner_.setWindowTitle(title); }
    void clearProjectLists() override { owner_.clearProjectLists(); }
    bool playbackMode() const override { return session_.playbackMode() || owner_.playbackMode(); }
    void leavePlayback() override {
        if (session_.playbackMode()) session_.leavePlayback();
        owner_.leavePlayback();
    }
    void projectChanged() override {
        // A project just made (or switched to) records into its own folder at once.
        const CurrentProject& p = session_.projects().current();
        if (p.open) session_.setProjectFolder(p.path);
        owner_.projectChanged();
    }
    SurveyLineLoad loadSurveyLineFile(const std::string& path) override {
        return owner_.loadSurveyLineFile(path);
    }
    void sonarSettingsLoaded() override { owner_.sonarSettingsLoaded(); }
    void geoSettingsLoaded() override {
        session_.positions().geodesy().setRecord(session_.config_.geo.record);
        owner_.geoSettingsLoaded();
    }
    void naviSettingsLoaded() override { owner_.naviSettingsLoaded(); }
    void insSettingsLoaded() override {
        session_.positions().configurationLoaded();
        session_.navigation().apply_position_settings();
        owner_.insSettingsLoaded();
    }
    void displaySettingsLoaded(double soundSpeed) override {
        session_.applyDisplaySettings();
        owner_.displaySettingsLoaded(soundSpeed);
    }
    void projectLoaded() override {
        session_.projectLoaded();
        owner_.projectLoaded();
    }

  private:
    SurveySession& session_;
    ProjectHost& owner_;
};

// The position of the views' XTF pings: the navigation's recording snapshot.
class SurveySession::LinePosition : public display::PingPositionSource {
  public:
    explicit LinePosition(SurveySession& session) : session_(session) {}
    display::PingPosition pingPosition() const override {
        const position::PositionFix fix = session_.navigation().recordingSnapshot();
        return {fix.latitude, fix.longitude};
    }

  private:
    SurveySession& session_;
};

// The navigation thread's position records: appended to the raw file as
// position frames, under the file's own lock (the recorder takes it).
class SurveySession::NavRecorder : public acquisition::RawFrameRecorder {
  public:
    explicit NavRecorder(acquisition::RawRecorder& raw) : raw_(raw) {}
    bool recording() const override { return raw_.recording(); }
    void writeFrame(std::span<const std::uint8_t> frame) override {
        raw_.writePositionFrame(frame);
    }

  private:
    acquisition::RawRecorder& raw_;
};

// The clock rule's command channel is the device session's, so a clock set
// from a fix also clears the session's time-sync request.
class SurveySession::ClockPort : public position::SonarClockPort {
  public:
    explicit ClockPort(acquisition::DeviceSession& device) : device_(device) {}
    bool commandChannelConnected() const override { return device_.commandChannelConnected(); }
    bool sendClockCommand(std::string_view line) override {
        acquisition::SonarClockTime t;
        const std::string text(line);
        int used = 0;
        if (std::sscanf(text.c_str(), "$cmd,set,rtctime,%d,%d,%d,%d,%d,%d,%d*ff%n", &t.year,
                        &t.month, &t.day, &t.hour, &t.minute, &t.second, &t.subSecond,
                        &used) != 7 ||
            used == 0)
            return false;
        return device_.sendSonarClock(t);
    }

  private:
    acquisition::DeviceSession& device_;
};

SurveySession::SurveySession(Configuration& config, platform::MessageQueue& queue,
                             const display::DrovantaApi* drovanta)
    : SurveySession(config, queue, drovanta, ownHost_) {}

SurveySession::SurveySession(Configuration& config, platform::MessageQueue& queue,
                             const display::DrovantaApi* drovanta, ProjectHost& host,
                             SurveySessionCallbacks callbacks, SurveySessionOptions options)
    : config_(config), queue_(queue), drovanta_(drovanta), callbacks_(std::move(callbacks)),
      options_(std::move(options)), host_(std::make_unique<Host>(*this, host)),
      notices_(config.messenger()) {
    acquisition_ = std::make_unique<acquisition::SonarAcquisition>(queue_, netSettingsOf(config_));
    raw_ = std::make_unique<acquisition::RawRecorder>(notices_, &queue_, options_.recording);
    xtf_ = std::make_unique<acquisition::XtfWriter>(notices_, &queue_, options_.recording);

    acquisition::PlaybackHooks playbackHooks;
    playbackHooks.applyHeader = [this](const acquisition::KsfHeaderInfo& h) {
        return applyPlayedHeader(h);
    };
    playbackHooks.rawRecordingOff = [this] { raw_->switchOff(); };
    playbackHooks.liveModel = [this] {
        // The played file chose the model; live, the connected sonar's type
        // (the default one before any has answered) chooses it again.
        config_.device.SetModelNumber(ModelNumberFromIdentifier(device_->deviceInformation().type));
        config_.device.ApplyDeviceModel();
    };
    playbackHooks.sonarControls = [this](bool enabled) {
        if (callbacks_.sonarControls) callbacks_.sonarControls(enabled);
    };
    playbackHooks.clearTrack = [this] {
        if (callbacks_.clearTrack) callbacks_.clearTrack();
    };
    playback_ = std::make_unique<acquisition::Playback>(
        acquisition_->assembler(), acquisition_->status(), notices_, &queue_, playbackHooks);

    acquisition::SessionHooks sessionHooks;
    sessionHooks.rawRecordingOn = [this] { return raw_->recording(); };
    sessionHooks.stopRawRecording = [this] { raw_->switchOff(); };
    sessionHooks.startPlayback = [this] {
        if (!playback_->playing() || playback_->paused()) playback_->startPause();
    };
    sessionHooks.pausePlayback = [this] {
        if (playback_->playing() && !playback_->paused()) playback_->startPause();
    };
    device_ = std::make_unique<acquisition::DeviceSession>(config_, *acquisition_, sessionHooks);

    positions_ =
        std::make_unique<position::PositionSystem>(config_, queue_, options_.navigationTick);
    navRecorder_ = std::make_unique<NavRecorder>(*raw_);
    clockPort_ = std::make_unique<ClockPort>(*device_);
    projects_ = std::make_unique<ProjectManager>(config_, *host_);

    if (drovanta_) {
        hfView_ = std::make_unique<display::WaterfallView>(Freq::HF, *drovanta_, shared_, queue_,
                                                           acquisition_->handOff(),
                                                           acquisition_->windows());
        lfView_ = std::make_unique<display::WaterfallView>(Freq::LF, *drovanta_, shared_, queue_,
                                                           acquisition_->handOff(),
                                                           acquisition_->windows());
        linePosition_ = std::make_unique<LinePosition>(*this);
        lineSink_ =
            std::make_unique<display::XtfLineSink>(*xtf_, shared_.processing, *linePosition_);
        // The traces turn orange while the sonar pings.
        hfView_->setSonarStatus(&acquisition_->status());
        lfView_->setSonarStatus(&acquisition_->status());
    }
    wire();
    applyDisplaySettings();
}

SurveySession::~SurveySession() {
    shutDown();
    for (platform::WindowHandle w : viewWindows_)
        if (w != platform::kNoWindow) queue_.unregisterWindow(w);
}

void SurveySession::wire() {
    acquisition::SonarAcquisition& acq = *acquisition_;
    acq.setReplySink(device_.get());
    acq.setRawRecorder(raw_.get());
    acq.setPositionReplay(&navigation());
    acq.setPositionConnector(&navigation());

    position::NavigationInput& nav = navigation();
    nav.setConnectRequestEvent(&acq.connectionEvents().connectPosition);
    nav.setRawRecorder(navRecorder_.get());
    nav.setSonarClockPort(clockPort_.get());

    raw_->setHeaderSource(
        [this](acquisition::KsfInstallation& install, acquisition::DeviceSessionBlock& block) {
            fillHeader(install, block);
        });

    if (hfView_) {
        // The ping messages reach the views through the session, which then
        // hands the newest ping time to the clock rule.
        for (Freq f : {Freq::HF, Freq::LF}) {
            view(f).pipeline().setLineSink(lineSink_.get());
            viewWindows_[acquisition::index(f)] = queue_.registerWindow(
                [this, f](const platform::WindowMessage& m) { viewMessage(f, m); });
        }
        acq.windows().hfView = viewWindows_[0];
        acq.windows().lfView = viewWindows_[1];
    }
}

void SurveySession::viewMessage(Freq f, const platform::WindowMessage& m) {
    display::WaterfallView& v = view(f);
    const std::uint64_t passes = v.passes();
    v.onMessage(m);
    if (v.passes() == passes) return;
    const double t = shared_.latestPingTime.read();
    if (t > 0.0) navigation().clockRule().setLatestPingTime(t);
    if (callbacks_.viewPass) callbacks_.viewPass(f, v.pipeline().lastOutcomes());
}

void SurveySession::setMainWindow(platform::WindowHandle mainFrame,
                                  platform::WindowHandle naviPanel) {
    acquisition_->windows().mainFrame = mainFrame;
    device_->setMainWindow(mainFrame);
    navigation().setWindows(mainFrame, naviPanel);
}

void SurveySession::setDiskPage(platform::WindowHandle diskPage) {
    raw_->setDiskPage(diskPage);
    xtf_->setDiskPage(diskPage);
    playback_->setDiskPage(diskPage);
}

bool SurveySession::start() {
    if (started_) return true;
    if (shutDown_) return false;
    config_.device.ApplyDeviceModel();
    if (!acquisition_->startThreads()) return false;
    positions_->configurationLoaded();
    navigation().start_navigation_thread();
    navigation().apply_position_settings();
    started_ = true;
    return true;
}

bool SurveySession::connectSonar() {
    if (!started_ && !start()) return false;
    if (device_->connect_sonar()) return true;
    acquisition_->requestConnect(acquisition::SonarChannelId::Command);
    acquisition_->requestConnect(acquisition::SonarChannelId::Data);
    return false;
}

void SurveySession::startWork() {
    device_->start_work();
    // The configuration went to the sonar: its clock follows at the next dated fix.
    if (!playbackMode() && device_->timeSyncWanted()) navigation().clockRule().requestSync();
}

void SurveySession::stopWork() {
    device_->stop_work();
}

void SurveySession::heartbeat() {
    acquisition_->heartbeat(acquisition::SonarChannelId::Command);
    acquisition_->heartbeat(acquisition::SonarChannelId::Data);
}

void SurveySession::projectLoaded() {
    const CurrentProject& p = projects_->current();
    if (p.open) setProjectFolder(p.path);
    positions_->configurationLoaded();
    applyDisplaySettings();
}

void SurveySession::setProjectFolder(const std::string& folder) {
    projectFolder_ = folder;
    raw_->setProjectFolder(folder);
    xtf_->setProjectFolder(folder);
}

void SurveySession::applyDisplaySettings() {
    display::DisplayPipelineSettings& d = shared_.settings;
    applyProcessingSettings(config_, d);
    xtf_->setSoundVelocity(static_cast<float>(config_.sonar.soundSpeed));
    if (!hfView_) return;
    const display::FullScaleSettings full = fullScaleSettings(config_);
    applyPictureSettings(config_, d);
    for (Freq f : {Freq::HF, Freq::LF}) {
        display::WaterfallView& v = view(f);
        v.waterfall().setFullScaleSettings(full);
        // The first time the views learn where the palettes lie (and load
        // them); afterwards only a changed choice is read again.
        if (!paletteSourceSet_)
            v.setPaletteSource(config_.programFolder(), &config_.messenger());
        else
            v.applyDisplaySettings();
    }
    paletteSourceSet_ = true;
}

acquisition::DeviceSessionBlock SurveySession::sessionBlock() const {
    acquisition::KsfInstallation install;
    acquisition::DeviceSessionBlock block;
    fillHeader(install, block);
    return block;
}

void SurveySession::fillHeader(acquisition::KsfInstallation& install,
                               acquisition::DeviceSessionBlock& block) const {
    install = ksfInstallationFrom(config_.sonar.install);
    const acquisition::DeviceInformation info = device_->deviceInformation();
    block.deviceType = info.type;
    if (!info.identifier.empty()) block.deviceId = info.identifier;
    if (!info.firmwareVersion.empty()) block.firmwareVersion = info.firmwareVersion;
    if (info.hfFrequency > 0) block.hfFrequency = info.hfFrequency;
    if (info.lfFrequency > 0) block.lfFrequency = info.lfFrequency;
    block.channelCountCode = config_.device.frequencyCount >= 2 ? 2u : 1u;
}

bool SurveySession::applyPlayedHeader(const acquisition::KsfHeaderInfo& header) {
    acquisition::DeviceSessionBlock block;
    if (!applyKsfHeader(config_, header, block)) return false;
    // XTF made while playing names the recorded device, not the connected one.
    xtf_->setSession(block);
    xtf_->setSoundVelocity(static_cast<float>(config_.sonar.soundSpeed));
    shared_.settings.soundSpeed = config_.sonar.soundSpeed;
    return true;
}

bool SurveySession::toggleRawRecording() {
    return raw_->toggle_raw_recording();
}

bool SurveySession::toggleXtfRecording() {
    if (!xtf_->recording()) {
        if (!playbackMode()) xtf_->setSession(sessionBlock());
        xtf_->setSoundVelocity(static_cast<float>(config_.sonar.soundSpeed));
    }
    const bool on = xtf_->toggle_xtf_recording();
    shared_.settings.xtfRecording = on;
    return on;
}

bool SurveySession::cutRawFile() {
    return raw_->cut_raw_file();
}

bool SurveySession::enterPlayback(const std::string& file) {
    const bool wasPlayback = playbackMode();
    if (!playback_->enterMode(file)) return false;
    if (!wasPlayback) navigation().enterPlaybackMode();
    return true;
}

void SurveySession::leavePlayback() {
    if (!playbackMode()) return;
    playback_->leaveMode();
    navigation().enterLiveMode(config_.sonar.install.gpsChoice);
    // Live again: a channel that settings applied while playing left closed opens now.
    navigation().apply_position_settings();
    // The sonar gets the live channel settings again (the page was closed meanwhile).
    device_->sendChannelCommand();
}

bool SurveySession::playbackMode() const {
    return playback_->inMode();
}

void SurveySession::shutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    // The quit below sends the stop line, once; here only playback pauses.
    if (playbackMode())
        device_->stop_work();
    else
        acquisition_->status().sonarRunning = false;
    acquisition::ShutdownSteps steps;
    steps.closeRecordingFiles = [this] {
        raw_->switchOff();
        xtf_->switchOff();
        shared_.settings.xtfRecording = false;
    };
    steps.stopPlaybackThread = [this] {
        if (playback_->threadRunning()) playback_->stopThread();
    };
    steps.stopPositionThreads = [this] { navigation().stop_navigation_thread(); };
    steps.closeSerialPort = [this] { navigation().closeSerialPort(); };
    steps.closePositionSocket = [this] { navigation().closeAll(); };
    acquisition_->shutDown(steps);
    // The parameters of the survey stay with the project.
    if (const auto path = projects_->current().configPath())
        config_.SaveConfigSection("SonarSetPara", *path);
}

} // namespace kestrova::app
