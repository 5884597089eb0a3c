// sss_display_repro on small lines whose steps can be followed by hand. Each
// expectation below is worked out from the documented steps in the comment
// beside it; arrays are exactly as long as the library may use, so the
// sanitizer build catches any access past them.

#include "libs/drovanta/tests/repro_call.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using namespace kestrova::drovanta::test;

namespace {

constexpr std::uint32_t kFar = 1000000; // a first_index beyond every test line

// A first_index beyond the line leaves no samples for the level estimate, so
// the factor is kept from gain_state(1), and no gain curve, so the gain is 1:
// with both full scales 65535 the display line then shows D itself.
ReproArgs plainView() {
    ReproArgs a;
    a.firstIndex = kFar;
    a.inputFullScale = 65535;
    a.outputFullScale = 65535;
    a.reset = 0;
    return a;
}

std::vector<std::uint32_t> ramp(std::size_t n, std::uint32_t scale = 10) {
    std::vector<std::uint32_t> x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = static_cast<std::uint32_t>((i + 1) * scale);
    return x;
}

} // namespace

// --- Length and rejection -------------------------------------------------

TEST(ReproLength, LineLengthIsWholePartOfCountOverStep) {
    auto x = ramp(100);
    struct Case {
        float step;
        std::uint32_t n;
    };
    for (const Case c : {Case{3.0f, 33}, Case{2.9f, 34}, Case{1.0f, 100}, Case{2.0f, 50}}) {
        ReproArgs a;
        a.step = c.step;
        Side side(c.n);
        EXPECT_EQ(side.run(x, a).length, c.n) << "step " << c.step;
    }
}

TEST(ReproLength, StepBelowOneOrNotANumberIsTakenAsOne) {
    auto x = ramp(200, 1000);
    ReproArgs a;
    Side one(200), half(200), nan(200);
    a.step = 1.0f;
    one.run(x, a);
    a.step = 0.5f;
    EXPECT_EQ(half.run(x, a).length, 200u);
    a.step = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(nan.run(x, a).length, 200u);
    EXPECT_EQ(half.line, one.line);
    EXPECT_EQ(half.gain, one.gain);
    EXPECT_EQ(nan.line, one.line);
}

TEST(ReproLength, LinesOutsideThirtyThreeToEightySixThousandFourHundredAreRejectedUntouched) {
    struct Case {
        std::size_t n;
        float step;
    };
    // 32 samples; 100 / 3.1 -> 32; 86401; 172802 / 2 -> 86401.
    for (const Case c : {Case{32, 1.0f}, Case{100, 3.1f}, Case{86401, 1.0f}, Case{172802, 2.0f}}) {
        std::vector<std::uint32_t> x(c.n, 5000);
        // Arrays sized to what the caller would have for a short line: any
        // write by a rejected call shows as a changed sentinel or as an overrun.
        Side side(32, -7.0f);
        for (auto& v : side.line)
            v = 0xBEEF;
        ReproArgs a;
        a.step = c.step;
        const ReproOut out = side.run(x, a);
        EXPECT_EQ(out.length, 0u) << c.n;
        EXPECT_EQ(out.bottom, 0u);
        EXPECT_EQ(out.strength, 0.0f);
        for (auto v : side.line)
            ASSERT_EQ(v, 0xBEEF);
        for (auto v : side.gain)
            ASSERT_EQ(v, -7.0f);
    }
}

TEST(ReproLength, LinesAtBothLimitsAreProcessedWithinExactArrays) {
    for (std::size_t n : {std::size_t{33}, std::size_t{86400}}) {
        std::vector<std::uint32_t> x(n);
        for (std::size_t i = 0; i < n; ++i)
            x[i] = static_cast<std::uint32_t>(1000 + (i * 37) % 900);
        Side side(n);
        EXPECT_EQ(side.run(x, ReproArgs{}).length, n);
    }
    // 172801 raw samples at step 2 make 86400 display samples.
    std::vector<std::uint32_t> x(172801, 4000);
    Side side(86400);
    ReproArgs a;
    a.step = 2.0f;
    EXPECT_EQ(side.run(x, a).length, 86400u);
}

TEST(ReproLength, UnusableSampleRateOrSoundSpeedIsRejected) {
    auto x = ramp(100);
    const float bad[] = {0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity()};
    for (float v : bad) {
        for (int which = 0; which < 2; ++which) {
            ReproArgs a;
            (which == 0 ? a.sampleRate : a.soundSpeed) = v;
            Side side(100, 3.0f);
            EXPECT_EQ(side.run(x, a).length, 0u) << v;
            for (auto g : side.gain)
                ASSERT_EQ(g, 3.0f);
        }
    }
}

TEST(ReproLength, MissingOutputPointersAreRejectedWithoutCrash) {
    auto x = ramp(100);
    std::vector<float> gain(100);
    std::vector<std::uint16_t> line(100);
    std::uint32_t length = 7, bottom = 7;
    float strength = 7;
    sss_display_repro(x.data(), 100, 1, 48000, 1, 1, 4294967295u, 0, 32767, 0, 0, 0, 1500, 10, 100,
                      0, nullptr, gain.data(), nullptr, &length, &bottom, &strength);
    EXPECT_EQ(length, 0u);
    sss_display_repro(nullptr, 100, 1, 48000, 1, 1, 4294967295u, 0, 32767, 0, 0, 0, 1500, 10, 100,
                      0, nullptr, gain.data(), line.data(), &length, &bottom, &strength);
    EXPECT_EQ(length, 0u);
    sss_display_repro(x.data(), 100, 1, 48000, 1, 1, 4294967295u, 0, 32767, 0, 0, 0, 1500, 10, 100,
                      0, nullptr, gain.data(), line.data(), nullptr, nullptr, nullptr);
}

// --- Decimation -------------------------------------------------------------

TEST(ReproDecimation, StepOneCopiesTheInput) {
    auto x = ramp(120, 7);
    Side side(120, 1.0f); // factor 1 kept (no level), gain 1, scale 1
    side.run(x, plainView());
    for (std::size_t k = 1; k <= 120; ++k)
        ASSERT_EQ(side.at(k), x[k - 1]) << k;
}

TEST(ReproDecimation, PeakPickingTakesTheLargestSampleOfEachStep) {
    // step 2.5: p = 2.5, e = round(2.5) = 3; k=2: p=5, e'=5 -> x(4..5);
    // k=3: p=7.5, e'=8 -> x(6..8); k=4: p=10 -> x(9..10); k=5: p=12.5, e'=13 -> x(11..13).
    // N = floor(100 / 2.5) = 40; D(1) = x(1), D(40) = x(100).
    std::vector<std::uint32_t> rising = ramp(100);
    std::vector<std::uint32_t> falling(100);
    for (std::size_t i = 0; i < 100; ++i)
        falling[i] = static_cast<std::uint32_t>(2000 - 10 * i);
    ReproArgs a = plainView();
    a.step = 2.5f;

    Side up(40, 1.0f);
    EXPECT_EQ(up.run(rising, a).length, 40u);
    EXPECT_EQ(up.at(1), 10); // x(1)
    EXPECT_EQ(up.at(2), 50); // x(5)
    EXPECT_EQ(up.at(3), 80); // x(8)
    EXPECT_EQ(up.at(4), 100);
    EXPECT_EQ(up.at(5), 130);
    EXPECT_EQ(up.at(40), 1000); // x(100), the last raw sample

    Side down(40, 1.0f);
    down.run(falling, a);
    EXPECT_EQ(down.at(2), 2000 - 30);  // x(4)
    EXPECT_EQ(down.at(3), 2000 - 50);  // x(6)
    EXPECT_EQ(down.at(4), 2000 - 80);  // x(9)
    EXPECT_EQ(down.at(5), 2000 - 100); // x(11)
}

TEST(ReproDecimation, DriftingPositionOnALongLineNeverReadsPastTheLastSample) {
    // 1.37 is not exact in binary: over 86000 steps the float position drifts.
    const std::size_t n = 117820;
    std::vector<std::uint32_t> x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = static_cast<std::uint32_t>((i + 1) / 2);
    ReproArgs a = plainView();
    a.step = 1.37f;
    const std::uint32_t count = static_cast<std::uint32_t>(std::floor(float(n) / 1.37f));
    Side side(count, 1.0f);
    EXPECT_EQ(side.run(x, a).length, count);
    for (std::size_t k = 2; k <= count; ++k)
        ASSERT_GE(side.at(k), side.at(k - 1)) << k;
    EXPECT_LE(side.at(count - 1), x[n - 1]);
}

// --- Level estimate and normalisation factor ----------------------------------

namespace {

// N = 100 at 48 kHz: F = 20 (blanking round(48000 x 0.00025) = 12 is raised to 20).
// All samples 100 except x(50) = 1000. P = 1000, lo = 50, hi = 150. Over k = 20..99
// (80 samples) c_lo = 80 and c_hi = 1, so u_lo = 20/100 = 0.2 and u_hi = 99/100.
// q(0.2) = 0.2498535 and q(0.99) = 2.3960848, so L = round((50/0.2498535 +
// 150/2.3960848) x 0.5) = round(131.36) = 131 and g = 2^32 / (131 x 12).
std::vector<std::uint32_t> levelLine() {
    std::vector<std::uint32_t> x(100, 100);
    x[49] = 1000;
    return x;
}
const float kLevelFactor = 4294967296.0f / 1572.0f;

} // namespace

TEST(ReproLevel, FactorFollowsTheLevelEstimate) {
    Side side(100);
    side.run(levelLine(), ReproArgs{});
    EXPECT_EQ(side.g(1), kLevelFactor);
}

TEST(ReproLevel, FactorBlendsWithThePreviousOneUnlessReset) {
    Side side(100);
    side.gain[0] = 1000.0f;
    ReproArgs a;
    a.reset = 0;
    side.run(levelLine(), a);
    EXPECT_EQ(side.g(1), kLevelFactor * 0.05f + 1000.0f * 0.95f);

    // Reset: the previous factor is ignored.
    side.gain[0] = 1000.0f;
    a.reset = 1;
    side.run(levelLine(), a);
    EXPECT_EQ(side.g(1), kLevelFactor);
}

TEST(ReproLevel, ZeroPingKeepsThePreviousFactorInsteadOfInfinity) {
    std::vector<std::uint32_t> zeros(300, 0);
    for (std::uint8_t reset : {std::uint8_t{0}, std::uint8_t{1}}) {
        Side side(300);
        side.gain[0] = 12345.0f;
        ReproArgs a;
        a.reset = reset;
        const ReproOut out = side.run(zeros, a);
        EXPECT_EQ(side.g(1), 12345.0f) << int(reset);
        EXPECT_EQ(out.bottom, 0u);
        for (auto v : side.line)
            ASSERT_EQ(v, 0);
        for (std::size_t k = 20; k <= 300; ++k)
            ASSERT_TRUE(std::isfinite(side.g(k)));
    }
    // The next ping with echoes recovers: the factor is a finite positive value.
    Side side(100);
    side.gain[0] = 12345.0f;
    ReproArgs a;
    a.reset = 0;
    std::vector<std::uint32_t> zeroLine(100, 0);
    side.run(zeroLine, a);
    side.run(levelLine(), a);
    EXPECT_EQ(side.g(1), kLevelFactor * 0.05f + 12345.0f * 0.95f);
}

TEST(ReproLevel, DamagedPreviousFactorIsNotCarriedOn) {
    for (float damaged :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -5.0f}) {
        Side side(100);
        side.gain[0] = damaged;
        ReproArgs a;
        a.reset = 0;
        side.run(levelLine(), a);
        EXPECT_EQ(side.g(1), kLevelFactor) << damaged;
    }
}

TEST(ReproLevel, FlatPingWhoseLevelComesOutNegativeKeepsThePreviousFactor) {
    // 86400 equal samples: c_lo = 86380 of k = 20..86399, u = 20/86400 and
    // q(u) = -0.0098 < 0, which would make the factor negative and the
    // normalised samples wrap to huge values.
    std::vector<std::uint32_t> flat(86400, 1000);
    Side side(86400);
    side.gain[0] = 5000.0f;
    side.run(flat, ReproArgs{});
    EXPECT_EQ(side.g(1), 5000.0f);
}

// --- Background and gain curve --------------------------------------------------

namespace {

// N = 200 at 3840 Hz: r = 48000/3840 x 0.02 = 0.25 exactly, blanking
// round(0.96) = 1 -> F = V = 20. x = 0 up to sample 120, 1000 after it.
std::vector<std::uint32_t> darkThenBright() {
    std::vector<std::uint32_t> x(200, 0);
    for (std::size_t k = 121; k <= 200; ++k)
        x[k - 1] = 1000;
    return x;
}

ReproArgs slowRate() {
    ReproArgs a;
    a.sampleRate = 3840.0f;
    return a;
}

} // namespace

TEST(ReproBackground, MovingMeanWindowEndsFifteenSamplesAhead) {
    // Mean window of S(k) is D(k-16) ... D(k+15): zero up to k = 105. With reset
    // the gain then runs w = w + 0.25 from 1: gs(k) = 1 + 0.25 (k - 19).
    Side side(200, -7.0f);
    side.run(darkThenBright(), slowRate());
    for (std::size_t k = 20; k <= 105; ++k)
        ASSERT_EQ(side.g(k), 1.0f + 0.25f * float(k - 19)) << k;
    EXPECT_EQ(side.g(105), 22.5f);
    EXPECT_LT(side.g(106), 22.75f); // D(121) enters the window
    for (std::size_t k = 3; k <= 19; ++k)
        ASSERT_EQ(side.g(k), -7.0f) << "not part of the curve";
}

TEST(ReproBackground, OrderStatisticIsTheTwentyThirdSmallestOfThirtyTwo) {
    // Window D(k-15) ... D(k+16) holds k - 104 bright samples; the 23rd smallest
    // stays 0 while at most 9 are bright: up to k = 113.
    Side side(200);
    ReproArgs a = slowRate();
    a.useMean = 0;
    side.run(darkThenBright(), a);
    EXPECT_EQ(side.g(113), 1.0f + 0.25f * 94.0f);
    EXPECT_LT(side.g(114), 24.75f);
}

TEST(ReproGain, BlankingBelowTwentyIsRaisedAndTheCurveStartsThere) {
    Side low(200, -7.0f), twenty(200, -7.0f), thirty(200, -7.0f);
    ReproArgs a = slowRate();
    a.firstIndex = 5;
    low.run(darkThenBright(), a);
    a.firstIndex = 20;
    twenty.run(darkThenBright(), a);
    EXPECT_EQ(low.gain, twenty.gain);
    EXPECT_EQ(low.line, twenty.line);
    a.firstIndex = 30;
    thirty.run(darkThenBright(), a);
    EXPECT_EQ(thirty.g(29), -7.0f);
    EXPECT_EQ(thirty.g(30), 1.25f);
}

TEST(ReproGain, CurveIsCarriedFromPingToPingAndLimitedToOneHundred) {
    Side side(200);
    ReproArgs a = slowRate();
    side.run(darkThenBright(), a); // reset: gs(20) = 1.25 ... gs(105) = 22.5
    a.reset = 0;
    side.run(darkThenBright(), a); // each dark element grows by r = 0.25
    EXPECT_EQ(side.g(20), 1.5f);
    EXPECT_EQ(side.g(105), 22.75f);
    for (int ping = 0; ping < 400; ++ping)
        side.run(darkThenBright(), a);
    EXPECT_EQ(side.g(20), 100.0f);
    EXPECT_EQ(side.g(105), 100.0f);
    // A reset ping rebuilds the curve from this ping alone.
    a.reset = 1;
    side.run(darkThenBright(), a);
    EXPECT_EQ(side.g(20), 1.25f);
}

TEST(ReproGain, FirstPingWithoutResetOnAnEmptyStateGivesRateAndAFifthOfTheFactor) {
    // fs = 480: r = 100 x 0.02 = 2. From gs = 0: gs(k) = 0 + (2 - S x 0 x k_r) = 2.
    std::vector<std::uint32_t> x = levelLine();
    ReproArgs a;
    a.sampleRate = 480.0f;
    Side fresh(100);
    fresh.run(x, a); // reset: this ping's own factor
    Side empty(100);
    a.reset = 0;
    empty.run(x, a);
    EXPECT_EQ(empty.g(1), fresh.g(1) * 0.05f);
    for (std::size_t k = 20; k <= 100; ++k)
        ASSERT_EQ(empty.g(k), 2.0f) << k;
}

TEST(ReproGain, CurveSettlesWhereBackgroundTimesGainIsAThirdOfTwoToTheThirty) {
    // Every fourth sample four times brighter: the level sits well below the
    // mean, so the settled gain lies inside [1, 100].
    std::vector<std::uint32_t> x(400);
    for (std::size_t i = 0; i < 400; ++i)
        x[i] = (i % 4 == 0) ? 4000 : 1000;
    Side side(400);
    ReproArgs a;
    a.sampleRate = 4800.0f; // r = 0.19999999
    side.run(x, a);
    a.reset = 0;
    for (int ping = 0; ping < 300; ++ping)
        side.run(x, a);
    // Mid line the background is the mean of eight bright and 24 plain samples.
    const float g = side.g(1);
    const double bright = std::round(4000.0 * g), plain = std::round(1000.0 * g);
    const double background = (8 * bright + 24 * plain) / 32;
    const double settled = (1073741824.0 / 3.0) / background;
    ASSERT_GT(settled, 1.5);
    ASSERT_LT(settled, 100.0);
    for (std::size_t k = 60; k <= 340; ++k)
        ASSERT_NEAR(side.g(k), settled, settled * 1e-3) << k;
}

// --- Bottom detection --------------------------------------------------------------

namespace {

// N = 100 at 48 kHz, c = 1500: window index = round(64 x metres) + 1; the line
// covers R = 1500 x 100 / 48000 x 0.5 = 1.5625 m, so far <= 1.3625 m -> i1 <= 88.
std::vector<std::uint32_t> rampedBottom() {
    std::vector<std::uint32_t> x(100, 100);
    const std::uint32_t rise[] = {200, 400, 600, 800, 1000, 700, 300}; // samples 40..46
    for (std::size_t j = 0; j < 7; ++j)
        x[39 + j] = rise[j];
    return x;
}

ReproArgs thresholdArgs(std::uint32_t threshold, std::uint32_t minDm, std::uint32_t maxDm) {
    ReproArgs a;
    a.threshold = threshold;
    a.minRangeDm = minDm;
    a.maxRangeDm = maxDm;
    return a;
}

} // namespace

TEST(ReproThresholdDetector, BottomIsTheFirstSampleAboveTheThresholdShareOfTheMaximum) {
    // Window: near 0.2 m -> i0 = round(12.8) + 1 = 14; far capped at 1.3625 m -> i1 = 88.
    struct Case {
        std::uint32_t threshold;
        std::uint32_t bottom;
    };
    // 10: t = 0.7 m -> first above 700 is 800 at 43; 5: t = 0.35 m -> 400 at 41;
    // 1: t = 0.07 m -> the plain samples (100) already exceed it -> i0 = 14;
    // 15: t = 1.05 m exceeds the maximum -> the far edge i1 = 88.
    for (const Case c : {Case{10, 43}, Case{5, 41}, Case{1, 14}, Case{15, 88}, Case{30, 88}}) {
        Side side(100);
        const ReproOut out = side.run(rampedBottom(), thresholdArgs(c.threshold, 2, 1000));
        EXPECT_EQ(out.bottom, c.bottom) << "threshold " << c.threshold;
        // Strength m / 2^31 with m = D(44) = round(1000 g).
        const float m = std::round(1000.0f * side.g(1));
        EXPECT_EQ(out.strength, m * 4.656613e-10f);
        // Slant range of the bottom: index / fs x 1500 x 0.5.
        EXPECT_FLOAT_EQ(side.g(2), float(c.bottom) / 48000.0f * 750.0f);
    }
}

TEST(ReproThresholdDetector, WindowEdgesFollowTheRangesInTenthsOfAMetre) {
    // far 0.5 m -> i1 = 33: the rise at 40..46 lies outside, the window maximum is
    // a plain sample and the first sample of the window already exceeds 0.7 of it.
    Side side(100);
    EXPECT_EQ(side.run(rampedBottom(), thresholdArgs(10, 2, 5)).bottom, 14u);
    EXPECT_EQ(side.run(rampedBottom(), thresholdArgs(15, 2, 5)).bottom, 33u);
    // near 1.0 m beyond far 0.2 m: far is raised to 1.1 m -> i0 = 65, i1 = round(70.4) + 1 = 71.
    EXPECT_EQ(side.run(rampedBottom(), thresholdArgs(10, 10, 2)).bottom, 65u);
    EXPECT_EQ(side.run(rampedBottom(), thresholdArgs(15, 10, 2)).bottom, 71u);
}

TEST(ReproThresholdDetector, WindowBeforeTheFirstSampleIsHeldInsideTheLine) {
    // 40 samples at 2 MHz cover R = 0.015 m: near and far drop below zero and
    // the window indices would be about -1292 and -492.
    std::vector<std::uint32_t> x(40, 500);
    Side side(40);
    ReproArgs a = thresholdArgs(15, 10, 100);
    a.sampleRate = 2000000.0f;
    EXPECT_EQ(side.run(x, a).bottom, 1u);
}

TEST(ReproThresholdDetector, WindowPastTheLastSampleIsHeldInsideTheLine) {
    // 200 samples at 100 Hz cover R = 1500 m; far is capped at 1499.8 m, whose
    // index round(199.97) + 1 = 201 lies one past the line.
    std::vector<std::uint32_t> x(200, 500);
    Side side(200);
    ReproArgs a = thresholdArgs(15, 10, 20000);
    a.sampleRate = 100.0f;
    EXPECT_EQ(side.run(x, a).bottom, 200u);
}

namespace {

// Water column of level a up to sample 199, bottom of 50 a from sample 200 to
// 299, water level again after it; N = 400 at 48 kHz, V = 20.
// Before 200 both levels sit at mu = S = a. At i = 200: sigma = a + 49a x 0.05 =
// 3.45a, beta = a + 49a x 0.02 = 1.98a (beta < P'/32 = 1.56a), no echo (2 beta =
// 3.96a). At i = 201: beta >= P'/32 and d > 3 beta, rate 0.0001: beta = 1.9848a,
// sigma = 5.78a > 2 beta: the echo opens at 201.
std::vector<std::uint32_t> waterThenBottom(std::uint32_t a) {
    std::vector<std::uint32_t> x(400, a);
    for (std::size_t k = 200; k <= 299; ++k)
        x[k - 1] = 50 * a;
    return x;
}

} // namespace

TEST(ReproAutomaticDetector, EchoOpensWhereTheSignalLevelPassesTwiceTheBackground) {
    Side side(400);
    const ReproOut out = side.run(waterThenBottom(1000), ReproArgs{});
    EXPECT_EQ(out.bottom, 201u);
    EXPECT_GT(out.strength, 0.0f);
    EXPECT_FLOAT_EQ(side.g(2), 201.0f / 48000.0f * 750.0f);
}

TEST(ReproAutomaticDetector, StrongBottomReplacesAnEarlierWeakEcho) {
    // A fish of 20 a at samples 100..109 opens an echo first (sigma = 3.71a >
    // 2 beta = 3.51a at 102); the bottom's contrast is some 40 times larger and
    // takes over (0.5 rho2 alone exceeds 1).
    std::vector<std::uint32_t> x = waterThenBottom(1000);
    for (std::size_t k = 100; k <= 109; ++k)
        x[k - 1] = 20000;
    Side side(400);
    const ReproOut out = side.run(x, ReproArgs{});
    EXPECT_GE(out.bottom, 200u);
    EXPECT_LE(out.bottom, 202u);
}

TEST(ReproAutomaticDetector, NoEchoInAnEvenLineGivesNoBottom) {
    std::vector<std::uint32_t> x(400);
    for (std::size_t i = 0; i < 400; ++i)
        x[i] = (i % 4 == 0) ? 4000 : 1000;
    Side side(400);
    const ReproOut out = side.run(x, ReproArgs{});
    EXPECT_EQ(out.bottom, 0u);
    EXPECT_EQ(side.g(2), 0.0f);
}

TEST(ReproAutomaticDetector, BlankingPastTheLineGivesNoBottomAndGainOne) {
    Side side(400);
    side.gain[0] = 2.0f; // kept: no samples for the level estimate
    ReproArgs a;
    a.firstIndex = 500;
    a.inputFullScale = 65535;
    a.outputFullScale = 65535;
    const ReproOut out = side.run(waterThenBottom(1000), a);
    EXPECT_EQ(out.bottom, 0u);
    EXPECT_EQ(side.at(1), 2000);    // x(1) x factor 2 x gain 1
    EXPECT_EQ(side.at(250), 65535); // 50000 x 2 saturates
    EXPECT_EQ(side.at(400), 1000);  // last raw sample, not normalised
}

TEST(ReproAutomaticDetector, ResultDependsOnThisPingAlone) {
    // A short line whose starting window V .. V + M reaches past its end: the
    // stale working data of an earlier long line must not matter.
    std::vector<std::uint32_t> shortLine = waterThenBottom(1000);
    shortLine.resize(230);
    ReproArgs a;
    a.firstIndex = 210; // V = 210, M = 46: V + M = 256 > N = 230

    std::vector<std::uint32_t> bright(86400, 4000000), dark(86400, 0);
    for (std::size_t i = 0; i < 86400; i += 3)
        dark[i] = 10;
    Side longSide(86400);
    longSide.run(bright, ReproArgs{});
    Side afterBright(230);
    const ReproOut first = afterBright.run(shortLine, a);
    longSide.run(dark, ReproArgs{});
    Side afterDark(230);
    const ReproOut second = afterDark.run(shortLine, a);
    EXPECT_EQ(first.bottom, second.bottom);
    EXPECT_EQ(first.strength, second.strength);
    EXPECT_EQ(afterBright.line, afterDark.line);
    EXPECT_EQ(afterBright.gain, afterDark.gain);
}

// --- Display line ---------------------------------------------------------------------

TEST(ReproScaling, LastSampleIsScaledByTheGainButNeverNormalised) {
    std::vector<std::uint32_t> x(300, 30000);
    Side side(300);
    ReproArgs a;
    a.outputFullScale = 65535;
    side.run(x, a);
    const float scale = 65535.0f / 4294967296.0f;
    EXPECT_EQ(side.at(300), std::round(30000.0f * side.g(300) * scale));
    const float normalised = std::round(30000.0f * side.g(1));
    EXPECT_EQ(side.at(299), std::min(65535.0f, std::round(normalised * side.g(299) * scale)));
    EXPECT_NE(side.at(299), side.at(300));
}

TEST(ReproScaling, SamplesBeforeTheGainStartUseTheGainAtTheStart) {
    std::vector<std::uint32_t> x(200, 1000);
    x[99] = 5000;
    Side side(200);
    for (std::size_t k = 1; k <= 200; ++k)
        side.gain[k - 1] = 1.0f + float(k) / 100.0f;
    ReproArgs a;
    a.reset = 0;
    side.run(x, a);
    // Samples 2 .. 20 hold the same normalised value and all use gs(20).
    for (std::size_t k = 2; k <= 20; ++k)
        ASSERT_EQ(side.at(k), side.at(20)) << k;
}

TEST(ReproScaling, OutputFullScaleIsTheLowSixteenBitsOfItsSlot) {
    std::vector<std::uint32_t> x = waterThenBottom(50000000);
    Side plain(400), slot(400);
    ReproArgs a;
    plain.run(x, a);
    a.outputFullScale = 0x12347FFF;
    slot.run(x, a);
    EXPECT_EQ(plain.line, slot.line);
    std::uint16_t top = 0;
    for (auto v : plain.line)
        top = std::max(top, v);
    EXPECT_EQ(top, 32767); // the bottom saturates at the full scale, never wraps
}
