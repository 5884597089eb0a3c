#pragma once
// One ping parameter panel of the main frame (HF or LF): the newest ping's date
// and time and the parameters it was made with. The texts come from
// formatPingParameters; this only shows them.

#include "app/ping_parameter_panel.h"

#include <QGroupBox>

#include <array>

class QLabel;

namespace kestrova::app::ui {

class CPingParaPanel : public QGroupBox {
    Q_OBJECT
  public:
    enum Field { Date, Time, Pressure, Range, Power, Signal, Pulse, Gain, Spreading, Absorption };
    static constexpr int kFields = 10;

    CPingParaPanel(const QString& title, bool english, QWidget* parent = nullptr);
    void show(const PingParameterTexts& texts);
    QLabel* value(Field f) const { return values_[static_cast<std::size_t>(f)]; }

  private:
    std::array<QLabel*, kFields> values_{};
};

} // namespace kestrova::app::ui
