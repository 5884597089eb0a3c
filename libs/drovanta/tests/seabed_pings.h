#pragma once
// Deterministic synthetic side-scan pings for the reference files and the
// benchmark: a water column with decaying near-field reverberation, the first
// bottom return at a slowly changing altitude, backscatter that fades with
// range, speckle from a fixed-seed generator, and a few bright objects with
// acoustic shadows behind them. Integer arithmetic only, so every compiler
// produces the same samples.

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kestrova::drovanta::test {

// 64-bit linear congruential generator (Knuth's MMIX constants).
class Lcg {
  public:
    explicit Lcg(std::uint64_t seed) : state_(seed) {}
    std::uint32_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state_ >> 32);
    }

  private:
    std::uint64_t state_;
};

inline std::uint64_t isqrt(std::uint64_t v) {
    std::uint64_t r = 0;
    std::uint64_t bit = std::uint64_t{1} << 62;
    while (bit > v)
        bit >>= 2;
    while (bit) {
        if (v >= r + bit) {
            v -= r + bit;
            r = (r >> 1) + bit;
        } else {
            r >>= 1;
        }
        bit >>= 2;
    }
    return r;
}

struct SideRequest {
    std::uint32_t ping = 0;
    int side = 0;      // 0 port, 1 starboard
    int frequency = 0; // 0 HF, 1 LF
    std::uint32_t samples = 0;
    std::uint32_t sampleRateHz = 0;
    std::uint64_t seed = 0x4b657374726f7661ULL;
};

// Altitude of the towfish above the bottom in millimetres: 8 m, rising and
// falling by up to 3 m over 160 pings.
inline std::uint32_t altitudeMm(std::uint32_t ping) {
    const std::uint32_t phase = ping % 160;
    const std::uint32_t rise = phase < 80 ? phase : 160 - phase;
    return 8000 + 3000 * rise / 80;
}

// Slant range in millimetres to a sample.
inline std::uint32_t sampleOfSlantMm(std::uint64_t slantMm, std::uint32_t fs) {
    return static_cast<std::uint32_t>(slantMm * 2 * fs / 1500000);
}

struct SeabedObject {
    std::uint32_t firstPing;
    std::uint32_t lastPing;
    int side;
    std::uint32_t groundMm;   // across-track distance on the bottom
    std::uint32_t brightness; // times the backscatter
};

inline const std::vector<SeabedObject>& seabedObjects() {
    static const std::vector<SeabedObject> objects = {
        {20, 34, 0, 14000, 14},    {45, 52, 1, 25000, 30},   {90, 110, 1, 9000, 60},
        {100, 104, 0, 30000, 200}, {150, 175, 0, 18000, 20}, {200, 230, 1, 20000, 25},
        {320, 340, 0, 40000, 18},
    };
    return objects;
}

inline std::uint32_t clampSample(std::uint64_t v) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 4294967295ULL));
}

inline std::vector<std::uint32_t> seabedSide(const SideRequest& r) {
    std::vector<std::uint32_t> x(r.samples, 0);
    if (r.samples == 0 || r.sampleRateHz == 0) return x;
    Lcg rng(r.seed ^ (std::uint64_t{r.ping} << 20) ^ (std::uint64_t(r.side) << 8) ^
            (std::uint64_t(r.frequency) << 4));
    const std::uint32_t fs = r.sampleRateHz;
    const std::uint32_t altMm = altitudeMm(r.ping) + (r.side ? 150 : 0);
    const std::uint32_t bottom = sampleOfSlantMm(altMm, fs);
    const std::uint32_t hump = std::max<std::uint32_t>(3, fs / 1200); // ~0.6 m of first return
    // LF penetrates less detail but carries further: a slower fade.
    const std::uint64_t fade = r.frequency ? 600 : 300;
    // The two sides differ a little, and their balance drifts with the pings,
    // which moves the stronger side from one to the other.
    const std::uint64_t balance = 6 + (r.ping / 23 + r.side) % 4;

    for (std::uint32_t i = 0; i < r.samples; ++i) {
        std::uint64_t base;
        if (i < bottom) {
            base = 2000000 + 80000000ULL * 64 / (64 + i);
        } else if (i < bottom + hump) {
            base = 1200000000ULL * balance / 8;
        } else {
            base = 300000000ULL * balance / 8 * fade / (fade + (i - bottom));
        }
        const std::uint64_t speckle = std::uint64_t{rng.next() >> 16} + (rng.next() >> 16) +
                                      (rng.next() >> 16) + (rng.next() >> 16);
        x[i] = clampSample(base * speckle / 131072);
    }

    for (const SeabedObject& o : seabedObjects()) {
        if (o.side != r.side || r.ping < o.firstPing || r.ping > o.lastPing) continue;
        const std::uint64_t slant =
            isqrt(std::uint64_t{altMm} * altMm + std::uint64_t{o.groundMm} * o.groundMm);
        const std::uint32_t at = sampleOfSlantMm(slant, fs);
        const std::uint32_t width = std::max<std::uint32_t>(2, fs / 5000);
        for (std::uint32_t i = at; i < at + width && i < r.samples; ++i) {
            x[i] = clampSample(std::uint64_t{x[i]} * o.brightness);
        }
        for (std::uint32_t i = at + width; i < at + 5 * width && i < r.samples; ++i)
            x[i] /= 25;
    }
    return x;
}

} // namespace kestrova::drovanta::test
