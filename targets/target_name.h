#pragma once
// Target names: "%05d" of the target number, then "_%02d%02d%02d" of the
// marked ping's hour, minute and second; 12 characters. Names read from files
// become file paths, so only this exact pattern is ever accepted.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::targets {

constexpr std::size_t kTargetNameLength = 12;
// Five digits hold the number; the next one would break the name pattern.
constexpr std::uint32_t kMaxTargetNumber = 99999;

// Empty when the number has more than five digits or the time is out of range.
std::string makeTargetName(std::uint32_t number, int hour, int minute, int second);
// Five digits, '_', six digits: nothing that could leave the target folder.
bool isTargetName(std::string_view name);
// The number of a valid name (its first five characters).
std::optional<std::uint32_t> targetNumberOf(std::string_view name);

} // namespace kestrova::targets
