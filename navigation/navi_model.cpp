#include "navigation/navi_model.h"

#include <cmath>

namespace kestrova::navigation {

void NaviModel::addTrackPoints(std::span<const position::TrackPoint> points) {
    for (const position::TrackPoint& p : points) {
        if (!std::isfinite(p.east) || !std::isfinite(p.north)) continue;
        track_.push_back({p.east, p.north});
        last_ = p;
    }
}

void NaviModel::addCoverage(bool hf, std::span<const CoverageSegment> segments) {
    auto& list = hf ? coverHF_ : coverLF_;
    list.insert(list.end(), segments.begin(), segments.end());
}

void NaviModel::clearTrack() {
    if (track_.size() > 1) track_.erase(track_.begin(), track_.end() - 1);
    coverHF_.clear();
    coverLF_.clear();
    mosaic_->clear();
}

std::vector<GridPoint> NaviModel::fitPoints() const {
    std::vector<GridPoint> points;
    if (lines_.loaded())
        for (const SurveyLine& line : lines_.lines())
            for (const LinePoint& p : line.points) points.push_back({p.x, p.y});
    points.insert(points.end(), track_.begin(), track_.end());
    return points;
}

} // namespace kestrova::navigation
