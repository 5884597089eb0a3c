#pragma once
// Millisecond tick counter and sleeping, as the worker threads use them: the
// tick is a 32-bit count that wraps after about 49.7 days, so elapsed times are
// always taken as unsigned differences.

#include <cstdint>

namespace kestrova::platform {

std::uint32_t tickCount();
// Milliseconds from `since` to `now`, correct across one wrap of the counter.
inline std::uint32_t ticksSince(std::uint32_t since, std::uint32_t now) { return now - since; }
void sleepMs(std::uint32_t ms);

} // namespace kestrova::platform
