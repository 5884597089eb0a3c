// Drovanta: per-side display reprocessing of a sonar ping and the depth
// selection filter. Every step works in single precision and rounds each named
// intermediate to float before using it again, so that a display line (and the
// XTF file written from it) is the same on every build. Sample positions in the
// comments count from 1; the arrays below are indexed from 0.

#include "libs/drovanta/drovanta.h"
#include "libs/drovanta/single_math.h"

#include <cmath>
#include <cstring>

namespace {

using namespace kestrova::drovanta;

constexpr std::uint32_t kMaxLine = 86400;
constexpr std::int64_t kMinLine = 33;
constexpr std::uint32_t kWindow = 32;    // background window
constexpr std::uint32_t kOrderRank = 23; // rank of the order-statistic background

// Working lines of one call. Static: a call obtains no memory.
struct WorkingLines {
    std::uint32_t decimated[kMaxLine];  // D: after decimation, then after normalisation
    std::uint32_t background[kMaxLine]; // S
};
WorkingLines work;

// The hysteresis of one pair of bottom candidates (one per side).
struct DepthPair {
    std::uint8_t selection = 0; // 0 not yet chosen, 1 second candidate, 2 first candidate
    std::uint8_t counter = 0;   // contrary calls since the last choice
};
struct DepthSelection {
    DepthPair a;
    DepthPair b;
};
DepthSelection depthSelection;

inline float asFloat(std::uint32_t v) {
    return static_cast<float>(v);
}

float levelPolynomial(float u) {
    float q = 96.367805f * u;
    q = q - 293.4673f;
    q = q * u;
    q = q + 354.67657f;
    q = q * u;
    q = q - 214.47824f;
    q = q * u;
    q = q + 68.048256f;
    q = q * u;
    q = q - 10.525043f;
    q = q * u;
    q = q + 1.9195076f;
    q = q * u;
    q = q - 0.010215306f;
    return q;
}

// Written as selects: in the per-sample loop a branch here would follow the
// speckle. A NaN from a damaged gain state restarts at 1.
float limitGain(float w) {
    const float held = w > 100.0f ? 100.0f : w;
    return w >= 1.0f ? held : 1.0f;
}

// Peak picking. Returns the peak P over F < k <= N-1.
std::uint32_t decimate(const std::uint32_t* x, std::uint32_t n, float step, std::uint32_t count,
                       std::uint32_t first) {
    // Every element of D(1) ... D(N) is written below.
    std::uint32_t* d = work.decimated;
    d[0] = x[0];
    d[count - 1] = x[n - 1];
    if (step == 1.0f) {
        // p runs through the whole numbers 2 ... N-1 exactly: a plain copy.
        if (count > 2) std::memcpy(d + 1, x + 1, (count - 2) * sizeof(std::uint32_t));
    } else {
        float p = step;
        std::int64_t e = truncToInt64(roundSingle(step));
        const std::int64_t last = n;
        for (std::uint32_t k = 2; k <= count - 1; ++k) {
            p = p + step;
            const std::int64_t next = truncToInt64(roundSingle(p));
            // The float position drifts over a long line; never read past x(n).
            std::int64_t from = e + 1 < last ? e + 1 : last;
            std::int64_t to = next > e + 1 ? next : e + 1;
            if (to > last) to = last;
            std::uint32_t m = x[from - 1];
            for (std::int64_t j = from + 1; j <= to; ++j) {
                if (x[j - 1] > m) m = x[j - 1];
            }
            d[k - 1] = m;
            e = next;
        }
    }
    std::uint32_t peak = 0;
    for (std::uint32_t k = first + 1; k <= count - 1 && k > first; ++k) {
        if (d[k - 1] > peak) peak = d[k - 1];
    }
    return peak;
}

// Noise level L of the decimated line (0 or worse when the ping carries no level).
float levelEstimate(std::uint32_t count, std::uint32_t first, std::uint32_t peak) {
    const float peakF = asFloat(peak);
    const float lo = roundSingle(peakF * 0.05f);
    const float hi = roundSingle(peakF * 0.15f);
    std::uint32_t aboveLo = 0;
    std::uint32_t aboveHi = 0;
    const std::uint32_t* d = work.decimated;
    // hi >= lo, so a sample above hi is above lo too: both counts without branches.
    for (std::uint32_t k = first; k <= count - 1; ++k) {
        const float v = asFloat(d[k - 1]);
        aboveLo += v > lo ? 1u : 0u;
        aboveHi += v > hi ? 1u : 0u;
    }
    const float n = asFloat(count);
    const float uLo = asFloat(count - aboveLo) / n;
    const float uHi = asFloat(count - aboveHi) / n;
    const float a = lo / levelPolynomial(uLo);
    const float b = hi / levelPolynomial(uHi);
    const float sum = a + b;
    return roundSingle(sum * 0.5f);
}

// Normalisation of D(1) ... D(N-1) by the factor; the last sample stays as it came.
inline std::uint32_t normalised(std::uint32_t v, float factor) {
    return roundToSample(asFloat(v) * factor);
}

void normalise(std::uint32_t count, float factor) {
    std::uint32_t* d = work.decimated;
    for (std::uint32_t k = 1; k <= count - 1; ++k)
        d[k - 1] = normalised(d[k - 1], factor);
}

// Normalisation and the running mean in one pass: the mean at k needs
// normalised samples up to D(k+15), and its sum is a chain of dependent
// additions that leaves the processor room for the normalisation beside it.
void normaliseWithMeanBackground(std::uint32_t count, float factor) {
    std::uint32_t* d = work.decimated;
    std::uint32_t* s = work.background;
    float sum = 0.0f;
    for (std::uint32_t j = 1; j <= kWindow; ++j) {
        d[j - 1] = normalised(d[j - 1], factor);
        sum = sum + asFloat(d[j - 1]);
    }
    // The running sum drifts by rounding; a dark stretch after a bright one can
    // come out just below zero, and a saturated stretch at 2^32: hold both
    // within the sample range instead of letting them wrap.
    s[16] = saturate32(roundSingle(sum * 0.03125f));
    // D(33) ... D(N-1) are normalised as the window reaches them.
    for (std::uint32_t k = 18; k <= count - 16; ++k) {
        const std::uint32_t entering = normalised(d[k + 15 - 1], factor);
        d[k + 15 - 1] = entering;
        sum = (asFloat(entering) + sum) - asFloat(d[k - 17 - 1]);
        s[k - 1] = saturate32(roundSingle(sum * 0.03125f));
    }
}

// 23rd smallest of D(k-15) ... D(k+16), kept as a sorted sliding window in
// which each step replaces the leaving sample by the entering one.
void orderBackground(std::uint32_t count) {
    const std::uint32_t* d = work.decimated;
    std::uint32_t* s = work.background;
    std::uint32_t window[kWindow];
    for (std::uint32_t j = 0; j < kWindow; ++j) {
        const std::uint32_t v = d[j + 1]; // D(2) ... D(33)
        std::uint32_t i = j;
        while (i > 0 && window[i - 1] > v) {
            window[i] = window[i - 1];
            --i;
        }
        window[i] = v;
    }
    for (std::uint32_t k = 17;; ++k) {
        s[k - 1] = window[kOrderRank - 1];
        if (k == count - 16) break;
        const std::uint32_t leaving = d[k - 15 - 1];
        const std::uint32_t entering = d[k + 17 - 1];
        // Position of the leaving value (first of equals), by bisection.
        std::uint32_t lo = 0, hi = kWindow;
        while (lo < hi) {
            const std::uint32_t mid = (lo + hi) / 2;
            if (window[mid] < leaving) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        std::uint32_t at = lo;
        // Slide the neighbours over the gap until the entering value fits.
        while (at + 1 < kWindow && window[at + 1] < entering) {
            window[at] = window[at + 1];
            ++at;
        }
        while (at > 0 && window[at - 1] > entering) {
            window[at] = window[at - 1];
            --at;
        }
        window[at] = entering;
    }
}

// Window edge in metres of slant range to a sample of the decimated line,
// held within the line: a short line at a high sample rate puts the near edge
// before the first sample, and a very low rate puts the far edge past the last.
std::uint32_t windowIndex(float edge, float c, float fs, std::uint32_t count) {
    const float twice = 2.0f * edge;
    const float time = twice / c;
    const float t = roundSingle(time * fs);
    if (!(t >= 0.0f)) return 1;
    if (t >= asFloat(count)) return count;
    return static_cast<std::uint32_t>(t) + 1;
}

struct Bottom {
    std::uint32_t index = 0;
    float strength = 0.0f;
};

Bottom thresholdDetector(float c, float fs, std::uint32_t minDm, std::uint32_t maxDm,
                         std::uint32_t threshold, std::uint32_t count) {
    const std::uint32_t* d = work.decimated;
    const float covered = (c * asFloat(count)) / fs;
    const float range = covered * 0.5f;
    float nearEdge = asFloat(minDm) / 10.0f;
    float farEdge = asFloat(maxDm) / 10.0f;
    if (nearEdge > range - 0.5f) nearEdge = range - 0.5f;
    if (farEdge > range - 0.2f) farEdge = range - 0.2f;
    if (farEdge < nearEdge + 0.1f) farEdge = nearEdge + 0.1f;
    const std::uint32_t i0 = windowIndex(nearEdge, c, fs, count);
    std::uint32_t i1 = windowIndex(farEdge, c, fs, count);
    if (i1 < i0) i1 = i0;

    std::uint32_t m = d[i0 - 1];
    for (std::uint32_t i = i0 + 1; i <= i1; ++i) {
        if (d[i - 1] > m) m = d[i - 1];
    }
    const float part = asFloat(m) * 0.7f;
    const float level = roundSingle(part * (asFloat(threshold) / 10.0f));
    Bottom bottom;
    bottom.index = i1;
    for (std::uint32_t i = i0; i <= i1; ++i) {
        if (asFloat(d[i - 1]) > level) {
            bottom.index = i;
            break;
        }
    }
    bottom.strength = asFloat(m) * 4.656613e-10f;
    return bottom;
}

inline float mean(float sum, std::uint32_t count) {
    return sum / asFloat(count);
}

// (sum / count)^2 / (lead sum / lead count), 0 when the lead mean is 0.
float echoContrast(float sum, std::uint32_t count, float leadSum, std::uint32_t leadCount) {
    const float lead = mean(leadSum, leadCount);
    if (lead == 0.0f) return 0.0f;
    const float m = mean(sum, count);
    const float square = m * m;
    return square / lead;
}

// The automatic detector, one decimated sample at a time, so that the display
// loop can run it beside the gain curve and the display line: its levels are
// chains of dependent float operations, and the independent work of the other
// two fills the time the processor would otherwise wait on them.
class AutomaticDetector {
  public:
    // Samples `first` ... `count` are then handed to step() in order.
    AutomaticDetector(std::uint32_t first, std::uint32_t count, std::uint32_t peak)
        : count_(count), fastBelow_(asFloat(peak) * 0.03125f) {
        if (count < first) return;
        const std::uint32_t* s = work.background;
        std::uint32_t lead = count / 5;
        if (count % 5 >= 3) ++lead;
        if (lead > 300) lead = 300;
        // The starting window can reach past the end of a short line.
        const std::uint32_t leadEnd = first + lead < count ? first + lead : count;
        std::uint32_t start = s[first - 1];
        for (std::uint32_t k = first + 1; k <= leadEnd; ++k) {
            if (s[k - 1] < start) start = s[k - 1];
        }
        backgroundLevel_ = asFloat(start);
        signalLevel_ = backgroundLevel_;
    }

    void step(std::uint32_t i, float v) {
        const float thrice = 3.0f * backgroundLevel_;
        const float slow = (v - thrice > 0.0f) ? 0.0001f : 0.002f;
        const float rate = backgroundLevel_ < fastBelow_ ? 0.02f : slow;
        backgroundLevel_ = (v - backgroundLevel_) * rate + backgroundLevel_;
        signalLevel_ = (v - signalLevel_) * 0.05f + signalLevel_;
        accumulator_ = accumulator_ + signalLevel_;
        ++counted_;

        if (!open_) {
            if (signalLevel_ > 2.0f * backgroundLevel_) {
                open_ = true;
                echoStart_ = i;
                lastStart_ = i;
                echoLeadCount_ = counted_;
                echoLeadSum_ = accumulator_;
                accumulator_ = 0.0f;
            }
            return;
        }
        if (!(signalLevel_ < 1.2f * backgroundLevel_) && i != count_) return;
        closeEcho();
    }

    Bottom result() const {
        Bottom b = bottom_;
        if (b.index == 0) b.index = lastStart_;
        return b;
    }

  private:
    void closeEcho() {
        open_ = false;
        const float echoSum = accumulator_;
        const std::uint32_t echoCount = counted_;
        accumulator_ = 0.0f;
        counted_ = 0;

        bool best = false;
        if (!haveBest_ && echoLeadCount_ != 0) {
            best = true;
        } else {
            const float rho1 = echoContrast(echoSum, echoCount, echoLeadSum_, echoLeadCount_);
            float rho2 = 0.0f;
            if (bestCount_ != 0 && bestLeadCount_ != 0) {
                const float divisor =
                    echoContrast(bestSum_, bestCount_, bestLeadSum_, bestLeadCount_);
                if (divisor != 0.0f) rho2 = rho1 / divisor;
            }
            const float rho3 = bestCount_ == 0 ? 0.0f : asFloat(echoCount) / asFloat(bestCount_);
            const std::uint32_t below = echoLeadCount_ + bestLeadCount_;
            const float rho4 =
                below == 0 ? 0.0f : asFloat(echoLeadCount_ + echoCount) / asFloat(below);
            const float a = 0.3f * rho3;
            const float b = 0.5f * rho2;
            const float c = 0.2f * rho4;
            const float score = (a + b) + c;
            best = score > 1.0f;
        }
        if (best) {
            haveBest_ = true;
            bottom_.index = echoStart_;
            bestSum_ = echoSum;
            bestCount_ = echoCount;
            bestLeadSum_ = echoLeadSum_;
            bestLeadCount_ = echoLeadCount_;
        }
        if (haveBest_ && bestCount_ != 0 && bestLeadCount_ != 0) {
            bottom_.strength = echoContrast(bestSum_, bestCount_, bestLeadSum_, bestLeadCount_);
        } else {
            bottom_.strength = 0.0f;
        }
    }

    std::uint32_t count_;
    float fastBelow_;
    float backgroundLevel_ = 0.0f;
    float signalLevel_ = 0.0f;
    float accumulator_ = 0.0f;
    std::uint32_t counted_ = 0;

    bool open_ = false;
    std::uint32_t echoStart_ = 0;
    std::uint32_t echoLeadCount_ = 0;
    float echoLeadSum_ = 0.0f;
    std::uint32_t lastStart_ = 0;

    bool haveBest_ = false;
    float bestSum_ = 0.0f;
    std::uint32_t bestCount_ = 0;
    float bestLeadSum_ = 0.0f;
    std::uint32_t bestLeadCount_ = 0;
    Bottom bottom_;
};

void choose(DepthPair& pair, bool afresh, std::uint32_t index1, float strength1,
            std::uint32_t index2, float strength2, std::uint32_t* selected) {
    std::uint32_t chosen = index1;
    if (pair.selection == 0 || afresh) {
        if (strength2 > strength1) {
            pair.selection = 1;
            chosen = index2;
        } else {
            pair.selection = 2;
            chosen = index1;
        }
        pair.counter = 0;
    } else if (pair.selection == 1) {
        if (strength2 < strength1) {
            ++pair.counter;
            if (pair.counter > 10) {
                pair.selection = 2;
                pair.counter = 0;
            }
        }
        chosen = index2;
    } else {
        if (strength2 >= strength1) {
            ++pair.counter;
            if (pair.counter > 10) {
                pair.selection = 1;
                pair.counter = 0;
            }
        }
        chosen = index1;
    }
    if (selected) *selected = chosen;
}

bool positiveFinite(float v) {
    return v > 0.0f && isFiniteSingle(v);
}

} // namespace

extern "C" DROVANTA_API void
sss_display_repro(const uint32_t* samples, uint32_t sample_count, uint8_t reset, float sample_rate,
                  float step, uint8_t use_mean, uint32_t input_full_scale, uint32_t /*reserved_8*/,
                  uint32_t output_full_scale, uint32_t first_index, float /*reserved_11*/,
                  float /*reserved_12*/, float sound_speed, uint32_t min_range_dm,
                  uint32_t max_range_dm, uint32_t threshold, const void* /*reserved_17*/,
                  float* gain_state, uint16_t* line, uint32_t* line_length, uint32_t* bottom_index,
                  float* bottom_strength) {
    // 1. Step and length.
    const float stepUsed = step >= 1.0f ? step : 1.0f; // NaN is taken as 1 too
    const float ratio = asFloat(sample_count) / stepUsed;
    const std::int64_t length = truncToInt64(roundSingle(floorSingle(ratio)));

    // A line the library cannot hold, or a ping without a usable sample rate
    // or sound speed, produces nothing; the caller's arrays are left alone.
    if (length < kMinLine || length > kMaxLine || !samples || !gain_state || !line ||
        !line_length || !bottom_index || !bottom_strength || !positiveFinite(sample_rate) ||
        !positiveFinite(sound_speed)) {
        if (line_length) *line_length = 0;
        if (bottom_index) *bottom_index = 0;
        if (bottom_strength) *bottom_strength = 0.0f;
        return;
    }
    const std::uint32_t count = static_cast<std::uint32_t>(length);
    *line_length = count;
    const bool restart = reset != 0;
    const float fs = sample_rate;

    // 2. Adaptation rate.
    const float rateBase = 48000.0f / fs;
    const float rate = rateBase * 0.02f;

    // 3. Blanking.
    const float halfMs = fs * 0.0005f;
    std::uint32_t blank = low32(roundSingle(halfMs * 0.5f));
    if (blank < 20) blank = 20;
    const std::uint32_t first = first_index < blank ? blank : first_index;

    // 4. Decimation and peak.
    const std::uint32_t peak = decimate(samples, sample_count, stepUsed, count, first);

    // 5.-6. Level estimate and normalisation factor. A ping without a level
    // (all zeros, or so flat that the level comes out negative) would make the
    // factor infinite or negative for good: the previous factor is kept.
    const float level = levelEstimate(count, first, peak);
    const float previous = gain_state[0];
    const bool previousUsable = isFiniteSingle(previous) && previous >= 0.0f;
    float factor;
    if (level > 0.0f && isFiniteSingle(level)) {
        const float scaled = level * 12.0f;
        factor = 4294967296.0f / scaled;
        if (!restart && previousUsable) {
            const float own = factor * 0.05f;
            const float kept = previous * 0.95f;
            factor = own + kept;
        }
    } else {
        factor = previousUsable ? previous : 0.0f;
    }
    gain_state[0] = factor;

    // 7.-8. Normalisation (the last sample stays as it came) and background.
    std::uint32_t* d = work.decimated;
    std::uint32_t* s = work.background;
    if (use_mean != 0) {
        normaliseWithMeanBackground(count, factor);
    } else {
        normalise(count, factor);
        orderBackground(count);
    }
    const float peakScaled = factor * asFloat(peak);
    const std::uint32_t peakNorm =
        peakScaled < 4294967296.0f ? low32(roundSingle(peakScaled)) : 4294967295u;
    for (std::uint32_t k = 1; k <= 16; ++k)
        s[k - 1] = s[16];
    for (std::uint32_t k = count - 15; k <= count; ++k)
        s[k - 1] = s[count - 17];

    // 9. Gain start.
    std::uint32_t gainStart = first;
    if (floorSingle(asFloat(first) * stepUsed) <= 17.0f) gainStart = 17;

    // 10.-12. Bottom detection on the decimated line, the gain curve and the
    // display line. The gain and the line do not depend on the bottom, so the
    // automatic detector runs in the same pass over the line.
    const float kr = rate * 2.7939677e-9f;
    const std::uint16_t fullScale = static_cast<std::uint16_t>(output_full_scale);
    const float outFull = static_cast<float>(fullScale);
    const float scale = outFull / asFloat(input_full_scale);
    const bool automatic = threshold == 0;
    Bottom bottom;
    if (!automatic) {
        bottom = thresholdDetector(sound_speed, fs / stepUsed, min_range_dm, max_range_dm,
                                   threshold, count);
    }
    AutomaticDetector detector(gainStart, count, peakNorm);
    if (gainStart <= count) {
        float w = 1.0f;
        for (std::uint32_t k = gainStart; k <= count; ++k) {
            const float v = asFloat(d[k - 1]);
            if (automatic) detector.step(k, v);
            // When the settings changed the curve starts afresh from 1,
            // otherwise each element adapts from its value of the last ping.
            if (!restart) w = gain_state[k - 1];
            const float load = asFloat(s[k - 1]) * w;
            const float change = rate - load * kr;
            w = limitGain(w + change);
            gain_state[k - 1] = w;
            const float amplified = v * w;
            line[k - 1] = roundToPixel(amplified * scale, outFull, fullScale);
        }
    }
    if (automatic) bottom = detector.result();
    *bottom_index = bottom.index;
    *bottom_strength = bottom.strength;
    const float seconds = asFloat(bottom.index) / fs;
    const float metres = seconds * 1500.0f;
    gain_state[1] = metres * 0.5f;

    // When the blanking covers the whole line there is no gain curve; the
    // line is then scaled with gain 1. Before the gain start the line takes
    // the curve's first value.
    const float nearGain = gainStart <= count ? gain_state[gainStart - 1] : 1.0f;
    const std::uint32_t nearEnd = gainStart <= count ? gainStart - 1 : count;
    for (std::uint32_t k = 1; k <= nearEnd; ++k) {
        const float amplified = asFloat(d[k - 1]) * nearGain;
        line[k - 1] = roundToPixel(amplified * scale, outFull, fullScale);
    }
}

extern "C" DROVANTA_API void sss_display_repro_initialize(void) {
    depthSelection = DepthSelection{};
}

extern "C" DROVANTA_API void sss_display_repro_terminate(void) {}

extern "C" DROVANTA_API void
depth_select_filter(float sound_speed, float sample_rate, uint8_t use_pair_b, float beam_width,
                    float tilt, float reset, uint32_t a_index_1, float a_strength_1,
                    uint32_t a_index_2, float a_strength_2, uint32_t b_index_1, float b_strength_1,
                    uint32_t b_index_2, float b_strength_2, float* cleared, float* altitude,
                    uint32_t* a_selected, uint32_t* b_selected) {
    if (cleared) *cleared = 0.0f;

    std::uint32_t chosenA = 0;
    std::uint32_t chosenB = 0;
    choose(depthSelection.a, reset == 1.0f, a_index_1, a_strength_1, a_index_2, a_strength_2,
           &chosenA);
    choose(depthSelection.b, reset != 0.0f, b_index_1, b_strength_1, b_index_2, b_strength_2,
           &chosenB);
    if (a_selected) *a_selected = chosenA;
    if (b_selected) *b_selected = chosenB;

    const float half = beam_width * 0.5f;
    const float edge = half + tilt;
    const float fromVertical = 90.0f - edge;
    const float part = fromVertical / 180.0f;
    const float theta = part * 3.1415925f;
    const float cosine = static_cast<float>(std::cos(static_cast<double>(theta)));
    const std::uint32_t index = use_pair_b != 0 ? chosenB : chosenA;
    const float seconds = asFloat(index) / sample_rate;
    const float path = seconds * sound_speed;
    const float slant = path * 0.5f;
    if (altitude) *altitude = slant * cosine;
}
