// The rounding helpers replace libm's floor/ceil with exact truncations; a slip
// there would shift display values by one count on some samples only.

#include "libs/drovanta/single_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

using namespace kestrova::drovanta;

namespace {

// Reference rounding written straight from the rule with libm.
float referenceRound(float v) {
    if (std::fabs(v) >= 8388608.0f) return v;
    if (v >= 0.5f) return std::floor(v + 0.5f);
    if (v > -0.5f) return 0.0f;
    return std::ceil(v - 0.5f);
}

} // namespace

TEST(SingleMath, RoundsHalfAwayFromZeroOnFloats) {
    EXPECT_EQ(roundSingle(2.5f), 3.0f);
    EXPECT_EQ(roundSingle(-2.5f), -3.0f);
    EXPECT_EQ(roundSingle(0.5f), 1.0f);
    EXPECT_EQ(roundSingle(-0.5f), -1.0f);
    EXPECT_EQ(roundSingle(0.49999997f), 0.0f); // v + 0.5 would round up to 1 in float
    EXPECT_EQ(roundSingle(-0.49999997f), 0.0f);
    EXPECT_EQ(roundSingle(1.4999999f), 1.0f);
    // Below 2^23 the sum v + 0.5 is itself rounded to float first.
    EXPECT_EQ(roundSingle(8388607.5f), 8388608.0f);
    EXPECT_EQ(roundSingle(4194303.75f), 4194304.0f);
    // From 2^23 on values are returned unchanged.
    EXPECT_EQ(roundSingle(8388609.0f), 8388609.0f);
    EXPECT_EQ(roundSingle(4294967296.0f), 4294967296.0f);
    EXPECT_TRUE(std::isnan(roundSingle(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(roundSingle(std::numeric_limits<float>::infinity()),
              std::numeric_limits<float>::infinity());
}

TEST(SingleMath, FloorCeilAndRoundAgreeWithLibmOverAllMagnitudes) {
    // Every 4099th bit pattern of the positive and negative floats: covers all
    // exponents, fractions just below and above whole numbers, and the 2^23 edge.
    for (std::uint64_t bits = 0; bits <= 0x7f800000u; bits += 4099) {
        for (std::uint32_t sign : {0u, 0x80000000u}) {
            const float v = std::bit_cast<float>(static_cast<std::uint32_t>(bits) | sign);
            ASSERT_EQ(floorSingle(v), std::floor(v)) << v;
            ASSERT_EQ(ceilSingle(v), std::ceil(v)) << v;
            ASSERT_EQ(roundSingle(v), referenceRound(v)) << v;
        }
    }
    for (float v = -70000.0f; v < 70000.0f; v += 0.25f) {
        ASSERT_EQ(roundSingle(v), referenceRound(v)) << v;
    }
}

TEST(SingleMath, IntegerStoresKeepLowBitsOfTheTruncation) {
    EXPECT_EQ(low32(4294967295.0f), 0u); // the float is 2^32, whose low 32 bits are 0
    EXPECT_EQ(low32(-1.0f), 4294967295u);
    EXPECT_EQ(low32(123456.0f), 123456u);
    EXPECT_EQ(low16(65536.0f + 7.0f), 7u);
    EXPECT_EQ(truncToInt64(std::numeric_limits<float>::quiet_NaN()), INT64_MIN);
    EXPECT_EQ(truncToInt64(1e30f), INT64_MIN);
    EXPECT_EQ(truncToInt64(-1e30f), INT64_MIN);
    EXPECT_EQ(low32(std::numeric_limits<float>::infinity()), 0u);
}

TEST(SingleMath, SaturatingStoreHoldsTheSampleRange) {
    EXPECT_EQ(saturate32(-256.0f), 0u);
    EXPECT_EQ(saturate32(4294967296.0f), 4294967295u);
    EXPECT_EQ(saturate32(std::numeric_limits<float>::quiet_NaN()), 0u);
    EXPECT_EQ(saturate32(4294967040.0f), 4294967040u);
}
