// The position input as the program owns it: a project's INSPara and
// ParaOfGeo loaded from its configuration file reach the channel and the
// geodesy engine, and a changed coordinate set-up reaches both the engine and
// the file.

#include "position/position_system.h"

#include "app/config/configuration.h"
#include "platform/clock.h"
#include "platform/tests/temp_folder.h"
#include "platform/udp_socket.h"
#include "tools/nav-sim/nav_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>

using namespace kestrova;
using namespace kestrova::position;

namespace {

bool waitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 4000 && !condition(); ++i)
        platform::sleepMs(2);
    return condition();
}

void sendGga(std::uint16_t port, double seconds) {
    navsim::GgaData g;
    g.utcSecondsOfDay = seconds;
    g.latitude = 30.0;
    g.longitude = 120.0;
    const std::string text = navsim::ggaSentence(g);
    platform::UdpSocket s;
    ASSERT_TRUE(s.open());
    s.sendTo(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()),
                                           text.size()),
             {0x7F000001, port});
}

} // namespace

// Guards: the project's position settings or coordinate set-up not reaching
// the running input after a load, and a changed set-up converted with the old
// record or not saved.
TEST(PositionSystem, ProjectSettingsReachTheChannelAndTheEngine) {
    kestrova::testing::TempFolder dir;
    const std::string ini = dir.file("Survey.ini");
    std::ofstream(ini) << "[ParaOfGeo]\r\nCentralMeridian=120000000000E\r\n"
                          "[INSPara]\r\nINS_ModeSelect=1\r\nINS_Ip=16777343\r\nINS_Port=0\r\n"
                          "INS_NetType=0\r\nINS_DataType=0\r\n";
    app::RecordingMessageSink sink;
    app::Messenger messenger;
    messenger.setSink(&sink);
    app::Configuration config(dir.path(), messenger);
    platform::MessageQueue queue;
    PositionSystem system(config, queue);
    ASSERT_TRUE(system.valid());

    ASSERT_TRUE(config.LoadConfigSection("ParaOfGeo", ini));
    ASSERT_TRUE(config.LoadConfigSection("INSPara", ini));
    system.configurationLoaded();
    system.input().apply_position_settings();
    ASSERT_TRUE(system.input().udpOpen());
    const std::uint16_t port = system.input().boundPort();
    system.input().start_navigation_thread();

    // On the project's central meridian 120 E.
    sendGga(port, 43200.0);
    ASSERT_TRUE(waitFor([&] { return system.input().messagesAccepted() == 1; }));
    PositionFix fix = system.input().displaySnapshot();
    EXPECT_NEAR(fix.east, 500000.0, 0.001);
    EXPECT_NEAR(fix.north, 3320113.398, 0.001);

    // The operator sets the default set-up (central meridian 117 E) again.
    ASSERT_TRUE(system.coordinateSettingsChanged(defaultGeodeticRecord(), ini));
    sendGga(port, 43201.0);
    ASSERT_TRUE(waitFor([&] { return system.input().messagesAccepted() == 2; }));
    fix = system.input().displaySnapshot();
    EXPECT_NEAR(fix.east, 789525.463, 0.001);
    EXPECT_NEAR(fix.north, 3323905.467, 0.001);
    std::ifstream in(ini);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("CentralMeridian=1170000.00000E"), std::string::npos) << text;

    // Position settings accepted on the page: no device any more, the channel closes.
    app::InsSettings none = config.ins;
    none.modeSelect = kModeNoDevice;
    EXPECT_TRUE(system.positionSettingsAccepted(none, ini));
    EXPECT_FALSE(system.input().udpOpen());
    in = std::ifstream(ini);
    text.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("INS_ModeSelect=0"), std::string::npos) << text;
    EXPECT_TRUE(sink.messages().empty());
}
