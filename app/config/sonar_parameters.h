#pragma once
// The acquisition parameters of one sonar frequency and the tables that turn
// their small integer levels into physical values and display texts.

#include <string>

namespace kestrova::app {

enum class Frequency { HF = 0, LF = 1 };
constexpr const char* frequencySuffix(Frequency f) {
    return f == Frequency::HF ? "_HF" : "_LF";
}

// level + 10, the spreading and absorption values of a level. Wraps instead of
// overflowing for absurd levels read from a damaged file (refresh clamps them).
constexpr int plusTen(int level) {
    return static_cast<int>(static_cast<unsigned>(level) + 10u);
}

// One frequency's settings (INI keys ChEn_, Range_, Power_, Signalshape_, Pulse_,
// Gain_, Spreading_, Absorption_ with the frequency suffix).
struct SonarParameterSet {
    bool channelEnabled = true; // transmits and is displayed
    int rangeLevel = 3;         // 0..9, index into the range table
    int powerLevel = 5;         // 0 = transmitter off, else source level table
    int signalShape = 1;        // 1 "CW", 2 "LFM"
    int pulseLevel = 4;         // 0..7, index into the pulse width table
    int gainLevel = 0;          // gain in dB
    int spreadingLevel = 0;     // spreading coefficient = level + 10 dB
    int spreadingValue = 10;    // level + 10, kept beside the level
    int absorptionLevel = 0;    // absorption = level + 10 dB/km
    int absorptionValue = 10;   // level + 10, kept beside the level

    void setSpreadingLevel(int level) {
        spreadingLevel = level;
        spreadingValue = plusTen(level);
    }
    void setAbsorptionLevel(int level) {
        absorptionLevel = level;
        absorptionValue = plusTen(level);
    }
};

// Level tables (levels outside the table give the "other" column).
int rangeMetres(int rangeLevel);   // 10 15 25 50 75 100 150 200 250 300, other 50
int sourceLevelDb(int powerLevel); // 0 off (returns 0), 180..220, other 200
int pulseWidthUs(int pulseLevel);  // 0 15 30 50 100 1000 2000 4000, 8 and above 15

// Display texts.
std::string rangeText(int rangeLevel);      // "%d m"
std::string powerText(int powerLevel);      // "关" for 0, else "%d dB"
std::string pulseTextForWidth(int widthUs); // "关", "CW 0.0%d ms", "CW 0.%d ms", "Chirp %d ms"
std::string pulseText(int pulseLevel);
std::string gainText(int gainLevel);             // "%d dB"
std::string spreadingText(int spreadingLevel);   // "%d dB" of level + 10
std::string absorptionText(int absorptionLevel); // "%d dB/km" of level + 10
std::string offText();                           // "关"

// The longest pulse the range allows, in µs, on the ladder 15..4000: 100 µs for
// 10 and 15 m, 1 ms for 25 m, 2 ms for 50 and 75 m, 4 ms from 100 m.
int maxPulseWidthUs(int rangeLevel);
// The pulse level of a ladder width (15 µs -> 1 ... 4000 µs -> 7).
int pulseLevelForWidth(int widthUs);
// Highest pulse level the range allows.
int maxPulseLevel(int rangeLevel);
// The pulse slider's upper end label, the width in ms: "0.015" ... "4".
std::string pulseLimitLabel(int widthUs);

} // namespace kestrova::app
