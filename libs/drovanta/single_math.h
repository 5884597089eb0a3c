#pragma once
// Single-precision helpers with which Drovanta's display lines are reproduced
// to the last bit on every build: rounding half away from zero on floats and
// the float-to-integer conversion of the sonar unit's own processing. They use
// only exact operations (comparisons, truncating conversions), so no compiler
// flag or libm version can change their result.

#include <cfloat>
#include <cstdint>

namespace kestrova::drovanta {

// Every named intermediate must be a true float, never a wider register value.
static_assert(FLT_EVAL_METHOD == 0, "Drovanta needs float arithmetic without excess precision");

// From 2^23 on every float is a whole number.
inline constexpr float kWholeFrom = 8388608.0f;

inline float floorSingle(float v) {
    if (!(v > -kWholeFrom && v < kWholeFrom)) return v;               // already whole, or NaN
    const float t = static_cast<float>(static_cast<std::int32_t>(v)); // toward zero
    return t > v ? t - 1.0f : t;
}

inline float ceilSingle(float v) {
    if (!(v > -kWholeFrom && v < kWholeFrom)) return v;
    const float t = static_cast<float>(static_cast<std::int32_t>(v));
    return t < v ? t + 1.0f : t;
}

// Half away from zero; v + 0.5 is itself rounded to float first, as the
// sonar's reference processing does.
inline float roundSingle(float v) {
    if (!(v > -kWholeFrom && v < kWholeFrom)) return v;
    if (v >= 0.5f) return floorSingle(v + 0.5f);
    if (v > -0.5f) return 0.0f;
    return ceilSingle(v - 0.5f);
}

// Truncation to a signed 64-bit integer; NaN and values out of range give the
// x86-64 "integer indefinite" 0x8000000000000000 instead of undefined behaviour.
inline std::int64_t truncToInt64(float v) {
    if (!(v > -9223372036854775808.0f && v < 9223372036854775808.0f)) return INT64_MIN;
    return static_cast<std::int64_t>(v);
}

// A rounded value stored into a 32-bit or 16-bit integer keeps the low bits of
// its 64-bit truncation.
inline std::uint32_t low32(float v) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(truncToInt64(v)));
}
inline std::uint16_t low16(float v) {
    return static_cast<std::uint16_t>(static_cast<std::uint64_t>(truncToInt64(v)));
}

// A normalised sample: low32(roundSingle(v)) for v below 2^32, all ones from
// 2^32 on and for NaN. The same value as that composition, with the branches
// of the common case (0 <= v < 2^32) replaced by selects, so the per-sample
// loops do not stall on unpredictable comparisons.
inline std::uint32_t roundToSample(float v) {
    if (!(v >= 0.0f)) return v < 4294967296.0f ? low32(roundSingle(v)) : 4294967295u;
    if (v >= 4294967296.0f) return 4294967295u;
    // Below 2^23 the rounding is floor(v + 0.5) taken in float, and v + 0.5 is
    // positive so truncation is the floor; below 0.5 the result is 0 even when
    // v + 0.5 itself rounds up to 1. From 2^23 on v is already whole.
    const std::int64_t whole = static_cast<std::int64_t>(v);
    const float low = v < kWholeFrom ? v : 0.0f; // keeps the 32-bit conversion in range
    const std::int64_t half = static_cast<std::int32_t>(low + 0.5f);
    const std::int64_t small = v >= 0.5f ? half : 0;
    return static_cast<std::uint32_t>(v < kWholeFrom ? small : whole);
}

// A display value: full scale above outFull, else low16(roundSingle(y)). outFull
// is at most 65535, so the common case 0 <= y <= outFull needs no 64-bit step.
inline std::uint16_t roundToPixel(float y, float outFull, std::uint16_t fullScale) {
    if (y > outFull) return fullScale;
    if (!(y >= 0.0f)) return low16(roundSingle(y)); // NaN, or a negative scale
    const std::int32_t half = static_cast<std::int32_t>(y + 0.5f);
    return static_cast<std::uint16_t>(y >= 0.5f ? half : 0);
}

// Neither infinite nor NaN. Written out so that no libstdc++ helper (with its
// default visibility) ends up in the library's exports in unoptimised builds.
inline bool isFiniteSingle(float v) {
    return (v - v) == 0.0f;
}

// A rounded value stored into a 32-bit sample, held within 0 ... 4294967295.
inline std::uint32_t saturate32(float v) {
    if (!(v > 0.0f)) return 0; // NaN too
    if (v >= 4294967296.0f) return 4294967295u;
    return static_cast<std::uint32_t>(v);
}

} // namespace kestrova::drovanta
