#pragma once
// The program's one geodesy engine: created at start-up, handed the geodetic
// record by value whenever the operator changes it, destroyed at exit. The
// navigation thread and the interface thread may convert through the same
// handle while the interface thread sets a new record; the engine keeps each
// conversion on one whole record.

#include "libs/tessmark/geodetic_record.h"
#include "libs/tessmark/tessmark.h"

#include <limits>

namespace kestrova::tessmark {

struct GridPoint {
    double north = 0.0; // x
    double east = 0.0;  // y
    double height = 0.0;
};

struct GeoPoint {
    double latitude = 0.0; // degrees
    double longitude = 0.0;
    double height = 0.0; // metres
};

class EngineHandle {
  public:
    EngineHandle() : engine_(CreateTessmark()) {}
    ~EngineHandle() { DeleteTessmark(engine_); }
    EngineHandle(const EngineHandle&) = delete;
    EngineHandle& operator=(const EngineHandle&) = delete;
    EngineHandle(EngineHandle&& other) noexcept : engine_(other.engine_) {
        other.engine_ = nullptr;
    }
    EngineHandle& operator=(EngineHandle&& other) noexcept {
        if (this != &other) {
            DeleteTessmark(engine_);
            engine_ = other.engine_;
            other.engine_ = nullptr;
        }
        return *this;
    }

    // False when the engine could not be created: start-up reports
    // "Load Tessmark.dll error!" and stops.
    bool valid() const { return engine_ != nullptr; }

    void setRecord(_DefGeodetsyParameterSetting record) {
        if (engine_) engine_->SetGeodetsyParameter(record);
    }
    _DefGeodetsyParameterSetting record() const {
        return engine_ ? engine_->GetGeodetsyParameter() : defaultGeodeticRecord();
    }

    // Without an engine every value is NaN, never a plausible position.
    GridPoint toGrid(double latitude, double longitude, double height) const {
        GridPoint g{kNaN, kNaN, kNaN};
        if (engine_) engine_->BLHtoxyh(latitude, longitude, height, g.north, g.east, g.height);
        return g;
    }
    GeoPoint toGeo(double north, double east, double height) const {
        GeoPoint p{kNaN, kNaN, kNaN};
        if (engine_) engine_->xyhtoBLH(north, east, height, p.latitude, p.longitude, p.height);
        return p;
    }

    Tessmark* engine() const { return engine_; }

  private:
    static constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    Tessmark* engine_;
};

} // namespace kestrova::tessmark
