#pragma once
// The two child dialogs of the device parameters page that set up the
// position input: CINDeviceSetNetTypeDlg (IP address, port, "UDP" /
// "TCP_Client" / "TCP_Server") and CINDeviceSetCOMDlg ("COM Number:", "Baud
// rate:", "Stop bit:", "Data bit:", "Check bit:" and the "Open"/"Close"
// button). The rules live in position_settings_rules.h; these widgets mirror
// them and forward the operator's actions. Their texts are written in Chinese
// and shown in the interface language (`english`).

#include "position/navigation_input.h"
#include "position/position_settings_rules.h"

#include <QWidget>

#include <array>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace kestrova::position::ui {

class CINDeviceSetNetTypeDlg : public QWidget {
    Q_OBJECT
  public:
    explicit CINDeviceSetNetTypeDlg(QWidget* parent = nullptr, bool english = true);

    // Shows the stored settings.
    void load(const app::InsSettings& settings);
    // The controls' values checked and taken into `current`; a refusal is also
    // shown in the dialog's status line.
    NetworkDialogResult apply(const app::InsSettings& current);

    QLineEdit* addressEdit() const { return address_; }
    QSpinBox* portEdit() const { return port_; }
    QRadioButton* typeButton(int netType) const { return types_.at(netType); }
    QLabel* statusLine() const { return status_; }

  private:
    QLineEdit* address_ = nullptr;
    QSpinBox* port_ = nullptr;
    std::array<QRadioButton*, 3> types_{};
    QLabel* status_ = nullptr;
    bool english_;
};

class CINDeviceSetCOMDlg : public QWidget {
    Q_OBJECT
  public:
    using PortLister = std::function<std::vector<std::string>()>;

    // `lister` gives the serial ports (the Linux way by default).
    explicit CINDeviceSetCOMDlg(NavigationInput& input, PortLister lister = {},
                                QWidget* parent = nullptr, bool english = true);

    // Re-reads the port list and the input's state (after message 1548, for
    // example when a failed port was closed by the navigation thread).
    void refresh();

    QComboBox* portBox() const { return port_; }
    QComboBox* baudBox() const { return baud_; }
    QComboBox* stopBox() const { return stop_; }
    QComboBox* dataBox() const { return data_; }
    QComboBox* checkBox() const { return check_; }
    QPushButton* openButton() const { return open_; }

  signals:
    // "Open" with no port chosen: the position device is not in use and the
    // dialog closes.
    void deviceNotUsed();
    // The port was opened or closed.
    void portStateChanged(bool open);

  private:
    void onOpenClicked();
    void showState(bool open);

    NavigationInput& input_;
    PortLister lister_;
    bool english_;
    std::vector<std::string> ports_;
    QComboBox* port_ = nullptr;
    QComboBox* baud_ = nullptr;
    QComboBox* stop_ = nullptr;
    QComboBox* data_ = nullptr;
    QComboBox* check_ = nullptr;
    QPushButton* open_ = nullptr;
};

} // namespace kestrova::position::ui
