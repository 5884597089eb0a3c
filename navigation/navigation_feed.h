#pragma once
// The main frame's side of the navigation (message 0x467): it takes the new
// track points and fix events from the position input under their locks and
// the ping entries from both waterfall pipelines, places every ping's towfish
// into the view's per-ping position ring and hands track and coverage to the
// map model.

#include "app/config/settings.h"
#include "display/waterfall_view.h"
#include "navigation/navi_model.h"
#include "navigation/towfish.h"
#include "position/navigation_input.h"

#include <span>

namespace kestrova::navigation {

// The installation values of the settings as the placement takes them.
TowfishInstall towfishInstall(const app::InstallationSettings& install);

class NavigationFeed {
  public:
    explicit NavigationFeed(NaviModel& model) : model_(model) {}

    // Everything message 0x467 does: drain, place, hand over. Returns the
    // number of pings placed.
    std::size_t onFixesReady(position::NavigationInput& input, const TowfishInstall& install,
                             display::WaterfallView& hf, display::WaterfallView& lf);

    // The same in pieces, for callers without a live input (playback tests).
    void takeFixEvents(std::span<const position::FixEvent> events);
    void takePings(display::WaterfallView& view);
    std::size_t place(const TowfishInstall& install, display::WaterfallView& view);

    // Acquisition started or stopped: the pending lists and last times go.
    void reset();

    const TowfishTrack& track(bool hf) const { return hf ? hf_ : lf_; }

  private:
    NaviModel& model_;
    TowfishTrack hf_;
    TowfishTrack lf_;
    std::vector<CoverageSegment> segments_;
};

} // namespace kestrova::navigation
