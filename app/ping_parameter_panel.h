#pragma once
// The HF and LF ping parameter panels of the main frame (messages 1128 and
// 1129): the date and time of the newest ping and the acquisition parameters
// it was made with, as the operator reads them.

#include "acquisition/frame_format.h"
#include "app/config/sonar_parameters.h"

#include <string>

namespace kestrova::app {

// The values a panel shows, in the codes the sonar uses for them.
struct PingParameterCodes {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int pressure = kPressureNone; // mbar
    int rangeMetres = 0;          // the commanded range
    char powerFlag = '0';         // '0': transmitter off
    char powerCode = '0';         // '1'..'9': 180 .. 220 dB
    char signal = '0';            // '1' CW, '2' LFM
    char pulse = '0';             // '1'..'9', 'a': 15 .. 8000 us
    int gain = 0;                 // dB
    int spreading = 0;            // dB
    int absorption = 0;           // dB/km

    // Pressures from this value on mean "no sensor reading".
    static constexpr int kPressureNone = 35001;
};

struct PingParameterTexts {
    std::string date; // "2024-01-31"
    std::string time; // "14:25:01"
    std::string pressure, range, power, signal, pulse, gain, spreading, absorption;
};

PingParameterTexts formatPingParameters(const PingParameterCodes& codes, bool english);

// The ping header's time and the parameters the frequency was commanded with.
// The header carries no pressure the program reads, so the panel shows "None".
PingParameterCodes pingParameterCodes(const acquisition::PingHeader& header,
                                      const SonarParameterSet& set, int commandedRangeMetres);

// The range the ping was made with, from its header: the port side's range
// window (samples at its sample rate) as a two-way travel distance at the
// sound speed, in whole metres. `fallback` (the commanded range) when the
// header gives no window or rate.
int pingRangeMetres(const acquisition::PingHeader& header, double soundSpeed, int fallback);

} // namespace kestrova::app
