#pragma once
// The survey session: the whole live and playback system of one program run,
// without a window, so the main frame and the command line compose it the
// same way. It owns the sonar's channels and threads, the device session, the
// two waterfall views and what they share (when Drovanta is bound), the raw
// recorder, the XTF writer fed by the views' display lines, the playback, the
// position input with its geodesy engine, and the project manager.
//
// Wiring done here once:
//  - the receive and playback threads hand every frame to the raw recorder;
//  - the navigation thread appends its position records to the raw file
//    (under the file's lock) and sets the sonar's clock through the device
//    session; the views' newest ping time reaches the clock rule;
//  - the connection thread connects the TCP client position channel;
//  - playback replays the recording's position records into the position
//    input, and a played file's header sets the installation parameters and
//    the device model;
//  - a project load sets the project folder of both recorders, the position
//    settings, the geodetic record and the display settings.
//
// Threads: construct, operate and destroy it on the interface thread (the one
// that drains the message queue). Order of use: construct, setMainWindow (the
// window's own handle, optional), start, then connectSonar / startWork /
// stopWork / the recording toggles / playback, shutDown at quit (the
// destructor does it if it was not done).

#include "acquisition/device_session.h"
#include "acquisition/playback.h"
#include "acquisition/raw_recorder.h"
#include "acquisition/sonar_acquisition.h"
#include "acquisition/xtf_writer.h"
#include "app/config/configuration.h"
#include "app/project.h"
#include "app/recording_setup.h"
#include "display/display_state.h"
#include "display/drovanta_api.h"
#include "display/view_pipeline.h"
#include "display/waterfall_view.h"
#include "display/xtf_line_sink.h"
#include "platform/messages.h"
#include "position/position_system.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::app {

// What the owner (the main frame, a headless tool) does when the session
// asks; every member may stay empty.
struct SurveySessionCallbacks {
    // Playback entered (false) or left (true): the sonar settings controls.
    std::function<void(bool enabled)> sonarControls;
    // A new file plays: the navigation track buffers and timing are cleared.
    std::function<void()> clearTrack;
    // After every live pass of a view, with the pings it drew (oldest first).
    std::function<void(acquisition::Frequency, std::span<const display::LineOutcome>)> viewPass;
};

struct SurveySessionOptions {
    // Folders, clocks and disk queries of the recorders (tests shrink them).
    acquisition::RecordingEnvironment recording;
    // The position input's clock (tests move it by hand); null: the system tick.
    position::NavigationInput::TickSource navigationTick;
};

class SurveySession {
  public:
    // `host` is the owner's side of project loads (title, lists, pages); it
    // must outlive the session. With `drovanta` null there are no views: pings
    // stay in the batches for whoever registers as the view windows.
    SurveySession(Configuration& config, platform::MessageQueue& queue,
                  const display::DrovantaApi* drovanta, ProjectHost& host,
                  SurveySessionCallbacks callbacks = {}, SurveySessionOptions options = {});
    // Without a project host of the owner's (headless use).
    SurveySession(Configuration& config, platform::MessageQueue& queue,
                  const display::DrovantaApi* drovanta);
    ~SurveySession();
    SurveySession(const SurveySession&) = delete;
    SurveySession& operator=(const SurveySession&) = delete;

    // The main frame's window: replies, device changes, recorder and position
    // notices are posted there. Before start().
    void setMainWindow(platform::WindowHandle mainFrame,
                       platform::WindowHandle naviPanel = platform::kNoWindow);
    // The disk page's window for the recorders and playback.
    void setDiskPage(platform::WindowHandle diskPage);

    // Start-up: the default device model, the connection and receive threads,
    // the navigation thread and the position channel INSPara asks for. False
    // when the sonar threads could not start.
    bool start();
    // "Connect Device": both channels now; when the sonar does not answer the
    // connection thread keeps trying (false is returned, the operator was told).
    bool connectSonar();
    // Start (F1) and Stop (F2): live, the sonar; in playback mode, the playback.
    void startWork();
    void stopWork();
    // The heartbeat of both channels (the owner's 1000 ms timers).
    void heartbeat();

    // A project's configuration was loaded (ProjectManager calls it through
    // the host; call it after a settings change of the same kind): project
    // folder into both recorders, position settings and geodetic record into
    // the position input, display settings into the pipelines.
    void projectLoaded();
    // Recording without a project: the folder whose "Data" takes the files.
    void setProjectFolder(const std::string& folder);
    std::string projectFolder() const { return projectFolder_; }
    // The program's settings into the pipelines and the palettes into the views.
    void applyDisplaySettings();

    // "Save KSF" and "XTF File": the recording state afterwards.
    bool toggleRawRecording();
    bool toggleXtfRecording();
    bool cutRawFile();

    // Playback mode with the chosen file (empty: nothing changes, false).
    bool enterPlayback(const std::string& file);
    void leavePlayback();
    bool playbackMode() const;

    // Quit: the stop line, the recording files closed, the playback thread,
    // the position threads, the serial port and the sockets, in that order;
    // then the sonar settings into the open project's configuration file.
    void shutDown();
    bool shutDownDone() const { return shutDown_; }

    // The owned parts.
    Configuration& configuration() { return config_; }
    platform::MessageQueue& queue() { return queue_; }
    acquisition::SonarAcquisition& acquisition() { return *acquisition_; }
    acquisition::DeviceSession& device() { return *device_; }
    bool hasViews() const { return hfView_ != nullptr; }
    // Only with views (Drovanta given).
    display::WaterfallView& view(acquisition::Frequency f) {
        return f == acquisition::Frequency::HF ? *hfView_ : *lfView_;
    }
    display::DisplayShared& displayShared() { return shared_; }
    acquisition::RawRecorder& rawRecorder() { return *raw_; }
    acquisition::XtfWriter& xtfWriter() { return *xtf_; }
    acquisition::Playback& playback() { return *playback_; }
    position::PositionSystem& positions() { return *positions_; }
    position::NavigationInput& navigation() { return positions_->input(); }
    ProjectManager& projects() { return *projects_; }
    acquisition::OperatorNotices& notices() { return notices_; }
    // The device session block the recorders' headers get now.
    acquisition::DeviceSessionBlock sessionBlock() const;

  private:
    class Host;
    class LinePosition;
    class NavRecorder;
    class ClockPort;

    void wire();
    void viewMessage(acquisition::Frequency f, const platform::WindowMessage& m);
    void fillHeader(acquisition::KsfInstallation& install,
                    acquisition::DeviceSessionBlock& block) const;
    bool applyPlayedHeader(const acquisition::KsfHeaderInfo& header);

    Configuration& config_;
    platform::MessageQueue& queue_;
    const display::DrovantaApi* drovanta_;
    SurveySessionCallbacks callbacks_;
    SurveySessionOptions options_;
    ProjectHost ownHost_; // the owner gave none
    std::unique_ptr<Host> host_;
    MessengerNotices notices_;

    std::unique_ptr<acquisition::SonarAcquisition> acquisition_;
    std::unique_ptr<acquisition::DeviceSession> device_;
    display::DisplayShared shared_;
    std::unique_ptr<display::WaterfallView> hfView_;
    std::unique_ptr<display::WaterfallView> lfView_;
    bool paletteSourceSet_ = false;
    std::array<platform::WindowHandle, 2> viewWindows_{platform::kNoWindow, platform::kNoWindow};
    std::unique_ptr<acquisition::RawRecorder> raw_;
    std::unique_ptr<acquisition::XtfWriter> xtf_;
    std::unique_ptr<LinePosition> linePosition_;
    std::unique_ptr<display::XtfLineSink> lineSink_;
    std::unique_ptr<acquisition::Playback> playback_;
    std::unique_ptr<position::PositionSystem> positions_;
    std::unique_ptr<NavRecorder> navRecorder_;
    std::unique_ptr<ClockPort> clockPort_;
    std::unique_ptr<ProjectManager> projects_;

    std::string projectFolder_;
    bool started_ = false;
    bool shutDown_ = false;
};

} // namespace kestrova::app
