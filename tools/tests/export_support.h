#pragma once
// The export tests' survey: the sonar model's HF/LF stream recorded live
// through the RawRecorder, with position records between the pings, and (when
// asked) the waterfall views' pipelines drawing each ping as it arrives, one
// pass per ping, as the views do when pings come slowly. What the views made
// of each ping is kept for the comparisons.

#include "acquisition/frame_assembler.h"
#include "acquisition/raw_recorder.h"
#include "acquisition/tests/recording_support.h"
#include "acquisition/xtf_writer.h"
#include "display/view_pipeline.h"
#include "position/position_fix.h"
#include "tools/sonar-sim/sonar_stream.h"

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace kestrova::acquisition::testing {

struct ViewLine {
    int frequency;
    std::uint32_t pingNumber;
    std::vector<std::uint16_t> port, starboard; // nadir first
    double latitude, longitude;                 // last position record before the ping
};

struct SurveyPlan {
    int frames = 200;
    std::uint32_t samplesPerSide = 400;
    // Whether a position record goes before frame i.
    std::function<bool(int)> positionBefore = [](int i) { return i % 10 == 0; };
    bool views = true;
};

// The receive thread's sink with the views behind it.
class ViewsSink : public RecorderSink {
  public:
    ViewsSink(RawRecorder& r, const display::DrovantaApi* drovanta) : RecorderSink(r) {
        if (!drovanta) return;
        shared_.settings.soundSpeed = 1500.0;
        hf_ = std::make_unique<display::ViewPipeline>(Frequency::HF, *drovanta, shared_);
        lf_ = std::make_unique<display::ViewPipeline>(Frequency::LF, *drovanta, shared_);
    }
    bool handPing(const PingRecord& ping, float rate, std::uint8_t changed) override {
        const int f = index(ping.frequency());
        if (!hf_) {
            ++pings[f];
            return true;
        }
        display::ViewPipeline& view = f == 0 ? *hf_ : *lf_;
        EXPECT_TRUE(batch_.append(ping, rate, changed));
        EXPECT_EQ(view.intake(batch_), 1u);
        view.processPass();
        EXPECT_EQ(view.lastOutcomes().size(), 1u);
        const auto input =
            xtfInputFromHistoryLine(view.ring().line(view.lastOutcomes()[0].line), port_, stbd_);
        EXPECT_TRUE(input.has_value());
        if (!input) return true;
        lines.push_back({f,
                         ping.header().pingNumber,
                         {input->port.begin(), input->port.end()},
                         {input->starboard.begin(), input->starboard.end()},
                         latitude,
                         longitude});
        ++pings[f];
        return true;
    }
    std::vector<ViewLine> lines;
    std::uint64_t pings[2] = {0, 0};
    double latitude = 0, longitude = 0;

  private:
    display::DisplayShared shared_;
    std::unique_ptr<display::ViewPipeline> hf_, lf_;
    PingBatch batch_;
    std::vector<std::uint16_t> port_, stbd_;
};

struct RecordedSurvey {
    std::string path;
    std::vector<ViewLine> lines; // with the views only
    std::uint64_t pings[2] = {0, 0};
};

inline RecordedSurvey recordSurvey(const std::string& projectFolder, const SurveyPlan& plan,
                                   const display::DrovantaApi* drovanta) {
    ManualClocks clocks;
    NoticeList notices;
    RawRecorder recorder(notices, nullptr, clocks.environment());
    recorder.setProjectFolder(projectFolder);
    auto sink = std::make_unique<ViewsSink>(recorder, plan.views ? drovanta : nullptr);
    SonarStatus status;
    auto assembler = std::make_unique<FrameAssembler>(*sink, status);
    EXPECT_TRUE(recorder.toggle_raw_recording());
    sim::SonarStreamConfig cfg;
    cfg.samplesPerSide = plan.samplesPerSide;
    cfg.attitudeInPings = true;
    sim::SonarStream stream(cfg);
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < plan.frames; ++i) {
        if (plan.positionBefore(i)) {
            position::PositionFix fix;
            fix.kind = position::kFixPosition;
            fix.latitude = 22.0 + i * 0.001;
            fix.longitude = 113.0 + i * 0.002;
            auto block = position::encodeNavBlock(fix);
            recorder.writePositionFrame(block);
            sink->latitude = fix.latitude;
            sink->longitude = fix.longitude;
        }
        bytes.clear();
        stream.next(bytes);
        std::memcpy(assembler->buffer(), bytes.data(), bytes.size());
        std::uint32_t fill = static_cast<std::uint32_t>(bytes.size());
        assembler->feed(fill);
    }
    RecordedSurvey out;
    out.path = recorder.currentPath();
    recorder.toggle_raw_recording();
    out.lines = std::move(sink->lines);
    out.pings[0] = sink->pings[0];
    out.pings[1] = sink->pings[1];
    return out;
}

} // namespace kestrova::acquisition::testing
