#pragma once
// The simulated sonar's command protocol: it reads every command line the
// program sends, refuses any line whose verb, field count or value encoding is
// not what the sonar accepts (the settings stay as they were), keeps the
// settings, answers the queries, and tells the streaming side which ranges,
// sample rates and channels to ping with and whether pinging is on. Replies can
// be spoiled on purpose to exercise the program's reply handling.

#include "tools/sonar-sim/command_channel.h"
#include "tools/sonar-sim/sonar_stream.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::sim {

// Ways to spoil a reply (each applied to every N-th reply).
struct ReplyFaults {
    bool garbage = false;       // bytes without "$" before the reply
    bool doubleDollar = false;  // a stray "$..." without CR LF before the reply
    bool noCrLf = false;        // the reply's CR LF left out
    bool missingFields = false; // only the keyword, no value
    bool split = false;         // the reply goes out in two pieces (the simulator's part)
    std::uint32_t every = 1;
    bool any() const { return garbage || doubleDollar || noCrLf || missingFields || split; }
};

struct SonarIdentity {
    std::string model = "QM-302";
    std::string identifier = "QM302-240117";
    std::string firmware = "V2.3.6";
    int hfFrequency = 450; // as the freq reply reports them
    int lfFrequency = 150;
};

// The settings one sonar channel (5 HF, 6 LF) keeps.
struct SimChannel {
    int sampleFrequency = 216000;
    int sampleLength = 0; // samples per ping; power-on value set by the protocol
    int sampleRate = 0;   // decimation code
    int shape = 1;
    int frequency = 0;
    int family = 5;
    int code = 4;
    bool transmit = true;
    int gain = 0;
    int advancedGain = 0;
    std::string spreading;
    std::string absorption;
    int emitTransducer = 0;
    int recvTransducer = 1;
    int filterBandwidth = 80000;
};

struct SimSettings {
    bool running = false;
    int channelMask = 0x0f;
    int interval = 10;
    int surveyPara = 0;
    int updataSwitch = 0;
    int algorithm = 1;
    int pressureReference = 1013;
    SimChannel hf;
    SimChannel lf;
};

struct ProtocolCounts {
    std::uint64_t accepted = 0;
    std::uint64_t rejected = 0;
    std::uint64_t replies = 0;
};

class SonarProtocol : public CommandChannelHandler {
  public:
    explicit SonarProtocol(SonarIdentity identity, ReplyFaults faults = {});

    // Another identity from now on (a different unit on the same address).
    void setIdentity(SonarIdentity identity);
    const SonarIdentity& identity() const { return identity_; }
    // 1 for the single-frequency models of the table, else 2.
    int frequencyCount() const { return frequencies_; }

    const SimSettings& settings() const { return settings_; }
    // Power-on ranges, sample rates and channels from the simulator's options.
    void setPowerOn(const SonarStreamConfig& c);
    // Pinging from power-on, as if "$cmd,sysrun,1" had come (--autorun).
    void setRunning(bool running) { settings_.running = running; }
    const ProtocolCounts& counts() const { return counts_; }
    // `base` with this sonar's commanded channels, ranges and sample rates.
    SonarStreamConfig streamConfig(const SonarStreamConfig& base) const;
    // Pulse length in µs of a channel's signal code.
    static int pulseUs(const SimChannel& c);
    // Range in metres a channel's sample length covers at 1500 m/s.
    static double rangeMetres(const SimChannel& c);

    // Set by the simulator.
    std::function<void(std::string_view line, bool accepted, std::string_view why)> log;
    std::function<void()> settingsChanged; // pinging or what it pings changed
    std::function<void(double epoch)> clockSet;

    // Parses one command line and acts on it; false (and why) when refused.
    bool handle(std::string_view line, std::string& why);

  protected:
    void onCommandLine(std::string_view line) override;

  private:
    void answer(const std::string& keyword, const std::string& values);
    void checkPulse();
    bool handleSet(const std::vector<std::string_view>& f, std::string& why);

    SonarIdentity identity_;
    ReplyFaults faults_;
    int frequencies_ = 2;
    SimSettings settings_;
    ProtocolCounts counts_;
};

// Seconds since 1970 of a local civil date and time (no time zone applied).
double epochFromCivil(int year, int month, int day, int hour, int minute, int second,
                      double fraction);

} // namespace kestrova::sim
