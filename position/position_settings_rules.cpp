#include "position/position_settings_rules.h"

#include "platform/serial.h"
#include "platform/socket.h"
#include "position/navigation_input.h"

#include <cstdio>

namespace kestrova::position {

std::string insIpText(std::uint32_t insIp) {
    // The integer's memory bytes are the address in network order.
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", insIp & 0xFFu, (insIp >> 8) & 0xFFu,
                  (insIp >> 16) & 0xFFu, insIp >> 24);
    return text;
}

std::optional<std::uint32_t> insIpFromText(std::string_view dotted) {
    auto host = platform::parseIpv4(dotted);
    if (!host) return std::nullopt;
    return insIpOfHostAddress(*host);
}

NetworkDialogValues networkDialogValues(const app::InsSettings& s) {
    NetworkDialogValues v;
    v.address = insIpText(s.ip);
    v.port = s.port;
    v.netType = platform::normalizedIndex(s.netType, static_cast<int>(kNetTypeNames.size()));
    return v;
}

NetworkDialogResult applyNetworkDialog(const app::InsSettings& current,
                                       const NetworkDialogValues& v) {
    NetworkDialogResult r;
    r.settings = current;
    auto ip = insIpFromText(v.address);
    if (!ip) {
        r.errorEnglish = "\"" + v.address + "\" is not an IPv4 address (such as 127.0.0.1).";
        r.errorChinese = "\"" + v.address + "\" 不是有效的 IPv4 地址（例如 127.0.0.1）。";
        return r;
    }
    if (v.port < 0 || v.port > 65535) {
        r.errorEnglish = "The port must be 0 to 65535.";
        r.errorChinese = "端口必须在 0 到 65535 之间。";
        return r;
    }
    if (v.netType < 0 || v.netType >= static_cast<int>(kNetTypeNames.size())) {
        r.errorEnglish = "Choose UDP, TCP_Client or TCP_Server.";
        r.errorChinese = "请选择 UDP、TCP_Client 或 TCP_Server。";
        return r;
    }
    r.ok = true;
    r.settings.ip = *ip;
    r.settings.port = static_cast<std::uint16_t>(v.port);
    r.settings.netType = v.netType;
    r.reopen = r.settings.ip != current.ip || r.settings.port != current.port;
    return r;
}

SerialDialogView serialDialogView(const app::InsSettings& s, const std::vector<std::string>& ports,
                                  const std::string& previousPort, bool portOpen) {
    SerialDialogView v;
    v.baudRate = platform::normalizedIndex(s.baudRate, static_cast<int>(kBaudRateNames.size()));
    v.stopBit = platform::normalizedIndex(s.stopBit, static_cast<int>(kStopBitNames.size()));
    v.dataBit = platform::normalizedIndex(s.dataBit, static_cast<int>(kDataBitNames.size()));
    v.checkBit = platform::normalizedIndex(s.checkBit, static_cast<int>(kCheckBitNames.size()));
    if (!ports.empty()) {
        v.selectedPort = 0;
        for (std::size_t i = 0; i < ports.size(); ++i)
            if (ports[i] == previousPort) v.selectedPort = static_cast<int>(i);
    }
    v.buttonText = portOpen ? "Close" : "Open";
    v.settingsEnabled = !portOpen;
    return v;
}

app::InsSettings withSerialChoices(app::InsSettings s, int baudRate, int stopBit, int dataBit,
                                   int checkBit) {
    s.baudRate = platform::normalizedIndex(baudRate, static_cast<int>(kBaudRateNames.size()));
    s.stopBit = platform::normalizedIndex(stopBit, static_cast<int>(kStopBitNames.size()));
    s.dataBit = platform::normalizedIndex(dataBit, static_cast<int>(kDataBitNames.size()));
    s.checkBit = platform::normalizedIndex(checkBit, static_cast<int>(kCheckBitNames.size()));
    return s;
}

} // namespace kestrova::position
