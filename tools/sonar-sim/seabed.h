#pragma once
// A seabed as a towed side-scan sonar sees it, for the simulator and for tests
// that need realistic pings without sockets. Along one straight track the
// towfish flies at an altitude that changes slowly; each side's echo shows the
// water column, the first bottom return at that altitude, backscatter that
// falls off with grazing angle and range over a textured seabed (sand ripples,
// rocky patches), speckle, and now and then an object with a bright return and
// an acoustic shadow behind it. Everything is a pure function of the seed and
// the position, so the same ping always comes out the same.

#include <cstdint>
#include <span>
#include <vector>

namespace kestrova::sim {

// A small deterministic generator (splitmix64): identical on every platform
// and library, unlike the standard distributions.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    double uniform(); // [0, 1)
    // Multiplicative speckle with unit mean square: a Rayleigh amplitude.
    double rayleigh();

  private:
    std::uint64_t state_;
};

std::uint64_t mixSeed(std::uint64_t a, std::uint64_t b);

struct SeabedObject {
    double alongM = 0;  // along-track centre
    double acrossM = 0; // ground range from the track
    bool starboard = false;
    double heightM = 0;
    double lengthM = 0; // along track
    double widthM = 0;  // across track
    double reflectivity = 0;
};

class SeabedModel {
  public:
    static constexpr double kNoiseFloor = 40.0;
    static constexpr double kNadirAmplitude = 2.0e6;

    // `maxRangeM` scales the altitude (towed at about 15% of the range) and
    // how far out objects lie.
    SeabedModel(std::uint64_t seed, double maxRangeM);

    // Towfish altitude above the seabed at this along-track position.
    double altitude(double alongM) const;
    // Objects whose along-track extent touches [fromM, toM].
    std::vector<SeabedObject> objectsBetween(double fromM, double toM) const;

    // One side of one ping: sample i lies at slant range (i + 0.5) * spacingM.
    // `absorptionPerM` is the amplitude loss per metre (higher for HF).
    // `pingKey` seeds the speckle of this ping and side.
    void side(double alongM, bool starboard, double spacingM, double absorptionPerM,
              std::uint64_t pingKey, std::span<std::uint32_t> out) const;
    // The same with the objects this ping crosses given (those on `starboard`'s
    // side whose along-track extent holds the ping count): a world of its own.
    void sideWith(double alongM, bool starboard, double spacingM, double absorptionPerM,
                  std::uint64_t pingKey, std::span<const SeabedObject> hits,
                  std::span<std::uint32_t> out) const;

    // Seabed backscatter strength (about 0.2-2.5) at a ground position.
    double texture(double alongM, double acrossM, bool starboard) const;

  private:
    double noise(double x, double y, std::uint64_t layer) const;
    std::uint64_t seed_;
    double maxRangeM_;
    double meanAltitudeM_;
    double objectSpacingM_;
};

} // namespace kestrova::sim
