// depth_select_filter: which side's bottom is trusted, and when the choice may
// change. A fault here makes the altitude jump between sides on every ping.

#include "libs/drovanta/drovanta.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

struct Choice {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    float altitude = -1.0f;
    float cleared = -1.0f;
};

// Pair A candidates: first = 100, second = 200; pair B: first = 300, second = 400.
Choice select(float aStrength1, float aStrength2, float reset = 0.0f, float bStrength1 = 1.0f,
              float bStrength2 = 1.0f, bool usePairB = false) {
    Choice c;
    depth_select_filter(1500.0f, 20000.0f, usePairB ? 1 : 0, 50.0f, 20.0f, reset, 100, aStrength1,
                        200, aStrength2, 300, bStrength1, 400, bStrength2, &c.cleared, &c.altitude,
                        &c.a, &c.b);
    return c;
}

class DepthSelect : public ::testing::Test {
  protected:
    void SetUp() override { sss_display_repro_initialize(); }
};

} // namespace

TEST_F(DepthSelect, EqualStrengthsChooseTheFirstCandidate) {
    EXPECT_EQ(select(1.0f, 1.0f).a, 100u);
    sss_display_repro_initialize();
    EXPECT_EQ(select(1.0f, 2.0f).a, 200u);
}

TEST_F(DepthSelect, TenContraryCallsKeepTheChoiceTheEleventhSwitchesForTheNextCall) {
    EXPECT_EQ(select(2.0f, 1.0f).a, 100u); // first candidate chosen, counter 0
    for (int i = 1; i <= 10; ++i)
        ASSERT_EQ(select(1.0f, 2.0f).a, 100u) << "contrary call " << i;
    EXPECT_EQ(select(1.0f, 2.0f).a, 100u); // eleventh: switches, still outputs the first
    EXPECT_EQ(select(1.0f, 2.0f).a, 200u); // the other candidate from the next call on
    // And back: now "contrary" means the second candidate is weaker.
    for (int i = 1; i <= 10; ++i)
        ASSERT_EQ(select(2.0f, 1.0f).a, 200u);
    EXPECT_EQ(select(2.0f, 1.0f).a, 200u);
    EXPECT_EQ(select(2.0f, 1.0f).a, 100u);
}

TEST_F(DepthSelect, EqualStrengthsCountAgainstTheFirstCandidate) {
    select(2.0f, 1.0f);
    for (int i = 1; i <= 11; ++i)
        select(1.0f, 1.0f);
    EXPECT_EQ(select(1.0f, 1.0f).a, 200u);
}

TEST_F(DepthSelect, AgreeingCallsDoNotClearTheCounter) {
    select(2.0f, 1.0f);
    for (int i = 0; i < 5; ++i)
        select(1.0f, 2.0f); // contrary 1..5
    for (int i = 0; i < 3; ++i)
        select(2.0f, 1.0f); // agreeing
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(select(1.0f, 2.0f).a, 100u); // contrary 6..10
    EXPECT_EQ(select(1.0f, 2.0f).a, 100u);     // 11th: switch
    EXPECT_EQ(select(2.0f, 2.5f).a, 200u);
}

TEST_F(DepthSelect, ResetOneRechoosesBothPairsOtherNonzeroOnlyPairB) {
    select(2.0f, 1.0f, 0.0f, 2.0f, 1.0f); // A: first, B: first
    // Reset 0.5: B chooses afresh (second is stronger), A keeps its choice.
    Choice c = select(1.0f, 2.0f, 0.5f, 1.0f, 2.0f);
    EXPECT_EQ(c.a, 100u);
    EXPECT_EQ(c.b, 400u);
    // Reset 1.0: both afresh.
    c = select(1.0f, 2.0f, 1.0f, 2.0f, 1.0f);
    EXPECT_EQ(c.a, 200u);
    EXPECT_EQ(c.b, 300u);
    // Reset 0: both keep, whatever the strengths say.
    c = select(2.0f, 1.0f, 0.0f, 1.0f, 2.0f);
    EXPECT_EQ(c.a, 200u);
    EXPECT_EQ(c.b, 300u);
}

TEST_F(DepthSelect, ResetChoiceRestartsTheCounter) {
    select(2.0f, 1.0f);
    for (int i = 0; i < 10; ++i)
        select(1.0f, 2.0f);                // counter at 10
    select(2.0f, 1.0f, 1.0f);              // fresh choice: first, counter 0
    EXPECT_EQ(select(1.0f, 2.0f).a, 100u); // contrary call 1 since the choice
    EXPECT_EQ(select(1.0f, 2.0f).a, 100u); // 2: no switch
}

TEST_F(DepthSelect, InitializeForgetsEarlierChoices) {
    select(2.0f, 1.0f);
    for (int i = 0; i < 3; ++i)
        select(2.0f, 1.0f);
    sss_display_repro_initialize();
    EXPECT_EQ(select(1.0f, 2.0f).a, 200u);
}

TEST_F(DepthSelect, AltitudeIsTheSlantRangeTimesCosineOfTheBeamEdgeAngle) {
    // theta = (90 - (25 + 20)) / 180 x 3.1415925 = about pi/4; cos = 0.7071068.
    // Pair A first candidate 100: 100 / 20000 x 1500 x 0.5 = 3.75 m slant.
    Choice c = select(2.0f, 1.0f, 0.0f, 1.0f, 2.0f); // B chooses its second candidate
    EXPECT_EQ(c.cleared, 0.0f);
    EXPECT_FLOAT_EQ(c.altitude, 3.75f * 0.70710677f);
    // Pair B chosen: its second candidate 400 -> 15 m slant.
    c = select(2.0f, 1.0f, 0.0f, 1.0f, 2.0f, true);
    EXPECT_EQ(c.b, 400u);
    EXPECT_FLOAT_EQ(c.altitude, 15.0f * 0.70710677f);
}

TEST_F(DepthSelect, MissingOutputPointersAreSkipped) {
    depth_select_filter(1500.0f, 20000.0f, 0, 50.0f, 20.0f, 0.0f, 1, 1.0f, 2, 2.0f, 3, 1.0f, 4,
                        2.0f, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(select(2.0f, 1.0f).a, 200u); // the first call did choose the second candidate
}
