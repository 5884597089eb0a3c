#pragma once
// The program's geodesy engine as the position input (and the views) use it:
// one owning object, created at start-up, handed the geodetic record by value
// whenever it changes, destroyed at exit. It is the GridConverter that puts
// the project's grid coordinates on every fix. The engine keeps each
// conversion on one whole record, so the navigation thread may convert while
// the interface thread hands it a new one.

#include "libs/tessmark/engine_handle.h"
#include "position/grid_converter.h"

#include <cmath>

namespace kestrova::position {

class GeodesyEngine final : public GridConverter {
  public:
    // Starts on the program's default record (the configuration hands the
    // project's record as soon as it is loaded).
    GeodesyEngine() { engine_.setRecord(defaultGeodeticRecord()); }
    explicit GeodesyEngine(const _DefGeodetsyParameterSetting& record) {
        engine_.setRecord(record);
    }

    // False when the engine could not be created: start-up shows
    // "Load Tessmark.dll error!" and ends.
    bool valid() const { return engine_.valid(); }
    void setRecord(_DefGeodetsyParameterSetting record) { engine_.setRecord(record); }
    _DefGeodetsyParameterSetting record() const { return engine_.record(); }

    GridPoint forward(double B, double L, double H) const override {
        if (!std::isfinite(B) || !std::isfinite(L) || !std::isfinite(H) || std::fabs(B) > 90.0)
            return {};
        const tessmark::GridPoint g = engine_.toGrid(B, L, H);
        if (!std::isfinite(g.north) || !std::isfinite(g.east) || !std::isfinite(g.height))
            return {};
        return GridPoint{g.north, g.east, g.height, true};
    }
    tessmark::GeoPoint inverse(double x, double y, double h) const {
        return engine_.toGeo(x, y, h);
    }

  private:
    tessmark::EngineHandle engine_;
};

} // namespace kestrova::position
