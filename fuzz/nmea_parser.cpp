// The NMEA input over arbitrary receiver bytes: the accumulator in two
// different splits must find the same sentences, and parsing them, with a
// grid bound, must never crash or read outside the text.

#include "position/flat_grid_converter.h"
#include "position/position_stream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace kestrova::position;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FlatGridConverter grid;
    PositionStream whole(DataType::GgaZda);
    PositionStream split(DataType::GgaZda);
    whole.decoder().setConverter(&grid);
    split.decoder().setConverter(&grid);
    // The PC clock at 2024-02-29 12:00 UTC.
    whole.decoder().setUtcClock([] { return 1709208000.0; });
    split.decoder().setUtcClock([] { return 1709208000.0; });
    whole.appendBytes(std::span<const std::uint8_t>(data, size));
    // The second stream gets the bytes in pieces cut at a size taken from the input.
    std::size_t piece = size ? 1 + data[0] % 17 : 1;
    std::uint32_t tick = 0;
    std::size_t at = 0;
    std::uint64_t splitPositions = 0;
    while (at < size) {
        std::size_t n = std::min(piece, size - at);
        split.appendBytes(std::span<const std::uint8_t>(data + at, n));
        at += n;
        while (split.hasInput()) {
            auto r = split.step(tick += 7);
            if (r.kind == StepResult::Kind::Position) ++splitPositions;
        }
    }
    std::uint64_t wholePositions = 0;
    tick = 0;
    while (whole.hasInput())
        if (whole.step(tick += 7).kind == StepResult::Kind::Position) ++wholePositions;
    if (wholePositions != splitPositions) std::abort();
    return 0;
}
