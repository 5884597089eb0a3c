// The rules of the network and serial dialogs of the position input.

#include "position/position_settings_rules.h"

#include <gtest/gtest.h>

using namespace kestrova;
using namespace kestrova::position;

// Guards: the stored address read back in the wrong byte order (the default
// would then show as 1.0.0.127).
TEST(PositionSettingsRules, InsIpHoldsTheAddressBytesInNetworkOrder) {
    EXPECT_EQ(app::kLoopbackInsIp, 16777343u);
    EXPECT_EQ(insIpText(app::kLoopbackInsIp), "127.0.0.1");
    // 127.1.2.3: bytes 7F 01 02 03 read little-endian: 0x0302017F.
    EXPECT_EQ(insIpFromText("127.1.2.3"), std::optional<std::uint32_t>(0x0302017Fu));
    EXPECT_EQ(insIpText(0x0302017Fu), "127.1.2.3");
    EXPECT_FALSE(insIpFromText("127.0.0.256").has_value());
    EXPECT_FALSE(insIpFromText("127.0.0").has_value());
    EXPECT_FALSE(insIpFromText("").has_value());
}

// Guards: a bad address or port stored (and a channel then bound to nothing),
// and the reopen decision missing a changed port.
TEST(PositionSettingsRules, NetworkDialogChecksBeforeStoring) {
    app::InsSettings current;
    NetworkDialogValues v = networkDialogValues(current);
    EXPECT_EQ(v.address, "127.0.0.1");
    EXPECT_EQ(v.port, 6001);
    EXPECT_EQ(v.netType, 1);

    v.address = "127.0.0.300";
    NetworkDialogResult r = applyNetworkDialog(current, v);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.errorEnglish.empty());
    EXPECT_EQ(r.settings.ip, current.ip);

    v.address = "127.0.0.1";
    v.port = 65536;
    EXPECT_FALSE(applyNetworkDialog(current, v).ok);
    v.port = -1;
    EXPECT_FALSE(applyNetworkDialog(current, v).ok);

    v.port = 6001;
    v.netType = 0;
    r = applyNetworkDialog(current, v);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.settings.netType, 0);
    EXPECT_FALSE(r.reopen); // only the type changed

    v.port = 65535;
    v.address = "127.1.2.3";
    r = applyNetworkDialog(current, v);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.settings.port, 65535);
    EXPECT_EQ(r.settings.ip, 0x0302017Fu);
    EXPECT_TRUE(r.reopen);
}

// Guards: an out-of-range stored index selecting nothing (or past the list),
// the previous port forgotten, and line settings editable while the port is open.
TEST(PositionSettingsRules, SerialDialogShowsWhatWillBeUsed) {
    app::InsSettings s;
    s.baudRate = 11;
    s.stopBit = 2;
    s.dataBit = 7;
    s.checkBit = 2;
    const std::vector<std::string> ports{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0"};
    SerialDialogView v = serialDialogView(s, ports, "/dev/ttyUSB0", false);
    EXPECT_EQ(v.baudRate, 0);
    EXPECT_EQ(v.stopBit, 2);
    EXPECT_EQ(v.dataBit, 0);
    EXPECT_EQ(v.checkBit, 2);
    EXPECT_EQ(v.selectedPort, 2);
    EXPECT_EQ(v.buttonText, "Open");
    EXPECT_TRUE(v.settingsEnabled);
    v = serialDialogView(s, ports, "/dev/ttyACM3", true);
    EXPECT_EQ(v.selectedPort, 0);
    EXPECT_EQ(v.buttonText, "Close");
    EXPECT_FALSE(v.settingsEnabled);
    EXPECT_EQ(serialDialogView(s, {}, "/dev/ttyS0", false).selectedPort, -1);

    app::InsSettings chosen = withSerialChoices(s, 5, 1, 1, 9);
    EXPECT_EQ(chosen.baudRate, 5);
    EXPECT_EQ(chosen.stopBit, 1);
    EXPECT_EQ(chosen.dataBit, 1);
    EXPECT_EQ(chosen.checkBit, 0);
}
