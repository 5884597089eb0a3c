#pragma once
// A command channel that keeps every line and call the device dialogs make,
// in order, so a test can read back exactly what the sonar would have got.

#include "app/config/sonar_command_port.h"

#include <string>
#include <vector>

namespace kestrova::app::testing {

class LineRecordingPort : public SonarCommandPort {
  public:
    bool connected = true;
    std::vector<std::string> sent; // lines blocks, and "gain HF" / "gain LF" calls
    int advancedGainHF = -1;
    int advancedGainLF = -1;

    bool commandChannelConnected() const override { return connected; }
    bool sendRangeCommand(Frequency) override { return false; }
    bool sendTransmitCommand(Frequency) override { return false; }
    bool sendGainCommand(Frequency f) override {
        if (!connected) return false;
        sent.push_back(f == Frequency::HF ? "gain HF" : "gain LF");
        return true;
    }
    bool sendChannelCommand() override { return false; }
    bool sendCommandLines(std::string_view lines) override {
        if (!connected) return false;
        sent.emplace_back(lines);
        return true;
    }
    void setAdvancedGain(Frequency f, int value) override {
        (f == Frequency::HF ? advancedGainHF : advancedGainLF) = value;
    }
    std::string all() const {
        std::string s;
        for (const auto& x : sent)
            s += x;
        return s;
    }
};

} // namespace kestrova::app::testing
