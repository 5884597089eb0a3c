#include "navigation/navigation_feed.h"

#include "acquisition/frame_format.h"
#include "platform/bytes.h"

namespace kestrova::navigation {

TowfishInstall towfishInstall(const app::InstallationSettings& install) {
    TowfishInstall t;
    t.towLength = install.towLength;
    t.towPointToWater = install.towPointToWater;
    t.towfishDepth = install.towfishDepth;
    t.gpsX = install.gpsX;
    t.gpsY = install.gpsY;
    t.headingSource = install.headingSource;
    return t;
}

void NavigationFeed::takeFixEvents(std::span<const position::FixEvent> events) {
    for (const position::FixEvent& e : events) {
        hf_.addFixEvent(e);
        lf_.addFixEvent(e);
    }
}

void NavigationFeed::takePings(display::WaterfallView& view) {
    TowfishTrack& track = view.pipeline().frequency() == display::Frequency::HF ? hf_ : lf_;
    const display::HistoryRing& ring = view.pipeline().ring();
    for (const display::PingTimeRecord& r : view.pipeline().pingTimes().take()) {
        if (r.time <= 0.0) continue; // an undated ping has no place in time
        PingEntry e;
        e.time = r.time;
        e.ringIndex = r.historyLine % display::HistoryRing::kLines;
        e.range = r.portSlantRange;
        e.heading = r.heading;
        ByteReader header(ring.header(e.ringIndex));
        e.pingNumber = header.u32le(acquisition::PingHeader::kPingNumberOffset).value_or(0);
        track.addPing(e);
    }
}

std::size_t NavigationFeed::place(const TowfishInstall& install, display::WaterfallView& view) {
    const bool hf = view.pipeline().frequency() == display::Frequency::HF;
    TowfishTrack& track = hf ? hf_ : lf_;
    const display::HistoryRing& ring = view.pipeline().ring();
    display::PositionRing& positions = view.positionRing();
    segments_.clear();
    const std::size_t placed = track.process(
        install, [&ring](std::uint32_t line) { return double{ring.slantRange[line]}; },
        [&positions, &ring, hf, this](std::uint32_t line, const PingPositionRecord& rec) {
            rec.encode({positions.bytes.get() +
                            std::size_t{line % display::HistoryRing::kLines} *
                                PingPositionRecord::kBytes,
                        PingPositionRecord::kBytes});
            // The HF line on the ground, for the map's "Mosaic" layer.
            if (hf && model_.showMosaic) model_.mosaic().addLine(rec, ring.line(line));
        },
        segments_);
    model_.addCoverage(hf, segments_);
    return placed;
}

std::size_t NavigationFeed::onFixesReady(position::NavigationInput& input,
                                         const TowfishInstall& install, display::WaterfallView& hf,
                                         display::WaterfallView& lf) {
    const std::vector<position::TrackPoint> points = input.takeTrackPoints();
    model_.addTrackPoints(points);
    const std::vector<position::FixEvent> events = input.takeFixEvents();
    takeFixEvents(events);
    takePings(hf);
    takePings(lf);
    return place(install, hf) + place(install, lf);
}

void NavigationFeed::reset() {
    hf_.reset();
    lf_.reset();
}

} // namespace kestrova::navigation
