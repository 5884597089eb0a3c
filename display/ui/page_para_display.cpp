#include "display/ui/page_para_display.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QVariant>

namespace kestrova::display::ui {
namespace {

const char* const kSonarCaptions[] = {"脉冲：", "量程：", "功率：", "信号：",
                                      "脉宽：", "增益：", "扩展：", "吸收："};

// The caption a label was built with: the interface language may have renamed it.
QString captionOf(const QLabel* c) {
    const QVariant source = c->property("sourceText");
    return source.isValid() ? source.toString() : c->text();
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

CPageParaDisplay::CPageParaDisplay(app::Configuration& config, const DisplayShared& shared,
                                   QWidget* parent)
    : QWidget(parent), config_(config), rules_(config, shared) {
    setWindowTitle(QStringLiteral("状态信息"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout();
    int line = 0;
    const std::pair<const char*, const char*> lines[] = {
        {"日期：", "时间："}, {"经度：", "纬度："}, {"航向：", "航速："}, {"深度：", "艏向："},
        {"纵摇：", "横摇："}, {"温度：", "湿度："}, {"压力：", nullptr}};
    for (const auto& [left, right] : lines) {
        addReadout(grid, line, 0, QString::fromUtf8(left));
        if (right) addReadout(grid, line, 2, QString::fromUtf8(right));
        ++line;
    }
    layout->addLayout(grid);

    for (int i = 0; i < 2; ++i) {
        rowBox_[i] = new QWidget(this);
        auto* rowGrid = new QGridLayout(rowBox_[i]);
        rowGrid->setContentsMargins(0, 6, 0, 0);
        rowCaption_[i] =
            new QLabel(i == 0 ? QStringLiteral("高频：") : QStringLiteral("低频："), rowBox_[i]);
        QFont bold = rowCaption_[i]->font();
        bold.setBold(true);
        rowCaption_[i]->setFont(bold);
        rowGrid->addWidget(rowCaption_[i], 0, 0, 1, 4);
        for (int k = 0; k < 8; ++k) {
            auto* caption = new QLabel(QString::fromUtf8(kSonarCaptions[k]), rowBox_[i]);
            auto* value = new QLabel(rowBox_[i]);
            rowGrid->addWidget(caption, 1 + k / 2, (k % 2) * 2);
            rowGrid->addWidget(value, 1 + k / 2, (k % 2) * 2 + 1);
            sonar_[i].push_back({caption, value});
        }
        layout->addWidget(rowBox_[i]);
    }

    auto* altitudeRow = new QHBoxLayout();
    altitudeCaption_ = new QLabel(QStringLiteral("高度(m)："), this);
    altitude_ = new QLabel(this);
    altitude_->setObjectName("AltitudeFigure");
    QFont big = altitude_->font();
    big.setBold(true);
    big.setPixelSize(40);
    altitude_->setFont(big);
    altitudeRow->addWidget(altitudeCaption_);
    altitudeRow->addWidget(altitude_, 1);
    layout->addLayout(altitudeRow);
    layout->addStretch(1);

    observerId_ = config_.device.addObserver([this] {
        QMetaObject::invokeMethod(
            this, [this] { deviceIdentified(); }, Qt::QueuedConnection);
    });
    rules_.open();
    sync();
}

CPageParaDisplay::~CPageParaDisplay() {
    config_.device.removeObserver(observerId_);
}

QLabel* CPageParaDisplay::addReadout(QGridLayout* grid, int line, int column,
                                     const QString& caption) {
    auto* c = new QLabel(caption, this);
    auto* v = new QLabel(this);
    v->setMinimumWidth(120);
    grid->addWidget(c, line, column);
    grid->addWidget(v, line, column + 1);
    readouts_.push_back({c, v});
    return v;
}

QLabel* CPageParaDisplay::readout(const QString& caption) const {
    if (caption == captionOf(altitudeCaption_)) return altitude_;
    for (const auto& [c, v] : readouts_)
        if (captionOf(c) == caption) return v;
    return nullptr;
}

QLabel* CPageParaDisplay::sonarReadout(Frequency f, const QString& caption) const {
    for (const auto& [c, v] : sonar_[f == Frequency::HF ? 0 : 1])
        if (captionOf(c) == caption) return v;
    return nullptr;
}

void CPageParaDisplay::deviceIdentified() {
    rules_.deviceIdentified();
    sync();
}

void CPageParaDisplay::clear() {
    rules_.clear();
    sync();
}

void CPageParaDisplay::update(const StatusPageInputs& in) {
    rules_.update(in);
    sync();
}

void CPageParaDisplay::sync() {
    const StatusPageState& s = rules_.state();
    const std::pair<const char*, const std::string*> values[] = {
        {"日期：", &s.date},     {"时间：", &s.time},        {"经度：", &s.longitude},
        {"纬度：", &s.latitude}, {"航向：", &s.course},      {"航速：", &s.speed},
        {"深度：", &s.depth},    {"艏向：", &s.heading},     {"纵摇：", &s.pitch},
        {"横摇：", &s.roll},     {"温度：", &s.temperature}, {"湿度：", &s.humidity},
        {"压力：", &s.pressure}};
    for (const auto& [caption, value] : values)
        if (QLabel* l = readout(QString::fromUtf8(caption))) l->setText(text(*value));
    auto show = [this](const char* caption, bool visible) {
        for (const auto& [c, v] : readouts_)
            if (captionOf(c) == QString::fromUtf8(caption)) {
                c->setVisible(visible);
                v->setVisible(visible);
            }
    };
    show("压力：", s.pressureVisible);
    for (const char* c : {"艏向：", "纵摇：", "横摇："})
        show(c, s.attitudeVisible);
    show("温度：", s.temperatureVisible);
    show("湿度：", s.humidityVisible);

    rowCaption_[0]->setText(text(s.firstRowCaption));
    rowBox_[1]->setVisible(s.lfRowVisible);
    for (int i = 0; i < 2; ++i) {
        const SonarRowReadouts& r = s.rows[static_cast<std::size_t>(i)];
        const std::string* v[] = {&r.ping,  &r.range, &r.power,     &r.signal,
                                  &r.pulse, &r.gain,  &r.spreading, &r.absorption};
        for (int k = 0; k < 8; ++k)
            sonar_[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)].second->setText(
                text(*v[k]));
    }
    altitude_->setText(text(s.altitude));
    altitude_->setStyleSheet(QString("color: #%1;").arg(s.altitudeColour, 6, 16, QChar('0')));
    altitudeCaption_->setVisible(s.altitudeVisible);
    altitude_->setVisible(s.altitudeVisible);
}

} // namespace kestrova::display::ui
