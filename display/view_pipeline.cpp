#include "display/view_pipeline.h"

#include "platform/bytes.h"
#include "position/time_stamp.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kestrova::display {

using acquisition::PingBatchData;
using acquisition::PingHeader;

static_assert(PingTimeHistory::kMaxRecords == HistoryRing::kLines);

std::uint64_t colourScale(int strength) {
    const std::uint64_t v = static_cast<std::uint64_t>(std::clamp(strength, 0, 99));
    return (v * 1024u * (std::uint64_t{1} << 32)) / ((100u - v) * 32767u);
}

ViewPipeline::ViewPipeline(Frequency frequency, const DrovantaApi& drovanta, DisplayShared& shared)
    : frequency_(frequency), drovanta_(drovanta), shared_(shared),
      latestPort_(new std::uint32_t[kLatestMax]()),
      latestStarboard_(new std::uint32_t[kLatestMax]()) {}

int ViewPipeline::altitudeSource() const {
    const DisplayPipelineSettings& s = shared_.settings;
    // A one-frequency sonar sends no LF pings: a stored LF source would keep
    // the altitude at 0 and the alarm sounding, so its HF channel serves.
    if (s.deviceKind == 1 && s.bottom.source == bottom_source::kLf) return bottom_source::kHf;
    return s.bottom.source;
}

double ViewPipeline::soundSpeed() const {
    const double c = shared_.settings.soundSpeed;
    return c > 0.0 ? c : 1500.0;
}

std::uint32_t ViewPipeline::intake(acquisition::PingHandOff& handOff) {
    return afterIntake(handOff.drain(frequency_, batch_));
}

std::uint32_t ViewPipeline::intake(acquisition::PingBatch& batch) {
    return afterIntake(batch.drain(batch_));
}

std::uint32_t ViewPipeline::afterIntake(std::uint32_t taken) {
    if (taken == 0 || batch_.wordCount == 0) return 0;
    const std::uint32_t last = batch_.pingCount - 1;
    // The amplitude strip's copy; a pass without lines has no strip either.
    if (linesWanted_ && batch_.firstWords[last] < kLatestMax &&
        batch_.secondWords[last] < kLatestMax) {
        const auto first = batch_.firstPart(last);
        const auto second = batch_.secondPart(last);
        latestPortCount_ = batch_.portCount(last);
        latestStarboardCount_ = batch_.starboardCount(last);
        std::copy_n(first.begin() + PingHeader::kWords, latestPortCount_, latestPort_.get());
        std::copy_n(second.begin(), latestStarboardCount_, latestStarboard_.get());
    }
    for (std::uint32_t k = 0; k < batch_.pingCount; ++k) {
        // A side longer than its half of the history line keeps what fits.
        const std::uint32_t h = ring_.intakePosition;
        ring_.portCount[h] = std::min(batch_.portCount(k), HistoryRing::kPortMax);
        ring_.starboardCount[h] = std::min(batch_.starboardCount(k), HistoryRing::kStarboardMax);
        ring_.intakePosition = (h + 1) % HistoryRing::kLines;
        ++pingsReceived_;
    }
    newDataFlag_ = true;
    return taken;
}

void ViewPipeline::resetDataWindow() {
    window_.left = 0;
    window_.width = samplesPerSide_;
    window_.top = 0;
    const std::int64_t rows = target_ ? target_->waterfallRows() : 0;
    window_.height = static_cast<std::uint32_t>(std::max<std::int64_t>(rows, 0));
    zoomed_ = false;
}

PassResult ViewPipeline::processPass() {
    PassResult result;
    const int f = acquisition::index(frequency_);
    const double c = soundSpeed();

    // 1. Range check against the newest ping.
    if (newDataFlag_ && batch_.pingCount > 0)
        newestSampleRate_ = batch_.sampleRate[batch_.pingCount - 1];
    if (pingsReceived_ > 0) {
        const std::uint32_t newest = HistoryRing::wrap(std::int64_t{ring_.intakePosition} - 1);
        const std::uint32_t count = ring_.portCount[newest];
        const bool countChanged = !anyRangeCheck_ || count != samplesPerSide_;
        if (countChanged || shared_.ranges.changed[static_cast<std::size_t>(f)]) {
            anyRangeCheck_ = true;
            samplesPerSide_ = count;
            resetDataWindow();
            const double fs = newestSampleRate_;
            const double metres = fs > 0.0 ? std::floor(count * c * 0.5 / fs) : 0.0;
            shared_.ranges.metres[static_cast<std::size_t>(f)] =
                static_cast<int>(std::min(metres, 1.0e9));
            if (frequency_ == Frequency::LF) shared_.ranges.lfSamplesPerSide = count;
            shared_.ranges.changed[static_cast<std::size_t>(f)] = false;
            result.rangeChecked = true;
            result.sampleCountChanged = countChanged;
        }
    }

    // 2. Colour scale.
    const std::uint64_t k = colourScale(shared_.settings.strength[static_cast<std::size_t>(f)]);
    const bool bottomOn = shared_.settings.bottom.on != 0;

    // 3. Lines covered.
    std::uint32_t covered = 0;
    if (newDataFlag_) {
        newDataFlag_ = false;
        result.live = true;
        covered = batch_.pingCount;
    } else if (redrawFlag_) {
        redrawFlag_ = false;
        result.redraw = true;
        std::int64_t n = target_ ? std::max<std::int64_t>(target_->waterfallRows(), 0) : 0;
        // The ring holds no more than 1080 lines to show.
        n = std::min<std::int64_t>(n, HistoryRing::kLines);
        if (pingsReceived_ <= static_cast<std::uint64_t>(n)) {
            n = static_cast<std::int64_t>(pingsReceived_);
            ring_.writePosition = 0;
        } else {
            ring_.writePosition = HistoryRing::wrap(std::int64_t{ring_.writePosition} - n);
        }
        covered = static_cast<std::uint32_t>(n);
    }
    result.linesCovered = covered;

    // 4. Each line.
    if (result.live) outcomeCount_ = 0;
    for (std::uint32_t j = 0; j < covered; ++j) {
        const std::uint32_t h = ring_.writePosition;
        if (result.live) processLine(j, h);
        if (target_) target_->buildRow(ring_, h, covered - 1 - j, k, bottomOn);
        ring_.writePosition = (h + 1) % HistoryRing::kLines;
    }

    preparedCount_ = 0;

    // 5. The newest ping time for the position input.
    if (result.live) shared_.latestPingTime.publish(latestPingTime_);

    // 7. Altitude-safe flag and the bottom status notice.
    if (bottomOn) {
        DisplayProcessingState& p = shared_.processing;
        if (altitudeSource() == f) {
            if (p.currentAltitude > shared_.settings.minAltitude)
                p.altitudeSafe = 1;
            else if (shared_.settings.altitudeAlarmOn)
                p.altitudeSafe = 0;
        }
        result.bottomStatusDue = true;
    }

    // 6, 8. Scale annotations, overlays, scroll and composition.
    if (target_) target_->finishPass(result);

    // 9. New scale: the whole history again.
    if (result.sampleCountChanged) redrawFlag_ = true;
    return result;
}

namespace {

bool usableRate(float fs) {
    return fs > 0.0f && std::isfinite(fs);
}

ReproSettings reproSettings(const PingBatchData& batch, std::uint32_t j, double c,
                            const DisplayPipelineSettings& settings) {
    const float fs = batch.sampleRate[j];
    ReproSettings rs;
    rs.reset = batch.settingsChanged[j] != 0;
    rs.sampleRate = fs;
    rs.firstIndex = static_cast<std::uint32_t>(std::min(std::floor(fs / c), 4.0e9));
    rs.soundSpeed = static_cast<float>(c);
    rs.minRangeDm = settings.bottom.searchStartDm;
    rs.maxRangeDm = settings.bottom.searchStopDm;
    rs.threshold = settings.bottom.threshold;
    return rs;
}

} // namespace

void ViewPipeline::prepareLines(const DrovantaApi& drovanta) {
    beginLines();
    prepareSide(drovanta, 0);
    prepareSide(drovanta, 1);
}

void ViewPipeline::beginLines() {
    preparedCount_ = 0;
    if (!newDataFlag_ || !linesWanted_) return;
    for (std::uint32_t j = 0; j < batch_.pingCount; ++j) {
        prepared_[j] = SideDetections{};
        freshLine(j, (ring_.writePosition + j) % HistoryRing::kLines);
    }
    preparedCount_ = batch_.pingCount;
}

void ViewPipeline::prepareSide(const DrovantaApi& drovanta, int side) {
    for (std::uint32_t j = 0; j < preparedCount_; ++j)
        reproSide(drovanta, j, (ring_.writePosition + j) % HistoryRing::kLines, side,
                  prepared_[j]);
}

void ViewPipeline::freshLine(std::uint32_t j, std::uint32_t h) {
    auto line = ring_.freshLine(h);
    std::array<std::uint8_t, PingHeader::kSize> header{};
    batch_.headerBytes(j, header);
    std::memcpy(line.data(), header.data(), header.size());
}

void ViewPipeline::reproSide(const DrovantaApi& drovanta, std::uint32_t j, std::uint32_t h,
                             int side, SideDetections& out) {
    // A ping without a usable sample rate cannot be placed in range.
    if (!usableRate(batch_.sampleRate[j])) return;
    const ReproSettings rs = reproSettings(batch_, j, soundSpeed(), shared_.settings);
    const bool hf = frequency_ == Frequency::HF;
    DisplayProcessingState& p = shared_.processing;
    if (side == 0) {
        const int s = hf ? DisplayProcessingState::HfPort : DisplayProcessingState::LfPort;
        const auto samples = batch_.firstPart(j).subspan(PingHeader::kWords, ring_.portCount[h]);
        const ReproResult r = drovanta.repro(samples, rs, p.gain(s), ring_.port(h));
        if (r.ok) out.port = {r.bottomIndex, r.bottomStrength};
        out.portMade = r.ok;
    } else {
        const int s =
            hf ? DisplayProcessingState::HfStarboard : DisplayProcessingState::LfStarboard;
        const auto samples = batch_.secondPart(j).first(ring_.starboardCount[h]);
        const ReproResult r = drovanta.repro(samples, rs, p.gain(s), ring_.starboard(h));
        if (r.ok) out.starboard = {r.bottomIndex, r.bottomStrength};
        out.starboardMade = r.ok;
    }
}

ViewPipeline::SideDetections ViewPipeline::reproLine(const DrovantaApi& drovanta, std::uint32_t j,
                                                     std::uint32_t h) {
    freshLine(j, h);
    SideDetections out;
    reproSide(drovanta, j, h, 0, out);
    reproSide(drovanta, j, h, 1, out);
    return out;
}

ViewPipeline::SideDetections ViewPipeline::sidesTaken(std::uint32_t j, std::uint32_t h) const {
    SideDetections out;
    if (!usableRate(batch_.sampleRate[j])) return out;
    const ReproSettings rs = reproSettings(batch_, j, soundSpeed(), shared_.settings);
    out.portMade = drovanta_.takes(ring_.portCount[h], rs, DisplayProcessingState::kGainLength,
                                   HistoryRing::kPortMax);
    out.starboardMade = drovanta_.takes(ring_.starboardCount[h], rs,
                                        DisplayProcessingState::kGainLength,
                                        HistoryRing::kStarboardMax);
    return out;
}

void ViewPipeline::processLine(std::uint32_t j, std::uint32_t h) {
    const bool hf = frequency_ == Frequency::HF;
    const double c = soundSpeed();
    const float fs = batch_.sampleRate[j];
    const bool reset = batch_.settingsChanged[j] != 0;
    DisplayPipelineSettings& settings = shared_.settings;
    DisplayProcessingState& p = shared_.processing;

    // b-d. The line and both sides (made already when the pass was prepared).
    const SideDetections made = !linesWanted_         ? sidesTaken(j, h)
                                : j < preparedCount_ ? prepared_[j]
                                                     : reproLine(drovanta_, j, h);
    std::array<std::uint8_t, PingHeader::kSize> header{};
    batch_.headerBytes(j, header);
    const int portSide = hf ? DisplayProcessingState::HfPort : DisplayProcessingState::LfPort;
    const int starboardSide =
        hf ? DisplayProcessingState::HfStarboard : DisplayProcessingState::LfStarboard;
    BottomDetection& portResult = p.detection[static_cast<std::size_t>(portSide)];
    BottomDetection& starboardResult = p.detection[static_cast<std::size_t>(starboardSide)];
    // A side Drovanta did not take (too short, too long) found no bottom:
    // the other side's detection stands for it, so that the selection can
    // only choose a bottom that was found. With neither side taken the ping
    // has no bottom, and the detections, choices and altitude stay as they were.
    const bool found = made.portMade || made.starboardMade;
    // Without a line the detections are unknown: the last ones stand (they
    // feed only this frequency's own pair).
    if (found && linesWanted_) {
        portResult = made.portMade ? made.port : made.starboard;
        starboardResult = made.starboardMade ? made.starboard : made.port;
    }
    const bool usable = fs > 0.0f && std::isfinite(fs);
    const std::uint32_t np = ring_.portCount[h];
    const int source = altitudeSource();

    // e. Which side's bottom to trust.
    DepthSelectInput ds;
    ds.soundSpeed = static_cast<float>(c);
    ds.sampleRate = fs;
    ds.usePairB = (source & 0xFF) != 0;
    ds.reset = reset ? 1.0f : 0.0f;
    const auto& d = p.detection;
    ds.aIndex1 = d[DisplayProcessingState::HfPort].sample;
    ds.aStrength1 = d[DisplayProcessingState::HfPort].strength;
    ds.aIndex2 = d[DisplayProcessingState::HfStarboard].sample;
    ds.aStrength2 = d[DisplayProcessingState::HfStarboard].strength;
    ds.bIndex1 = d[DisplayProcessingState::LfPort].sample;
    ds.bStrength1 = d[DisplayProcessingState::LfPort].strength;
    ds.bIndex2 = d[DisplayProcessingState::LfStarboard].sample;
    ds.bStrength2 = d[DisplayProcessingState::LfStarboard].strength;
    if (found) {
        const DepthSelectResult sel = drovanta_.depthSelect(ds);
        if (sel.ok) {
            p.pairAChoice = sel.aSelected;
            p.pairBChoice = sel.bSelected;
        }
    }

    // f. The line's bottom and its slant range.
    const std::uint32_t bottom = found ? (hf ? p.pairAChoice : p.pairBChoice) : 0;
    float slant = usable ? static_cast<float>(bottom) / fs * static_cast<float>(c) * 0.5f : 0.0f;

    // g. Current altitude.
    const int own = hf ? bottom_source::kHf : bottom_source::kLf;
    if (source == own) {
        if (found) p.currentAltitude = slant;
    } else if (source == bottom_source::kManual) {
        slant = settings.bottom.manualAltitude;
        p.currentAltitude = settings.bottom.manualAltitude;
    }
    ring_.bottomSample[h] = bottom;
    ring_.slantRange[h] = slant;

    // h. Altitude alarm.
    if (settings.altitudeAlarmOn)
        p.altitudeAlarmState =
            altitude_alarm::kAtOrBelowMinimum + (settings.minAltitude < p.currentAltitude ? 1 : 0);
    else
        p.altitudeAlarmState = altitude_alarm::kOff;

    // i. Ping time.
    const auto decoded = PingHeader::decode(header);
    PingTimeRecord t;
    if (decoded) {
        t.year = decoded->year;
        t.month = decoded->month;
        t.day = decoded->day;
        t.hour = decoded->hour;
        t.minute = decoded->minute;
        t.second = decoded->second;
        t.microseconds = decoded->microseconds;
        t.heading = decoded->heading / 100.0;
        t.time = epochSeconds(CivilDate{t.year, t.month, t.day}, t.hour, t.minute,
                              t.second + t.microseconds / 1000000.0);
    }
    t.historyLine = h;
    t.portSlantRange = usable ? np * c * 0.5 / fs : 0.0;
    pingTimes_.append(t);
    latestPingTime_ = t.time;
    lastPingTime_ = t;

    // j. XTF.
    if (settings.xtfRecording && lineSink_ && linesWanted_)
        lineSink_->writeLine(ring_.line(h), hf ? 0 : 1);

    LineOutcome& o = outcomes_[outcomeCount_++];
    o.line = h;
    o.port = made.port;
    o.starboard = made.starboard;
    o.bottomSample = bottom;
    o.slantRange = slant;
    const std::uint32_t portChoice = hf ? ds.aIndex1 : ds.bIndex1;
    o.side = bottom == portChoice ? 0 : 1;
    o.altitude = p.currentAltitude;
    o.pingTime = t.time;
}

} // namespace kestrova::display
