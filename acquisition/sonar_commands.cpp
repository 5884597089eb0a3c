#include "acquisition/sonar_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <limits>

namespace kestrova::acquisition {
namespace {

__attribute__((format(printf, 1, 2))) std::string format(const char* pattern, ...) {
    // Wide enough for any double printed with "%.8f".
    char buf[512];
    va_list args;
    va_start(args, pattern);
    const int n = std::vsnprintf(buf, sizeof buf, pattern, args);
    va_end(args);
    if (n < 0) return {};
    return std::string(buf, static_cast<std::size_t>(std::min<int>(n, sizeof buf - 1)));
}

// Truncation toward zero that saturates instead of overflowing: a nonsense
// sound velocity in a settings file must not turn into undefined arithmetic.
int truncToInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

bool usableSoundVelocity(double c) {
    return std::isfinite(c) && c > 0;
}

} // namespace

std::string clockLine(const SonarClockTime& t) {
    return format("$cmd,set,rtctime,%4d,%02d,%02d,%02d,%02d,%02d,%06d*ff\r\n", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.subSecond);
}

SonarClockTime pcClockTime(int zoneHours) {
    // UTC plus the operator's zone, as the position input dates its fixes:
    // the PC's own zone plays no part, so both clock lines agree.
    const std::time_t now = std::time(nullptr) + static_cast<std::time_t>(zoneHours) * 3600;
    std::tm t{};
    gmtime_r(&now, &t);
    SonarClockTime out;
    out.year = t.tm_year + 1900;
    out.month = t.tm_mon + 1;
    out.day = t.tm_mday;
    out.hour = t.tm_hour;
    out.minute = t.tm_min;
    out.second = t.tm_sec;
    return out;
}

int commandRangeMetres(app::Frequency f, int rangeLevel) {
    switch (rangeLevel) {
    case 0:
        return 10;
    case 1:
        return 15;
    case 2:
        return 25;
    case 4:
        return 75;
    case 5:
        return 100;
    case 6:
        return 150;
    default:
        break;
    }
    if (f == app::Frequency::LF) {
        if (rangeLevel == 7) return 200;
        if (rangeLevel == 8) return 250;
        if (rangeLevel == 9) return 300;
    }
    return 50;
}

int commandPulseUs(int pulseLevel) {
    static constexpr int kWidths[8] = {0, 15, 30, 50, 100, 1000, 2000, 4000};
    if (pulseLevel < 0 || pulseLevel > 7) return 15;
    return kWidths[pulseLevel];
}

int echoWindowUs(int rangeMetres) {
    if (rangeMetres >= 100) return 4000;
    if (rangeMetres == 25) return 1000;
    if (rangeMetres == 50 || rangeMetres == 75) return 2000;
    return 100;
}

int sampleLength(int rangeMetres, double soundVelocity) {
    if (!usableSoundVelocity(soundVelocity)) return kSampleLengthWithoutSoundVelocity;
    return truncToInt(static_cast<double>(rangeMetres) * 2.0 * kSampleFrequencyHz / soundVelocity);
}

int pingIntervalValue(int rangeMetres, int pulseUs, int windowUs, double c) {
    const double t = 0.016 * 2.0 * rangeMetres / c;
    const double byPulse = (pulseUs / 1e6 - t) / 0.016;
    const double byWindow = (windowUs / 1e6 - t) / 0.016;
    double x = std::min(byPulse, byWindow);
    if (!(x > 0.009)) x = 0.009; // NaN (no sound velocity at all) also takes the floor
    return truncToInt(x * 1000.0 + 1.0);
}

std::string gainNumberText(double value) {
    std::string text = format("%.8f", value);
    if (text.size() > 10) text.resize(10);
    while (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
}

std::string gainSpreadingText(int spreadingValue) {
    return gainNumberText(std::log10(2.718281828459) * spreadingValue * 600.0);
}

std::string gainAbsorptionText(int absorptionValue, double soundVelocity) {
    return gainNumberText(absorptionValue / 1000.0 * 1e-5 * soundVelocity * 600.0);
}

SignalCode signalCode(int pulseLevel) {
    if (pulseLevel >= 5) return SignalCode{2, 10, pulseLevel + 2};
    return SignalCode{1, 5, pulseLevel};
}

std::string_view channelMask(bool hfEnabled, bool lfEnabled) {
    if (hfEnabled && lfEnabled) return "0f";
    if (hfEnabled) return "03";
    if (lfEnabled) return "0c";
    return "00";
}

int surveyParaValue(int syncMode, int syncPolarity) {
    if (syncMode == 0) return 0;
    return syncPolarity == 0 ? 1 : 2;
}

std::string chenLine(bool hfEnabled, bool lfEnabled) {
    return "$cmd,set,chen," + std::string(channelMask(hfEnabled, lfEnabled)) + "*ff\r\n";
}

std::string surveyParaLine(int syncMode, int syncPolarity) {
    return format("$cmd,set,surveypara,%d,0,0*ff\r\n", surveyParaValue(syncMode, syncPolarity));
}

std::string sampleFrequencyLine(int channel) {
    return format("$cmd,set,samplefreq,%d,%06d*ff\r\n", channel, kSampleFrequencyHz);
}

std::string sampleLengthLine(int channel, int samples) {
    return format("$cmd,set,samplelength,%d,0,%06d*ff\r\n", channel, samples);
}

std::string intervalLine(int value) {
    return format("$cmd,set,interval,%d*ff\r\n", value);
}

std::string sampleRateLine(int channel, int code) {
    return format("$cmd,set,samplerate,%d,%02d*ff\r\n", channel, code);
}

std::string signalParaLine(int channel, const SignalCode& signal, int frequency) {
    return format("$cmd,set,signalpara,%d,%d,%d,%x,%x,9*ff\r\n", channel, signal.shape, frequency,
                  static_cast<unsigned>(signal.family), static_cast<unsigned>(signal.code));
}

std::string emitChenLine(int channel, bool transmit) {
    return format("$cmd,set,emitchen,%d,%d*ff\r\n", channel, transmit ? 1 : 0);
}

std::string gainParaLine(int channel, int gainLevel, int advancedGain, std::string_view spreading,
                         std::string_view absorption) {
    return format("$cmd,set,gainpara,%d,%d,%d,%06d,%06d,", channel, gainLevel, advancedGain, 0,
                  1000) +
           std::string(spreading) + "," + std::string(absorption) + "*ff\r\n";
}

std::string filterBandwidthLines() {
    return "$cmd,set,filterbandwidth,5,80000*ff\r\n$cmd,set,filterbandwidth,6,80000*ff\r\n";
}

int transducerCode(int selection) {
    switch (selection) {
    case 1:
        return 1;
    case 2:
        return 2;
    case 3:
        return 5;
    default:
        return 0;
    }
}

std::string emitTransducerLines(int selection) {
    const int code = transducerCode(selection);
    return format("$cmd,set,emittransducer,5,%d*ff\r\n$cmd,set,emittransducer,6,%d*ff\r\n", code,
                  code);
}

std::string recvTransducerLines(int selection) {
    const int code = transducerCode(selection);
    return format("$cmd,set,recvtransducer,5,%d*ff\r\n$cmd,set,recvtransducer,6,%d*ff\r\n", code,
                  code);
}

std::optional<std::string> updataSwitchLine(int selection) {
    if (selection < 0 || selection > 2) return std::nullopt;
    return format("$cmd,set,updataswitch,%d*ff\r\n", selection);
}

std::string algorithmLine(int algorithm) {
    return format("$cmd,set,algorithm,%d*ff\r\n", algorithm);
}

std::optional<std::string> typedIntervalLine(std::string_view typed) {
    if (typed.empty() || typed.find_first_of(",*$\r\n") != std::string_view::npos)
        return std::nullopt;
    return "$cmd,set,interval," + std::string(typed) + "*ff\r\n";
}

int SonarCommandBuilder::channelIntervalValue(app::Frequency f) const {
    const app::SonarParameterSet& p = sonar_.of(f);
    const int range = commandRangeMetres(f, p.rangeLevel);
    return pingIntervalValue(range, commandPulseUs(p.pulseLevel), echoWindowUs(range),
                             sonar_.soundSpeed);
}

std::string SonarCommandBuilder::build_sampling_lines(app::Frequency f) {
    const int channel = sonarChannel(f);
    int range = commandRangeMetres(f, sonar_.of(f).rangeLevel);
    const int samples = sampleLength(range, sonar_.soundSpeed);
    if (!usableSoundVelocity(sonar_.soundSpeed)) range = 10;
    if (!sonarRunning_)
        (f == app::Frequency::HF ? sonar_.commandRangeMetresHF : sonar_.commandRangeMetresLF) =
            range;
    return sampleFrequencyLine(channel) + sampleLengthLine(channel, samples);
}

std::string SonarCommandBuilder::build_signal_lines(app::Frequency f) {
    const int channel = sonarChannel(f);
    app::SonarParameterSet& p = sonar_.of(f);
    intervalHF_ = channelIntervalValue(app::Frequency::HF);
    intervalLF_ = channelIntervalValue(app::Frequency::LF);
    // The other channel's interval counts only while it transmits with this one.
    const app::Frequency other = f == app::Frequency::HF ? app::Frequency::LF : app::Frequency::HF;
    int interval = intervalValue(f);
    if (sonar_.of(other).channelEnabled) interval = std::max(interval, intervalValue(other));

    const SignalCode signal = signalCode(p.pulseLevel);
    p.signalShape = signal.shape;
    const float frequency = f == app::Frequency::HF ? hfFrequency_ : lfFrequency_;
    const int rateCode = f == app::Frequency::HF ? system_.samplerateHF : system_.samplerateLF;
    return intervalLine(interval) + sampleRateLine(channel, rateCode) +
           signalParaLine(channel, signal, truncToInt(frequency)) +
           emitChenLine(channel, p.pulseLevel != 0);
}

std::string SonarCommandBuilder::build_gain_line(app::Frequency f) {
    const app::SonarParameterSet& p = sonar_.of(f);
    return gainParaLine(sonarChannel(f), p.gainLevel, advancedGain(f),
                        gainSpreadingText(p.spreadingValue),
                        gainAbsorptionText(p.absorptionValue, sonar_.soundSpeed));
}

std::string SonarCommandBuilder::build_fixed_lines() const {
    return "$cmd,set,updataswitch,0*ff\r\n"
           "$cmd,set,algorithm,1*ff\r\n"
           "$cmd,set,emittransducer,5,0*ff\r\n"
           "$cmd,set,emittransducer,6,0*ff\r\n"
           "$cmd,set,recvtransducer,5,1*ff\r\n"
           "$cmd,set,recvtransducer,6,1*ff\r\n";
}

std::string SonarCommandBuilder::build_channel_block() {
    const bool hf = sonar_.hf.channelEnabled;
    const bool lf = sonar_.lf.channelEnabled;
    std::string block = chenLine(hf, lf);
    for (app::Frequency f : {app::Frequency::HF, app::Frequency::LF}) {
        if (!sonar_.of(f).channelEnabled) continue;
        block += build_sampling_lines(f);
        block += build_signal_lines(f);
        block += build_gain_line(f);
    }
    return block;
}

} // namespace kestrova::acquisition
