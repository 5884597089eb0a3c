#pragma once
// A plain equirectangular mapping: metres per degree on a sphere of the WGS84
// semi-major axis, the easting scaled by the cosine of one reference latitude
// (given, or else that of the first point converted). It is no project grid:
// it lets the command-line tool and the tests check speeds, courses and
// distances of a capture before the geodesy engine is bound.

#include "position/grid_converter.h"

#include <cmath>
#include <optional>

namespace kestrova::position {

class FlatGridConverter final : public GridConverter {
  public:
    static constexpr double kPi = 3.14159265358979323846;
    static constexpr double kMetresPerDegree = 6378137.0 * kPi / 180.0;

    FlatGridConverter() = default;
    explicit FlatGridConverter(double referenceLatitude) : reference_(referenceLatitude) {}

    GridPoint forward(double B, double L, double H) const override {
        if (!std::isfinite(B) || !std::isfinite(L) || std::fabs(B) > 90.0) return {};
        if (!reference_) reference_ = B;
        double c = std::cos(*reference_ * kPi / 180.0);
        return GridPoint{B * kMetresPerDegree, L * kMetresPerDegree * c, H, true};
    }

  private:
    mutable std::optional<double> reference_;
};

} // namespace kestrova::position
