// The ping display pipeline over simulated pings: ring wrapping, row order,
// redraw, range check, bottom and altitude, alarm states, oversized sides,
// ping times, XTF hand-over and the target capture.

#include "display/target_capture.h"
#include "display/tests/sim_pings.h"
#include "display/view_pipeline.h"
#include "platform/bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace kestrova::display::test {
namespace {

using acquisition::PingBatch;
using acquisition::PingHeader;

// Records what the pass asks of the picture.
class RecordingTarget : public PassTarget {
  public:
    std::int64_t rows = 100;
    struct Row {
        std::uint32_t line, row;
    };
    std::vector<Row> built;
    std::vector<PassResult> finished;
    std::int64_t waterfallRows() const override { return rows; }
    void buildRow(const HistoryRing&, std::uint32_t line, std::uint32_t row, std::uint64_t,
                  bool) override {
        built.push_back({line, row});
    }
    void finishPass(const PassResult& r) override { finished.push_back(r); }
};

class Pipeline : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        drovanta = new DrovantaApi;
        ASSERT_TRUE(drovanta->load(binFolder())) << drovanta->failure().english;
    }
    static void TearDownTestSuite() {
        delete drovanta;
        drovanta = nullptr;
    }
    void SetUp() override {
        drovanta->initialize();
        shared = std::make_unique<DisplayShared>();
        view = std::make_unique<ViewPipeline>(Frequency::HF, *drovanta, *shared);
        view->setTarget(&target);
    }
    // Feeds pings [from, from + count) as one batch and runs the live pass.
    PassResult feed(SimPings& sim, std::uint32_t from, std::uint32_t count) {
        for (std::uint32_t k = from; k < from + count; ++k)
            EXPECT_TRUE(sim.append(batch, true, k));
        EXPECT_EQ(view->intake(batch), count);
        return view->processPass();
    }
    std::uint32_t pingNumberOf(std::uint32_t line) const {
        auto h = PingHeader::decode(view->ring().header(line));
        return h ? h->pingNumber : 0;
    }

    static DrovantaApi* drovanta;
    std::unique_ptr<DisplayShared> shared;
    std::unique_ptr<ViewPipeline> view;
    RecordingTarget target;
    PingBatch batch;
};
DrovantaApi* Pipeline::drovanta = nullptr;

// A ring that did not wrap, or wrapped at the wrong place, shows old pings as new.
TEST_F(Pipeline, RingOverwritesItsOldestLineAfter1080) {
    SimPings sim(hfOnly(200));
    for (std::uint32_t k = 0; k < 1085; k += 5)
        feed(sim, k, 5);
    EXPECT_EQ(view->pingsReceived(), 1085u);
    EXPECT_EQ(view->ring().writePosition, 5u);
    EXPECT_EQ(view->ring().intakePosition, 5u);
    EXPECT_EQ(pingNumberOf(4), 1085u); // newest
    EXPECT_EQ(pingNumberOf(5), 6u);    // oldest kept: pings 6 .. 1085
    EXPECT_EQ(pingNumberOf(1079), 1080u);
}

// The newest ping must land in the top row, and a batch of B pings scrolls B rows.
TEST_F(Pipeline, BatchRowsPutTheNewestPingOnTop) {
    SimPings sim(hfOnly(200));
    PassResult r = feed(sim, 0, 3);
    EXPECT_TRUE(r.live);
    EXPECT_EQ(r.linesCovered, 3u);
    ASSERT_EQ(target.built.size(), 3u);
    EXPECT_EQ(target.built[0].line, 0u);
    EXPECT_EQ(target.built[0].row, 2u);
    EXPECT_EQ(target.built[2].line, 2u);
    EXPECT_EQ(target.built[2].row, 0u);
    // The first batch set the sample count: a redraw of the history follows.
    EXPECT_TRUE(r.sampleCountChanged);
    EXPECT_TRUE(view->redrawFlag());

    std::vector<std::uint8_t> before(view->ring().line(1).begin(), view->ring().line(1).end());
    const std::size_t times = view->pingTimes().records().size();
    target.built.clear();
    r = view->processPass();
    EXPECT_TRUE(r.redraw);
    EXPECT_FALSE(r.live);
    EXPECT_EQ(r.linesCovered, 3u); // fewer pings than rows: all of them, from line 0
    ASSERT_EQ(target.built.size(), 3u);
    EXPECT_EQ(target.built[0].line, 0u);
    EXPECT_EQ(target.built[0].row, 2u);
    EXPECT_EQ(view->ring().writePosition, 3u);
    // A redraw calls Drovanta for none of the lines.
    EXPECT_TRUE(std::equal(before.begin(), before.end(), view->ring().line(1).begin()));
    EXPECT_EQ(view->pingTimes().records().size(), times);

    // A second batch of one ping: one row, same sample count, no redraw.
    target.built.clear();
    r = feed(sim, 3, 1);
    EXPECT_EQ(r.linesCovered, 1u);
    EXPECT_FALSE(r.sampleCountChanged);
    EXPECT_FALSE(view->redrawFlag());
    ASSERT_EQ(target.built.size(), 1u);
    EXPECT_EQ(target.built[0].line, 3u);
    EXPECT_EQ(target.built[0].row, 0u);
}

// With more history than rows the redraw must end on the newest line.
TEST_F(Pipeline, RedrawCoversTheLastRowsEndingWithTheNewest) {
    SimPings sim(hfOnly(200));
    target.rows = 4;
    feed(sim, 0, 10);
    target.built.clear();
    const PassResult r = view->processPass(); // the redraw after the first count
    EXPECT_TRUE(r.redraw);
    ASSERT_EQ(target.built.size(), 4u);
    EXPECT_EQ(target.built[0].line, 6u);
    EXPECT_EQ(target.built[0].row, 3u);
    EXPECT_EQ(target.built[3].line, 9u);
    EXPECT_EQ(target.built[3].row, 0u);
    EXPECT_EQ(view->ring().writePosition, 10u);
    // With neither flag set nothing is covered.
    target.built.clear();
    EXPECT_EQ(view->processPass().linesCovered, 0u);
    EXPECT_TRUE(target.built.empty());
}

// A new sample count must reset the window and the range the command builder reads.
TEST_F(Pipeline, SampleCountChangeResetsWindowAndRange) {
    SimPings sim(hfOnly()); // 3600 samples per side at 54000 Hz: 3600 * 750 / 54000 = 50 m
    PassResult r = feed(sim, 0, 2);
    EXPECT_TRUE(r.rangeChecked);
    EXPECT_EQ(shared->ranges.metres[0], 50);
    EXPECT_EQ(view->samplesPerSide(), 3600u);
    EXPECT_EQ(view->dataWindow().left, 0u);
    EXPECT_EQ(view->dataWindow().width, 3600u);
    EXPECT_EQ(view->dataWindow().height, 100u);
    view->processPass();

    view->dataWindow() = {1000, 500, 0, 50}; // as after a zoom
    SimPings shorter(hfOnly(1000));          // 1000 samples at 216000 / 15 Hz: floor(52.08) = 52 m
    for (std::uint32_t k = 0; k < 2; ++k)
        shorter.append(batch, true, k);
    view->intake(batch);
    r = view->processPass();
    EXPECT_TRUE(r.sampleCountChanged);
    EXPECT_EQ(view->dataWindow().left, 0u);
    EXPECT_EQ(view->dataWindow().width, 1000u);
    EXPECT_EQ(shared->ranges.metres[0], 52);

    // Raised from outside: recomputed without a redraw.
    shared->ranges.changed[0] = true;
    view->processPass();
    SimPings again(hfOnly(1000));
    again.append(batch, true, 5);
    view->intake(batch);
    r = view->processPass();
    EXPECT_TRUE(r.live);
    EXPECT_FALSE(r.redraw);
    EXPECT_FALSE(shared->ranges.changed[0]);
}

// The bottom the operator sees must be where the seabed is.
TEST_F(Pipeline, BottomAndAltitudeFollowTheSimulatedSeabed) {
    auto config = hfOnly(); // range 50 m: the towfish flies at about 7.5 m
    SimPings sim(config);
    shared->settings.altitudeAlarmOn = true;
    shared->settings.minAltitude = 1.0f;
    int close = 0;
    const std::uint32_t pings = 200;
    for (std::uint32_t k = 0; k < pings; ++k) {
        feed(sim, k, 1);
        const LineOutcome& o = view->lastOutcomes().back();
        const double altitude = sim.seabed().altitude(sim.alongTrack(k));
        // Sample i of the simulator lies at (i + 0.5) spacing; Drovanta counts from 1.
        if (std::abs(o.slantRange - altitude) < 0.25) ++close;
        ASSERT_GT(o.bottomSample, 0u) << "ping " << k;
        EXPECT_FLOAT_EQ(view->ring().slantRange[o.line], o.slantRange);
        EXPECT_EQ(view->ring().bottomSample[o.line], o.bottomSample);
        EXPECT_FLOAT_EQ(o.slantRange, o.bottomSample / 54000.0f * 1500.0f * 0.5f);
        EXPECT_DOUBLE_EQ(shared->processing.currentAltitude, o.slantRange);
    }
    EXPECT_GE(close, static_cast<int>(pings * 95 / 100));
    EXPECT_EQ(shared->processing.altitudeAlarmState, altitude_alarm::kAboveMinimum);
    shared->settings.minAltitude = 30.0f;
    feed(sim, pings, 1);
    EXPECT_EQ(shared->processing.altitudeAlarmState, altitude_alarm::kAtOrBelowMinimum);
    shared->settings.altitudeAlarmOn = false;
    feed(sim, pings + 1, 1);
    EXPECT_EQ(shared->processing.altitudeAlarmState, altitude_alarm::kOff);
}

// Source 5: what the operator typed wins over whatever was detected.
TEST_F(Pipeline, ManualSourceGivesTheManualAltitude) {
    SimPings sim(hfOnly());
    shared->settings.bottom.source = bottom_source::kManual;
    shared->settings.bottom.manualAltitude = 5.0f;
    shared->settings.altitudeAlarmOn = true;
    shared->settings.minAltitude = 6.0f;
    feed(sim, 0, 4);
    for (const LineOutcome& o : view->lastOutcomes()) {
        EXPECT_FLOAT_EQ(o.slantRange, 5.0f);
        EXPECT_GT(o.bottomSample, 0u); // detection still ran
    }
    EXPECT_DOUBLE_EQ(shared->processing.currentAltitude, 5.0);
    EXPECT_EQ(shared->processing.altitudeAlarmState, altitude_alarm::kAtOrBelowMinimum);

    // The LF source leaves the HF view's altitude alone.
    shared->settings.bottom.source = bottom_source::kLf;
    shared->processing.currentAltitude = 42.0;
    feed(sim, 4, 2);
    EXPECT_DOUBLE_EQ(shared->processing.currentAltitude, 42.0);
}

// A side longer than its half of the line must not spill into the other half.
TEST_F(Pipeline, OversizedSidesKeepWhatFitsAndSkipTheLatestCopy) {
    SimPings sim(hfOnly(23300));
    feed(sim, 0, 1);
    const HistoryRing& ring = view->ring();
    EXPECT_EQ(ring.portCount[0], HistoryRing::kPortMax);
    EXPECT_EQ(ring.starboardCount[0], HistoryRing::kStarboardMax);
    EXPECT_TRUE(view->latestPort().empty());

    // The starboard half holds exactly Drovanta's line of the starboard samples.
    acquisition::PingBatch again;
    SimPings same(hfOnly(23300));
    same.append(again, true, 0);
    auto copy = std::make_unique<acquisition::PingBatchData>();
    again.drain(*copy);
    std::vector<float> gain(23260, 0.0f);
    std::vector<std::uint16_t> line(23260, 0);
    ReproSettings rs;
    rs.reset = true;
    rs.sampleRate = copy->sampleRate[0];
    rs.firstIndex = static_cast<std::uint32_t>(std::floor(rs.sampleRate / 1500.0));
    drovanta->repro(copy->secondPart(0).first(HistoryRing::kStarboardMax), rs, gain, line);
    EXPECT_TRUE(std::equal(line.begin(), line.end(), ring.starboard(0).begin()));
}

// Ping times place each ping on the navigation track: date, time, heading, range.
TEST_F(Pipeline, PingTimeHistoryDatesEveryPingAndEmptiesAfterTenSeconds) {
    auto config = hfOnly();
    config.attitudeInPings = true;
    SimPings sim(config);
    feed(sim, 0, 1);
    ASSERT_EQ(view->pingTimes().records().size(), 1u);
    const PingTimeRecord& r = view->pingTimes().records()[0];
    EXPECT_EQ(r.year, 2024);
    EXPECT_EQ(r.month, 5);
    EXPECT_EQ(r.hour, 10);
    // 2024-05-01 is day 19844 since 1970: 19844 * 86400 + 10 * 3600.
    EXPECT_DOUBLE_EQ(r.time, 1714557600.0);
    EXPECT_DOUBLE_EQ(r.heading, 90.0);
    EXPECT_DOUBLE_EQ(r.portSlantRange, 3600 * 1500 * 0.5 / 54000.0);
    EXPECT_EQ(r.historyLine, 0u);
    EXPECT_DOUBLE_EQ(shared->latestPingTime.read(), 1714557600.0);

    // Pings 0.0767 s apart: ping 130 is at 9.97 s, ping 131 at 10.04 s.
    feed(sim, 1, 130);
    EXPECT_EQ(view->pingTimes().records().size(), 131u);
    feed(sim, 131, 1);
    EXPECT_TRUE(view->pingTimes().records().empty());
}

// A sonar whose clock was never set dates its pings before 1970 (time 0):
// the 10 s rule never empties the history, which must not grow without end.
TEST_F(Pipeline, UndatedPingsKeepThePingTimeHistoryBounded) {
    auto config = hfOnly(300);
    config.startEpoch = -31536000.0; // 1969-01-01
    SimPings sim(config);
    for (std::uint32_t k = 0; k < 1500; k += 100)
        feed(sim, k, 100);
    const auto& records = view->pingTimes().records();
    ASSERT_FALSE(records.empty());
    EXPECT_LE(records.size(), HistoryRing::kLines);
    EXPECT_EQ(records.back().time, 0.0);
    EXPECT_EQ(records.back().year, 1969);
    EXPECT_EQ(records.back().historyLine, view->lastOutcomes().back().line);
}

// Ping k of the simulator with one side (0 port, 1 starboard, 2 both) cut to
// ten samples, a line too short for Drovanta to take.
std::vector<std::uint8_t> cutSide(const sim::SonarStream& stream, std::uint32_t k, int side,
                                  bool hf = true) {
    const std::vector<std::uint8_t> frame = stream.pingFrame(hf, k + 1, k * stream.pingPeriod());
    auto fh = acquisition::SonarFrameHeader::decode(frame);
    auto h = PingHeader::decode(frame);
    const std::uint32_t n = h->port.sampleCount;
    const std::uint32_t np = side != 1 ? 10 : n, ns = side != 0 ? 10 : n;
    fh->length = static_cast<std::uint32_t>(acquisition::pingFrameLength(np, ns));
    std::vector<std::uint8_t> out(fh->frameSize(), 0);
    fh->encode(out);
    h->port.sampleCount = np;
    h->starboard.sampleCount = ns;
    h->encode(out);
    const std::size_t at = PingHeader::kSize;
    std::copy_n(frame.begin() + at, 4 * np, out.begin() + at);
    std::copy_n(frame.begin() + at + 4 * n, 4 * ns, out.begin() + at + 4 * np);
    std::copy_n(frame.end() - 4, 4, out.end() - 4); // trailer
    return out;
}

// The altitude alarm must sound for a low towfish, not for a bottom nobody
// found: an LF source kept from a two-frequency sonar while a one-frequency
// sonar is connected, or a side Drovanta did not take, read as altitude 0.
TEST_F(Pipeline, AltitudeComesOnlyFromBottomsThatWereFound) {
    shared->settings.altitudeAlarmOn = true;
    shared->settings.minAltitude = 1.0f; // the towfish flies at about 7.5 m
    shared->settings.deviceKind = 1;
    shared->settings.bottom.source = bottom_source::kLf;
    SimPings sim(hfOnly());
    feed(sim, 0, 20);
    EXPECT_GT(shared->processing.currentAltitude, 5.0) << "the HF channel serves a HF-only sonar";
    EXPECT_EQ(shared->processing.altitudeAlarmState, altitude_alarm::kAboveMinimum);

    shared->settings.deviceKind = 2;
    shared->settings.bottom.source = bottom_source::kHf;
    sim::SonarStream stream(hfOnly());
    std::uint32_t k = 20;
    for (int side : {1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 2, 2, 2}) {
        const double before = shared->processing.currentAltitude;
        const auto frame = cutSide(stream, k++, side);
        const auto ping = acquisition::PingRecord::fromFrame(frame);
        ASSERT_TRUE(ping);
        ASSERT_TRUE(batch.append(*ping, ping->header().port.effectiveSampleRate(), 0));
        ASSERT_EQ(view->intake(batch), 1u);
        view->processPass();
        EXPECT_GT(shared->processing.currentAltitude, 5.0) << "ping " << k << ", side " << side;
        EXPECT_EQ(shared->processing.altitudeAlarmState, altitude_alarm::kAboveMinimum);
        if (side == 2) {
            EXPECT_EQ(shared->processing.currentAltitude, before) << "no bottom: as it was";
        } else {
            EXPECT_GT(view->lastOutcomes().back().bottomSample, 0u);
        }
    }
}

// Ping k of the simulator with its samples replaced: noise, and from sample
// 150 on an echo `portEcho` / `starboardEcho` times the noise.
std::vector<std::uint8_t> echoPing(const sim::SonarStream& stream, bool hf, std::uint32_t k,
                                   std::uint32_t portEcho, std::uint32_t starboardEcho) {
    std::vector<std::uint8_t> frame = stream.pingFrame(hf, k + 1, k * stream.pingPeriod());
    const std::uint32_t n = PingHeader::decode(frame)->port.sampleCount;
    ByteWriter w(frame);
    std::uint32_t noise = k * 2654435761u;
    for (std::uint32_t i = 0; i < 2 * n; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const std::uint32_t echo = i % n < 150 ? 1 : (i < n ? portEcho : starboardEcho);
        w.u32le(PingHeader::kSize + 4 * i, (1000 + (noise >> 22)) * echo);
    }
    return frame;
}

// Guards: a HF mosaic makes no LF lines, yet every LF ping still steps the
// HF pair's bottom choice as in the two-view run (a ping Drovanta does not
// take does not); otherwise the HF bottoms, altitudes and ground ranges drift
// from the views' and the XTF file's.
TEST_F(Pipeline, PingsWithoutLinesStepTheBottomChoiceAsDrawnOnes) {
    sim::SonarStreamConfig config;
    config.samplesPerSide = 400;
    sim::SonarStream stream(config);
    auto run = [&](bool lfLines) {
        drovanta->initialize();
        DisplayShared both;
        ViewPipeline hf(Frequency::HF, *drovanta, both), lf(Frequency::LF, *drovanta, both);
        lf.setLinesWanted(lfLines);
        std::vector<int> sides;
        for (std::uint32_t k = 0; k < 160; ++k) {
            // The stronger side changes every 8 HF pings: only with the LF
            // pings' steps does the choice follow it.
            const bool portStronger = (k / 8) % 2 == 0;
            const auto h = echoPing(stream, true, k, portStronger ? 9 : 6, portStronger ? 6 : 9);
            // Every third LF ping too short for Drovanta: that one does not step.
            const auto l =
                k % 3 == 2 ? cutSide(stream, k, 2, false) : echoPing(stream, false, k, 5, 5);
            for (const auto* frame : {&h, &l}) {
                const auto ping = acquisition::PingRecord::fromFrame(*frame);
                EXPECT_TRUE(ping && batch.append(*ping, ping->header().port.effectiveSampleRate(),
                                                  k == 0 ? 1 : 0));
                ViewPipeline& pipe = frame == &h ? hf : lf;
                EXPECT_EQ(pipe.intake(batch), 1u);
                pipe.processPass();
            }
            sides.push_back(hf.lastOutcomes()[0].side);
        }
        return sides;
    };
    const std::vector<int> drawn = run(true);
    EXPECT_NE(std::count(drawn.begin(), drawn.end(), 0), 0);
    EXPECT_NE(std::count(drawn.begin(), drawn.end(), 1), 0);
    EXPECT_EQ(run(false), drawn);
}

class CountingSink : public DisplayLineSink {
  public:
    void writeLine(std::span<const std::uint8_t, HistoryRing::kLineBytes> line,
                   int channel) override {
        ++lines;
        lastChannel = channel;
        lastPing = PingHeader::decode(line.first(PingHeader::kSize))->pingNumber;
    }
    int lines = 0, lastChannel = -1;
    std::uint32_t lastPing = 0;
};

// Lines go to the XTF writer only while XTF recording is on, once each.
TEST_F(Pipeline, FinishedLinesGoToTheXtfWriterWhileRecording) {
    CountingSink sink;
    view->setLineSink(&sink);
    SimPings sim(hfOnly(200));
    feed(sim, 0, 3);
    EXPECT_EQ(sink.lines, 0);
    shared->settings.xtfRecording = true;
    feed(sim, 3, 4);
    view->processPass(); // a redraw writes nothing
    EXPECT_EQ(sink.lines, 4);
    EXPECT_EQ(sink.lastChannel, 0);
    EXPECT_EQ(sink.lastPing, 7u);
}

// The capture must copy the lines that end with the newest and mark the one
// under the pointer.
TEST_F(Pipeline, TargetCaptureMarksTheLineUnderThePointer) {
    SimPings sim(hfOnly(200));
    feed(sim, 0, 10);
    view->processPass();
    auto snapshot = std::make_unique<TargetSnapshot>();
    PositionRing positions;
    positions.bytes[6 * 136] = 0x5A; // record of line 6
    CaptureRequest req;
    req.waterfallTop = 71;
    req.waterfallWidth = 1000;
    req.waterfallHeight = 100;
    req.x = 700;
    req.y = 71 + 3;
    EXPECT_FALSE(captureTarget(*view, positions, req, *snapshot)); // no project open
    req.projectOpen = true;
    req.strength = 61;
    auto side = captureTarget(*view, positions, req, *snapshot);
    ASSERT_TRUE(side);
    EXPECT_EQ(*side, 1u); // right of the centre: starboard
    EXPECT_EQ(snapshot->pingCount, 10u);
    // r = floor(100 * 3 / 100) = 3; m = 9 - 0 - 3 = 6.
    EXPECT_TRUE(snapshot->markSet);
    EXPECT_EQ(snapshot->markedPing, 6u);
    EXPECT_EQ(snapshot->pingsAfterMark, 4u);
    // 200 samples, x' = 200 of h = 500: floor(200 * 200 / 500) = 80.
    EXPECT_EQ(snapshot->sampleCount, 200u);
    EXPECT_EQ(snapshot->markedSample, 80u);
    EXPECT_TRUE(std::equal(view->ring().starboard(6).begin(),
                           view->ring().starboard(6).begin() + 200, snapshot->row(6).begin()));
    EXPECT_EQ(std::memcmp(snapshot->headers.get() + 6 * 228, view->ring().header(6).data(), 228),
              0);
    EXPECT_EQ(snapshot->positions[6 * 136], 0x5A);
    EXPECT_EQ(snapshot->strength, 61);

    req.y = 71 + 50; // r = 50: below the ten lines received
    EXPECT_FALSE(captureTarget(*view, positions, req, *snapshot));
}

} // namespace
} // namespace kestrova::display::test
