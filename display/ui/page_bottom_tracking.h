#pragma once
// The "Altitude Tracker" page of the control panel: the "On/Off" box, the
// altitude source ("Sonar Data" with "High Frequency" / "Low Frequency",
// "Manual Setting", "Towfish"), the "Start", "Stop" and "Threshold" sliders,
// and the manual altitude with "Apply". All rules live in BottomTrackingPage;
// this widget mirrors its state and forwards the operator's actions.

#include "display/bottom_tracking_page.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

namespace kestrova::display::ui {

class CPageBottomTracking : public QWidget {
    Q_OBJECT
  public:
    CPageBottomTracking(app::Configuration& config, DisplayShared& shared, ControlPageHost& host,
                        QWidget* parent = nullptr);
    ~CPageBottomTracking() override;

    // Opening again: a project's settings were loaded.
    void reopen();
    // Message 0x609.
    void deviceIdentified();
    // Messages 0x48D and 1165: a channel's range changed.
    void rangesChanged();

    BottomTrackingPage& rules() { return rules_; }
    QCheckBox* onOffBox() const { return onOff_; }
    QRadioButton* sonarDataButton() const { return sonarData_; }
    QRadioButton* manualButton() const { return manual_; }
    QRadioButton* towfishButton() const { return towfish_; }
    QRadioButton* hfButton() const { return hf_; }
    QRadioButton* lfButton() const { return lf_; }
    QSlider* startSlider() const { return start_.slider; }
    QSlider* stopSlider() const { return stop_.slider; }
    QSlider* thresholdSlider() const { return threshold_.slider; }
    QLabel* startValue() const { return start_.value; }
    QLabel* stopValue() const { return stop_.value; }
    QLabel* thresholdValue() const { return threshold_.value; }
    QLabel* startLow() const { return start_.low; }
    QLabel* stopHigh() const { return stop_.high; }
    QLineEdit* altitudeBox() const { return altitude_; }
    QPushButton* applyButton() const { return apply_; }

  private:
    struct SliderRow {
        QLabel* name = nullptr;
        QLabel* low = nullptr;
        QSlider* slider = nullptr;
        QLabel* high = nullptr;
        QLabel* value = nullptr;
    };
    enum class Which { Start, Stop, Threshold };
    SliderRow makeRow(const QString& name);
    void wire(SliderRow& row, Which which);
    void sync();

    app::Configuration& config_;
    BottomTrackingPage rules_;
    int observerId_ = 0;
    bool syncing_ = false;

    QCheckBox* onOff_ = nullptr;
    QRadioButton* sonarData_ = nullptr;
    QRadioButton* manual_ = nullptr;
    QRadioButton* towfish_ = nullptr;
    QRadioButton* hf_ = nullptr;
    QRadioButton* lf_ = nullptr;
    QWidget* search_ = nullptr;
    QWidget* manualBox_ = nullptr;
    QWidget* frequencyBox_ = nullptr;
    SliderRow start_, stop_, threshold_;
    QLineEdit* altitude_ = nullptr;
    QLabel* unit_ = nullptr;
    QPushButton* apply_ = nullptr;
};

} // namespace kestrova::display::ui
