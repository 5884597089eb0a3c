#pragma once
// One waterfall view's ping display pipeline, toolkit-free: takes the
// frequency's batch, turns each side of each ping into a 16-bit display line
// through Drovanta, picks the bottom and the altitude, keeps the lines in the
// history ring, hands them to the XTF writer, and asks its pass target (the
// waterfall picture) to build one pixel row per line. The HF and LF views are
// two instances of this class.

#include "acquisition/ping_batch.h"
#include "acquisition/ping_hand_off.h"
#include "display/display_state.h"
#include "display/drovanta_api.h"
#include "display/history_ring.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>

namespace kestrova::display {

// The part of the display lines shown across the width and down the height.
struct DataWindow {
    std::uint32_t left = 0;   // first sample
    std::uint32_t width = 0;  // samples
    std::uint32_t top = 0;    // first line, counted back from the newest
    std::uint32_t height = 0; // lines
};

struct PassResult {
    bool live = false;               // a new batch was drawn
    bool redraw = false;             // the history was redrawn
    std::uint32_t linesCovered = 0;  // rows built, newest in row 0
    bool sampleCountChanged = false; // redraw at the new scale follows (0x471 / 0x472)
    bool rangeChecked = false;       // the data window was reset and the range stored (0x48D)
    bool bottomStatusDue = false;    // bottom tracking on: 0x468 / 0x469 to the main window
};

// What the pass draws into: the waterfall picture of the view.
class PassTarget {
  public:
    virtual ~PassTarget() = default;
    // Rows the waterfall shows (its height in pixels).
    virtual std::int64_t waterfallRows() const = 0;
    // Builds the pixel row of history line `line` into row `row` of the pixel buffer.
    virtual void buildRow(const HistoryRing& ring, std::uint32_t line, std::uint32_t row,
                          std::uint64_t colourScale, bool bottomMarks) = 0;
    // After the lines: overlays, scroll by the new rows, copy, compose.
    virtual void finishPass(const PassResult& result) = 0;
};

// The XTF writer's side of the pipeline.
class DisplayLineSink {
  public:
    virtual ~DisplayLineSink() = default;
    // A finished history line (header and both display lines); channel 0 HF, 1 LF.
    virtual void writeLine(std::span<const std::uint8_t, HistoryRing::kLineBytes> line,
                           int channel) = 0;
};

// What happened to one ping of the last live pass (for listings and checks).
struct LineOutcome {
    std::uint32_t line = 0;          // history line
    BottomDetection port, starboard; // Drovanta's detections
    std::uint32_t bottomSample = 0;  // the line's bottom (the depth selection's choice)
    float slantRange = 0.0f;         // metres to that bottom
    int side = 0;                    // 0 port, 1 starboard: whose bottom was chosen
    double altitude = 0.0;           // current altitude after this ping
    double pingTime = 0.0;
};

// K of the colour mapping for a strength setting v (kept to 0 .. 99).
std::uint64_t colourScale(int strength);

class ViewPipeline {
  public:
    static constexpr std::uint32_t kLatestMax = 23260;

    ViewPipeline(Frequency frequency, const DrovantaApi& drovanta, DisplayShared& shared);
    ViewPipeline(const ViewPipeline&) = delete;
    ViewPipeline& operator=(const ViewPipeline&) = delete;

    void setTarget(PassTarget* target) { target_ = target; }
    void setLineSink(DisplayLineSink* sink) { lineSink_ = sink; }

    // Batch intake: copies and empties the batch, stores the sample counts in
    // the ring and sets the new-data flag. Returns the pings taken (0: nothing
    // to draw).
    std::uint32_t intake(acquisition::PingHandOff& handOff);
    std::uint32_t intake(acquisition::PingBatch& batch);

    // One processing pass; the flags select live, redraw or recompose only.
    PassResult processPass();
    // The first half of the next live pass, for another thread: each pending
    // ping's fresh history line and both sides through `drovanta` (a separate
    // copy of the library when it runs beside the other view's pass). It
    // touches only this view's lines and its own sides' gain states; the
    // next processPass() then picks the bottoms, the altitude and the rest
    // from what was kept, exactly as if it had made the lines itself.
    void prepareLines(const DrovantaApi& drovanta);
    // The same in parts for two threads: beginLines() makes each pending
    // ping's fresh history line, then prepareSide(drovanta, 0) (port) and
    // prepareSide(copy, 1) (starboard) may run side by side, each side's gain
    // state being its own; both must run before the next processPass().
    void beginLines();
    void prepareSide(const DrovantaApi& drovanta, int side);
    // Off: the pings go through the pass without display lines (a mosaic of
    // the other frequency has no use for them). Each still steps the depth
    // selection as a drawn ping does, so the other view's bottoms, and with
    // them its lines and altitudes, stay exactly those of a two-view run.
    void setLinesWanted(bool wanted) { linesWanted_ = wanted; }
    bool linesWanted() const { return linesWanted_; }
    void setRedrawFlag() { redrawFlag_ = true; }
    bool newDataFlag() const { return newDataFlag_; }
    bool redrawFlag() const { return redrawFlag_; }

    // Data window back to the whole line, as high as the waterfall.
    void resetDataWindow();
    DataWindow& dataWindow() { return window_; }
    const DataWindow& dataWindow() const { return window_; }
    bool zoomed() const { return zoomed_; }
    void setZoomed(bool z) { zoomed_ = z; }

    Frequency frequency() const { return frequency_; }
    const HistoryRing& ring() const { return ring_; }
    HistoryRing& ring() { return ring_; }
    std::uint64_t pingsReceived() const { return pingsReceived_; }
    // Sample count per side seen by the last range check.
    std::uint32_t samplesPerSide() const { return samplesPerSide_; }
    // Effective sample rate of the newest ping drawn.
    float newestSampleRate() const { return newestSampleRate_; }
    double soundSpeed() const;

    // Raw samples of the newest ping (the amplitude strip).
    std::span<const std::uint32_t> latestPort() const {
        return {latestPort_.get(), latestPortCount_};
    }
    std::span<const std::uint32_t> latestStarboard() const {
        return {latestStarboard_.get(), latestStarboardCount_};
    }
    // The pings of the last live pass, oldest first.
    std::span<const LineOutcome> lastOutcomes() const { return {outcomes_.data(), outcomeCount_}; }

    PingTimeHistory& pingTimes() { return pingTimes_; }
    double latestPingTime() const { return latestPingTime_; }
    // The time record of the ping whose line was made last (for the line sink).
    const PingTimeRecord& lastPingTime() const { return lastPingTime_; }
    DisplayShared& shared() { return shared_; }

  private:
    std::uint32_t afterIntake(std::uint32_t taken);
    void processLine(std::uint32_t k, std::uint32_t h);
    struct SideDetections {
        BottomDetection port, starboard;
        bool portMade = false, starboardMade = false; // Drovanta accepted the side
    };
    // The bottom-tracking source as this sonar can serve it.
    int altitudeSource() const;
    SideDetections reproLine(const DrovantaApi& drovanta, std::uint32_t j, std::uint32_t h);
    // b. The fresh line h with ping j's header.
    void freshLine(std::uint32_t j, std::uint32_t h);
    // c, d. One side of ping j into line h.
    void reproSide(const DrovantaApi& drovanta, std::uint32_t j, std::uint32_t h, int side,
                   SideDetections& out);
    // Which sides of ping j Drovanta would take, without making them.
    SideDetections sidesTaken(std::uint32_t j, std::uint32_t h) const;

    Frequency frequency_;
    const DrovantaApi& drovanta_;
    DisplayShared& shared_;
    PassTarget* target_ = nullptr;
    DisplayLineSink* lineSink_ = nullptr;

    HistoryRing ring_;
    acquisition::PingBatchData batch_;
    std::unique_ptr<std::uint32_t[]> latestPort_;
    std::unique_ptr<std::uint32_t[]> latestStarboard_;
    std::uint32_t latestPortCount_ = 0;
    std::uint32_t latestStarboardCount_ = 0;

    std::uint64_t pingsReceived_ = 0;
    bool newDataFlag_ = false;
    bool redrawFlag_ = false;
    bool zoomed_ = false;
    bool linesWanted_ = true;
    std::uint32_t samplesPerSide_ = 0;
    bool anyRangeCheck_ = false;
    float newestSampleRate_ = 0.0f;
    DataWindow window_;

    PingTimeHistory pingTimes_;
    double latestPingTime_ = 0.0;
    PingTimeRecord lastPingTime_;
    std::array<LineOutcome, acquisition::PingBatchData::kMaxPings> outcomes_{};
    std::uint32_t outcomeCount_ = 0;
    std::array<SideDetections, acquisition::PingBatchData::kMaxPings> prepared_{};
    std::uint32_t preparedCount_ = 0; // lines of the pending batch already made
};

} // namespace kestrova::display
