#pragma once
// The sonar's command lines: "$cmd," verb, comma-separated fields, the fixed
// terminator "*ff" (not a checksum) and CR LF. Lines may be concatenated into
// one block and sent with one send_command. This file holds the value
// encodings, every line the program sends, and the builder that turns the
// acquisition settings into the blocks the parameter page and the start
// command send.

#include "app/config/settings.h"
#include "app/config/sonar_parameters.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::acquisition {

// Sonar channel numbers in commands.
constexpr int kSonarChannelHF = 5;
constexpr int kSonarChannelLF = 6;
constexpr int sonarChannel(app::Frequency f) {
    return f == app::Frequency::HF ? kSonarChannelHF : kSonarChannelLF;
}

// The sonar digitises every channel at this rate.
constexpr int kSampleFrequencyHz = 216000;
// Sample length used when the sound velocity is 0 (range taken as 10 m).
constexpr int kSampleLengthWithoutSoundVelocity = 19440;

// Queries.
constexpr std::string_view kQueryDeviceType = "$cmd,get,devicetype*ff\r\n";
constexpr std::string_view kQueryDeviceId = "$cmd,get,deviceid*ff\r\n";
constexpr std::string_view kQueryFrequencies = "$cmd,get,freq*ff\r\n";
constexpr std::string_view kQueryVersion = "$cmd,get,version,6*ff\r\n";
// Start pinging (the stop line, kStopLine, is beside the channels).
constexpr std::string_view kStartLine = "$cmd,sysrun,1*ff\r\n";
// Pressure sensor calibration.
constexpr std::string_view kAutoClearLine = "$cmd,set,autoclear*ff\r\n";
constexpr std::string_view kPressureReferenceLines =
    "$cmd,set,pressureref,1013*ff\r\n$cmd,get,pressureref*ff\r\n";

// Date and time for the sonar's clock. `subSecond` is 0 when the PC clock is
// used; the position input passes the sub-second value of its fix.
struct SonarClockTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int subSecond = 0;
};
// "$cmd,set,rtctime,%4d,%02d,%02d,%02d,%02d,%02d,%06d*ff\r\n"
std::string clockLine(const SonarClockTime& t);

// What the position input needs to keep the sonar's clock on the fix time.
// The device session implements it; callable from the position thread.
class SonarClockSetter {
  public:
    virtual ~SonarClockSetter() = default;
    // Set by the start command: the next good fix should set the clock.
    virtual bool timeSyncWanted() const = 0;
    // Sends the clock line while the command channel is connected; a line
    // handed over successfully clears time-sync-wanted.
    virtual bool sendSonarClock(const SonarClockTime& time) = 0;
};
// The PC's UTC date and time now moved into the operator's zone (TimeZoneHour),
// sub-second field 0.
SonarClockTime pcClockTime(int zoneHours);

// Value encodings.
// Range level to metres as the commands use it: 0 10, 1 15, 2 25, 4 75, 5 100,
// 6 150, LF also 7 200, 8 250, 9 300; any other level 50.
int commandRangeMetres(app::Frequency f, int rangeLevel);
// Pulse level to µs: 0 0, 1 15, 2 30, 3 50, 4 100, 5 1000, 6 2000, 7 4000; others 15.
int commandPulseUs(int pulseLevel);
// Echo window in µs for a range: 4000 from 100 m, 1000 at 25 m, 2000 at 50 and
// 75 m, 100 otherwise.
int echoWindowUs(int rangeMetres);
// Samples per ping: range x 2 x 216000 / sound velocity, truncated. A sound
// velocity that is not a positive number gives 19440 (range 10 m).
int sampleLength(int rangeMetres, double soundVelocity);
// The ping interval value of one channel (see the interval line).
int pingIntervalValue(int rangeMetres, int pulseUs, int windowUs, double soundVelocity);
// A number as the gain line carries it: "%.8f", cut to 10 characters, trailing
// "." removed.
std::string gainNumberText(double value);
// Spreading text of a spreading value s: log10(e) x s x 600.
std::string gainSpreadingText(int spreadingValue);
// Absorption text of an absorption value a: a / 1000 x 1e-5 x c x 600.
std::string gainAbsorptionText(int absorptionValue, double soundVelocity);

struct SignalCode {
    int shape = 1;  // 1 CW, 2 LFM
    int family = 5; // written in hexadecimal
    int code = 0;   // written in hexadecimal
};
// Pulse level 5 and above: shape 2, family 10, code level + 2; below: shape 1,
// family 5, code the level.
SignalCode signalCode(int pulseLevel);

// "00" none, "03" HF only, "0c" LF only, "0f" both.
std::string_view channelMask(bool hfEnabled, bool lfEnabled);
// 0 when synchronisation is off, else 1 for polarity 0 and 2 for any other polarity.
int surveyParaValue(int syncMode, int syncPolarity);

// Single lines.
std::string chenLine(bool hfEnabled, bool lfEnabled);
std::string surveyParaLine(int syncMode, int syncPolarity);
std::string sampleFrequencyLine(int channel);
std::string sampleLengthLine(int channel, int samples);
std::string intervalLine(int value);
std::string sampleRateLine(int channel, int code);
std::string signalParaLine(int channel, const SignalCode& signal, int frequency);
std::string emitChenLine(int channel, bool transmit);
std::string gainParaLine(int channel, int gainLevel, int advancedGain, std::string_view spreading,
                         std::string_view absorption);
// Both filterbandwidth lines (80000), channel 5 then 6.
std::string filterBandwidthLines();

// The hidden advanced settings dialog.
// Transducer selection 0, 1, 2, 3 to the code 0, 1, 2, 5 (others 0).
int transducerCode(int selection);
// The emittransducer (or recvtransducer) line for channel 5 then 6, same code.
std::string emitTransducerLines(int selection);
std::string recvTransducerLines(int selection);
// Selection 0, 1 or 2; nullopt for any other.
std::optional<std::string> updataSwitchLine(int selection);
std::string algorithmLine(int algorithm);
// The interval exactly as the operator typed it; nullopt when the text would
// break the line (a comma, "*", "$", CR or LF, or nothing at all).
std::optional<std::string> typedIntervalLine(std::string_view typed);

// Builds the configuration blocks from the acquisition settings. Used on the
// interface thread only. Building writes back what the rules say it does: the
// signal shape of the pulse level, the channel's range in metres as the
// display range (while the sonar is not running), the interval values.
class SonarCommandBuilder {
  public:
    SonarCommandBuilder(app::SonarSettings& sonar, const app::SystemConfig& system)
        : sonar_(sonar), system_(system) {}

    // Channel frequencies from the sonar's last "freq" reply (0 before any).
    void setChannelFrequencies(float lf, float hf) {
        lfFrequency_ = lf;
        hfFrequency_ = hf;
    }
    void setSonarRunning(bool running) { sonarRunning_ = running; }
    // Advanced gain values of the hidden advanced settings (30 HF, 40 LF).
    void setAdvancedGain(app::Frequency f, int value) {
        (f == app::Frequency::HF ? advancedGainHF_ : advancedGainLF_) = value;
    }
    int advancedGain(app::Frequency f) const {
        return f == app::Frequency::HF ? advancedGainHF_ : advancedGainLF_;
    }

    // Channel enable line, then the sampling, signal and gain lines of each
    // enabled frequency, HF first.
    std::string build_channel_block();
    // samplefreq and samplelength of one frequency.
    std::string build_sampling_lines(app::Frequency f);
    // interval, samplerate, signalpara and emitchen of one frequency.
    std::string build_signal_lines(app::Frequency f);
    // gainpara of one frequency.
    std::string build_gain_line(app::Frequency f);
    // updataswitch, algorithm, emittransducer and recvtransducer (fixed values).
    std::string build_fixed_lines() const;

    // The interval values last computed (for the settings display).
    int intervalValue(app::Frequency f) const {
        return f == app::Frequency::HF ? intervalHF_ : intervalLF_;
    }
    // The interval value of one frequency's own settings.
    int channelIntervalValue(app::Frequency f) const;

  private:
    app::SonarSettings& sonar_;
    const app::SystemConfig& system_;
    float lfFrequency_ = 0;
    float hfFrequency_ = 0;
    bool sonarRunning_ = false;
    int advancedGainHF_ = 30;
    int advancedGainLF_ = 40;
    int intervalHF_ = 0;
    int intervalLF_ = 0;
};

} // namespace kestrova::acquisition
