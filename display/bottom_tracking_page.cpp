#include "display/bottom_tracking_page.h"

#include "app/config/sonar_parameters.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kestrova::display {
namespace {

// Ranges are whole metres from the views; this keeps their tenths in an int.
constexpr std::int64_t kMaxLimitDm = 1000000;
constexpr int kThresholdMax = 10;
constexpr std::uint32_t kDefaultStartDm = 10;
constexpr std::uint32_t kDefaultStopDm = 100;

std::string tenths(int dm) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0.1f", dm / 10.0);
    return buf;
}

void setSpan(TrackSliderState& s, int lo, int hi) {
    s.min = lo;
    s.max = std::max(lo, hi);
    s.lowLabel = tenths(s.min + 1);
    s.highLabel = tenths(s.max + 1);
}

// The altitude box's text: "%g" keeps what the operator typed readable ("5", "2.5").
std::string altitudeText(float metres) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(metres));
    return buf;
}

constexpr const char* kBadAltitudeEn = "Please enter an altitude above 0 m and not above %s m!";
constexpr const char* kBadAltitudeZh = "请输入大于 0 米且不超过 %s 米的高度！";

} // namespace

std::string searchValueText(int position) {
    return tenths(position + 1) + " m";
}

std::string thresholdText(int threshold, bool english) {
    if (threshold == 0) return english ? "Auto" : "自动";
    return std::to_string(threshold);
}

BottomTrackingPage::BottomTrackingPage(app::Configuration& config, DisplayShared& shared,
                                       ControlPageHost& host)
    : config_(config), shared_(shared), host_(host) {}

bool BottomTrackingPage::hfOnlyView() const {
    return config_.device.FrequencyLayout == app::kLayoutHfOnly;
}

void BottomTrackingPage::open() {
    BottomTrackingSettings& b = bottom();
    b.on = config_.sonar.bottomTrack.on;
    state_.onChecked = b.on != 0;
    state_.controlsEnabled = state_.onChecked;
    // A stored source other than HF, LF or manual means manual, as the list of
    // sources has it; the pipelines then read the same as the page shows.
    int source = config_.sonar.bottomTrack.alertGps;
    if (source != bottom_source::kHf && source != bottom_source::kLf)
        source = bottom_source::kManual;
    config_.sonar.bottomTrack.alertGps = source;
    b.source = source;
    if (b.threshold > static_cast<std::uint32_t>(kThresholdMax)) b.threshold = 0;
    TrackSliderState& t = state_.threshold;
    t.min = 0;
    t.max = kThresholdMax;
    t.lowLabel = std::to_string(0); // (a literal here trips a false GCC 12 -Wrestrict)
    t.highLabel = std::to_string(kThresholdMax);
    t.position = static_cast<int>(b.threshold);
    t.valueLabel = thresholdText(t.position, config_.messenger().english());
    state_.manualAltitudeText = altitudeText(b.manualAltitude);
    showSource();
    computeRanges();
    deviceIdentified();
}

void BottomTrackingPage::showSource() {
    const int source = bottom().source;
    const bool manual = source == bottom_source::kManual;
    state_.manualChecked = manual;
    state_.sonarDataChecked = !manual;
    state_.hfChecked = source == bottom_source::kHf;
    state_.lfChecked = source == bottom_source::kLf;
    state_.searchVisible = !manual;
    state_.manualVisible = manual;
    // A one-frequency sonar, or a view of HF alone, leaves nothing to choose.
    state_.frequencyChoiceVisible = !manual && config_.device.frequencyCount != 1 && !hfOnlyView();
}

void BottomTrackingPage::setSource(int source) {
    const bool changed = bottom().source != source || config_.sonar.bottomTrack.alertGps != source;
    bottom().source = source;
    config_.sonar.bottomTrack.alertGps = source;
    showSource();
    computeRanges();
    // Saved on every change, so a restart brings back the source the operator left.
    if (changed) save();
}

void BottomTrackingPage::onOffClicked(bool checked) {
    const int on = checked ? 1 : 0;
    config_.sonar.bottomTrack.on = on;
    bottom().on = on;
    state_.onChecked = checked;
    state_.controlsEnabled = checked;
    computeRanges(); // the sliders' enabled state follows
    host_.redrawView(Frequency::HF);
    host_.redrawView(Frequency::LF);
    save();
}

void BottomTrackingPage::sonarDataChosen() {
    // The frequency already chosen stays; from manual, HF.
    const int source = bottom().source;
    setSource(source == bottom_source::kLf && !hfOnlyView() ? bottom_source::kLf
                                                            : bottom_source::kHf);
}

void BottomTrackingPage::frequencyChosen(Frequency f) {
    if (f == Frequency::LF && hfOnlyView()) {
        setSource(bottom_source::kHf);
        return;
    }
    setSource(f == Frequency::HF ? bottom_source::kHf : bottom_source::kLf);
}

void BottomTrackingPage::manualChosen() {
    setSource(bottom_source::kManual);
}

void BottomTrackingPage::computeRanges() {
    BottomTrackingSettings& b = bottom();
    const int metres = shared_.ranges.metres[b.source == bottom_source::kHf ? 0 : 1];
    const std::int64_t limit = std::clamp<std::int64_t>(std::int64_t{metres} * 10, 0, kMaxLimitDm);
    std::int64_t start = b.searchStartDm;
    std::int64_t stop = b.searchStopDm;
    // A window needs 1 <= start < stop <= limit: a zero-width window finds no
    // bottom. Without a range of at least 0.2 m (before the first ping, or an
    // LF source with no LF channel) there is nothing to fit the window to:
    // it stays as it is and the sliders wait.
    const bool usable = limit >= 2;
    if (usable) {
        if (start >= limit) {
            start = limit - 1;
            stop = limit;
        }
        stop = std::clamp<std::int64_t>(stop, 2, limit);
        start = std::clamp<std::int64_t>(start, 1, stop - 1);
    } else if (start < 1 || start >= stop || stop > kMaxLimitDm) {
        start = kDefaultStartDm;
        stop = kDefaultStopDm;
    }
    b.searchStartDm = static_cast<std::uint32_t>(start);
    b.searchStopDm = static_cast<std::uint32_t>(stop);

    const bool enabled = usable && state_.controlsEnabled;
    TrackSliderState& s = state_.start;
    setSpan(s, 0, static_cast<int>(stop) - 2);
    s.position = static_cast<int>(start) - 1;
    s.valueLabel = searchValueText(s.position);
    s.enabled = enabled;
    TrackSliderState& e = state_.stop;
    setSpan(e, static_cast<int>(start), static_cast<int>(usable ? limit : stop) - 1);
    e.position = static_cast<int>(stop) - 1;
    e.valueLabel = searchValueText(e.position);
    e.enabled = enabled;
    state_.threshold.enabled = state_.controlsEnabled;
}

std::string BottomTrackingPage::startMoving(int position) {
    const TrackSliderState& s = state_.start;
    return searchValueText(std::clamp(position, s.min, s.max));
}

std::string BottomTrackingPage::stopMoving(int position) {
    const TrackSliderState& s = state_.stop;
    return searchValueText(std::clamp(position, s.min, s.max));
}

std::string BottomTrackingPage::thresholdMoving(int position) {
    return thresholdText(std::clamp(position, 0, kThresholdMax), config_.messenger().english());
}

void BottomTrackingPage::startReleased(int position) {
    if (!state_.start.enabled) return;
    const TrackSliderState& s = state_.start;
    bottom().searchStartDm = static_cast<std::uint32_t>(std::clamp(position, s.min, s.max) + 1);
    computeRanges();
}

void BottomTrackingPage::stopReleased(int position) {
    if (!state_.stop.enabled) return;
    const TrackSliderState& s = state_.stop;
    bottom().searchStopDm = static_cast<std::uint32_t>(std::clamp(position, s.min, s.max) + 1);
    computeRanges();
}

void BottomTrackingPage::thresholdReleased(int position) {
    const int t = std::clamp(position, 0, kThresholdMax);
    bottom().threshold = static_cast<std::uint32_t>(t);
    state_.threshold.position = t;
    state_.threshold.valueLabel = thresholdText(t, config_.messenger().english());
}

double BottomTrackingPage::manualAltitudeLimit() const {
    const int longest = std::max(shared_.ranges.metres[0], shared_.ranges.metres[1]);
    // Before the first ping no range is known: the longest range the sonar offers.
    return longest > 0 ? longest : app::rangeMetres(9);
}

bool BottomTrackingPage::applyManualAltitude(std::string_view text) {
    const std::string s(text);
    const char* begin = s.c_str();
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(begin, &end);
    bool ok = end != begin && errno == 0;
    while (ok && *end != '\0') {
        if (*end != ' ' && *end != '\t') ok = false;
        ++end;
    }
    const double limit = manualAltitudeLimit();
    ok = ok && std::isfinite(v) && v > 0.0 && v <= limit;
    if (!ok) {
        const std::string shown = tenths(static_cast<int>(std::lround(limit * 10.0)));
        config_.messenger().ShowMessage(app::withArgument(kBadAltitudeZh, shown),
                                        app::withArgument(kBadAltitudeEn, shown),
                                        app::mb::kIconWarning | app::mb::kOk);
        state_.manualAltitudeText = altitudeText(bottom().manualAltitude);
        return false;
    }
    bottom().manualAltitude = static_cast<float>(v);
    state_.manualAltitudeText = altitudeText(bottom().manualAltitude);
    return true;
}

void BottomTrackingPage::deviceIdentified() {
    if (hfOnlyView() && bottom().source == bottom_source::kLf) {
        setSource(bottom_source::kHf);
        return;
    }
    showSource();
}

void BottomTrackingPage::rangesChanged() {
    computeRanges();
}

void BottomTrackingPage::save() {
    if (auto path = host_.projectConfigPath()) config_.SaveConfigSection("SonarSetPara", *path);
}

} // namespace kestrova::display
