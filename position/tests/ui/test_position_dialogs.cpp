// The network and serial dialogs of the position input under the offscreen
// platform; the serial one opens a real pty through the navigation input.

#include "position/tests/nav_harness.h"
#include "position/ui/ins_device_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace kestrova;
using namespace kestrova::position;
using namespace kestrova::position::testing;

// Guards: the dialog showing the stored address in the wrong byte order,
// storing a bad address, and a changed port not marking the channel for reopening.
TEST(NetTypeDialog, ShowsCheckesAndStoresTheChannel) {
    NavHarness h;
    ui::CINDeviceSetNetTypeDlg dlg;
    dlg.load(h.nav.settings());
    dlg.show();
    EXPECT_EQ(dlg.addressEdit()->text().toStdString(), "127.0.0.1");
    EXPECT_EQ(dlg.portEdit()->value(), 6001);
    EXPECT_TRUE(dlg.typeButton(kNetTcpClient)->isChecked());
    EXPECT_EQ(dlg.typeButton(kNetTcpServer)->text().toStdString(), "TCP_Server");

    dlg.addressEdit()->setText("127.0.0.999");
    NetworkDialogResult bad = dlg.apply(h.nav.settings());
    EXPECT_FALSE(bad.ok);
    EXPECT_FALSE(dlg.statusLine()->text().isEmpty());

    dlg.addressEdit()->setText("127.1.2.3");
    dlg.portEdit()->setValue(6100);
    dlg.typeButton(kNetUdp)->click();
    NetworkDialogResult r = dlg.apply(h.nav.settings());
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(dlg.statusLine()->text().isEmpty());
    EXPECT_EQ(r.settings.ip, 0x0302017Fu);
    EXPECT_EQ(r.settings.port, 6100);
    EXPECT_EQ(r.settings.netType, kNetUdp);
    h.nav.setSettings(r.settings);
    EXPECT_TRUE(h.nav.reopenPending());
}

// Guards: the chosen line settings (parity included) not reaching the port,
// the button not following the port's state, and settings editable while open.
TEST(ComDialog, OpensThePortWithTheChosenLineAndClosesIt) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    NavHarness h;
    ui::CINDeviceSetCOMDlg dlg(h.nav, [&] { return std::vector<std::string>{name}; });
    dlg.show();
    EXPECT_EQ(dlg.portBox()->currentText().toStdString(), name);
    EXPECT_EQ(dlg.openButton()->text().toStdString(), "Open");
    dlg.baudBox()->setCurrentIndex(5);  // 9600
    dlg.checkBox()->setCurrentIndex(1); // odd parity
    dlg.stopBox()->setCurrentIndex(2);  // two stop bits
    int changes = 0;
    QObject::connect(&dlg, &ui::CINDeviceSetCOMDlg::portStateChanged, [&](bool) { ++changes; });

    dlg.openButton()->click();
    ASSERT_TRUE(h.nav.serialOpen());
    EXPECT_EQ(dlg.openButton()->text().toStdString(), "Close");
    EXPECT_FALSE(dlg.baudBox()->isEnabled());
    EXPECT_FALSE(dlg.portBox()->isEnabled());
    EXPECT_EQ(h.nav.settings().baudRate, 5);
    EXPECT_EQ(h.nav.settings().checkBit, 1);
    EXPECT_EQ(h.nav.settings().stopBit, 2);
    EXPECT_EQ(platform::currentBaudRate(slave), 9600);
    termios t{};
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    // A pty keeps no parity enable or character size; the parity kind, the
    // input parity check and the stop bits show on the line itself.
    EXPECT_TRUE(t.c_cflag & PARODD);
    EXPECT_TRUE(t.c_iflag & INPCK);
    EXPECT_TRUE(t.c_cflag & CSTOPB);

    dlg.openButton()->click();
    EXPECT_FALSE(h.nav.serialOpen());
    EXPECT_EQ(dlg.openButton()->text().toStdString(), "Open");
    EXPECT_TRUE(dlg.baudBox()->isEnabled());
    EXPECT_EQ(changes, 2);

    // The navigation thread closed a failed port: a refresh shows it.
    dlg.openButton()->click();
    ASSERT_TRUE(h.nav.serialOpen())
        << (h.sink.messages().empty() ? "" : h.sink.messages().back().text);
    h.nav.closeSerialPort();
    dlg.refresh();
    EXPECT_EQ(dlg.openButton()->text().toStdString(), "Open");
    EXPECT_EQ(dlg.portBox()->currentText().toStdString(), name); // chosen again
    close(master);
    close(slave);
}

// Guards: "Open" without any port doing anything but leaving the device unused.
TEST(ComDialog, OpenWithoutAPortLeavesTheDeviceUnused) {
    NavHarness h;
    ui::CINDeviceSetCOMDlg dlg(h.nav, [] { return std::vector<std::string>{}; });
    bool unused = false;
    QObject::connect(&dlg, &ui::CINDeviceSetCOMDlg::deviceNotUsed, [&] { unused = true; });
    dlg.openButton()->click();
    EXPECT_TRUE(unused);
    EXPECT_FALSE(h.nav.serialOpen());
    EXPECT_TRUE(h.sink.messages().empty());
}
