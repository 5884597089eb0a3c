#pragma once
// The simulated world the positioning and sonar simulators share with
// --world SEED: a vessel sailing a short survey pattern, a towfish on a cable
// behind it, and a handful of objects lying on the seabed at fixed latitude
// and longitude. Everything is a pure function of the seed and the UTC time,
// so two processes started apart agree on where the vessel and the fish are.

#include "tools/nav-sim/nav_model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::navsim {

struct WorldObject {
    double latitude = 0.0;
    double longitude = 0.0;
    double east = 0.0;  // metres from the pattern origin
    double north = 0.0;
    double size = 0.0;   // diameter across the seabed, m
    double height = 0.0; // above the seabed, m
};

// The tow: cable paid out from a tow point above the water to a fish below it.
struct WorldTow {
    double cable = 30.0;         // m
    double towPointHeight = 2.0; // m above the water
    double fishDepth = 5.0;      // m below the water
    double layback() const;      // horizontal distance tow point to fish
};

struct FishState {
    double east = 0.0; // metres from the pattern origin
    double north = 0.0;
    double heading = 0.0; // degrees, the fish follows the vessel's heading
    double latitude = 0.0;
    double longitude = 0.0;
    double travelled = 0.0; // metres sailed since the world's start
};

class SimWorld {
  public:
    // `startUtc`: the moment the vessel sets off at the start of the first line.
    explicit SimWorld(std::uint64_t seed, double startUtc = 0.0);

    const SurveyPattern& pattern() const { return pattern_; }
    const WorldTow& tow() const { return tow_; }
    const std::vector<WorldObject>& objects() const { return objects_; }
    std::uint64_t seed() const { return seed_; }

    // The antenna, which is the tow point (no offsets between them).
    VesselState vesselAt(double utc) const;
    FishState fishAt(double utc) const;

    void latLonOf(double east, double north, double& latitude, double& longitude) const;
    // One JSON line per object: latitude, longitude, size, height.
    static std::string objectJson(const WorldObject& o);

  private:
    std::uint64_t seed_;
    double startUtc_;
    SurveyPattern pattern_;
    VesselTrack track_;
    WorldTow tow_;
    std::vector<WorldObject> objects_;
};

} // namespace kestrova::navsim
