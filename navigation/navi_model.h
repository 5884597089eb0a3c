#pragma once
// What the navigation map shows, without a window: the view state, the
// loaded line file, the vessel track, the HF and LF coverage, the settings
// and the measurement. The Qt view draws it; the main frame feeds it.

#include "app/config/settings.h"
#include "navigation/navi_view_state.h"
#include "navigation/survey_line.h"
#include "navigation/towfish.h"
#include "position/position_fix.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrova::navigation {

// A target the target view lists, at its marked point on the grid.
struct MapTarget {
    GridPoint at;
    std::string name;
};

class NaviModel {
  public:
    ViewState& view() { return view_; }
    const ViewState& view() const { return view_; }
    NavigationLineSet& lines() { return lines_; }
    const NavigationLineSet& lines() const { return lines_; }
    app::NaviSettings& settings() { return settings_; }
    const app::NaviSettings& settings() const { return settings_; }

    // Track points the main frame took from the navigation input.
    void addTrackPoints(std::span<const position::TrackPoint> points);
    void addCoverage(bool hf, std::span<const CoverageSegment> segments);
    const std::vector<GridPoint>& track() const { return track_; }
    std::optional<position::TrackPoint> lastTrackPoint() const { return last_; }
    const std::vector<CoverageSegment>& coverage(bool hf) const { return hf ? coverHF_ : coverLF_; }
    // The track and the coverage edges thinned for the current scale (a point
    // per `pixels` on the screen); every point stays stored.
    const std::vector<GridPoint>& thinnedTrack(double pixels);
    const std::vector<GridPoint>& thinnedEdge(bool hf, bool starboard, double pixels);
    // Keeps only the last track point and empties both coverage lists.
    void clearTrack();

    // The targets to mark; the main frame hands over the whole list whenever
    // it changes.
    void setTargets(std::vector<MapTarget> targets) { targets_ = std::move(targets); }
    const std::vector<MapTarget>& targets() const { return targets_; }

    // Everything Fit takes in: the loaded lines, the track and the targets.
    std::vector<GridPoint> fitPoints() const;
    void fitView() { fit(view_, fitPoints()); }

    bool showTrack = true;
    bool showSpeed = true;
    std::optional<GridPoint> measureStart;
    std::optional<GridPoint> measureEnd;

  private:
    ViewState view_;
    NavigationLineSet lines_;
    app::NaviSettings settings_;
    std::vector<GridPoint> track_;
    std::vector<MapTarget> targets_;
    std::optional<position::TrackPoint> last_;
    std::vector<CoverageSegment> coverHF_;
    std::vector<CoverageSegment> coverLF_;
    // Edges of the coverage as polylines: [hf][starboard].
    std::vector<GridPoint> edges_[2][2];
    ThinnedPolyline trackThin_;
    ThinnedPolyline edgeThin_[2][2];
};

} // namespace kestrova::navigation
