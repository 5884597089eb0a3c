#include "app/ui/page_sonar_para_set.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova::app::ui {
namespace {

constexpr std::array<SliderKind, 5> kVisibleSliders{SliderKind::Range, SliderKind::Pulse,
                                                    SliderKind::Gain, SliderKind::Spreading,
                                                    SliderKind::Absorption};

QString sliderName(SliderKind k) {
    switch (k) {
    case SliderKind::Range:
        return QStringLiteral("量程");
    case SliderKind::Power:
        return QStringLiteral("功率");
    case SliderKind::Pulse:
        return QStringLiteral("脉宽");
    case SliderKind::Gain:
        return QStringLiteral("增益");
    case SliderKind::Spreading:
        return QStringLiteral("扩展");
    case SliderKind::Absorption:
        return QStringLiteral("吸收");
    }
    return {};
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

CPageSonarParaSet::CPageSonarParaSet(Configuration& config, SonarCommandPort& port,
                                     SonarPageHost& host, QWidget* parent)
    : QWidget(parent), config_(config), rules_(config, port, host) {
    setWindowTitle(QStringLiteral("声纳参数"));
    auto* layout = new QVBoxLayout(this);
    buildRow(Frequency::HF, QStringLiteral("高频"));
    buildRow(Frequency::LF, QStringLiteral("低频"));
    layout->addWidget(rows_[0].box);
    layout->addWidget(rows_[1].box);
    layout->addStretch(1);

    // The value labels use a bold face of height 20 made from the HF range label's font.
    QFont bold = valueLabel(Frequency::HF, SliderKind::Range)->font();
    bold.setBold(true);
    bold.setPixelSize(20);
    for (auto& row : rows_)
        for (auto& c : row.sliders)
            c.value->setFont(bold);

    // A model change refreshes the page later, from the event loop, as a posted
    // message would.
    observerId_ = config_.device.addObserver([this] {
        QMetaObject::invokeMethod(
            this, [this] { refreshPage(); }, Qt::QueuedConnection);
    });

    rules_.initialise();
    syncControls();
}

CPageSonarParaSet::~CPageSonarParaSet() {
    config_.device.removeObserver(observerId_);
}

void CPageSonarParaSet::buildRow(Frequency f, const QString& title) {
    Row& row = rows_[f == Frequency::HF ? 0 : 1];
    row.box = new QGroupBox(title, this);
    auto* grid = new QGridLayout(row.box);
    row.onOff = new QCheckBox(QStringLiteral("开/关"), row.box);
    grid->addWidget(row.onOff, 0, 0, 1, 5);
    connect(row.onOff, &QCheckBox::clicked, this, [this, f](bool checked) {
        rules_.onOffClicked(f, checked);
        syncControls();
    });

    int line = 1;
    for (std::size_t i = 0; i < kSliderKinds; ++i) {
        auto kind = static_cast<SliderKind>(i);
        SliderControls& c = row.sliders[i];
        c.name = new QLabel(sliderName(kind), row.box);
        c.low = new QLabel(row.box);
        c.slider = new QSlider(Qt::Horizontal, row.box);
        c.slider->setObjectName(sliderName(kind));
        c.high = new QLabel(row.box);
        c.value = new QLabel(row.box);
        c.value->setMinimumWidth(110);
        bool shown = std::find(kVisibleSliders.begin(), kVisibleSliders.end(), kind) !=
                     kVisibleSliders.end();
        if (shown) {
            grid->addWidget(c.name, line, 0);
            grid->addWidget(c.low, line, 1);
            grid->addWidget(c.slider, line, 2);
            grid->addWidget(c.high, line, 3);
            grid->addWidget(c.value, line, 4);
            ++line;
        } else {
            for (QWidget* w : {static_cast<QWidget*>(c.name), static_cast<QWidget*>(c.low),
                               static_cast<QWidget*>(c.slider), static_cast<QWidget*>(c.high),
                               static_cast<QWidget*>(c.value)})
                w->hide();
        }
        wireSlider(f, kind);
    }
    // Signal shape: present for the stored value's rules, not shown.
    row.shape = new QComboBox(row.box);
    row.shape->setToolTip(QStringLiteral("信号形式"));
    row.shape->addItem(QStringLiteral("CW"));
    row.shape->addItem(QStringLiteral("LFM"));
    row.shape->hide();
    connect(row.shape, &QComboBox::activated, this, [this, f](int index) {
        rules_.signalShapeChosen(f, index + 1);
        syncControls();
    });
}

void CPageSonarParaSet::wireSlider(Frequency f, SliderKind k) {
    QSlider* s = control(f, k).slider;
    QLabel* value = control(f, k).value;
    connect(s, &QSlider::sliderMoved, this, [this, f, k, value](int level) {
        value->setText(text(rules_.sliderMoving(f, k, level)));
    });
    connect(s, &QSlider::sliderReleased, this, [this, f, k, s] {
        rules_.sliderReleased(f, k, s->value());
        syncControls();
    });
    // Keyboard, wheel and clicks on the groove move the slider without a drag;
    // those moves are complete as they happen.
    connect(s, &QSlider::valueChanged, this, [this, f, k, s](int level) {
        if (syncing_ || s->isSliderDown()) return;
        rules_.sliderReleased(f, k, level);
        syncControls();
    });
}

void CPageSonarParaSet::syncControls() {
    syncing_ = true;
    for (Frequency f : {Frequency::HF, Frequency::LF}) {
        const FrequencyRowState& state = rules_.row(f);
        const Row& row = rowOf(f);
        row.box->setVisible(state.visible);
        {
            QSignalBlocker block(row.onOff);
            row.onOff->setChecked(state.onOffChecked);
        }
        row.onOff->setEnabled(state.onOffEnabled);
        {
            QSignalBlocker block(row.shape);
            row.shape->setCurrentIndex(state.signalShape - 1);
        }
        row.shape->setEnabled(state.controlsEnabled);
        for (std::size_t i = 0; i < kSliderKinds; ++i) {
            const SliderState& s = state.sliders[i];
            const SliderControls& c = row.sliders[i];
            if (!c.slider->isSliderDown()) {
                QSignalBlocker block(c.slider);
                c.slider->setRange(s.min, s.max);
                c.slider->setValue(s.position);
            }
            c.slider->setEnabled(state.controlsEnabled);
            c.low->setText(text(s.lowLabel));
            c.high->setText(text(s.highLabel));
            c.value->setText(text(s.valueLabel));
        }
    }
    syncing_ = false;
}

void CPageSonarParaSet::refreshPage() {
    rules_.refresh();
    syncControls();
}

} // namespace kestrova::app::ui
