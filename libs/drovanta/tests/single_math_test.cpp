// The rounding helpers replace libm's floor/ceil with exact truncations; a slip
// there would shift display values by one count on some samples only.

#include "libs/drovanta/single_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

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

// The select-based stores of the per-sample loops must give exactly the
// composed rounding and store they stand for, at every float: hand-picked
// values at the edges (0.5, 2^23, 2^31, 2^32, the display full scale) and a
// stride through all 2^32 bit patterns, NaNs and negatives included.
namespace {
std::uint32_t referenceSample(float v) {
    return v < 4294967296.0f ? low32(roundSingle(v)) : 4294967295u;
}
std::uint16_t referencePixel(float y, float outFull, std::uint16_t fullScale) {
    return y > outFull ? fullScale : low16(roundSingle(y));
}
float fromBits(std::uint32_t b) {
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}
} // namespace

TEST(SingleMath, SelectStoresMatchTheComposedRounding) {
    std::vector<float> values = {
        0.0f,          -0.0f,         0.49999997f,   0.5f,          0.50000006f, 1.4999999f,
        1.5f,          2.5f,          8388607.5f,    8388608.0f,    8388609.0f,  2147483520.0f,
        2147483648.0f, 2147483904.0f, 4294967040.0f, 4294967296.0f, 65534.5f,    65535.0f,
        65535.5f,      32766.5f,      32767.0f,      32767.5f,      -0.5f,       -2.5f,
        -1e30f,        1e30f};
    values.push_back(std::numeric_limits<float>::infinity());
    values.push_back(-std::numeric_limits<float>::infinity());
    values.push_back(std::numeric_limits<float>::quiet_NaN());
    for (std::uint64_t b = 0; b <= 0xffffffffu; b += 1009)
        values.push_back(fromBits(static_cast<std::uint32_t>(b)));
    for (std::uint32_t b = 0x3effff00u; b <= 0x3f000100u; ++b) // around 0.5
        values.push_back(fromBits(b));
    std::size_t wrong = 0;
    for (float v : values) {
        if (roundToSample(v) != referenceSample(v) && ++wrong < 5) ADD_FAILURE() << "sample " << v;
        for (std::uint16_t full : {std::uint16_t{32767}, std::uint16_t{65535}, std::uint16_t{0}}) {
            const float outFull = static_cast<float>(full);
            if (roundToPixel(v, outFull, full) != referencePixel(v, outFull, full) && ++wrong < 5)
                ADD_FAILURE() << "pixel " << v << " full " << full;
        }
    }
    EXPECT_EQ(wrong, 0u);
}
