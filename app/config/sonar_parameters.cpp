#include "app/config/sonar_parameters.h"

#include <array>
#include <cstdio>

namespace kestrova::app {
namespace {

constexpr std::array<int, 10> kRangeMetres{10, 15, 25, 50, 75, 100, 150, 200, 250, 300};
constexpr std::array<int, 10> kSourceLevel{0, 180, 185, 190, 195, 200, 205, 210, 215, 220};
constexpr std::array<int, 8> kPulseWidth{0, 15, 30, 50, 100, 1000, 2000, 4000};
constexpr std::array<int, 7> kPulseLadder{15, 30, 50, 100, 1000, 2000, 4000};

std::string format(const char* pattern, int value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, pattern, value);
    return buf;
}

} // namespace

int rangeMetres(int rangeLevel) {
    if (rangeLevel < 0 || rangeLevel >= static_cast<int>(kRangeMetres.size())) return 50;
    return kRangeMetres[static_cast<std::size_t>(rangeLevel)];
}

int sourceLevelDb(int powerLevel) {
    if (powerLevel < 0 || powerLevel >= static_cast<int>(kSourceLevel.size())) return 200;
    return kSourceLevel[static_cast<std::size_t>(powerLevel)];
}

int pulseWidthUs(int pulseLevel) {
    if (pulseLevel >= static_cast<int>(kPulseWidth.size())) return 15;
    if (pulseLevel < 0) return 15;
    return kPulseWidth[static_cast<std::size_t>(pulseLevel)];
}

std::string offText() {
    return "关";
}

std::string rangeText(int rangeLevel) {
    return format("%d m", rangeMetres(rangeLevel));
}

std::string powerText(int powerLevel) {
    if (powerLevel == 0) return offText();
    return format("%d dB", sourceLevelDb(powerLevel));
}

std::string pulseTextForWidth(int widthUs) {
    if (widthUs <= 0) return offText();
    if (widthUs < 51) return format("CW 0.0%d ms", widthUs);
    if (widthUs < 1000) return format("CW 0.%d ms", widthUs / 100);
    return format("Chirp %d ms", widthUs / 1000);
}

std::string pulseText(int pulseLevel) {
    return pulseTextForWidth(pulseWidthUs(pulseLevel));
}

std::string gainText(int gainLevel) {
    return format("%d dB", gainLevel);
}
std::string spreadingText(int spreadingLevel) {
    return format("%d dB", plusTen(spreadingLevel));
}
std::string absorptionText(int absorptionLevel) {
    return format("%d dB/km", plusTen(absorptionLevel));
}

int maxPulseWidthUs(int rangeLevel) {
    int metres = rangeMetres(rangeLevel);
    int limit;
    if (rangeLevel < 10 && metres >= 100) {
        limit = 4000;
    } else if (metres == 25) {
        limit = 1000;
    } else if (metres == 50 || metres == 75) {
        limit = 2000;
    } else {
        limit = 100;
    }
    // Snap down onto the ladder; below its first rung the short-range limit holds.
    int snapped = 100;
    for (int rung : kPulseLadder)
        if (rung <= limit) snapped = rung;
    return snapped;
}

int pulseLevelForWidth(int widthUs) {
    for (std::size_t i = 0; i < kPulseLadder.size(); ++i)
        if (kPulseLadder[i] == widthUs) return static_cast<int>(i) + 1;
    return 4;
}

int maxPulseLevel(int rangeLevel) {
    return pulseLevelForWidth(maxPulseWidthUs(rangeLevel));
}

std::string pulseLimitLabel(int widthUs) {
    switch (widthUs) {
    case 15:
        return "0.015";
    case 30:
        return "0.03";
    case 50:
        return "0.05";
    case 100:
        return "0.1";
    case 1000:
        return "1";
    case 2000:
        return "2";
    case 4000:
        return "4";
    default:
        return "0.1";
    }
}

} // namespace kestrova::app
