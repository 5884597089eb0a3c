#include "position/ui/ins_device_dialogs.h"

#include "app/config/interface_text.h"
#include "platform/serial.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kestrova::position::ui {
namespace {

QString text(const char* chinese, bool english) {
    return QString::fromUtf8(app::uiText(chinese, english));
}

// The network types and parity choices as the Chinese interface names them
// (in the order of kNetTypeNames and kCheckBitNames).
constexpr std::array<const char*, 3> kNetTypesChinese{"UDP", "TCP客户端", "TCP服务器"};
constexpr std::array<const char*, 5> kCheckBitsChinese{"无", "奇校验", "偶校验", "标记", "空格"};
static_assert(kNetTypesChinese.size() == kNetTypeNames.size());
static_assert(kCheckBitsChinese.size() == kCheckBitNames.size());

} // namespace

CINDeviceSetNetTypeDlg::CINDeviceSetNetTypeDlg(QWidget* parent, bool english)
    : QWidget(parent), english_(english) {
    auto* form = new QFormLayout;
    address_ = new QLineEdit(this);
    address_->setObjectName("address");
    address_->setMaxLength(15);
    form->addRow(text("IP地址：", english), address_);
    port_ = new QSpinBox(this);
    port_->setObjectName("port");
    port_->setRange(0, 65535);
    form->addRow(text("端口：", english), port_);
    auto* types = new QHBoxLayout;
    for (std::size_t i = 0; i < types_.size(); ++i) {
        types_[i] = new QRadioButton(text(kNetTypesChinese[i], english), this);
        types->addWidget(types_[i]);
    }
    status_ = new QLabel(this);
    status_->setObjectName("status");
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addLayout(types);
    column->addWidget(status_);
}

void CINDeviceSetNetTypeDlg::load(const app::InsSettings& settings) {
    const NetworkDialogValues v = networkDialogValues(settings);
    address_->setText(QString::fromStdString(v.address));
    port_->setValue(static_cast<int>(v.port));
    types_.at(v.netType)->setChecked(true);
    status_->clear();
}

NetworkDialogResult CINDeviceSetNetTypeDlg::apply(const app::InsSettings& current) {
    NetworkDialogValues v;
    v.address = address_->text().trimmed().toStdString();
    v.port = port_->value();
    v.netType = -1;
    for (std::size_t i = 0; i < types_.size(); ++i)
        if (types_[i]->isChecked()) v.netType = static_cast<int>(i);
    NetworkDialogResult r = applyNetworkDialog(current, v);
    status_->setText(r.ok ? QString()
                          : QString::fromStdString(english_ ? r.errorEnglish : r.errorChinese));
    return r;
}

CINDeviceSetCOMDlg::CINDeviceSetCOMDlg(NavigationInput& input, PortLister lister, QWidget* parent,
                                       bool english)
    : QWidget(parent), input_(input),
      lister_(lister ? std::move(lister) : PortLister([] { return platform::listSerialPorts(); })),
      english_(english) {
    auto* form = new QFormLayout(this);
    auto combo = [this](const char* name) {
        auto* box = new QComboBox(this);
        box->setObjectName(name);
        return box;
    };
    port_ = combo("port");
    baud_ = combo("baud");
    stop_ = combo("stop");
    data_ = combo("data");
    check_ = combo("check");
    for (const char* t : kBaudRateNames)
        baud_->addItem(QString::fromUtf8(t));
    for (const char* t : kStopBitNames)
        stop_->addItem(QString::fromUtf8(t));
    for (const char* t : kDataBitNames)
        data_->addItem(QString::fromUtf8(t));
    for (const char* t : kCheckBitsChinese)
        check_->addItem(text(t, english));
    form->addRow(text("串口号：", english), port_);
    form->addRow(text("波特率：", english), baud_);
    form->addRow(text("停止位：", english), stop_);
    form->addRow(text("数据位：", english), data_);
    form->addRow(text("校验位：", english), check_);
    open_ = new QPushButton(text("打开", english), this);
    form->addRow(open_);
    connect(open_, &QPushButton::clicked, this, [this] { onOpenClicked(); });
    refresh();
}

void CINDeviceSetCOMDlg::refresh() {
    ports_ = lister_();
    port_->clear();
    for (const auto& p : ports_)
        port_->addItem(QString::fromStdString(p));
    const SerialDialogView v =
        serialDialogView(input_.settings(), ports_, input_.serialPortName(), input_.serialOpen());
    port_->setCurrentIndex(v.selectedPort);
    baud_->setCurrentIndex(v.baudRate);
    stop_->setCurrentIndex(v.stopBit);
    data_->setCurrentIndex(v.dataBit);
    check_->setCurrentIndex(v.checkBit);
    showState(input_.serialOpen());
}

void CINDeviceSetCOMDlg::showState(bool open) {
    const SerialDialogView v = serialDialogView(input_.settings(), ports_, {}, open);
    open_->setText(text(v.buttonText == "Close" ? "关闭" : "打开", english_));
    for (QComboBox* box : {port_, baud_, stop_, data_, check_})
        box->setEnabled(v.settingsEnabled);
}

void CINDeviceSetCOMDlg::onOpenClicked() {
    const int at = port_->currentIndex();
    const std::string name =
        at >= 0 && at < static_cast<int>(ports_.size()) ? ports_[static_cast<std::size_t>(at)] : "";
    if (!input_.serialOpen())
        input_.setSettings(withSerialChoices(input_.settings(), baud_->currentIndex(),
                                             stop_->currentIndex(), data_->currentIndex(),
                                             check_->currentIndex()));
    const SerialToggle result = input_.open_or_close_serial(name);
    if (result == SerialToggle::NoPort) {
        emit deviceNotUsed();
        return;
    }
    showState(input_.serialOpen());
    if (result == SerialToggle::Opened || result == SerialToggle::Closed)
        emit portStateChanged(result == SerialToggle::Opened);
}

} // namespace kestrova::position::ui
