// Drovanta with arbitrary pings and settings: lengths on both sides of the
// limits, fractional and absurd steps, sample rates and sound speeds of any
// float, blanking past the line, any bottom window and threshold, damaged gain
// state. Nothing may be read or written past the caller's exactly sized arrays
// (the sanitizers watch), a rejected line must leave them alone, and the same
// ping from the same gain state must give the same line (no stale working data).

#include "display/drovanta_api.h"
#include "platform/bytes.h"
#include "platform/library.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

const kestrova::display::DrovantaApi& drovanta() {
    static kestrova::display::DrovantaApi api = [] {
        kestrova::display::DrovantaApi a;
        const char* bin = std::getenv("KESTROVA_BIN");
        a.load(bin ? std::string(bin)
                   : kestrova::platform::SharedLibrary::executableFolder() + "/../bin");
        if (!a.ready()) std::abort(); // a fuzz run without the library tests nothing
        a.initialize();
        return a;
    }();
    return api;
}

void check(bool ok) {
    if (!ok) std::abort();
}

struct Outputs {
    std::uint32_t length = 0, bottom = 0;
    float strength = 0;
    std::vector<float> gain;
    std::vector<std::uint16_t> line;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kHeader = 48;
    if (size < kHeader) return 0;
    kestrova::ByteReader in(data, size);
    const float step = *in.f32le(0);
    const float fs = *in.f32le(4);
    const float c = *in.f32le(8);
    const std::uint32_t first = *in.u32le(12);
    const std::uint32_t minDm = *in.u32le(16);
    const std::uint32_t maxDm = *in.u32le(20);
    const std::uint32_t threshold = *in.u32le(24) % 64; // mostly the automatic detector
    const std::uint8_t reset = *in.u8(28);
    const std::uint8_t useMean = *in.u8(29);
    const std::uint16_t repeat = *in.u16le(30); // stretches short inputs into long lines
    const std::uint32_t inFull = *in.u32le(32);
    const std::uint32_t outFull = *in.u32le(36);
    const float previousFactor = *in.f32le(40);
    const float gainFill = *in.f32le(44);

    std::vector<std::uint32_t> x;
    const std::size_t words = std::min<std::size_t>((size - kHeader) / 4, 4096);
    if (words == 0) return 0;
    // Long lines are slow under the sanitizers: only when the top bit of
    // `repeat` asks for them, and never much past the 86400 limit.
    const std::size_t times = (repeat & 0x8000) ? 1 + repeat % 64 : 1;
    const std::size_t n = std::min<std::size_t>(words * times, 90000);
    x.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = *in.u32le(kHeader + 4 * (i % words));

    const std::uint32_t want =
        kestrova::display::DrovantaApi::lineLengthFor(static_cast<std::uint32_t>(n), step);
    const bool accepted =
        want >= 33 && want <= 86400 && fs > 0 && std::isfinite(fs) && c > 0 && std::isfinite(c);
    const std::size_t arrays = accepted ? want : 1;

    auto run = [&](Outputs& o) {
        o.gain.assign(arrays, gainFill);
        o.gain[0] = previousFactor;
        o.line.assign(arrays, 0xBEEF);
        drovanta().reproEntry()(x.data(), static_cast<std::uint32_t>(n), reset, fs, step, useMean,
                                inFull, 0, outFull, first, 0.02f, 0.04f, c, minDm, maxDm, threshold,
                                nullptr, o.gain.data(), o.line.data(), &o.length, &o.bottom,
                                &o.strength);
    };
    Outputs a, b;
    run(a);
    if (!accepted) {
        check(a.length == 0 && a.bottom == 0 && a.line[0] == 0xBEEF);
        return 0;
    }
    check(a.length == want);
    check(a.bottom <= want);
    const std::uint16_t full = static_cast<std::uint16_t>(outFull);
    for (std::uint16_t v : a.line)
        check(v <= full);

    run(b);
    check(a.bottom == b.bottom && a.line == b.line);

    float cleared = 1, altitude = 0;
    std::uint32_t sa = 0, sb = 0;
    drovanta().depthSelectEntry()(c, fs, useMean, 50.0f, 20.0f, static_cast<float>(reset), a.bottom,
                                  a.strength, b.bottom, previousFactor, a.bottom, gainFill,
                                  b.bottom, a.strength, &cleared, &altitude, &sa, &sb);
    check(cleared == 0.0f);
    check(sa == a.bottom || sa == b.bottom);
    return 0;
}
