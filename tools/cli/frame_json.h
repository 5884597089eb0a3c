#pragma once
// The JSON lines the frame-listing commands print, shared by `frames` and `listen`.

#include "acquisition/frame_format.h"
#include "platform/json_line.h"

#include <cstdint>
#include <string>

namespace kestrova::cli {

std::string pingLine(acquisition::Frequency f, const acquisition::PingHeader& h,
                     std::uint32_t portCount, std::uint32_t starboardCount, float sampleRate,
                     std::uint8_t settingsChanged);
std::string attitudeLine(const acquisition::AttitudeRecord& a);
std::string summaryLine(std::uint64_t bytes, std::uint64_t hf, std::uint64_t lf,
                        std::uint64_t attitude, std::uint64_t dropped);

} // namespace kestrova::cli
