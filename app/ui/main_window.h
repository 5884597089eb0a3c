#pragma once
// The main frame CMainFrame: the toolbar and menus with the commands of the
// command table (enable rules from main_frame_commands), the status bar of
// eight panes, the "Control" pane with the sonar parameter and disk pages, the
// two ping parameter panels and the two waterfalls in a splitter. It owns the
// SurveySession (acquisition, device session, views, recorders, playback,
// position input, projects) and is its ProjectHost.

#include "app/main_frame_commands.h"
#include "app/session/survey_session.h"
#include "app/sonar_parameter_page.h"
#include "app/ui/project_dialogs.h"
#include "app/ui/qt_message_sink.h"
#include "display/ui/waterfall_widget.h"

#include "app/hide_advanced.h"
#include "display/target_capture.h"
#include "navigation/navigation_feed.h"
#include "navigation/ui/navi_form_view.h"

#include <QIcon>
#include <QMainWindow>

#include <array>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCloseEvent;
namespace kestrova::targets::ui {
class CTargetFormView;
}
class QDockWidget;
class QLabel;
class QSplitter;
class QTabWidget;
class QTimer;
class QToolBar;

namespace kestrova::app::ui {

class ControlPages;
class CPageDisk;
class CPageSonarParaSet;
class CPingParaPanel;

struct MainFrameOptions {
    // Start-up message 1125: offer the last project (LoadLastProject).
    bool offerLastProject = true;
    // Messages to the operator as message boxes; without a screen (offscreen)
    // nobody could answer them, so they go where the messenger sends them.
    bool messageBoxes = true;
    // Dialogs of the project flows; null: the Qt dialogs.
    ProjectDialogs* projectDialogs = nullptr;
};

class CMainFrame : public QMainWindow, public WindowProjectHost, public SonarPageHost {
    Q_OBJECT
  public:
    static constexpr int kStatusPanes = 8;

    CMainFrame(Configuration& config, const display::DrovantaApi& drovanta,
               MainFrameOptions options = {}, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Scripted runs: connect the sonar and press Start once it answered.
    // The program itself never calls it: the operator presses Start.
    bool connectSonar();
    // Quit (close button, Alt+F4, the Quit command): true once the operator
    // confirmed and everything stopped.
    bool quitting() const { return quitting_; }
    // A scripted end (--quit-after): the close that follows asks nothing.
    void quitWithoutAsking() { quitConfirmed_ = true; }

    SurveySession& session() { return *session_; }
    acquisition::SonarAcquisition& acquisition() { return session_->acquisition(); }
    platform::MessageQueue& queue() { return queue_; }
    // The frame's own handle: what the pages and worker threads post to.
    platform::WindowHandle windowHandle() const { return handle_; }
    display::WaterfallView& view(acquisition::Frequency f) { return session_->view(f); }
    display::ui::WaterfallWidget& waterfall(acquisition::Frequency f) {
        return f == acquisition::Frequency::HF ? *hfWidget_ : *lfWidget_;
    }
    QLabel* statusPane(int i) const { return panes_[static_cast<std::size_t>(i)]; }
    QSplitter* viewSplitter() const { return splitter_; }
    QAction* action(FrameCommand c) const { return actions_[static_cast<std::size_t>(c)]; }
    QToolBar* toolbar() const { return toolbar_; }
    QDockWidget* controlPane() const { return control_; }
    // The navigation pane and its map.
    QDockWidget* navigationPane() const { return naviDock_; }
    navigation::ui::CNaviFormView* navigationView() const { return naviPanel_->view(); }
    QDockWidget* targetPane() const { return targetPane_; }
    targets::ui::CTargetFormView* targetView() const { return targetView_; }
    QTabWidget* controlSheet() const { return sheet_; }
    CPageSonarParaSet* sonarPage() const { return sonarPage_; }
    CPageDisk* diskPage() const { return diskPage_; }
    // "Display settings", "Altitude Tracker" and "Status information".
    ControlPages& controlPages() const { return *controlPages_; }
    CPingParaPanel* pingPanel(acquisition::Frequency f) const {
        return f == acquisition::Frequency::HF ? hfPanel_ : lfPanel_;
    }
    FrameState frameState() const;

    // Tests: the snapshot clock and the file chosen for playback.
    void setClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }
    void setPlaybackChooser(std::function<std::string()> chooser) {
        playbackChooser_ = std::move(chooser);
    }

    // ProjectHost
    bool playbackMode() const override;
    void leavePlayback() override;
    void projectChanged() override;
    void sonarSettingsLoaded() override;
    void displaySettingsLoaded(double soundSpeed) override;
    void projectLoaded() override;
    void clearProjectLists() override;
    void naviSettingsLoaded() override;
    SurveyLineLoad loadSurveyLineFile(const std::string& path) override;
    // SonarPageHost
    std::optional<std::string> projectConfigPath() const override;
    void rangeCommitted(Frequency f) override;

  signals:
    // Commands whose dialogs and panes are opened by the device dialogs and the
    // navigation and target views.
    void navigationPaneRequested();
    void targetPaneRequested();
    void aboutRequested();
    void languageSwitchRequested(bool english);
    void conversionToolRequested();

  public slots:
    void refreshStatus();
    void refreshCommands();
    void runCommand(FrameCommand command);
    // The last snapshot's path, empty on failure.
    std::string takeSnapshot();
    void applyLayout();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildCommands();
    void buildTargetPane();
    void pump();
    void onMainMessage(const platform::WindowMessage& m);
    void openFileForPlayback();
    void openDeviceSettings();
    void startPinging();

    Configuration& config_;
    MainFrameOptions options_;
    platform::MessageQueue queue_;
    QtProjectDialogs qtDialogs_;
    std::unique_ptr<SurveySession> session_;
    display::ui::WaterfallWidget* hfWidget_ = nullptr;
    display::ui::WaterfallWidget* lfWidget_ = nullptr;
    CPingParaPanel* hfPanel_ = nullptr;
    CPingParaPanel* lfPanel_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QDockWidget* control_ = nullptr;
    QDockWidget* naviDock_ = nullptr;
    navigation::ui::CNavigationPanelWnd* naviPanel_ = nullptr;
    std::unique_ptr<navigation::NavigationFeed> naviFeed_;
    QTabWidget* sheet_ = nullptr;
    CPageSonarParaSet* sonarPage_ = nullptr;
    CPageDisk* diskPage_ = nullptr;
    std::unique_ptr<ControlPages> controlPages_;
    int modelObserver_ = 0; // a new device model lays the waterfalls out again (1550)
    std::array<QAction*, kFrameCommandCount> actions_{};
    std::array<QLabel*, kStatusPanes> panes_{};
    QTimer* heartbeat_ = nullptr;
    QTimer* statusTimer_ = nullptr;
    QByteArray defaultState_;
    bool blink_ = false;
    platform::WindowHandle handle_ = platform::kNoWindow;
    QtMessageSink sink_;
    std::function<std::time_t()> clock_;
    std::unique_ptr<display::TargetSnapshot> targetSnapshot_;
    QDockWidget* targetPane_ = nullptr;
    targets::ui::CTargetFormView* targetView_ = nullptr;
    AdvancedSettings advanced_; // the service settings, kept while the program runs
    std::function<std::string()> playbackChooser_;
    QAction* quit_ = nullptr;
    // The toolbar's images, cut from allusertoolbar.png in the program folder
    // (empty without it: the buttons show their texts).
    std::vector<QIcon> images_;
    QIcon image(int index) const;
    bool quitting_ = false;
    bool quitConfirmed_ = false;
};

// The first window's name, kept for its callers.
using MainWindow = CMainFrame;

} // namespace kestrova::app::ui
