#pragma once
// The position input's view of the geodesy engine: geographic latitude B and
// longitude L in degrees and ellipsoidal height H in metres to the project's
// grid northing x, easting y and height h. The program binds it to the engine
// it creates at start-up; tests bind simple known mappings.

namespace kestrova::position {

struct GridPoint {
    double x = 0.0; // northing, metres
    double y = 0.0; // easting, metres
    double h = 0.0;
    bool success = false;
};

class GridConverter {
  public:
    virtual ~GridConverter() = default;
    virtual GridPoint forward(double B, double L, double H) const = 0;
};

} // namespace kestrova::position
