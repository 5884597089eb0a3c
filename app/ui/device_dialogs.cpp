#include "app/ui/device_dialogs.h"

#include "app/ui/interface_texts.h"

#include "platform/fs.h"
#include "position/position_settings_rules.h"
#include "position/ui/ins_device_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace kestrova::app::ui {

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QDoubleSpinBox* number(QWidget* parent, const char* name, double min, double max,
                       int decimals = 3) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setRange(min, max);
    box->setDecimals(decimals);
    return box;
}

QRadioButton* radio(QWidget* parent, const char* label, const char* name) {
    auto* button = new QRadioButton(text(label), parent);
    button->setObjectName(name);
    return button;
}

// Written in Chinese like every text; speakLanguage gives the English interface its words.
QDialogButtonBox* okCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(text("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(text("取消"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

// ---------------------------------------------------------------- CFitPara

CFitPara::CFitPara(FitParaContext& context, QWidget* parent) : QDialog(parent), ctx_(context) {
    setWindowTitle(text(fit_text::kCaption));
    const bool english = ctx_.config.messenger().english();

    // Position input: the two child dialogs share the "GPS device connection" area.
    auto* gps = new QGroupBox(text(fit_text::kGpsConnection), this);
    gps->setObjectName("gpsConnection");
    auto* modes = new QHBoxLayout;
    auto* modeGroup = new QButtonGroup(this);
    const char* modeNames[] = {"modeClose", "modeNet", "modeCom"};
    for (std::size_t i = 0; i < mode_.size(); ++i) {
        mode_[i] = radio(gps, fit_text::kModeNames[i], modeNames[i]);
        modeGroup->addButton(mode_[i], static_cast<int>(i));
        modes->addWidget(mode_[i]);
    }
    connection_ = new QStackedWidget(gps);
    connection_->addWidget(new QWidget(connection_)); // "Close": nothing to set
    net_ = new position::ui::CINDeviceSetNetTypeDlg(connection_, english);
    com_ = new position::ui::CINDeviceSetCOMDlg(ctx_.position.input(), ctx_.serialPorts,
                                                connection_, english);
    connection_->addWidget(net_);
    connection_->addWidget(com_);
    protocol_ = new QComboBox(gps);
    protocol_->setObjectName("protocol");
    for (const std::string& name : insDataProtocolNames(english))
        protocol_->addItem(QString::fromStdString(name));
    auto* gpsColumn = new QVBoxLayout(gps);
    gpsColumn->addLayout(modes);
    gpsColumn->addWidget(connection_);
    auto* protocolRow = new QFormLayout;
    protocolRow->addRow(text(fit_text::kDataProtocol), protocol_);
    gpsColumn->addLayout(protocolRow);
    connect(modeGroup, &QButtonGroup::idClicked, this, [this](int id) { showMode(id); });
    // "Open" with no port: the position device is not in use.
    connect(com_, &position::ui::CINDeviceSetCOMDlg::deviceNotUsed, this, [this] {
        ctx_.config.sonar.install.gpsChoice = false;
        mode_[0]->setChecked(true);
        showMode(0);
    });

    // Installation.
    auto* install = new QGroupBox(this);
    auto* form = new QFormLayout(install);
    soundVelocity_ = number(install, "soundVelocity", 0, 100000);
    form->addRow(tr("声速(m/s)："), soundVelocity_);
    speedAuto_ = radio(install, "GPS", "speedAuto");
    speedManual_ = radio(install, "手动", "speedManual");
    auto* speedGroup = new QButtonGroup(this);
    speedGroup->addButton(speedAuto_);
    speedGroup->addButton(speedManual_);
    shipSpeed_ = number(install, "shipSpeed", -1000, 1000);
    auto* speedRow = new QHBoxLayout;
    speedRow->addWidget(speedAuto_);
    speedRow->addWidget(speedManual_);
    speedRow->addWidget(shipSpeed_);
    form->addRow(tr("船速(kn)："), speedRow);
    gpsX_ = number(install, "gpsX", -100000, 100000);
    gpsY_ = number(install, "gpsY", -100000, 100000);
    gpsZ_ = number(install, "gpsZ", -100000, 100000);
    auto* offsets = new QHBoxLayout;
    offsets->addWidget(new QLabel("X", install));
    offsets->addWidget(gpsX_);
    offsets->addWidget(new QLabel("Y", install));
    offsets->addWidget(gpsY_);
    offsets->addWidget(new QLabel("Z", install));
    offsets->addWidget(gpsZ_);
    form->addRow(tr("GPS天线(m)："), offsets);
    form->addRow(new QLabel(text(fit_text::kDragPoint), install));
    towLength_ = number(install, "towLength", -100000, 100000);
    form->addRow(tr("拖缆长度(m)："), towLength_);
    towPointToWater_ = number(install, "towPointToWater", -100000, 100000);
    form->addRow(tr("拖点高出水面(m)："), towPointToWater_);
    depthAuto_ = radio(install, "设备", "depthAuto");
    depthManual_ = radio(install, "手动", "depthManual");
    auto* depthGroup = new QButtonGroup(this);
    depthGroup->addButton(depthAuto_);
    depthGroup->addButton(depthManual_);
    towfishDepth_ = number(install, "towfishDepth", -100000, 100000);
    auto* depthRow = new QHBoxLayout;
    depthRow->addWidget(depthAuto_);
    depthRow->addWidget(depthManual_);
    depthRow->addWidget(towfishDepth_);
    form->addRow(tr("拖鱼深度(m)："), depthRow);
    density_ = number(install, "density", -1000, 1000, 4);
    form->addRow(tr("密度(g/cm3)："), density_);
    auto* headingGroup = new QButtonGroup(this);
    auto* headingRow = new QHBoxLayout;
    const char* headingNames[] = {"headingFishGyro", "headingGpsCourse"};
    for (std::size_t i = 0; i < heading_.size(); ++i) {
        heading_[i] = radio(install, fit_text::kHeadingNames[i], headingNames[i]);
        headingGroup->addButton(heading_[i]);
        headingRow->addWidget(heading_[i]);
    }
    form->addRow(tr("艏向："), headingRow);
    auto* syncGroup = new QButtonGroup(this);
    auto* syncRow = new QHBoxLayout;
    const char* syncNames[] = {"syncInternal", "syncExternal"};
    for (std::size_t i = 0; i < sync_.size(); ++i) {
        sync_[i] = radio(install, fit_text::kSyncModeNames[i], syncNames[i]);
        syncGroup->addButton(sync_[i]);
        syncRow->addWidget(sync_[i]);
    }
    polarity_ = new QComboBox(install);
    polarity_->setObjectName("polarity");
    for (const char* name : fit_text::kSyncPolarityNames)
        polarity_->addItem(text(name));
    syncRow->addWidget(polarity_);
    form->addRow(tr("同步："), syncRow);
    latLon_ = new QComboBox(install);
    latLon_->setObjectName("latLonFormat");
    for (const char* name : fit_text::kLatLonFormatNames)
        latLon_->addItem(text(name));
    form->addRow(tr("经纬度："), latLon_);
    coordinate_ = new QPushButton(text(fit_text::kCoordinate), this);
    coordinate_->setObjectName("coordinate");
    connect(coordinate_, &QPushButton::clicked, this, [this] { coordinate(); });

    for (QRadioButton* r : {speedAuto_, speedManual_, depthAuto_, depthManual_, sync_[0], sync_[1]})
        connect(r, &QRadioButton::toggled, this, [this] { refreshEnables(); });
    connect(polarity_, &QComboBox::currentIndexChanged, this, [this] { refreshEnables(); });

    auto* column = new QVBoxLayout(this);
    column->addWidget(gps);
    column->addWidget(install);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(coordinate_);
    bottom->addStretch();
    bottom->addWidget(okCancel(this));
    column->addLayout(bottom);

    load();
    speakLanguage(this, ctx_.config.messenger().english());
}

void CFitPara::load() {
    const InsSettings ins = ctx_.position.input().settings();
    const int mode = ins.modeSelect >= 0 && ins.modeSelect <= 2 ? ins.modeSelect : 0;
    mode_[static_cast<std::size_t>(mode)]->setChecked(true);
    net_->load(ins);
    protocol_->setCurrentIndex(ins.dataType >= 0 && ins.dataType <= 2 ? ins.dataType : 0);
    showMode(mode);
    if (ctx_.playbackMode) ctx_.position.input().closeSerialPort();
    com_->refresh();

    const FitParaFields f = fitParaFields(ctx_.config.sonar.install, ctx_.config.device.sensors);
    soundVelocity_->setValue(f.soundVelocity);
    density_->setValue(f.density);
    (f.autoShipSpeed ? speedAuto_ : speedManual_)->setChecked(true);
    shipSpeed_->setValue(f.shipSpeed);
    gpsX_->setValue(f.gpsX);
    gpsY_->setValue(f.gpsY);
    gpsZ_->setValue(f.gpsZ);
    towLength_->setValue(f.towLength);
    towPointToWater_->setValue(f.towPointToWater);
    (f.autoTowfishDepth ? depthAuto_ : depthManual_)->setChecked(true);
    towfishDepth_->setValue(f.towfishDepth);
    heading_[static_cast<std::size_t>(f.headingSource)]->setChecked(true);
    sync_[static_cast<std::size_t>(f.syncMode)]->setChecked(true);
    polarity_->setCurrentIndex(f.syncPolarity);
    latLon_->setCurrentIndex(f.latLonFormat);
    refreshEnables();
}

void CFitPara::showMode(int mode) {
    connection_->setCurrentIndex(mode >= 0 && mode <= 2 ? mode : 0);
}

int CFitPara::modeSelect() const {
    for (std::size_t i = 0; i < mode_.size(); ++i)
        if (mode_[i]->isChecked()) return static_cast<int>(i);
    return 0;
}

FitParaFields CFitPara::fields() const {
    FitParaFields f;
    f.soundVelocity = static_cast<float>(soundVelocity_->value());
    f.density = static_cast<float>(density_->value());
    f.autoShipSpeed = speedAuto_->isChecked();
    f.shipSpeed = static_cast<float>(shipSpeed_->value());
    f.gpsX = static_cast<float>(gpsX_->value());
    f.gpsY = static_cast<float>(gpsY_->value());
    f.gpsZ = static_cast<float>(gpsZ_->value());
    f.towLength = static_cast<float>(towLength_->value());
    f.towPointToWater = static_cast<float>(towPointToWater_->value());
    f.autoTowfishDepth = depthAuto_->isChecked();
    f.towfishDepth = static_cast<float>(towfishDepth_->value());
    f.headingSource = heading_[1]->isChecked() ? 1 : 0;
    f.syncMode = sync_[1]->isChecked() ? 1 : 0;
    f.syncPolarity = f.syncMode == 0 ? 0 : polarity_->currentIndex();
    f.latLonFormat = latLon_->currentIndex();
    return f;
}

void CFitPara::refreshEnables() {
    const FitParaFields f = fields();
    const FitParaEnables e = fitParaEnables(f, ctx_.config.device.sensors, ctx_.playbackMode);
    heading_[0]->setEnabled(e.fishGyro);
    polarity_->setEnabled(e.syncPolarity);
    if (!e.syncPolarity && polarity_->currentIndex() != 0) polarity_->setCurrentIndex(0);
    shipSpeed_->setEnabled(e.shipSpeed);
    towfishDepth_->setEnabled(e.towfishDepth);
    density_->setEnabled(e.density);
    for (QRadioButton* r : mode_)
        r->setEnabled(e.positionControls);
    connection_->setEnabled(e.positionControls);
    protocol_->setEnabled(e.positionControls);
}

void CFitPara::accept() {
    InsSettings ins = withPositionChoice(ctx_.position.input().settings(), modeSelect(),
                                         protocol_->currentIndex());
    if (ins.modeSelect == 1) {
        const position::NetworkDialogResult r = net_->apply(ins);
        if (!r.ok) {
            ctx_.config.messenger().ShowMessage(r.errorChinese, r.errorEnglish);
            return;
        }
        ins = r.settings;
    }
    if (!ctx_.position.input().serialOpen())
        ins = position::withSerialChoices(
            ins, com_->baudBox()->currentIndex(), com_->stopBox()->currentIndex(),
            com_->dataBox()->currentIndex(), com_->checkBox()->currentIndex());
    const std::string path = ctx_.projectConfigPath.value_or(std::string());
    if (ctx_.queue && ctx_.mainFrame != platform::kNoWindow) {
        ctx_.position.storePositionSettings(ins, path);
        ctx_.queue->post(ctx_.mainFrame, ins.modeSelect == position::kModeNetwork
                                             ? position::nav_message::kApplyPositionSettings
                                             : position::nav_message::kStopPositionInput);
    } else {
        ctx_.position.positionSettingsAccepted(ins, path);
    }
    QDialog::accept();
    ctx_.stored =
        storeFitParaFields(ctx_.config, fields(), ctx_.displaySoundSpeed, ctx_.projectConfigPath);
}

void CFitPara::coordinate() {
    runCoordinateSettings(ctx_.config, [this](const _DefGeodetsyParameterSetting& record) {
        const std::string path = ctx_.projectConfigPath.value_or(std::string());
        const bool project = !path.empty() && platform::PathFileExistsA(path);
        const bool saved = ctx_.position.coordinateSettingsChanged(record, path);
        if (!project) return CoordinateStored::NoProject;
        return saved ? CoordinateStored::Saved : CoordinateStored::SaveFailed;
    });
}

bool showFitParaDialog(QWidget* parent, FitParaContext& context) {
    CFitPara dialog(context, parent);
    return dialog.exec() == QDialog::Accepted;
}

// ---------------------------------------------------------------- CALertSet

CALertSet::CALertSet(AlarmContext& context, QWidget* parent)
    : QDialog(parent), ctx_(context), rules_(context.config) {
    setWindowTitle(text(alarm_text::kCaption));
    const AlarmSettings& v = rules_.values();
    altitudeAlarm_ = new QCheckBox(text(alarm_text::kAltitudeAlarm), this);
    altitudeAlarm_->setObjectName("altitudeAlarm");
    altitudeAlarm_->setChecked(v.alertAltitude);
    altitude_ = number(this, "altitude", -100000, 100000, 2);
    altitude_->setValue(v.minAltitude);
    altitude_->setSuffix(" m");
    gpsAlarm_ = new QCheckBox(text(alarm_text::kGpsAlarm), this);
    gpsAlarm_->setObjectName("gpsAlarm");
    gpsAlarm_->setChecked(v.alertGps);
    auto* levels = new QButtonGroup(this);
    const char* kLevelObjectNames[] = {"No Data", "Stand Alone", "Differential", "RTK Fixed"};
    auto* levelRow = new QHBoxLayout;
    for (std::size_t i = 0; i < level_.size(); ++i) {
        level_[i] = radio(this, kGpsAlarmLevelNames[i], kLevelObjectNames[i]);
        levels->addButton(level_[i], static_cast<int>(i));
        levelRow->addWidget(level_[i]);
    }
    const int level = v.alertGpsLevel >= 0 && v.alertGpsLevel <= 3 ? v.alertGpsLevel : 0;
    level_[static_cast<std::size_t>(level)]->setChecked(true);

    connect(altitudeAlarm_, &QCheckBox::toggled, this, [this](bool on) {
        rules_.setAltitudeAlarm(on);
        refreshEnables();
    });
    connect(gpsAlarm_, &QCheckBox::toggled, this, [this](bool on) {
        rules_.setGpsAlarm(on);
        refreshEnables();
    });
    connect(altitude_, &QDoubleSpinBox::valueChanged, this,
            [this](double m) { rules_.setMinAltitude(static_cast<float>(m)); });
    connect(levels, &QButtonGroup::idClicked, this, [this](int id) { rules_.setGpsLevel(id); });

    auto* column = new QVBoxLayout(this);
    column->addWidget(altitudeAlarm_);
    auto* altitudeRow = new QFormLayout;
    altitudeRow->addRow(text(alarm_text::kAltitude), altitude_);
    column->addLayout(altitudeRow);
    column->addWidget(gpsAlarm_);
    column->addLayout(levelRow);
    column->addWidget(okCancel(this));
    refreshEnables();
    speakLanguage(this, ctx_.config.messenger().english());
}

void CALertSet::refreshEnables() {
    altitude_->setEnabled(rules_.altitudeEditEnabled());
    for (QRadioButton* r : level_)
        r->setEnabled(rules_.levelRadiosEnabled());
}

void CALertSet::accept() {
    rules_.accept(ctx_.projectConfigPath);
    QDialog::accept();
}

void CALertSet::reject() {
    rules_.reject();
    QDialog::reject();
}

bool showAlarmSettingDialog(QWidget* parent, AlarmContext& context) {
    CALertSet dialog(context, parent);
    return dialog.exec() == QDialog::Accepted;
}

// ---------------------------------------------------------------- CAdjustPressure

CAdjustPressure::CAdjustPressure(PressureContext& context, QWidget* parent)
    : QDialog(parent), ctx_(context), rules_(context.port, context.messenger) {
    setWindowTitle(text(pressure_text::kCaption));
    auto* column = new QVBoxLayout(this);
    for (const char* step : {pressure_text::kStep1, pressure_text::kStep2, pressure_text::kStep3})
        column->addWidget(new QLabel(text(step), this));
    status_ = new QLabel(this);
    status_->setObjectName("status");
    counter_ = new QLabel(this);
    counter_->setObjectName("counter");
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(counter_);
    column->addLayout(statusRow);
    calibrate_ = new QPushButton(text(pressure_text::kCalibrationButton), this);
    calibrate_->setObjectName("calibrate");
    restore_ = new QPushButton(text(pressure_text::kRestoreButton), this);
    restore_->setObjectName("restore");
    close_ = new QPushButton(text(pressure_text::kCloseButton), this);
    close_->setObjectName("close");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(calibrate_);
    buttons->addWidget(restore_);
    buttons->addWidget(close_);
    column->addLayout(buttons);

    timer_.setInterval(kCalibrationTickMs);
    connect(&timer_, &QTimer::timeout, this, [this] { onTick(); });
    connect(calibrate_, &QPushButton::clicked, this, [this] {
        rules_.calibrate();
        refresh();
    });
    connect(restore_, &QPushButton::clicked, this, [this] {
        rules_.restoreDefaults();
        refresh();
    });
    connect(close_, &QPushButton::clicked, this, [this] { QDialog::reject(); });

    window_ = ctx_.queue.registerWindow([this](const platform::WindowMessage& m) {
        if (m.id != kMsgPressureReply) return;
        rules_.pressureReply(static_cast<int>(static_cast<std::intptr_t>(m.wParam)));
        refresh();
    });
    if (ctx_.setPressureWindow) ctx_.setPressureWindow(window_);
    refresh();
    speakLanguage(this, ctx_.messenger.english());
}

CAdjustPressure::~CAdjustPressure() {
    if (ctx_.setPressureWindow) ctx_.setPressureWindow(platform::kNoWindow);
    ctx_.queue.unregisterWindow(window_);
}

void CAdjustPressure::onTick() {
    rules_.tick();
    refresh();
}

void CAdjustPressure::reject() {
    // Escape and the title bar close like "Close", and not while calibrating.
    if (rules_.closeEnabled()) QDialog::reject();
}

void CAdjustPressure::refresh() {
    status_->setVisible(rules_.statusVisible());
    counter_->setVisible(rules_.statusVisible());
    status_->setText(QString::fromStdString(rules_.statusText()));
    counter_->setText(QString::fromStdString(rules_.counterText()));
    calibrate_->setEnabled(rules_.calibrationEnabled());
    close_->setEnabled(rules_.closeEnabled());
    if (rules_.timerRunning() && !timer_.isActive()) timer_.start();
    if (!rules_.timerRunning() && timer_.isActive()) timer_.stop();
}

void showCalibrationPressureDialog(QWidget* parent, PressureContext& context) {
    CAdjustPressure dialog(context, parent);
    dialog.exec();
}

// ---------------------------------------------------------------- CHideAdvenced

CHideAdvenced::CHideAdvenced(AdvancedContext& context, QWidget* parent)
    : QDialog(parent), rules_(context.settings, context.port, context.messenger) {
    setWindowTitle(text(advanced_text::kCaption));
    const AdvancedSettings& s = rules_.settings();
    auto* grid = new QGridLayout;
    int row = 0;
    auto button = [this](const char* label, const char* name) {
        auto* b = new QPushButton(text(label), this);
        b->setObjectName(name);
        return b;
    };
    auto combo = [this](const char* name, auto items, int current) {
        auto* c = new QComboBox(this);
        c->setObjectName(name);
        for (const char* item : items)
            c->addItem(text(item));
        c->setCurrentIndex(current >= 0 && current < c->count() ? current : 0);
        return c;
    };

    auto* upload = combo("upload", advanced_text::kUploadKinds, s.uploadKind);
    auto* uploadButton = button(advanced_text::kUploadButton, "uploadButton");
    grid->addWidget(upload, row, 0);
    grid->addWidget(uploadButton, row++, 1);
    connect(uploadButton, &QPushButton::clicked, this,
            [this, upload] { rules_.changeUpload(upload->currentIndex()); });

    auto* storage = combo("storage", advanced_text::kStorageForms, s.storageForm);
    auto* storageButton = button(advanced_text::kStorageButton, "storageButton");
    grid->addWidget(storage, row, 0);
    grid->addWidget(storageButton, row++, 1);
    connect(storageButton, &QPushButton::clicked, this,
            [this, storage] { rules_.changeStorage(storage->currentIndex()); });

    auto* gain = new QSpinBox(this);
    gain->setObjectName("gain");
    gain->setRange(-1000, 1000);
    gain->setValue(s.maximumGain);
    gain->setSuffix(" dB");
    auto* gainButton = button(advanced_text::kGainButton, "gainButton");
    grid->addWidget(gain, row, 0);
    grid->addWidget(gainButton, row++, 1);
    connect(gainButton, &QPushButton::clicked, this,
            [this, gain] { rules_.changeGain(gain->value()); });

    auto* idle = new QLineEdit(QString::fromStdString(s.idleTimeText), this);
    idle->setObjectName("idleTime");
    auto* idleButton = button(advanced_text::kTimeButton, "idleTimeButton");
    grid->addWidget(idle, row, 0);
    grid->addWidget(idleButton, row++, 1);
    connect(idleButton, &QPushButton::clicked, this,
            [this, idle] { rules_.changeIdleTime(idle->text().toStdString()); });

    auto* transmit = combo("transmit", advanced_text::kTransducerModes, s.transmitMode);
    auto* transmitButton = button(advanced_text::kTransmitButton, "transmitButton");
    grid->addWidget(transmit, row, 0);
    grid->addWidget(transmitButton, row++, 1);
    connect(transmitButton, &QPushButton::clicked, this,
            [this, transmit] { rules_.changeTransmitMode(transmit->currentIndex()); });

    auto* receive = combo("receive", advanced_text::kTransducerModes, s.receiveMode);
    auto* receiveButton = button(advanced_text::kReceiveButton, "receiveButton");
    grid->addWidget(receive, row, 0);
    grid->addWidget(receiveButton, row++, 1);
    connect(receiveButton, &QPushButton::clicked, this,
            [this, receive] { rules_.changeReceiveMode(receive->currentIndex()); });

    auto* algorithm = new QComboBox(this);
    algorithm->setObjectName("algorithm");
    for (int i = 0; i < kAlgorithmCount; ++i)
        algorithm->addItem(QString::number(i));
    algorithm->setCurrentIndex(s.algorithm >= 0 && s.algorithm < kAlgorithmCount ? s.algorithm : 0);
    auto* algorithmButton = button(advanced_text::kAlgorithmButton, "algorithmButton");
    grid->addWidget(algorithm, row, 0);
    grid->addWidget(algorithmButton, row++, 1);
    connect(algorithmButton, &QPushButton::clicked, this,
            [this, algorithm] { rules_.changeAlgorithm(algorithm->currentIndex()); });

    auto* stop = button(advanced_text::kStopButton, "stopButton");
    auto* start = button(advanced_text::kStartButton, "startButton");
    grid->addWidget(stop, row, 0);
    grid->addWidget(start, row++, 1);
    connect(stop, &QPushButton::clicked, this, [this] { rules_.stopPinging(); });
    connect(start, &QPushButton::clicked, this, [this] { rules_.startPinging(); });

    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addWidget(okCancel(this));
}

void showAdvancedSettingsDialog(QWidget* parent, AdvancedContext& context) {
    // A service dialog: its labels are Chinese in both interfaces.
    CHideAdvenced dialog(context, parent);
    dialog.exec();
}

void installAdvancedSettingsShortcut(QWidget* window, std::function<void()> open) {
    auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(kAdvancedSettingsKey)), window);
    QObject::connect(shortcut, &QShortcut::activated, window, [open = std::move(open)] {
        if (open) open();
    });
}

} // namespace kestrova::app::ui
