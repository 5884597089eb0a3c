#pragma once
// The "Sonar parameter" page of the control panel: one row per frequency with an
// "On/Off" box and sliders for range, pulse width, gain, spreading and
// absorption. The power slider and the signal-shape box exist but stay hidden,
// as on the page the operators know. All rules live in SonarParameterPage; this
// widget mirrors its state and forwards the operator's actions.

#include "app/sonar_parameter_page.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QSlider;

namespace kestrova::app::ui {

class CPageSonarParaSet : public QWidget {
    Q_OBJECT
  public:
    CPageSonarParaSet(Configuration& config, SonarCommandPort& port, SonarPageHost& host,
                      QWidget* parent = nullptr);
    ~CPageSonarParaSet() override;

    // Message 1126: refresh every control from the settings and the model limits.
    void refreshPage();

    SonarParameterPage& rules() { return rules_; }
    QGroupBox* rowBox(Frequency f) const { return rowOf(f).box; }
    QCheckBox* onOffBox(Frequency f) const { return rowOf(f).onOff; }
    QComboBox* signalShapeBox(Frequency f) const { return rowOf(f).shape; }
    QSlider* slider(Frequency f, SliderKind k) const { return control(f, k).slider; }
    QLabel* valueLabel(Frequency f, SliderKind k) const { return control(f, k).value; }
    QLabel* lowLabel(Frequency f, SliderKind k) const { return control(f, k).low; }
    QLabel* highLabel(Frequency f, SliderKind k) const { return control(f, k).high; }

  private:
    struct SliderControls {
        QLabel* name = nullptr;
        QLabel* low = nullptr;
        QSlider* slider = nullptr;
        QLabel* high = nullptr;
        QLabel* value = nullptr;
    };
    struct Row {
        QGroupBox* box = nullptr;
        QCheckBox* onOff = nullptr;
        QComboBox* shape = nullptr;
        std::array<SliderControls, kSliderKinds> sliders;
    };
    const Row& rowOf(Frequency f) const { return rows_[f == Frequency::HF ? 0 : 1]; }
    const SliderControls& control(Frequency f, SliderKind k) const {
        return rowOf(f).sliders[static_cast<std::size_t>(k)];
    }
    void buildRow(Frequency f, const QString& title);
    void wireSlider(Frequency f, SliderKind k);
    // Pushes the rules' state into the controls without echoing signals back.
    void syncControls();

    Configuration& config_;
    SonarParameterPage rules_;
    std::array<Row, 2> rows_;
    int observerId_ = 0;
    bool syncing_ = false;
};

} // namespace kestrova::app::ui
