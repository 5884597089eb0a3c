#include "app/sonar_parameter_page.h"

namespace kestrova::app {
namespace {

std::string number(int v) {
    return std::to_string(v);
}

// Clamp that tolerates a limits file with min above max (the min wins).
int clampInto(int v, int lo, int hi) {
    if (hi < lo) hi = lo;
    return v < lo ? lo : (v > hi ? hi : v);
}

bool inside(int v, int lo, int hi) {
    return v >= lo && v <= hi;
}

// A level outside the span is replaced by `fallback`; should the fallback itself
// lie outside a model's span, the level is clamped so the device never gets a
// value its model does not allow.
int bringInside(int level, int lo, int hi, int fallback) {
    if (inside(level, lo, hi)) return level;
    return clampInto(fallback, lo, hi);
}

void setSpan(SliderState& s, int lo, int hi) {
    s.min = lo;
    s.max = hi < lo ? lo : hi;
}

} // namespace

SonarParameterPage::SonarParameterPage(Configuration& config, SonarCommandPort& port,
                                       SonarPageHost& host)
    : config_(config), port_(port), host_(host) {}

void SonarParameterPage::initialise() {
    rowOf(Frequency::LF).visible = false;
    refresh();
}

void SonarParameterPage::refresh() {
    refreshSliders(Frequency::HF);
    refreshSliders(Frequency::LF);
    bool lfPresent = config_.device.FrequencyLayout != kLayoutHfOnly;
    config_.sonar.lf.channelEnabled = lfPresent;
    FrequencyRowState& lf = rowOf(Frequency::LF);
    lf.onOffChecked = lfPresent;
    lf.controlsEnabled = lfPresent;
    lf.visible = lfPresent;
}

void SonarParameterPage::refreshSliders(Frequency f) {
    SonarParameterSet& p = config_.sonar.of(f);
    const FrequencyLimits& lim = config_.device.limits.of(f);
    FrequencyRowState& row = rowOf(f);

    row.onOffChecked = p.channelEnabled;
    row.controlsEnabled = p.channelEnabled;
    row.onOffEnabled = !host_.playbackMode();

    SliderState& range = row.slider(SliderKind::Range);
    setSpan(range, lim.rangeMin, lim.rangeMax);
    range.lowLabel = number(rangeMetres(range.min));
    range.highLabel = number(rangeMetres(range.max));
    p.rangeLevel = bringInside(p.rangeLevel, range.min, range.max, 4);
    range.position = clampInto(p.rangeLevel, range.min, range.max);
    range.valueLabel = rangeText(p.rangeLevel);

    SliderState& power = row.slider(SliderKind::Power);
    setSpan(power, lim.powerMin, lim.powerMax);
    power.lowLabel.clear();
    power.highLabel.clear();
    if (f == Frequency::HF)
        p.powerLevel = bringInside(p.powerLevel, power.min, power.max, 5);
    else if (!inside(p.powerLevel, 0, 9))
        p.powerLevel = 5;
    power.position = clampInto(p.powerLevel, power.min, power.max);
    power.valueLabel = powerText(p.powerLevel);

    if (p.signalShape != 1 && p.signalShape != 2) p.signalShape = 1;
    row.signalShape = p.signalShape;

    SliderState& pulse = row.slider(SliderKind::Pulse);
    int maxWidth = maxPulseWidthUs(p.rangeLevel);
    int maxLevel = pulseLevelForWidth(maxWidth);
    setSpan(pulse, 0, maxLevel);
    pulse.lowLabel = "0";
    pulse.highLabel = pulseLimitLabel(maxWidth);
    if (!inside(p.pulseLevel, 0, maxLevel)) p.pulseLevel = maxLevel <= 3 ? maxLevel : 4;
    pulse.position = p.pulseLevel;
    pulse.valueLabel = pulseText(p.pulseLevel);

    SliderState& gain = row.slider(SliderKind::Gain);
    setSpan(gain, lim.gainMin, lim.gainMax);
    gain.lowLabel = number(gain.min);
    gain.highLabel = number(gain.max);
    p.gainLevel = bringInside(p.gainLevel, gain.min, gain.max, 0);
    gain.position = p.gainLevel;
    gain.valueLabel = gainText(p.gainLevel);

    SliderState& spreading = row.slider(SliderKind::Spreading);
    setSpan(spreading, lim.spreadingMin, lim.spreadingMax);
    spreading.lowLabel = number(plusTen(spreading.min));
    spreading.highLabel = number(plusTen(spreading.max));
    p.setSpreadingLevel(bringInside(p.spreadingLevel, spreading.min, spreading.max, 0));
    spreading.position = p.spreadingLevel;
    spreading.valueLabel = spreadingText(p.spreadingLevel);

    SliderState& absorption = row.slider(SliderKind::Absorption);
    setSpan(absorption, lim.absorptionMin, lim.absorptionMax);
    absorption.lowLabel = number(plusTen(absorption.min));
    absorption.highLabel = number(plusTen(absorption.max));
    p.setAbsorptionLevel(bringInside(p.absorptionLevel, absorption.min, absorption.max, 0));
    absorption.position = p.absorptionLevel;
    absorption.valueLabel = absorptionText(p.absorptionLevel);
}

std::string SonarParameterPage::labelFor(SliderKind kind, int level) const {
    switch (kind) {
    case SliderKind::Range:
        return rangeText(level);
    case SliderKind::Power:
        return powerText(level);
    case SliderKind::Pulse:
        return pulseText(level);
    case SliderKind::Gain:
        return gainText(level);
    case SliderKind::Spreading:
        return spreadingText(level);
    case SliderKind::Absorption:
        return absorptionText(level);
    }
    return {};
}

std::string SonarParameterPage::sliderMoving(Frequency f, SliderKind kind, int level) {
    SliderState& s = rowOf(f).slider(kind);
    level = clampInto(level, s.min, s.max);
    s.valueLabel = labelFor(kind, level);
    return s.valueLabel;
}

void SonarParameterPage::setPulseSpanForRange(Frequency f) {
    SonarParameterSet& p = config_.sonar.of(f);
    SliderState& pulse = rowOf(f).slider(SliderKind::Pulse);
    int maxWidth = maxPulseWidthUs(p.rangeLevel);
    int maxLevel = pulseLevelForWidth(maxWidth);
    setSpan(pulse, 0, maxLevel);
    pulse.lowLabel = "0";
    pulse.highLabel = pulseLimitLabel(maxWidth);
    p.pulseLevel = clampInto(p.pulseLevel, 0, maxLevel);
    pulse.position = p.pulseLevel;
    pulse.valueLabel = pulseText(p.pulseLevel);
}

void SonarParameterPage::sliderReleased(Frequency f, SliderKind kind, int level) {
    SliderState& s = rowOf(f).slider(kind);
    level = clampInto(level, s.min, s.max);
    s.valueLabel = labelFor(kind, level);
    s.position = level;

    SonarParameterSet& p = config_.sonar.of(f);
    int* stored = nullptr;
    switch (kind) {
    case SliderKind::Range:
        stored = &p.rangeLevel;
        break;
    case SliderKind::Power:
        stored = &p.powerLevel;
        break;
    case SliderKind::Pulse:
        stored = &p.pulseLevel;
        break;
    case SliderKind::Gain:
        stored = &p.gainLevel;
        break;
    case SliderKind::Spreading:
        stored = &p.spreadingLevel;
        break;
    case SliderKind::Absorption:
        stored = &p.absorptionLevel;
        break;
    }
    if (*stored == level) return;

    switch (kind) {
    case SliderKind::Range:
        p.rangeLevel = level;
        // A shorter range may not allow the current pulse: bring it down first,
        // so the one combined command carries a pulse the range allows.
        setPulseSpanForRange(f);
        if (connected()) port_.sendRangeCommand(f);
        host_.rangeCommitted(f);
        break;
    case SliderKind::Power:
    case SliderKind::Pulse:
        *stored = level;
        if (connected()) port_.sendTransmitCommand(f);
        break;
    case SliderKind::Gain:
        p.gainLevel = level;
        if (connected()) port_.sendGainCommand(f);
        break;
    case SliderKind::Spreading:
        p.setSpreadingLevel(level);
        if (connected()) port_.sendGainCommand(f);
        break;
    case SliderKind::Absorption:
        p.setAbsorptionLevel(level);
        if (connected()) port_.sendGainCommand(f);
        break;
    }
    saveIfProjectOpen();
}

void SonarParameterPage::onOffClicked(Frequency f, bool checked) {
    config_.sonar.of(f).channelEnabled = checked;
    FrequencyRowState& row = rowOf(f);
    row.onOffChecked = checked;
    row.controlsEnabled = checked;
    row.onOffEnabled = !host_.playbackMode();
    if (connected()) port_.sendChannelCommand();
    saveIfProjectOpen();
}

void SonarParameterPage::signalShapeChosen(Frequency f, int shape) {
    SonarParameterSet& p = config_.sonar.of(f);
    if (shape == p.signalShape) return;
    p.signalShape = shape;
    FrequencyRowState& row = rowOf(f);
    row.signalShape = shape;
    SliderState& pulse = row.slider(SliderKind::Pulse);
    if (shape == 2) {
        setSpan(pulse, 0, 2);
        pulse.lowLabel = "1000";
        pulse.highLabel = "4000";
        p.pulseLevel = 0;
    } else {
        setSpan(pulse, 0, 5);
        pulse.lowLabel = "15";
        pulse.highLabel = "500";
        p.pulseLevel = 3;
    }
    pulse.position = p.pulseLevel;
    pulse.valueLabel = number(pulseWidthUs(p.pulseLevel)) + " us";
    if (connected()) port_.sendTransmitCommand(f);
    saveIfProjectOpen();
}

void SonarParameterPage::saveIfProjectOpen() {
    if (auto path = host_.projectConfigPath()) config_.SaveConfigSection("SonarSetPara", *path);
}

} // namespace kestrova::app
