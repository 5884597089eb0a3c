// The "Custom" frame search and decoding over arbitrary bytes:
// the same frames whatever the split, no read outside the buffer.

#include "position/flat_grid_converter.h"
#include "position/position_stream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace kestrova::position;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FlatGridConverter grid;
    PositionStream whole(DataType::Custom), split(DataType::Custom);
    whole.decoder().setConverter(&grid);
    split.decoder().setConverter(&grid);
    whole.appendBytes(std::span<const std::uint8_t>(data, size));
    int wholeTaken = 0, splitTaken = 0;
    for (;;) {
        auto r = whole.step(0);
        if (r.kind == StepResult::Kind::Idle) break;
        ++wholeTaken;
    }
    std::size_t piece = size ? 1 + data[0] % 50 : 1;
    for (std::size_t at = 0; at < size; at += piece) {
        split.appendBytes(std::span<const std::uint8_t>(data + at, std::min(piece, size - at)));
        for (;;) {
            auto r = split.step(0);
            if (r.kind == StepResult::Kind::Idle) break;
            ++splitTaken;
        }
    }
    if (wholeTaken != splitTaken) std::abort();
    return 0;
}
