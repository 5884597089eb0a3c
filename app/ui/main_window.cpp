#include "app/ui/main_window.h"

#include "acquisition/sonar_messages.h"

#include <QLabel>
#include <QMetaObject>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <cstdio>

namespace kestrova::app::ui {
namespace {

using acquisition::Frequency;

enum class PaneStyle { Plain, Yellow, Green, Orange, Alarm };

void styleOf(QLabel* pane, PaneStyle style, bool blink) {
    const char* sheet = "color: black; background: white;";
    switch (style) {
    case PaneStyle::Plain:
        break;
    case PaneStyle::Yellow:
        sheet = "color: black; background: rgb(255,255,0);";
        break;
    case PaneStyle::Green:
        sheet = "color: black; background: rgb(128,255,0);";
        break;
    case PaneStyle::Orange:
        sheet = "color: black; background: rgb(255,128,0);";
        break;
    case PaneStyle::Alarm:
        sheet =
            blink ? "color: white; background: rgb(255,0,0);" : "color: black; background: white;";
        break;
    }
    pane->setStyleSheet(sheet);
}

acquisition::SonarNetSettings netSettings(const Configuration& config) {
    acquisition::SonarNetSettings net;
    net.ip = config.system.sonarIp;
    net.commandPort = static_cast<std::uint16_t>(config.system.commandPort);
    net.dataPort = static_cast<std::uint16_t>(config.system.dataPort);
    return net;
}

} // namespace

MainWindow::MainWindow(Configuration& config, const display::DrovantaApi& drovanta, QWidget* parent)
    : QMainWindow(parent), config_(config),
      acquisition_(std::make_unique<acquisition::SonarAcquisition>(queue_, netSettings(config))) {
    setWindowTitle("Kestrova");
    sink_.setOwner(this);
    config_.messenger().setSink(&sink_);

    // Worker threads post; the interface thread drains from its event loop.
    queue_.setWakeCallback([this] {
        QMetaObject::invokeMethod(
            this, [this] { pump(); }, Qt::QueuedConnection);
    });
    handle_ = queue_.registerWindow([this](const platform::WindowMessage& m) { onMainMessage(m); });
    acquisition_->windows().mainFrame = handle_;
    session_ = std::make_unique<acquisition::DeviceSession>(config_, *acquisition_);
    session_->setMainWindow(handle_);
    acquisition_->setReplySink(session_.get());

    hfView_ = std::make_unique<display::WaterfallView>(
        Frequency::HF, drovanta, shared_, queue_, acquisition_->handOff(), acquisition_->windows());
    lfView_ = std::make_unique<display::WaterfallView>(
        Frequency::LF, drovanta, shared_, queue_, acquisition_->handOff(), acquisition_->windows());
    applyDisplaySettings();

    toolbar_ = addToolBar("Main");
    toolbar_->setObjectName("MainToolBar");

    splitter_ = new QSplitter(Qt::Horizontal, this);
    hfWidget_ = new display::ui::WaterfallWidget(*hfView_, splitter_);
    lfWidget_ = new display::ui::WaterfallWidget(*lfView_, splitter_);
    for (auto* w : {hfWidget_, lfWidget_}) {
        w->setEnglish(config_.messenger().english());
        splitter_->addWidget(w);
    }
    splitter_->setChildrenCollapsible(false);
    setCentralWidget(splitter_);

    const bool english = config_.messenger().english();
    for (int i = 0; i < kStatusPanes; ++i) {
        panes_[static_cast<std::size_t>(i)] = new QLabel(this);
        panes_[static_cast<std::size_t>(i)]->setMinimumWidth(i < 3 ? 140 : 110);
        styleOf(panes_[static_cast<std::size_t>(i)], PaneStyle::Plain, false);
        statusBar()->addWidget(panes_[static_cast<std::size_t>(i)], i == 2 ? 1 : 0);
    }
    panes_[0]->setText(english ? "Model:" : "型号：");
    panes_[1]->setText("ID：");
    panes_[2]->setText("Slant:");
    for (auto* w : {hfWidget_, lfWidget_})
        connect(w, &display::ui::WaterfallWidget::slantText, panes_[2], &QLabel::setText);

    heartbeatCommand_ = new QTimer(this);
    heartbeatData_ = new QTimer(this);
    statusTimer_ = new QTimer(this);
    connect(heartbeatCommand_, &QTimer::timeout, this,
            [this] { acquisition_->heartbeat(acquisition::SonarChannelId::Command); });
    connect(heartbeatData_, &QTimer::timeout, this,
            [this] { acquisition_->heartbeat(acquisition::SonarChannelId::Data); });
    connect(statusTimer_, &QTimer::timeout, this, &MainWindow::refreshStatus);
    heartbeatCommand_->start(static_cast<int>(acquisition::kHeartbeatIntervalMs));
    heartbeatData_->start(static_cast<int>(acquisition::kHeartbeatIntervalMs));
    statusTimer_->start(1020);
    resize(1400, 800);
}

MainWindow::~MainWindow() {
    // The sonar stops pinging and the threads stop before the views they post to go away.
    if (acquisition_->status().sonarRunning) session_->stop_work();
    acquisition_->shutDown();
    queue_.setWakeCallback(nullptr);
    config_.messenger().setSink(nullptr);
    queue_.unregisterWindow(handle_);
}

void MainWindow::applyDisplaySettings() {
    const SonarSettings& s = config_.sonar;
    display::DisplayPipelineSettings& d = shared_.settings;
    d.soundSpeed = s.soundSpeed;
    d.bottom.on = s.bottomTrack.on;
    d.bottom.source = s.bottomTrack.alertGps;
    d.altitudeAlarmOn = s.alarm.alertAltitude;
    d.minAltitude = s.alarm.minAltitude;
    d.strength = {s.display.backStrengthHF, s.display.backStrengthLF};
    display::FullScaleSettings full;
    full.blindMeter = config_.system.blindMeter;
    full.newScale = config_.system.newScale;
    full.oldScale = config_.system.oldScale;
    full.useScale = config_.system.useScale;
    full.disSize = config_.system.disSize;
    const int colour[2] = {s.display.backColorHF, s.display.backColorLF};
    const bool invert[2] = {s.display.invertHF, s.display.invertLF};
    for (Frequency f : {Frequency::HF, Frequency::LF}) {
        display::Waterfall& w = view(f).waterfall();
        const int i = acquisition::index(f);
        w.palette().load(config_.programFolder(), colour[i], invert[i], config_.messenger());
        w.setFullScaleSettings(full);
    }
}

bool MainWindow::connectSonar() {
    if (!acquisition_->threadsRunning() && !acquisition_->startThreads()) return false;
    if (!session_->connect_sonar()) {
        // No sonar yet: the connection thread keeps trying; Start follows once it answers.
        acquisition_->requestConnect(acquisition::SonarChannelId::Command);
        acquisition_->requestConnect(acquisition::SonarChannelId::Data);
    }
    // As an operator would: give the sonar a second to say what it is, so the
    // configuration sent with Start follows the model's limits.
    QTimer::singleShot(1000, this, [this] { startPinging(); });
    return true;
}

void MainWindow::startPinging() {
    if (acquisition_->status().sonarRunning) return;
    session_->start_work();
    if (!acquisition_->status().sonarRunning)
        QTimer::singleShot(2000, this, [this] { startPinging(); });
}

void MainWindow::pump() {
    queue_.drain();
    // Messages posted while draining get their own turn of the event loop.
    if (queue_.pending() > 0)
        QMetaObject::invokeMethod(
            this, [this] { pump(); }, Qt::QueuedConnection);
}

void MainWindow::onMainMessage(const platform::WindowMessage&) {
    // The ping parameter panels and the bottom-tracking page arrive with the
    // main frame's panes; the status timer shows the altitude meanwhile.
}

void MainWindow::refreshStatus() {
    blink_ = !blink_;
    const bool english = config_.messenger().english();
    const acquisition::SonarStatus& st = acquisition_->status();
    QLabel* net = panes_[5];
    switch (st.connectionState.load()) {
    case 1:
        net->setText(english ? "Net not connected" : "网络未连接");
        styleOf(net, PaneStyle::Yellow, blink_);
        break;
    case 2:
        net->setText(english ? "Net Disconnected" : "网络断开");
        styleOf(net, PaneStyle::Alarm, blink_);
        break;
    case 3:
        net->setText(english ? "Net Connected" : "网络已连接");
        styleOf(net, PaneStyle::Green, blink_);
        break;
    case 4:
        net->setText(english ? "Playback Mode" : "回放模式");
        styleOf(net, PaneStyle::Orange, blink_);
        break;
    default:
        net->setText("");
        styleOf(net, PaneStyle::Plain, blink_);
        break;
    }
    QLabel* dataPane = panes_[6];
    switch (st.dataState.load()) {
    case 1:
        dataPane->setText(english ? "No Sonar Data" : "无声纳数据");
        styleOf(dataPane, PaneStyle::Yellow, blink_);
        break;
    case 2:
        dataPane->setText(english ? "No Sonar Data" : "无声纳数据");
        styleOf(dataPane, PaneStyle::Alarm, blink_);
        break;
    case 3:
        dataPane->setText(english ? "Sonar Data Normal" : "声纳数据正常");
        styleOf(dataPane, PaneStyle::Green, blink_);
        break;
    default:
        dataPane->setText("");
        styleOf(dataPane, PaneStyle::Plain, blink_);
        break;
    }
    QLabel* alt = panes_[7];
    char text[64];
    std::snprintf(text, sizeof text, english ? "Altitude：%0.1f" : "高度：%0.1f",
                  shared_.processing.currentAltitude);
    switch (shared_.processing.altitudeAlarmState) {
    case 1:
        alt->setText(text);
        styleOf(alt, PaneStyle::Plain, blink_);
        break;
    case 2:
        alt->setText(text);
        styleOf(alt, PaneStyle::Alarm, blink_);
        break;
    case 3:
        alt->setText(text);
        styleOf(alt, PaneStyle::Green, blink_);
        break;
    default:
        alt->setText("");
        styleOf(alt, PaneStyle::Plain, blink_);
        break;
    }
}

} // namespace kestrova::app::ui
