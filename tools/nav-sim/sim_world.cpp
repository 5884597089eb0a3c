#include "tools/nav-sim/sim_world.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestrova::navsim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadius = 6378137.0;

// splitmix64: the same numbers on every platform.
struct Mix {
    std::uint64_t state;
    double uniform() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
    }
};

SurveyPattern patternFor(std::uint64_t seed) {
    Mix m{seed * 0x51ED2701ull + 17};
    SurveyPattern p;
    p.originLatitude = 24.40 + 0.02 * m.uniform();
    p.originLongitude = 118.14 + 0.02 * m.uniform();
    p.lineHeading = std::floor(360.0 * m.uniform());
    // Short lines at a brisk speed, so that a recording of half a minute
    // passes objects and a whole pattern takes a few minutes.
    p.lineLength = 240.0;
    p.lineSpacing = 70.0;
    p.lines = 2;
    p.speedKnots = 6.0;
    return p;
}

} // namespace

double WorldTow::layback() const {
    const double vertical = towPointHeight + fishDepth;
    return std::sqrt(std::max(0.0, cable * cable - vertical * vertical));
}

SimWorld::SimWorld(std::uint64_t seed, double startUtc)
    : seed_(seed), startUtc_(startUtc), pattern_(patternFor(seed)), track_(pattern_) {
    // Objects beside every line, every 50 m from 30 m on, alternating sides,
    // 10 to 30 m off the line: within reach of the HF swath of the line.
    Mix m{seed * 0x9E37ull + 101};
    const double h = pattern_.lineHeading * kPi / 180.0;
    const double ue = std::sin(h), un = std::cos(h);  // along the first line
    const double ve = std::cos(h), vn = -std::sin(h); // towards the next line
    int index = 0;
    for (int line = 0; line < pattern_.lines; ++line) {
        for (double along = 30.0; along <= pattern_.lineLength - 20.0; along += 50.0, ++index) {
            const double side = index % 2 == 0 ? 1.0 : -1.0;
            const double off = side * (10.0 + 20.0 * m.uniform());
            const double a = along + 10.0 * (m.uniform() - 0.5);
            const double v = line * pattern_.lineSpacing + off;
            WorldObject o;
            o.east = a * ue + v * ve;
            o.north = a * un + v * vn;
            o.size = 1.5 + 1.5 * m.uniform();
            o.height = 0.5 + 1.0 * m.uniform();
            latLonOf(o.east, o.north, o.latitude, o.longitude);
            objects_.push_back(o);
        }
    }
}

void SimWorld::latLonOf(double east, double north, double& latitude, double& longitude) const {
    // As the vessel track converts its positions.
    latitude = pattern_.originLatitude + north / kEarthRadius * 180.0 / kPi;
    longitude = pattern_.originLongitude +
                east / (kEarthRadius * std::cos(pattern_.originLatitude * kPi / 180.0)) * 180.0 /
                    kPi;
}

VesselState SimWorld::vesselAt(double utc) const {
    return track_.at(utc - startUtc_);
}

FishState SimWorld::fishAt(double utc) const {
    const VesselState v = vesselAt(utc);
    const double h = v.heading * kPi / 180.0;
    const double back = tow_.layback();
    FishState f;
    f.east = v.east - back * std::sin(h);
    f.north = v.north - back * std::cos(h);
    f.heading = v.heading;
    f.travelled = std::max(0.0, utc - startUtc_) * v.speed;
    latLonOf(f.east, f.north, f.latitude, f.longitude);
    return f;
}

std::string SimWorld::objectJson(const WorldObject& o) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "{\"latitude\":%.8f,\"longitude\":%.8f,\"size\":%.2f,\"height\":%.2f}",
                  o.latitude, o.longitude, o.size, o.height);
    return text;
}

} // namespace kestrova::navsim
