#include "tools/sonar-sim/seabed.h"

#include <algorithm>
#include <cmath>

namespace kestrova::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;

double smooth(double t) {
    return t * t * (3.0 - 2.0 * t);
}

} // namespace

std::uint64_t Random::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Random::uniform() {
    return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
}

double Random::rayleigh() {
    double u = uniform();
    return std::sqrt(-std::log(1.0 - u));
}

std::uint64_t mixSeed(std::uint64_t a, std::uint64_t b) {
    Random r(a ^ (b * 0xD1B54A32D192ED03ull));
    r.next();
    return r.next();
}

SeabedModel::SeabedModel(std::uint64_t seed, double maxRangeM)
    : seed_(seed), maxRangeM_(std::max(maxRangeM, 5.0)),
      meanAltitudeM_(std::clamp(0.15 * std::max(maxRangeM, 5.0), 1.5, 20.0)),
      objectSpacingM_(std::max(25.0, 0.8 * std::max(maxRangeM, 5.0))) {}

double SeabedModel::noise(double x, double y, std::uint64_t layer) const {
    // Value noise on a unit lattice, smoothly interpolated: a seabed texture
    // that is continuous from ping to ping.
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
    auto corner = [&](std::int64_t cx, std::int64_t cy) {
        std::uint64_t h = mixSeed(seed_ + layer, static_cast<std::uint64_t>(cx) * 73856093ull ^
                                                     static_cast<std::uint64_t>(cy) * 19349663ull);
        return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
    };
    const double tx = smooth(x - fx), ty = smooth(y - fy);
    const double a = corner(ix, iy), b = corner(ix + 1, iy);
    const double c = corner(ix, iy + 1), d = corner(ix + 1, iy + 1);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

double SeabedModel::altitude(double alongM) const {
    const double slow = std::sin(2.0 * kPi * alongM / 420.0);
    const double swell = std::sin(2.0 * kPi * alongM / 97.0 + 1.3);
    const double drift = noise(alongM / 60.0, 0.5, 7) - 0.5;
    return meanAltitudeM_ * (1.0 + 0.2 * slow + 0.05 * swell + 0.1 * drift);
}

double SeabedModel::texture(double alongM, double acrossM, bool starboard) const {
    const double sideShift = starboard ? 1000.0 : 0.0;
    const double base = 0.6 + 0.5 * noise(alongM / 12.0, (acrossM + sideShift) / 12.0, 1);
    const double rock = noise(alongM / 45.0, (acrossM + sideShift) / 45.0, 2);
    if (rock > 0.72) {
        // Rocky patch: stronger and rougher.
        const double rough = noise(alongM / 1.5, (acrossM + sideShift) / 1.5, 3);
        return base * (1.8 + 1.2 * rough);
    }
    // Sand with ripples running across the track.
    const double ripples = 1.0 + 0.3 * std::sin(2.0 * kPi * acrossM / 1.4 + 0.2 * alongM);
    return base * ripples;
}

std::vector<SeabedObject> SeabedModel::objectsBetween(double fromM, double toM) const {
    std::vector<SeabedObject> found;
    const auto first = static_cast<std::int64_t>(std::floor(fromM / objectSpacingM_)) - 1;
    const auto last = static_cast<std::int64_t>(std::floor(toM / objectSpacingM_)) + 1;
    for (std::int64_t cell = first; cell <= last; ++cell) {
        Random r(mixSeed(seed_ + 11, static_cast<std::uint64_t>(cell)));
        if (r.uniform() > 0.75) continue; // most stretches hold one object
        SeabedObject o;
        o.alongM = (static_cast<double>(cell) + r.uniform()) * objectSpacingM_;
        o.starboard = r.uniform() < 0.5;
        o.acrossM = maxRangeM_ * (0.2 + 0.6 * r.uniform());
        o.heightM = 0.3 + 1.7 * r.uniform();
        o.lengthM = 1.0 + 5.0 * r.uniform();
        o.widthM = 0.5 + 1.5 * r.uniform();
        o.reflectivity = 4.0 + 6.0 * r.uniform();
        if (o.alongM + o.lengthM / 2 >= fromM && o.alongM - o.lengthM / 2 <= toM)
            found.push_back(o);
    }
    return found;
}

void SeabedModel::side(double alongM, bool starboard, double spacingM, double absorptionPerM,
                       std::uint64_t pingKey, std::span<std::uint32_t> out) const {
    // Objects this ping crosses, on this side.
    SeabedObject hits[8];
    std::size_t hitCount = 0;
    for (const SeabedObject& o : objectsBetween(alongM, alongM)) {
        if (o.starboard != starboard || std::abs(alongM - o.alongM) > o.lengthM / 2) continue;
        if (hitCount < 8) hits[hitCount++] = o;
    }
    sideWith(alongM, starboard, spacingM, absorptionPerM, pingKey,
             std::span<const SeabedObject>(hits, hitCount), out);
}

void SeabedModel::sideWith(double alongM, bool starboard, double spacingM, double absorptionPerM,
                           std::uint64_t pingKey, std::span<const SeabedObject> hits,
                           std::span<std::uint32_t> out) const {
    Random speckle(mixSeed(seed_ + 5, pingKey * 2 + (starboard ? 1 : 0)));
    const double h = altitude(alongM);
    const double firstReturnWidth = 0.03 * h + 0.1;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double r = (static_cast<double>(i) + 0.5) * spacingM;
        double echo = 0.0;
        if (r < h) {
            // Water column: only faint volume scattering.
            echo = 0.3 * kNoiseFloor * speckle.uniform();
        } else {
            const double x = std::sqrt(r * r - h * h);
            const double grazing = h / r; // sine of the grazing angle
            double strength = texture(alongM, x, starboard);
            bool shadowed = false;
            for (const SeabedObject& o : hits) {
                const double nearEdge = o.acrossM - o.widthM / 2;
                const double farEdge = o.acrossM + o.widthM / 2;
                if (x >= nearEdge && x <= farEdge) {
                    strength = o.reflectivity;
                } else if (x > farEdge) {
                    const double shadow =
                        o.heightM >= h ? 1e9 : o.heightM * farEdge / (h - o.heightM);
                    if (x <= farEdge + shadow) shadowed = true;
                }
            }
            if (shadowed) strength = 0.0;
            const double nadir =
                1.0 + 3.0 * std::exp(-(r - h) / firstReturnWidth); // first bottom return
            // Lambert backscatter falls with the sine of the grazing angle;
            // two-way spreading (1/r^2 in amplitude) and absorption take the
            // rest as the range grows. Raw amplitudes, before any TVG.
            const double spread = (h / r) * (h / r);
            echo = kNadirAmplitude * strength * nadir * grazing * spread *
                   std::exp(-absorptionPerM * (r - h));
        }
        const double amplitude = (echo + kNoiseFloor * 0.5) * speckle.rayleigh();
        out[i] = static_cast<std::uint32_t>(std::min(amplitude, 4.0e9));
    }
}

} // namespace kestrova::sim
