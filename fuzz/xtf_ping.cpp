// XTF sonar records as the mosaic reads them: any bytes after a file header,
// split into records by their declared sizes, never read outside the buffer.

#include "mosaic/xtf_pings.h"

#include "platform/bytes.h"

#include <cstddef>
#include <cstdint>

using namespace kestrova;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> all(data, size);
    auto sizes = mosaic::xtfSampleSizes(all);
    std::array<int, 2> sampleBytes = sizes ? *sizes : std::array<int, 2>{2, 2};
    if (size && !sizes) sampleBytes = {1 + data[0] % 2, data[0] % 3 == 0 ? 4 : 2};
    std::size_t at = size >= mosaic::kXtfFileHeaderSize && sizes ? mosaic::kXtfFileHeaderSize : 0;
    mosaic::XtfPing ping;
    while (at + 14 <= size) {
        const std::uint32_t record = *ByteReader(all.subspan(at)).u32le(10);
        if (record < 14 || record > size - at) {
            mosaic::decodeXtfPing(all.subspan(at), sampleBytes, ping);
            break;
        }
        if (mosaic::decodeXtfPing(all.subspan(at, record), sampleBytes, ping) &&
            (ping.port.size() > size || ping.starboard.size() > size))
            __builtin_trap();
        at += record;
    }
    return 0;
}
