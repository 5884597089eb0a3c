#include "display/ui/page_bottom_tracking.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace kestrova::display::ui {
namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QString colourStyle(std::uint32_t rgb) {
    return QString("color: #%1;").arg(rgb, 6, 16, QChar('0'));
}

void setChecked(QAbstractButton* b, bool on) {
    QSignalBlocker block(b);
    b->setChecked(on);
}

} // namespace

CPageBottomTracking::CPageBottomTracking(app::Configuration& config, DisplayShared& shared,
                                         ControlPageHost& host, QWidget* parent)
    : QWidget(parent), config_(config), rules_(config, shared, host) {
    setWindowTitle(QStringLiteral("高度跟踪"));
    auto* layout = new QVBoxLayout(this);
    onOff_ = new QCheckBox(QStringLiteral("开/关"), this);
    layout->addWidget(onOff_);
    connect(onOff_, &QCheckBox::clicked, this, [this](bool on) {
        rules_.onOffClicked(on);
        sync();
    });

    auto* source = new QGroupBox(this);
    auto* sourceGrid = new QGridLayout(source);
    sonarData_ = new QRadioButton(QStringLiteral("声纳数据"), source);
    manual_ = new QRadioButton(QStringLiteral("手动设置"), source);
    towfish_ = new QRadioButton(QStringLiteral("拖鱼"), source);
    auto* sources = new QButtonGroup(source);
    for (QRadioButton* b : {sonarData_, manual_, towfish_})
        sources->addButton(b);
    sourceGrid->addWidget(sonarData_, 0, 0);
    sourceGrid->addWidget(manual_, 0, 1);
    sourceGrid->addWidget(towfish_, 0, 2);
    frequencyBox_ = new QWidget(source);
    auto* freq = new QHBoxLayout(frequencyBox_);
    freq->setContentsMargins(20, 0, 0, 0);
    hf_ = new QRadioButton(QStringLiteral("高频"), frequencyBox_);
    lf_ = new QRadioButton(QStringLiteral("低频"), frequencyBox_);
    auto* frequencies = new QButtonGroup(frequencyBox_);
    frequencies->addButton(hf_);
    frequencies->addButton(lf_);
    freq->addWidget(hf_);
    freq->addWidget(lf_);
    freq->addStretch(1);
    sourceGrid->addWidget(frequencyBox_, 1, 0, 1, 3);
    layout->addWidget(source);
    connect(sonarData_, &QRadioButton::clicked, this, [this] {
        rules_.sonarDataChosen();
        sync();
    });
    connect(manual_, &QRadioButton::clicked, this, [this] {
        rules_.manualChosen();
        sync();
    });
    // The towfish source has a button and no behaviour: the radios show the source again.
    connect(towfish_, &QRadioButton::clicked, this, [this] { sync(); });
    connect(hf_, &QRadioButton::clicked, this, [this] {
        rules_.frequencyChosen(Frequency::HF);
        sync();
    });
    connect(lf_, &QRadioButton::clicked, this, [this] {
        rules_.frequencyChosen(Frequency::LF);
        sync();
    });

    search_ = new QWidget(this);
    auto* grid = new QGridLayout(search_);
    grid->setContentsMargins(0, 0, 0, 0);
    int line = 0;
    for (auto [row, name, which] : {std::tuple{&start_, QStringLiteral("开始"), Which::Start},
                                    std::tuple{&stop_, QStringLiteral("停止"), Which::Stop}}) {
        *row = makeRow(name);
        grid->addWidget(row->name, line, 0);
        grid->addWidget(row->low, line, 1);
        grid->addWidget(row->slider, line, 2);
        grid->addWidget(row->high, line, 3);
        grid->addWidget(row->value, line, 4);
        wire(*row, which);
        ++line;
    }
    layout->addWidget(search_);
    auto* thresholdLine = new QGridLayout();
    threshold_ = makeRow(QStringLiteral("阈值"));
    thresholdLine->addWidget(threshold_.name, 0, 0);
    thresholdLine->addWidget(threshold_.low, 0, 1);
    thresholdLine->addWidget(threshold_.slider, 0, 2);
    thresholdLine->addWidget(threshold_.high, 0, 3);
    thresholdLine->addWidget(threshold_.value, 0, 4);
    wire(threshold_, Which::Threshold);
    layout->addLayout(thresholdLine);

    manualBox_ = new QWidget(this);
    auto* manual = new QHBoxLayout(manualBox_);
    manual->setContentsMargins(0, 0, 0, 0);
    altitude_ = new QLineEdit(manualBox_);
    altitude_->setObjectName("ManualAltitude");
    unit_ = new QLabel(QStringLiteral("m"), manualBox_);
    apply_ = new QPushButton(QStringLiteral("应用"), manualBox_);
    manual->addWidget(altitude_);
    manual->addWidget(unit_);
    manual->addWidget(apply_);
    manual->addStretch(1);
    layout->addWidget(manualBox_);
    layout->addStretch(1);
    auto applyAltitude = [this] {
        rules_.applyManualAltitude(altitude_->text().toStdString());
        sync();
    };
    connect(apply_, &QPushButton::clicked, this, applyAltitude);
    connect(altitude_, &QLineEdit::returnPressed, this, applyAltitude);

    // The value labels: a bold face 20 pixels high.
    QFont bold = start_.value->font();
    bold.setBold(true);
    bold.setPixelSize(20);
    for (SliderRow* r : {&start_, &stop_, &threshold_}) {
        r->value->setFont(bold);
        r->value->setStyleSheet(colourStyle(kPageValueLabelColour));
        r->low->setStyleSheet(colourStyle(kPageRangeLabelColour));
        r->high->setStyleSheet(colourStyle(kPageRangeLabelColour));
    }

    // The device identified (0x609) reaches the page later, from the event loop.
    observerId_ = config_.device.addObserver([this] {
        QMetaObject::invokeMethod(
            this, [this] { deviceIdentified(); }, Qt::QueuedConnection);
    });
    reopen();
}

CPageBottomTracking::~CPageBottomTracking() {
    config_.device.removeObserver(observerId_);
}

CPageBottomTracking::SliderRow CPageBottomTracking::makeRow(const QString& name) {
    SliderRow r;
    r.name = new QLabel(name, this);
    r.low = new QLabel(this);
    r.slider = new QSlider(Qt::Horizontal, this);
    r.slider->setObjectName(name);
    r.high = new QLabel(this);
    r.value = new QLabel(this);
    r.value->setMinimumWidth(90);
    return r;
}

void CPageBottomTracking::wire(SliderRow& row, Which which) {
    QSlider* s = row.slider;
    QLabel* value = row.value;
    auto moving = [this, which](int p) {
        switch (which) {
        case Which::Start:
            return rules_.startMoving(p);
        case Which::Stop:
            return rules_.stopMoving(p);
        case Which::Threshold:
            break;
        }
        return rules_.thresholdMoving(p);
    };
    auto released = [this, which](int p) {
        switch (which) {
        case Which::Start:
            rules_.startReleased(p);
            break;
        case Which::Stop:
            rules_.stopReleased(p);
            break;
        case Which::Threshold:
            rules_.thresholdReleased(p);
            break;
        }
        sync();
    };
    connect(s, &QSlider::sliderMoved, this,
            [value, moving](int p) { value->setText(text(moving(p))); });
    connect(s, &QSlider::sliderReleased, this, [s, released] { released(s->value()); });
    // Keyboard, wheel and clicks on the groove: complete as they happen.
    connect(s, &QSlider::valueChanged, this, [this, s, released](int p) {
        if (syncing_ || s->isSliderDown()) return;
        released(p);
    });
}

void CPageBottomTracking::reopen() {
    rules_.open();
    sync();
}

void CPageBottomTracking::deviceIdentified() {
    rules_.deviceIdentified();
    sync();
}

void CPageBottomTracking::rangesChanged() {
    rules_.rangesChanged();
    sync();
}

void CPageBottomTracking::sync() {
    syncing_ = true;
    const BottomTrackingPageState& s = rules_.state();
    setChecked(onOff_, s.onChecked);
    setChecked(sonarData_, s.sonarDataChecked);
    setChecked(manual_, s.manualChecked);
    // Exclusive groups cannot be emptied by unchecking one button alone.
    for (QRadioButton* b : {hf_, lf_})
        b->group()->setExclusive(false);
    setChecked(hf_, s.hfChecked);
    setChecked(lf_, s.lfChecked);
    for (QRadioButton* b : {hf_, lf_})
        b->group()->setExclusive(true);
    frequencyBox_->setVisible(s.frequencyChoiceVisible);
    search_->setVisible(s.searchVisible);
    manualBox_->setVisible(s.manualVisible);
    for (QWidget* w : {static_cast<QWidget*>(sonarData_), static_cast<QWidget*>(manual_),
                       static_cast<QWidget*>(towfish_), static_cast<QWidget*>(hf_),
                       static_cast<QWidget*>(lf_), static_cast<QWidget*>(altitude_),
                       static_cast<QWidget*>(unit_), static_cast<QWidget*>(apply_)})
        w->setEnabled(s.controlsEnabled);
    for (auto [row, state] : {std::pair{&start_, &s.start}, std::pair{&stop_, &s.stop},
                              std::pair{&threshold_, &s.threshold}}) {
        if (!row->slider->isSliderDown()) {
            QSignalBlocker block(row->slider);
            row->slider->setRange(state->min, state->max);
            row->slider->setValue(state->position);
        }
        row->slider->setEnabled(state->enabled);
        row->low->setText(text(state->lowLabel));
        row->high->setText(text(state->highLabel));
        row->value->setText(text(state->valueLabel));
        for (QLabel* l : {row->name, row->low, row->high, row->value})
            l->setEnabled(s.controlsEnabled);
    }
    altitude_->setText(text(s.manualAltitudeText));
    syncing_ = false;
}

} // namespace kestrova::display::ui
