#pragma once
// The rules behind the two child dialogs of the device parameters page that
// set up the position input: the network dialog (IP address, port, "UDP" /
// "TCP_Client" / "TCP_Server") and the serial dialog ("COM Number:", "Baud
// rate:", "Stop bit:", "Data bit:", "Check bit:", "Open"/"Close"). The widgets
// only mirror these; everything that decides lives here and is tested without
// a window.

#include "app/config/settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::position {

constexpr std::array<const char*, 3> kNetTypeNames{"UDP", "TCP_Client", "TCP_Server"};
constexpr std::array<const char*, 3> kDataTypeNames{"GGA+ZDA", "Ostra INS Protocol", "Custom"};
constexpr std::array<const char*, 11> kBaudRateNames{
    "115200", "57600", "56000", "38400", "19200", "9600", "4800", "2400", "1200", "600", "300"};
constexpr std::array<const char*, 3> kStopBitNames{"1", "1.5", "2"};
constexpr std::array<const char*, 4> kDataBitNames{"8", "7", "6", "5"};
constexpr std::array<const char*, 5> kCheckBitNames{"None", "Odd", "Even", "Mark", "Space"};

// INS_Ip as the operator reads it ("127.0.0.1"), and back; nullopt for
// anything that is not a dotted IPv4 address.
std::string insIpText(std::uint32_t insIp);
std::optional<std::uint32_t> insIpFromText(std::string_view dotted);

// What the network dialog shows and the operator edits.
struct NetworkDialogValues {
    std::string address; // dotted
    long port = 0;       // as typed; 0..65535 is accepted
    int netType = 0;     // index into kNetTypeNames
};
NetworkDialogValues networkDialogValues(const app::InsSettings& settings);

struct NetworkDialogResult {
    bool ok = false;
    std::string errorEnglish; // for the operator when not ok
    std::string errorChinese;
    app::InsSettings settings; // the settings with the dialog's values; unchanged when not ok
    bool reopen = false;       // address or port changed: the channel must be reopened
};
// Checks and takes the dialog's values into the settings.
NetworkDialogResult applyNetworkDialog(const app::InsSettings& current,
                                       const NetworkDialogValues& values);

// What the serial dialog shows: the indices clamped into their lists (an index
// out of range shows, and is used, as the first entry), the port to select and
// the state of the button and the settings controls.
struct SerialDialogView {
    int baudRate = 0;
    int stopBit = 0;
    int dataBit = 0;
    int checkBit = 0;
    int selectedPort = -1; // index into the port list; -1 when the list is empty
    std::string buttonText;
    bool settingsEnabled = true; // the line settings cannot change while the port is open
};
SerialDialogView serialDialogView(const app::InsSettings& settings,
                                  const std::vector<std::string>& ports,
                                  const std::string& previousPort, bool portOpen);

// The dialog's choices into the settings (the port name is kept apart: it
// lives only while the program runs).
app::InsSettings withSerialChoices(app::InsSettings settings, int baudRate, int stopBit,
                                   int dataBit, int checkBit);

} // namespace kestrova::position
