#include "app/ui/main_window.h"

#include "app/ui/device_dialogs.h"
#include "display/display_messages.h"

#include "acquisition/device_session.h"
#include "acquisition/sonar_messages.h"
#include "app/main_frame_status.h"
#include "app/ping_parameter_panel.h"
#include "app/snapshot_file.h"
#include "app/ui/control_pages.h"
#include "app/ui/interface_texts.h"
#include "app/ui/page_disk.h"
#include "app/ui/page_sonar_para_set.h"
#include "app/ui/ping_para_panel.h"
#include "display/ui/page_bottom_tracking.h"
#include "display/ui/page_display_set.h"
#include "display/ui/page_para_display.h"
#include "platform/fs.h"
#include "position/navigation_input.h"
#include "targets/ui/target_form_view.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPixmap>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace kestrova::app::ui {
namespace {

using acquisition::Frequency;

// Messages to the main frame.
constexpr std::uint32_t kMsgLoadLastProject = 1125;
constexpr std::uint32_t kMsgRecordButtons = 1142;
constexpr std::uint32_t kMsgXtfButton = 1143;
constexpr std::uint32_t kMsgReapplyLayout = 1155;
constexpr std::uint32_t kMsgLeavePlayback = 1547;

constexpr const char* kQuitZh = "退出Kestrova？";
constexpr const char* kQuitEn = "Quit Kestrova?";

void paint(QLabel* pane, const PaneShow& show, bool blink) {
    const PaneColours c = paneColours(show.style, blink);
    pane->setText(QString::fromStdString(show.text));
    pane->setStyleSheet(QString("color: #%1; background: #%2;")
                            .arg(c.text, 6, 16, QChar('0'))
                            .arg(c.background, 6, 16, QChar('0')));
}

} // namespace

CMainFrame::CMainFrame(Configuration& config, const display::DrovantaApi& drovanta,
                       MainFrameOptions options, QWidget* parent)
    : QMainWindow(parent), config_(config), options_(options),
      qtDialogs_(config.messenger(), this) {
    setWindow(this);
    sink_.setOwner(this);
    if (options_.messageBoxes) config_.messenger().setSink(&sink_);
    const bool english = config_.messenger().english();

    // Worker threads post; the interface thread drains from its event loop.
    queue_.setWakeCallback([this] {
        QMetaObject::invokeMethod(
            this, [this] { pump(); }, Qt::QueuedConnection);
    });
    handle_ = queue_.registerWindow([this](const platform::WindowMessage& m) { onMainMessage(m); });
    // The position input SysCfg.ini asks for, opened at start; a project's
    // own INSPara replaces it when the project loads.
    if (const std::string systemFile = config_.systemConfigPath();
        platform::PathFileExistsA(systemFile))
        config_.LoadConfigSection("INSPara", systemFile);
    SurveySessionCallbacks callbacks;
    // Playback commands no sonar: its page is closed to the operator meanwhile
    // and shows the live settings again afterwards.
    callbacks.sonarControls = [this](bool enabled) {
        if (!sonarPage_) return;
        sonarPage_->setEnabled(enabled);
        if (enabled) sonarPage_->refreshPage();
    };
    session_ = std::make_unique<SurveySession>(
        config_, queue_, &drovanta, static_cast<WindowProjectHost&>(*this), std::move(callbacks));
    session_->setMainWindow(handle_);
    session_->projects().setDialogs(options_.projectDialogs ? options_.projectDialogs
                                                            : &qtDialogs_);
    QMainWindow::setWindowTitle(QString::fromStdString(session_->projects().windowTitle()));

    // The waterfalls, one row each, under the two ping parameter panels.
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    auto* panels = new QHBoxLayout();
    hfPanel_ = new CPingParaPanel(app::uiText("高频", english), english, central);
    lfPanel_ = new CPingParaPanel(app::uiText("低频", english), english, central);
    panels->addWidget(hfPanel_);
    panels->addWidget(lfPanel_);
    column->addLayout(panels);
    splitter_ = new QSplitter(Qt::Vertical, central);
    hfWidget_ = new display::ui::WaterfallWidget(session_->view(Frequency::HF), splitter_);
    lfWidget_ = new display::ui::WaterfallWidget(session_->view(Frequency::LF), splitter_);
    for (auto* w : {hfWidget_, lfWidget_}) {
        w->setEnglish(english);
        splitter_->addWidget(w);
    }
    splitter_->setChildrenCollapsible(false);
    // One target snapshot for both views; a capture needs an open project.
    targetSnapshot_ = std::make_unique<display::TargetSnapshot>();
    for (Frequency f : {Frequency::HF, Frequency::LF})
        session_->view(f).setTargetCapture({targetSnapshot_.get(),
                                            [this] { return session_->projects().projectOpen(); },
                                            [this] { targetView_->saveIfChanged(); }});
    column->addWidget(splitter_, 1);
    setCentralWidget(central);

    // The "Control" pane: its property sheet with the pages that exist.
    control_ = new QDockWidget(app::uiText("控制", english), this);
    control_->setObjectName("ControlPane");
    sheet_ = new QTabWidget(control_);
    sonarPage_ = new CPageSonarParaSet(config_, session_->device(), *this, sheet_);
    diskPage_ = new CPageDisk(session_->rawRecorder(), session_->xtfWriter(), &session_->playback(),
                              session_->notices(), queue_, english, sheet_);
    controlPages_ = std::make_unique<ControlPages>(config_, *session_, sheet_);
    sheet_->addTab(sonarPage_, app::uiText("声纳参数", english));
    sheet_->addTab(controlPages_->displayPage(), app::uiText("显示设置", english));
    sheet_->addTab(diskPage_, app::uiText("存储与回放", english));
    sheet_->addTab(controlPages_->bottomPage(), app::uiText("高度跟踪", english));
    sheet_->addTab(controlPages_->statusPage(), app::uiText("状态信息", english));
    control_->setWidget(sheet_);
    addDockWidget(Qt::LeftDockWidgetArea, control_);
    buildTargetPane();
    session_->setDiskPage(diskPage_->window());

    // The navigation pane: the map with its tool bar. It shows the vessel,
    // track, coverage and planned lines; the main frame feeds it on 0x467.
    naviDock_ = new QDockWidget(app::uiText("导航", english), this);
    naviDock_->setObjectName("NavigationPane");
    navigation::ui::NaviViewHost naviHost;
    naviHost.projectPlace = [this] {
        const CurrentProject& p = session_->projects().current();
        if (!p.open) return navigation::ImportPlace{};
        return navigation::ImportPlace{p.naviFolderPath(), p.fullName};
    };
    naviHost.settings = &config_.navi;
    naviHost.geodesy = &session_->positions().geodesy();
    naviHost.saveSettings = [this] {
        if (const auto path = projectConfigPath()) config_.SaveConfigSection("ParaOfNavi", *path);
    };
    naviPanel_ = new navigation::ui::CNavigationPanelWnd(config_.messenger(), english,
                                                         std::move(naviHost), naviDock_);
    naviDock_->setWidget(naviPanel_);
    // A tab beside the control pane, so the waterfalls keep their width; the
    // Navigation command brings it to the front, and it can be dragged out.
    addDockWidget(Qt::LeftDockWidgetArea, naviDock_);
    tabifyDockWidget(control_, naviDock_);
    control_->raise();
    naviFeed_ = std::make_unique<navigation::NavigationFeed>(naviPanel_->view()->model());
    // The map marks the listed targets: created, loaded, deleted, or another project's.
    connect(targetView_, &targets::ui::CTargetFormView::targetsChanged, this, [this] {
        std::vector<navigation::MapTarget> marks;
        for (const targets::PlacedTarget& t : targetView_->placedTargets())
            marks.push_back({{t.at.east, t.at.north}, t.name});
        naviPanel_->view()->model().setTargets(std::move(marks));
        naviPanel_->view()->update();
    });

    buildCommands();
    installAdvancedSettingsShortcut(this,
                                    [this] { queue_.post(handle_, kMsgShowAdvancedSettings); });

    for (int i = 0; i < kStatusPanes; ++i) {
        auto* pane = new QLabel(this);
        pane->setMinimumWidth(i < 3 ? 140 : 110);
        paint(pane, {}, false);
        statusBar()->addWidget(pane, i == 2 ? 1 : 0);
        panes_[static_cast<std::size_t>(i)] = pane;
    }
    panes_[0]->setText(QString::fromStdString(modelPaneText("", english)));
    panes_[1]->setText(QString::fromStdString(identifierPaneText("")));
    panes_[2]->setText(QString::fromUtf8(app::uiText(kSlantPaneLabelZh, english)));
    for (auto* w : {hfWidget_, lfWidget_})
        connect(w, &display::ui::WaterfallWidget::slantText, panes_[2], &QLabel::setText);

    // A model identified later (a one-frequency sonar) brings its own layout.
    modelObserver_ =
        config_.device.addObserver([this] { queue_.post(handle_, kMsgModelChangedMainWindow); });
    session_->start();
    applyLayout();

    heartbeat_ = new QTimer(this);
    statusTimer_ = new QTimer(this);
    connect(heartbeat_, &QTimer::timeout, this, [this] { session_->heartbeat(); });
    connect(statusTimer_, &QTimer::timeout, this, &CMainFrame::refreshStatus);
    heartbeat_->start(static_cast<int>(acquisition::kHeartbeatIntervalMs));
    statusTimer_->start(1020);
    // Within the screen it opens on (a 1366 x 768 laptop included).
    QSize size(1400, 800);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
    defaultState_ = saveState();
    refreshCommands();
    // The pages written once in the code speak the interface language.
    speakLanguage(this, english);
    if (options_.offerLastProject) queue_.post(handle_, kMsgLoadLastProject);
    queue_.post(handle_, kMsgRecordButtons);
}

CMainFrame::~CMainFrame() {
    config_.device.removeObserver(modelObserver_);
    // The sonar stops and the files close before the views they feed go away.
    session_->shutDown();
    // The pages and waterfalls use the queue and the views: they go before them.
    delete targetPane_;
    delete control_;
    delete takeCentralWidget();
    queue_.setWakeCallback(nullptr);
    config_.messenger().setSink(nullptr);
    queue_.unregisterWindow(handle_);
}

void CMainFrame::buildCommands() {
    const bool english = config_.messenger().english();
    QMenu* menu = menuBar()->addMenu(app::uiText("命令", english));
    for (FrameCommand c : allFrameCommands()) {
        auto* a = new QAction(QString::fromStdString(commandText(c, english)), this);
        a->setObjectName(QString("command%1").arg(commandId(c)));
        const std::string key = commandKey(c, english);
        if (!key.empty()) a->setShortcut(QKeySequence(QString::fromStdString(key)));
        connect(a, &QAction::triggered, this, [this, c] { runCommand(c); });
        actions_[static_cast<std::size_t>(c)] = a;
        addAction(a);
        bool inHelp = false;
        for (FrameCommand h : helpMenuCommands())
            inHelp = inHelp || h == c;
        if (!inHelp) menu->addAction(a);
    }
    toolbar_ = addToolBar(app::uiText("主工具栏", english));
    toolbar_->setObjectName("MainToolBar");
    // The strip's images in the buttons' order (0 Project ... 13 Target),
    // then 14 XTF off, 15 and 16 the recording buttons on, 17 Help, 18 Quit.
    const QPixmap strip(QString::fromStdString(config_.programFolder() + "/allusertoolbar.png"));
    for (int x = 0; strip.height() > 0 && x + strip.height() <= strip.width(); x += strip.height())
        images_.push_back(QIcon(strip.copy(x, 0, strip.height(), strip.height())));
    toolbar_->setToolButtonStyle(images_.empty() ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
    for (std::size_t i = 0; i < toolbarCommands().size(); ++i) {
        QAction* a = action(toolbarCommands()[i]);
        a->setIcon(image(static_cast<int>(i)));
        toolbar_->addAction(a);
    }
    // After the recording buttons: the XTF command beside Cut KSF.
    toolbar_->insertAction(action(FrameCommand::CalibrationPressure),
                           action(FrameCommand::XtfFile));
    // "Help" is a drop-down of the help commands.
    auto* help = new QToolButton(toolbar_);
    help->setText(app::uiText("帮助", english));
    help->setPopupMode(QToolButton::InstantPopup);
    help->setIcon(image(17));
    help->setToolTip(help->text());
    help->setToolButtonStyle(toolbar_->toolButtonStyle());
    auto* helpMenu = new QMenu(help);
    for (FrameCommand c : helpMenuCommands())
        helpMenu->addAction(action(c));
    help->setMenu(helpMenu);
    toolbar_->addWidget(help)->setToolTip(help->text());
    // Quit: the same question as the window's close button.
    quit_ = new QAction(app::uiText("退出", english), this);
    quit_->setObjectName("commandQuit");
    quit_->setShortcut(QKeySequence::Quit);
    quit_->setToolTip(app::uiText("退出Kestrova", english));
    quit_->setIcon(image(18));
    connect(quit_, &QAction::triggered, this, &QWidget::close);
    addAction(quit_);
    menu->addSeparator();
    menu->addAction(quit_);
    toolbar_->addAction(quit_);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A second request while the first is shutting down changes nothing.
    if (quitting_) {
        event->ignore();
        return;
    }
    if (!quitConfirmed_ &&
        config_.messenger().ShowMessage(kQuitZh, kQuitEn, mb::kWarningOkCancel) != IDOK) {
        event->ignore();
        return;
    }
    quitting_ = true;
    heartbeat_->stop();
    statusTimer_->stop();
    // Stop line, threads joined, files closed, sockets closed, settings saved.
    session_->shutDown();
    event->accept();
}

FrameState CMainFrame::frameState() const {
    FrameState s;
    SurveySession& ss = *session_;
    s.english = config_.messenger().english();
    s.projectOpen = ss.projects().projectOpen();
    s.playbackMode = ss.playbackMode();
    const acquisition::SonarStatus& st = ss.acquisition().status();
    s.running = st.sonarRunning.load();
    s.deviceConnected = ss.device().commandChannelConnected();
    s.rawRecording = ss.rawRecorder().recording();
    s.xtfRecording = ss.xtfWriter().recording();
    s.frequencyCount = config_.device.frequencyCount;
    s.pressureSensor = config_.device.sensors.pressure;
    return s;
}

void CMainFrame::refreshCommands() {
    const FrameState s = frameState();
    const RecordingButtons images = recordingButtonImages(s.rawRecording, s.xtfRecording);
    for (FrameCommand c : allFrameCommands()) {
        QAction* a = action(c);
        a->setEnabled(commandEnabled(c, s));
        const QString prompt = QString::fromStdString(commandPrompt(c, s));
        a->setToolTip(prompt);
        a->setStatusTip(prompt);
    }
    // The recording buttons show their state (images 7/15 and 8/16) as a check.
    action(FrameCommand::SaveKsf)->setCheckable(true);
    action(FrameCommand::SaveKsf)->setChecked(images.rawImage == 15);
    action(FrameCommand::XtfFile)->setCheckable(true);
    action(FrameCommand::XtfFile)->setChecked(images.xtfImage == 16);
    // Cut KSF keeps image 8: the XTF button's own "off" image is 14.
    action(FrameCommand::SaveKsf)->setIcon(image(images.rawImage));
    action(FrameCommand::XtfFile)->setIcon(image(images.xtfImage == 16 ? 16 : 14));
}

QIcon CMainFrame::image(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < images_.size()
               ? images_[static_cast<std::size_t>(index)]
               : QIcon();
}

void CMainFrame::runCommand(FrameCommand c) {
    // Keys reach here even when a button is disabled: the rules decide.
    if (!commandEnabled(c, frameState())) return;
    SurveySession& ss = *session_;
    switch (c) {
    case FrameCommand::Project:
        ss.projects().ManageProject();
        break;
    case FrameCommand::ConnectDevice:
        if (ss.playbackMode()) leavePlayback();
        ss.connectSonar();
        break;
    case FrameCommand::OpenFile:
        openFileForPlayback();
        break;
    case FrameCommand::Start:
        naviFeed_->reset();
        ss.startWork();
        break;
    case FrameCommand::Stop:
        naviFeed_->reset();
        ss.stopWork();
        break;
    case FrameCommand::SaveKsf:
        ss.toggleRawRecording();
        break;
    case FrameCommand::CutKsf:
        ss.cutRawFile();
        break;
    case FrameCommand::XtfFile:
        ss.toggleXtfRecording();
        break;
    case FrameCommand::SwitchWindow:
        config_.device.FrequencyLayout = nextLayout(config_.device.FrequencyLayout);
        applyLayout();
        break;
    case FrameCommand::Snapshot:
        takeSnapshot();
        break;
    case FrameCommand::WindowReset:
        restoreState(defaultState_);
        control_->show();
        toolbar_->show();
        break;
    // Opened by the device dialogs and the navigation and target views.
    case FrameCommand::DeviceSettings:
        openDeviceSettings();
        break;
    case FrameCommand::AlarmSettings: {
        AlarmContext alarm{config_, projectConfigPath()};
        showAlarmSettingDialog(this, alarm);
        session_->applyDisplaySettings();
        break;
    }
    case FrameCommand::CalibrationPressure: {
        acquisition::DeviceSession& device = session_->device();
        PressureContext pressure{
            device, config_.messenger(), queue_,
            [&device](platform::WindowHandle w) { device.setPressureDialog(w); }};
        showCalibrationPressureDialog(this, pressure);
        break;
    }
    case FrameCommand::Navigation:
        naviDock_->show();
        naviDock_->raise();
        emit navigationPaneRequested();
        break;
    case FrameCommand::Target:
        targetPane_->setVisible(!targetPane_->isVisible());
        if (targetPane_->isVisible()) targetPane_->raise();
        emit targetPaneRequested();
        break;
    case FrameCommand::About:
        emit aboutRequested();
        break;
    case FrameCommand::Chinese:
        emit languageSwitchRequested(false);
        break;
    case FrameCommand::English:
        emit languageSwitchRequested(true);
        break;
    case FrameCommand::ConversionTool:
        emit conversionToolRequested();
        break;
    }
    refreshCommands();
}

void CMainFrame::openFileForPlayback() {
    const bool english = config_.messenger().english();
    control_->show();
    sheet_->setCurrentWidget(diskPage_);
    std::string file;
    if (playbackChooser_) {
        file = playbackChooser_();
    } else {
        const std::string folder = session_->projects().current().dataFolderPath();
        file = QFileDialog::getOpenFileName(
                   this, QString::fromUtf8(app::uiText("选择回放文件", english)),
                   QString::fromStdString(folder),
                   QString::fromUtf8(app::uiText("数据文件(*.ksf);;所有文件 (*.*)", english)))
                   .toStdString();
    }
    if (file.empty() || !session_->enterPlayback(file)) {
        if (!session_->playbackMode()) sheet_->setCurrentIndex(0);
        return;
    }
    paint(panes_[5], {playbackPaneText(english), PaneStyle::Orange, false}, blink_);
}

bool CMainFrame::playbackMode() const {
    return session_ && session_->playbackMode();
}

void CMainFrame::leavePlayback() {
    if (session_->playbackMode()) session_->leavePlayback();
    sheet_->setCurrentIndex(0);
}

void CMainFrame::projectChanged() {
    // A created project is never loaded: its folder must still reach the
    // recorders, or "Save KSF" has nowhere to write.
    session_->setProjectFolder(session_->projects().current().path);
    naviPanel_->view()->reloadSettingsAndFit();
    queue_.post(targetView_->handle(), kMsgTargetProjectChanged);
    refreshCommands();
}

void CMainFrame::clearProjectLists() {
    naviFeed_->reset();
    navigation::NaviModel& m = naviPanel_->view()->model();
    m.clearTrack();
    m.lines().clear();
    naviPanel_->view()->update();
}

void CMainFrame::naviSettingsLoaded() {
    naviPanel_->view()->model().settings() = config_.navi;
    naviPanel_->view()->update();
}

SurveyLineLoad CMainFrame::loadSurveyLineFile(const std::string& path) {
    return naviPanel_->view()->loadLineFile(path) ? SurveyLineLoad::Loaded : SurveyLineLoad::Failed;
}

void CMainFrame::sonarSettingsLoaded() {
    if (sonarPage_) sonarPage_->refreshPage();
}

void CMainFrame::displaySettingsLoaded(double) {
    applyLayout();
    if (controlPages_) controlPages_->settingsLoaded();
}

void CMainFrame::projectLoaded() {
    refreshCommands();
}

std::optional<std::string> CMainFrame::projectConfigPath() const {
    return session_->projects().current().configPath();
}

void CMainFrame::rangeCommitted(app::Frequency) {
    // The bottom-tracking page fits its search window to the new range.
    queue_.post(handle_, kMsgRefreshBottomTrackFromRange);
}

void CMainFrame::applyLayout() {
    const LayoutRows rows = layoutRows(config_.device.FrequencyLayout);
    // The views' resets after a resize follow the mode (a stored one above 2 is 0).
    const int mode = effectiveLayout(config_.device.FrequencyLayout);
    for (Frequency f : {Frequency::HF, Frequency::LF})
        session_->view(f).setViewMode(mode);
    hfWidget_->setVisible(rows.hfShown);
    lfWidget_->setVisible(rows.lfShown);
    lfPanel_->setVisible(rows.lfShown);
    hfPanel_->setVisible(rows.hfShown);
    if (rows.hfShown && rows.lfShown) {
        const int half = std::max(1, splitter_->height() / 2);
        splitter_->setSizes({half, half});
    }
    hfWidget_->update();
    lfWidget_->update();
}

std::string CMainFrame::takeSnapshot() {
    // The main window only, not the operator's other windows, as a real JPEG.
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        grab().toImage().convertToFormat(QImage::Format_RGB32).save(&buffer, "JPG", 90);
    }
    const std::time_t now = clock_ ? clock_() : std::time(nullptr);
    const auto path =
        writeSnapshotFile(session_->projects().current().path, now,
                          std::span(reinterpret_cast<const std::uint8_t*>(jpeg.constData()),
                                    static_cast<std::size_t>(jpeg.size())),
                          config_.messenger());
    if (path) {
        const bool english = config_.messenger().english();
        // Pane 2 (the slant read-out) says where it went until the pointer moves.
        panes_[2]->setText((app::uiText("截图：", english)) + QString::fromStdString(*path));
    }
    return path.value_or(std::string());
}

bool CMainFrame::connectSonar() {
    if (!session_->connectSonar()) {
        // The connection thread keeps trying; Start follows once it answers.
    }
    // As an operator would: give the sonar a second to say what it is, so the
    // configuration sent with Start follows the model's limits.
    QTimer::singleShot(1000, this, [this] { startPinging(); });
    return session_->acquisition().threadsRunning();
}

void CMainFrame::startPinging() {
    if (session_->acquisition().status().sonarRunning) return;
    session_->startWork();
    if (!session_->acquisition().status().sonarRunning)
        QTimer::singleShot(2000, this, [this] { startPinging(); });
}

void CMainFrame::pump() {
    queue_.drain();
    if (queue_.pending() > 0)
        QMetaObject::invokeMethod(
            this, [this] { pump(); }, Qt::QueuedConnection);
}

void CMainFrame::onMainMessage(const platform::WindowMessage& m) {
    const bool english = config_.messenger().english();
    switch (m.id) {
    case kMsgLoadLastProject:
        session_->projects().LoadLastProject();
        refreshCommands();
        break;
    case acquisition::WM_PING_PARAM_HF:
    case acquisition::WM_PING_PARAM_LF: {
        const Frequency f = m.id == acquisition::WM_PING_PARAM_HF ? Frequency::HF : Frequency::LF;
        const auto header = session_->acquisition().snapshots().ping(f).header();
        if (!header) break;
        const app::Frequency af = f == Frequency::HF ? app::Frequency::HF : app::Frequency::LF;
        // The range the ping itself reports: a live change and a played
        // file show theirs, not the page's.
        const int range = pingRangeMetres(*header, session_->displayShared().settings.soundSpeed,
                                          f == Frequency::HF ? config_.sonar.commandRangeMetresHF
                                                             : config_.sonar.commandRangeMetresLF);
        pingPanel(f)->show(formatPingParameters(
            pingParameterCodes(*header, config_.sonar.of(af), range), english));
        speakLanguage(pingPanel(f), english);
        break;
    }
    case acquisition::WM_SENSOR_READOUTS: // 1130: the towfish sensors on the status page
        controlPages_->refreshStatus();
        speakLanguage(controlPages_->statusPage(), english);
        break;
    case acquisition::WM_DEVICE_INFO: {
        const acquisition::DeviceInformation info = session_->device().deviceInformation();
        if (m.wParam == 0)
            panes_[0]->setText(QString::fromStdString(modelPaneText(info.type, english)));
        else
            panes_[1]->setText(QString::fromStdString(identifierPaneText(info.identifier)));
        break;
    }
    case kMsgRecordButtons:
    case kMsgXtfButton:
        refreshCommands();
        break;
    case kMsgRefreshBottomTrackFromRange: // also the views' range change, 0x48D
        controlPages_->rangesChanged();
        break;
    case kMsgReapplyLayout:
    case kMsgModelChangedMainWindow:
        // A one-frequency model shows no HF label.
        if (m.id == kMsgModelChangedMainWindow) session_->applyDisplaySettings();
        applyLayout();
        refreshCommands();
        break;
    case display::WM_TARGET_CAPTURED: // 1161: show the pane, the view names and keeps it
        targetPane_->show();
        targetPane_->raise();
        queue_.post(targetView_->handle(), targets::ui::WM_CREATE_TARGET, m.wParam);
        break;
    case kMsgLeavePlayback:
        leavePlayback();
        refreshCommands();
        break;
    case position::nav_message::kFixesReady:
        // The new track points and fix events, taken under their locks; each
        // ping's towfish goes into its view's position ring.
        naviFeed_->onFixesReady(session_->navigation(),
                                navigation::towfishInstall(config_.sonar.install),
                                session_->view(Frequency::HF), session_->view(Frequency::LF));
        naviPanel_->view()->dataArrived();
        break;
    case position::nav_message::kApplyPositionSettings:
        session_->positions().restartPositionInput();
        break;
    case position::nav_message::kStopPositionInput:
        session_->positions().stopPositionInput();
        break;
    case kMsgShowAdvancedSettings: {
        AdvancedContext advanced{advanced_, session_->device(), config_.messenger()};
        showAdvancedSettingsDialog(this, advanced);
        break;
    }
    default:
        break;
    }
}

void CMainFrame::refreshStatus() {
    blink_ = !blink_;
    SurveySession& ss = *session_;
    StatusInputs in;
    in.english = config_.messenger().english();
    in.timeMessageMissing = ss.navigation().timeMessageMissing();
    in.gpsState = ss.navigation().gpsState();
    in.connectionState = ss.acquisition().status().connectionState.load();
    in.dataState = ss.acquisition().status().dataState.load();
    in.altitudeAlarmState = ss.displayShared().processing.altitudeAlarmState;
    in.altitude = ss.displayShared().processing.currentAltitude;
    const StatusPanes shown = statusPanes(in);
    for (int i = 0; i < 5; ++i)
        paint(panes_[static_cast<std::size_t>(3 + i)], shown.panes[i], blink_);
    if (shown.beep()) QApplication::beep();
    controlPages_->refreshStatus();
    // The read-outs just written ("None", the row captions) and the target
    // pane's coordinates in the interface language too.
    speakLanguage(this, in.english);
    refreshCommands();
}

} // namespace kestrova::app::ui

namespace kestrova::app::ui {

void CMainFrame::openDeviceSettings() {
    FitParaContext fit{config_,
                       session_->positions(),
                       projectConfigPath(),
                       session_->playbackMode(),
                       session_->displayShared().settings.soundSpeed,
                       {},
                       {},
                       &queue_,
                       handle_};
    if (!showFitParaDialog(this, fit)) return;
    const bool recompute = fit.stored.recomputeWaterfalls;
    session_->applyDisplaySettings();
    // A new sound speed changes every slant range: the views compute their lines again.
    if (recompute) {
        queue_.post(session_->view(Frequency::HF).handle(), display::WM_RERUN_HF);
        queue_.post(session_->view(Frequency::LF).handle(), display::WM_RERUN_LF);
    }
    refreshCommands();
}

} // namespace kestrova::app::ui

namespace kestrova::app::ui {

// The "Target" pane: the target view over the snapshot both waterfalls capture into.
void CMainFrame::buildTargetPane() {
    const bool english = config_.messenger().english();
    targets::ui::TargetViewLinks links;
    links.config = &config_;
    links.snapshot = targetSnapshot_.get();
    links.queue = &queue_;
    links.projectOpen = [this] { return session_->projects().projectOpen(); };
    links.targetFolder = [this] { return session_->projects().current().targetFolderPath(); };
    links.saveSettings = [this] {
        if (const auto path = projectConfigPath()) config_.SaveConfigSection("SonarSetPara", *path);
    };
    links.gridToGeo = [this](const targets::GroundPoint& p) -> std::optional<targets::GeoPosition> {
        const auto g = session_->positions().geodesy().inverse(p.north, p.east, 0.0);
        if (!std::isfinite(g.latitude) || !std::isfinite(g.longitude)) return std::nullopt;
        return targets::GeoPosition{g.latitude, g.longitude};
    };
    targetPane_ = new QDockWidget(app::uiText("目标", english), this);
    targetPane_->setObjectName("TargetPane");
    targetView_ = new targets::ui::CTargetFormView(std::move(links), targetPane_);
    targetPane_->setWidget(targetView_);
    // A tab beside "Control", so the waterfalls keep their width; hidden until a
    // capture or the Target command shows it.
    addDockWidget(Qt::LeftDockWidgetArea, targetPane_);
    tabifyDockWidget(control_, targetPane_);
    targetPane_->hide();
}

} // namespace kestrova::app::ui
