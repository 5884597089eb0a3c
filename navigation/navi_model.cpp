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
    for (const CoverageSegment& s : segments) {
        edges_[hf ? 1 : 0][0].push_back(s.port);
        edges_[hf ? 1 : 0][1].push_back(s.starboard);
    }
}

const std::vector<GridPoint>& NaviModel::thinnedTrack(double pixels) {
    return trackThin_.update(track_, pixels * view_.s);
}

const std::vector<GridPoint>& NaviModel::thinnedEdge(bool hf, bool starboard, double pixels) {
    const int f = hf ? 1 : 0, side = starboard ? 1 : 0;
    return edgeThin_[f][side].update(edges_[f][side], pixels * view_.s);
}

void NaviModel::clearTrack() {
    if (track_.size() > 1) track_.erase(track_.begin(), track_.end() - 1);
    coverHF_.clear();
    coverLF_.clear();
    for (auto& f : edges_)
        for (auto& e : f)
            e.clear();
    // The lists were replaced, not shortened and grown: the thinnings start over.
    trackThin_.reset();
    for (auto& f : edgeThin_)
        for (auto& e : f)
            e.reset();
}

std::vector<GridPoint> NaviModel::fitPoints() const {
    std::vector<GridPoint> points;
    if (lines_.loaded())
        for (const SurveyLine& line : lines_.lines())
            for (const LinePoint& p : line.points)
                points.push_back({p.x, p.y});
    points.insert(points.end(), track_.begin(), track_.end());
    for (const MapTarget& t : targets_)
        points.push_back(t.at);
    return points;
}

} // namespace kestrova::navigation
