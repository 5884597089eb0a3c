#pragma once
// Stand-ins for the command channel and the rest of the program around the
// sonar parameter page: they record what the page asked for.

#include "app/sonar_parameter_page.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrova::app::testing {

class RecordingCommandPort : public SonarCommandPort {
  public:
    bool connected = true;
    std::vector<std::string> sent; // "range HF", "transmit LF", "gain HF", "channel"

    bool commandChannelConnected() const override { return connected; }
    bool sendRangeCommand(Frequency f) override { return record("range", f); }
    bool sendTransmitCommand(Frequency f) override { return record("transmit", f); }
    bool sendGainCommand(Frequency f) override { return record("gain", f); }
    bool sendChannelCommand() override {
        sent.push_back("channel");
        return true;
    }

  private:
    bool record(const char* what, Frequency f) {
        sent.push_back(std::string(what) + (f == Frequency::HF ? " HF" : " LF"));
        return true;
    }
};

class FakePageHost : public SonarPageHost {
  public:
    std::optional<std::string> configPath; // set while a project is "open"
    bool playback = false;
    std::vector<Frequency> rangeCommits;

    std::optional<std::string> projectConfigPath() const override { return configPath; }
    bool playbackMode() const override { return playback; }
    void rangeCommitted(Frequency f) override { rangeCommits.push_back(f); }
};

} // namespace kestrova::app::testing
