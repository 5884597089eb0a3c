#include "app/ping_parameter_panel.h"

#include <cmath>
#include <cstdio>

namespace kestrova::app {
namespace {

std::string printed(const char* format, int value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The pulse code of a width on the sonar's ladder; '0' for a width off it.
char pulseCodeForWidth(int widthUs) {
    static constexpr int kWidths[] = {15, 30, 50, 100, 200, 500, 1000, 2000, 4000};
    for (int i = 0; i < 9; ++i)
        if (kWidths[i] == widthUs) return static_cast<char>('1' + i);
    return widthUs == 8000 ? 'a' : '0';
}

} // namespace

PingParameterTexts formatPingParameters(const PingParameterCodes& c, bool english) {
    PingParameterTexts t;
    const char* none = english ? "None" : "无";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", c.year, c.month, c.day);
    t.date = text;
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", c.hour, c.minute, c.second);
    t.time = text;
    t.pressure = c.pressure >= PingParameterCodes::kPressureNone ? std::string(none)
                                                                 : printed("%d mbar", c.pressure);
    t.range = printed("%d m", c.rangeMetres);
    if (c.powerFlag == '0')
        t.power = english ? "Off" : "关";
    else if (c.powerCode >= '1' && c.powerCode <= '9')
        t.power = printed("%d dB", 180 + 5 * (c.powerCode - '1'));
    else
        t.power = none;
    t.signal = c.signal == '1' ? "CW" : c.signal == '2' ? "LFM" : none;
    static constexpr int kPulseUs[] = {15, 30, 50, 100, 200, 500, 1000, 2000, 4000};
    if (c.pulse >= '1' && c.pulse <= '9')
        t.pulse = printed("%d us", kPulseUs[c.pulse - '1']);
    else if (c.pulse == 'a')
        t.pulse = "8000 us";
    else
        t.pulse = none;
    t.gain = printed("%d dB", c.gain);
    t.spreading = printed("%d dB", c.spreading);
    t.absorption = printed("%d dB/km", c.absorption);
    return t;
}

PingParameterCodes pingParameterCodes(const acquisition::PingHeader& h,
                                      const SonarParameterSet& set, int commandedRangeMetres) {
    PingParameterCodes c;
    c.year = h.year;
    c.month = h.month;
    c.day = h.day;
    c.hour = h.hour;
    c.minute = h.minute;
    c.second = h.second;
    c.rangeMetres = commandedRangeMetres;
    const int db = sourceLevelDb(set.powerLevel);
    c.powerFlag = set.powerLevel == 0 ? '0' : '1';
    c.powerCode = db >= 180 && db <= 220 && (db - 180) % 5 == 0
                      ? static_cast<char>('1' + (db - 180) / 5)
                      : '0';
    c.signal = set.signalShape == 1 ? '1' : set.signalShape == 2 ? '2' : '0';
    c.pulse = pulseCodeForWidth(pulseWidthUs(set.pulseLevel));
    c.gain = set.gainLevel;
    c.spreading = set.spreadingValue;
    c.absorption = set.absorptionValue;
    return c;
}

int pingRangeMetres(const acquisition::PingHeader& header, double soundSpeed, int fallback) {
    const acquisition::PingChannelBlock& b = header.port;
    if (b.sampleRate == 0 || b.rangeWindow == 0 || !(soundSpeed > 0)) return fallback;
    const double metres =
        static_cast<double>(b.rangeWindow) / static_cast<double>(b.sampleRate) * soundSpeed / 2.0;
    if (!(metres < 100000.0)) return fallback;
    return static_cast<int>(std::lround(metres));
}

} // namespace kestrova::app
