#include "display/ui/page_display_set.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova::display::ui {
namespace {

QString colourStyle(std::uint32_t rgb) {
    return QString("color: #%1;").arg(rgb, 6, 16, QChar('0'));
}

// The same colours as the bottom-tracking page's labels.
constexpr std::uint32_t kRangeLabelColour = 0x3C3C3C;
constexpr std::uint32_t kValueLabelColour = 0x037EBA;

} // namespace

PalettePreview::PalettePreview(QWidget* parent) : QWidget(parent) {
    setMinimumSize(64, 16);
    setMaximumWidth(static_cast<int>(DisplaySetPage::kPreviewLines));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void PalettePreview::setColours(std::vector<std::uint32_t> colours) {
    colours_ = std::move(colours);
    update();
}

void PalettePreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const std::size_t n = colours_.size();
    const auto w = static_cast<std::size_t>(std::max(width(), 1));
    for (std::size_t i = 0; i < n; ++i) {
        p.setPen(QColor::fromRgb(colours_[i]));
        const int x = static_cast<int>(w >= n ? i : i * w / n);
        p.drawLine(x, 0, x, height() - 1);
    }
}

CPageDisplaySet::CPageDisplaySet(app::Configuration& config, DisplayShared& shared,
                                 ControlPageHost& host, QWidget* parent)
    : QWidget(parent), config_(config), rules_(config, shared, host) {
    setWindowTitle(QStringLiteral("显示设置"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout();
    build(Frequency::HF, QStringLiteral("高频"), grid, 0);
    build(Frequency::LF, QStringLiteral("低频"), grid, 3);
    layout->addLayout(grid);
    layout->addStretch(1);

    observerId_ = config_.device.addObserver([this] {
        QMetaObject::invokeMethod(
            this, [this] { deviceIdentified(); }, Qt::QueuedConnection);
    });
    reopen();
}

CPageDisplaySet::~CPageDisplaySet() {
    config_.device.removeObserver(observerId_);
}

void CPageDisplaySet::build(Frequency f, const QString& title, QGridLayout* grid, int line) {
    Channel& c = channels_[f == Frequency::HF ? 0 : 1];
    c.caption = new QLabel(title, this);
    QFont captionFont = c.caption->font();
    captionFont.setBold(true);
    c.caption->setFont(captionFont);
    grid->addWidget(c.caption, line, 0, 1, 4);

    c.low = new QLabel(QStringLiteral("0%"), this);
    c.strength = new QSlider(Qt::Horizontal, this);
    c.strength->setObjectName(f == Frequency::HF ? "StrengthHF" : "StrengthLF");
    c.strength->setRange(0, DisplaySetPage::kStrengthSliderMax);
    c.high = new QLabel(QStringLiteral("100%"), this);
    c.value = new QLabel(this);
    c.value->setMinimumWidth(70);
    QFont bold = c.value->font();
    bold.setBold(true);
    bold.setPixelSize(20);
    c.value->setFont(bold);
    c.value->setStyleSheet(colourStyle(kValueLabelColour));
    c.low->setStyleSheet(colourStyle(kRangeLabelColour));
    c.high->setStyleSheet(colourStyle(kRangeLabelColour));
    auto* strengthRow = new QHBoxLayout();
    strengthRow->addWidget(c.low);
    strengthRow->addWidget(c.strength, 1);
    strengthRow->addWidget(c.high);
    strengthRow->addWidget(c.value);
    grid->addLayout(strengthRow, line + 1, 0, 1, 4);

    c.colorName = new QLabel(QStringLiteral("颜色"), this);
    c.palette = new QComboBox(this);
    for (const char* name : {"棕色", "棱彩", "灰度", "彩虹"}) // brown, prismy, gray, jet
        c.palette->addItem(QString::fromUtf8(name));
    c.invert = new QCheckBox(QStringLiteral("反色"), this);
    c.preview = new PalettePreview(this);
    auto* paletteRow = new QHBoxLayout();
    paletteRow->addWidget(c.colorName);
    paletteRow->addWidget(c.palette);
    paletteRow->addSpacing(10);
    paletteRow->addWidget(c.invert);
    paletteRow->addSpacing(21);
    paletteRow->addWidget(c.preview, 1);
    grid->addLayout(paletteRow, line + 2, 0, 1, 4);

    QSlider* s = c.strength;
    QLabel* value = c.value;
    connect(s, &QSlider::sliderMoved, this, [this, f, value](int p) {
        value->setText(QString::fromStdString(rules_.strengthMoving(f, p)));
    });
    connect(s, &QSlider::sliderReleased, this, [this, f, s] {
        rules_.strengthReleased(f, s->value());
        sync();
    });
    connect(s, &QSlider::valueChanged, this, [this, f, s](int p) {
        if (syncing_ || s->isSliderDown()) return;
        rules_.strengthReleased(f, p);
        sync();
    });
    connect(c.palette, &QComboBox::activated, this, [this, f](int index) {
        rules_.paletteChosen(f, index);
        sync();
    });
    connect(c.invert, &QCheckBox::clicked, this, [this, f](bool on) {
        rules_.invertToggled(f, on);
        sync();
    });
}

void CPageDisplaySet::reopen() {
    rules_.open();
    sync();
}

void CPageDisplaySet::deviceIdentified() {
    rules_.deviceIdentified();
    sync();
}

void CPageDisplaySet::sync() {
    syncing_ = true;
    const DisplaySetPageState& st = rules_.state();
    for (Frequency f : {Frequency::HF, Frequency::LF}) {
        const ChannelDisplayState& s = st.of(f);
        const Channel& c = of(f);
        if (!c.strength->isSliderDown()) {
            QSignalBlocker block(c.strength);
            c.strength->setValue(s.strengthPosition);
        }
        c.value->setText(QString::fromStdString(s.strengthLabel));
        {
            QSignalBlocker block(c.palette);
            c.palette->setCurrentIndex(s.palette);
        }
        {
            QSignalBlocker block(c.invert);
            c.invert->setChecked(s.invert);
        }
        if (c.preview->colours() != s.preview) c.preview->setColours(s.preview);
        for (QWidget* w : {static_cast<QWidget*>(c.low), static_cast<QWidget*>(c.strength),
                           static_cast<QWidget*>(c.high), static_cast<QWidget*>(c.value),
                           static_cast<QWidget*>(c.colorName), static_cast<QWidget*>(c.palette),
                           static_cast<QWidget*>(c.invert)})
            w->setVisible(s.visible);
        c.preview->setVisible(s.visible && s.previewShown);
        c.caption->setVisible(st.captionsVisible);
    }
    syncing_ = false;
}

} // namespace kestrova::display::ui
