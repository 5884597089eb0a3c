#pragma once
// A call of sss_display_repro with named settings and exactly sized arrays, so
// that AddressSanitizer sees any access past the caller's arrays.

#include "libs/drovanta/drovanta.h"

#include <cstdint>
#include <vector>

namespace kestrova::drovanta::test {

struct ReproArgs {
    std::uint8_t reset = 1;
    float sampleRate = 48000.0f;
    float step = 1.0f;
    std::uint8_t useMean = 1;
    std::uint32_t inputFullScale = 4294967295u;
    std::uint32_t outputFullScale = 32767;
    std::uint32_t firstIndex = 0;
    float soundSpeed = 1500.0f;
    std::uint32_t minRangeDm = 10;
    std::uint32_t maxRangeDm = 100;
    std::uint32_t threshold = 0;
};

struct ReproOut {
    std::uint32_t length = 0xdeadbeef;
    std::uint32_t bottom = 0xdeadbeef;
    float strength = -1.0f;
};

inline ReproOut repro(const std::vector<std::uint32_t>& x, const ReproArgs& a,
                      std::vector<float>& gain, std::vector<std::uint16_t>& line) {
    ReproOut out;
    sss_display_repro(x.data(), static_cast<std::uint32_t>(x.size()), a.reset, a.sampleRate, a.step,
                      a.useMean, a.inputFullScale, 0, a.outputFullScale, a.firstIndex, 0.02f, 0.04f,
                      a.soundSpeed, a.minRangeDm, a.maxRangeDm, a.threshold, nullptr, gain.data(),
                      line.data(), &out.length, &out.bottom, &out.strength);
    return out;
}

// One side with its own gain state and line, both exactly N long.
struct Side {
    explicit Side(std::size_t n, float gainFill = 0.0f) : gain(n, gainFill), line(n, 0) {}
    ReproOut run(const std::vector<std::uint32_t>& x, const ReproArgs& a) {
        return repro(x, a, gain, line);
    }
    std::vector<float> gain;
    std::vector<std::uint16_t> line;
    // Elements counted from 1, as the library's documentation counts them.
    float g(std::size_t k) const { return gain[k - 1]; }
    std::uint16_t at(std::size_t k) const { return line[k - 1]; }
};

} // namespace kestrova::drovanta::test
