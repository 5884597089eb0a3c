#include "app/ui/ping_para_panel.h"

#include "app/config/interface_text.h"

#include <QGridLayout>
#include <QLabel>

namespace kestrova::app::ui {

CPingParaPanel::CPingParaPanel(const QString& title, bool english, QWidget* parent)
    : QGroupBox(title, parent) {
    static const char* const kChinese[kFields] = {"日期：", "时间：", "压力：", "量程：", "功率：",
                                                  "信号：", "脉宽：", "增益：", "扩展：", "吸收："};
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(0);
    // Four rows keep both panels side by side within a laptop screen; the
    // values take the room there is and never widen the window as pings
    // bring longer texts.
    constexpr int kRows = 4;
    for (int i = 0; i < kFields; ++i) {
        const int column = (i / kRows) * 2;
        const int row = i % kRows;
        grid->addWidget(new QLabel(QString::fromUtf8(app::uiText(kChinese[i], english)), this), row,
                        column);
        auto* value = new QLabel(QString::fromUtf8(app::uiText("无", english)), this);
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        values_[static_cast<std::size_t>(i)] = value;
        grid->addWidget(value, row, column + 1);
        grid->setColumnStretch(column + 1, 1);
    }
}

void CPingParaPanel::show(const PingParameterTexts& t) {
    const std::string* texts[kFields] = {&t.date,      &t.time,      &t.pressure, &t.range,
                                         &t.power,     &t.signal,    &t.pulse,    &t.gain,
                                         &t.spreading, &t.absorption};
    for (int i = 0; i < kFields; ++i)
        values_[static_cast<std::size_t>(i)]->setText(QString::fromStdString(*texts[i]));
}

} // namespace kestrova::app::ui
