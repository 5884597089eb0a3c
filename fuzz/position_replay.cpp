// Position records of a recording replayed into the position pipeline: any
// 152 bytes (a damaged or hostile file) must complete without hanging, and a
// replayed record is never dated outside 1970..9999.

#include "position/position_fix.h"
#include "position/position_stream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace kestrova::position;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PositionStream stream(DataType::GgaZda);
    std::uint32_t tick = 0;
    for (std::size_t at = 0; at + kPositionFixSize <= size; at += kPositionFixSize) {
        auto fix = decodePositionFix(std::span<const std::uint8_t>(data + at, kPositionFixSize));
        if (!fix) std::abort();
        StepResult r = stream.replayRecord(*fix, tick += 100);
        if (r.kind == StepResult::Kind::Position) {
            const FixEvent& e = r.completion.event;
            if (e.year != 0 && (e.year < 1970 || e.year > 9999)) std::abort();
        }
    }
    return 0;
}
