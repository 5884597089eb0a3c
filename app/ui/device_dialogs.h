#pragma once
// The four device dialogs of the main frame as Qt dialogs: "Device
// Parameters" (CFitPara), "Alarm Setting" (CALertSet), "Calibration Pressure"
// (CAdjustPressure) and the service dialog "Advanced settings interface"
// (CHideAdvenced). The rules live in app/fit_para.h, app/alert_set.h,
// app/adjust_pressure.h and app/hide_advanced.h; these widgets show them and
// pass the operator's actions on. Each dialog has a show function the main
// frame calls from its command.

#include "app/adjust_pressure.h"
#include "app/alert_set.h"
#include "app/fit_para.h"
#include "app/hide_advanced.h"
#include "platform/messages.h"
#include "position/position_system.h"

#include <QDialog>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

namespace kestrova::position::ui {
class CINDeviceSetCOMDlg;
class CINDeviceSetNetTypeDlg;
} // namespace kestrova::position::ui

namespace kestrova::app::ui {

// What "Device Settings" needs from the main frame, and what it reports back.
struct FitParaContext {
    Configuration& config;
    position::PositionSystem& position;
    std::optional<std::string> projectConfigPath; // set while a project is open
    bool playbackMode = false;
    double displaySoundSpeed = 1500.0; // the sound speed the waterfalls last used
    // Serial ports for the "COM Number:" list; the Linux way when empty.
    std::function<std::vector<std::string>()> serialPorts;
    // Set after OK: what the main frame still has to do (waterfalls, pages).
    FitParaStored stored;
    // The main frame that opens, reopens (1552) or stops (1553) the position
    // input once OK stored its settings; without one OK applies them itself.
    platform::MessageQueue* queue = nullptr;
    platform::WindowHandle mainFrame = platform::kNoWindow;
};

class CFitPara : public QDialog {
    Q_OBJECT
  public:
    CFitPara(FitParaContext& context, QWidget* parent = nullptr);

    // The values of the controls.
    FitParaFields fields() const;
    int modeSelect() const;

    position::ui::CINDeviceSetNetTypeDlg* networkDialog() const { return net_; }
    position::ui::CINDeviceSetCOMDlg* serialDialog() const { return com_; }

    // OK: position input stored and INSPara written, then the installation
    // fields and SonarSetPara. Stays open when the network values are refused.
    void accept() override;

  private:
    void load();
    void showMode(int mode);
    void refreshEnables();
    void coordinate();

    FitParaContext& ctx_;
    std::array<QRadioButton*, 3> mode_{};
    QStackedWidget* connection_ = nullptr;
    position::ui::CINDeviceSetNetTypeDlg* net_ = nullptr;
    position::ui::CINDeviceSetCOMDlg* com_ = nullptr;
    QComboBox* protocol_ = nullptr;
    QDoubleSpinBox* soundVelocity_ = nullptr;
    QDoubleSpinBox* density_ = nullptr;
    QRadioButton* speedAuto_ = nullptr;
    QRadioButton* speedManual_ = nullptr;
    QDoubleSpinBox* shipSpeed_ = nullptr;
    QDoubleSpinBox* gpsX_ = nullptr;
    QDoubleSpinBox* gpsY_ = nullptr;
    QDoubleSpinBox* gpsZ_ = nullptr;
    QDoubleSpinBox* towLength_ = nullptr;
    QDoubleSpinBox* towPointToWater_ = nullptr;
    QRadioButton* depthAuto_ = nullptr;
    QRadioButton* depthManual_ = nullptr;
    QDoubleSpinBox* towfishDepth_ = nullptr;
    std::array<QRadioButton*, 2> heading_{};
    std::array<QRadioButton*, 2> sync_{};
    QComboBox* polarity_ = nullptr;
    QComboBox* latLon_ = nullptr;
    QPushButton* coordinate_ = nullptr;
};

bool showFitParaDialog(QWidget* parent, FitParaContext& context);

// "Alarm Settings".
struct AlarmContext {
    Configuration& config;
    std::optional<std::string> projectConfigPath;
};

class CALertSet : public QDialog {
    Q_OBJECT
  public:
    CALertSet(AlarmContext& context, QWidget* parent = nullptr);
    void accept() override;
    void reject() override;
    const AlarmSettingRules& rules() const { return rules_; }

  private:
    void refreshEnables();

    AlarmContext& ctx_;
    AlarmSettingRules rules_;
    QCheckBox* altitudeAlarm_ = nullptr;
    QDoubleSpinBox* altitude_ = nullptr;
    QCheckBox* gpsAlarm_ = nullptr;
    std::array<QRadioButton*, 4> level_{};
};

bool showAlarmSettingDialog(QWidget* parent, AlarmContext& context);

// "Calibration Pressure". The dialog registers a window in `queue` for the
// pressure reply (1156) and hands it to `setPressureWindow` (the device
// session's setPressureDialog) while it is open.
struct PressureContext {
    SonarCommandPort& port;
    Messenger& messenger;
    platform::MessageQueue& queue;
    std::function<void(platform::WindowHandle)> setPressureWindow;
};

class CAdjustPressure : public QDialog {
    Q_OBJECT
  public:
    CAdjustPressure(PressureContext& context, QWidget* parent = nullptr);
    ~CAdjustPressure() override;

    const PressureCalibration& rules() const { return rules_; }
    platform::WindowHandle window() const { return window_; }
    QTimer& timer() { return timer_; }
    // The timer's action, callable by a test in place of waiting a second.
    void onTick();
    void reject() override;

  private:
    void refresh();

    PressureContext& ctx_;
    PressureCalibration rules_;
    platform::WindowHandle window_ = platform::kNoWindow;
    QTimer timer_;
    QLabel* status_ = nullptr;
    QLabel* counter_ = nullptr;
    QPushButton* calibrate_ = nullptr;
    QPushButton* restore_ = nullptr;
    QPushButton* close_ = nullptr;
};

void showCalibrationPressureDialog(QWidget* parent, PressureContext& context);

// "Advanced settings interface".
struct AdvancedContext {
    AdvancedSettings& settings;
    SonarCommandPort& port;
    Messenger& messenger;
};

class CHideAdvenced : public QDialog {
    Q_OBJECT
  public:
    CHideAdvenced(AdvancedContext& context, QWidget* parent = nullptr);
    const AdvancedSettingsRules& rules() const { return rules_; }

  private:
    AdvancedSettingsRules rules_;
};

void showAdvancedSettingsDialog(QWidget* parent, AdvancedContext& context);

// Message 1131 has no menu entry: the service key Ctrl+Shift+F12 on `window`
// calls `open` (which should show the dialog).
constexpr const char* kAdvancedSettingsKey = "Ctrl+Shift+F12";
void installAdvancedSettingsShortcut(QWidget* window, std::function<void()> open);

} // namespace kestrova::app::ui
