#pragma once
// Grid mappings with values a test can work out by hand.

#include "position/grid_converter.h"

namespace kestrova::position::fakes {

// Northing 100 km per degree of latitude, easting 100 km per degree of longitude.
class LinearGrid final : public GridConverter {
  public:
    GridPoint forward(double B, double L, double H) const override {
        ++calls;
        lastH = H;
        return GridPoint{B * 100000.0, L * 100000.0, H, true};
    }
    mutable int calls = 0;
    mutable double lastH = 0.0;
};

class FailingGrid final : public GridConverter {
  public:
    GridPoint forward(double, double, double) const override { return {}; }
};

} // namespace kestrova::position::fakes
