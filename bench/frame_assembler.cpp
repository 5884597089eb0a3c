// Frame assembler throughput on a realistic HF/LF stream (3600 samples per
// side, attitude at 10 Hz) read in 64 KiB pieces, as a ratio to memcpy of the
// same bytes in the same pieces, measured in the same run. Also counts heap
// allocations per frame, which must be 0.

#include "acquisition/frame_assembler.h"
#include "acquisition/ping_hand_off.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

std::atomic<std::uint64_t> g_allocations{0};

} // namespace

// Replacing the global allocation functions: GCC takes the free() in the
// replaced delete for a mismatch with the (replaced) new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t n) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    return operator new(n);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using namespace kestrova;
using namespace kestrova::acquisition;

std::vector<std::uint8_t> frame(std::uint16_t type, std::size_t payload) {
    std::vector<std::uint8_t> f(SonarFrameHeader::kSize + payload + kTrailerSize, 0);
    SonarFrameHeader h;
    h.type = type;
    h.length = static_cast<std::uint32_t>(payload + kTrailerSize);
    h.encode(f);
    ByteWriter(f).u32le(f.size() - kTrailerSize, kFrameTrailer);
    return f;
}

// About 8 MiB: ping cycles of one HF and one LF ping (3600 samples per side)
// with attitude frames between them.
const std::vector<std::uint8_t>& stream() {
    static const std::vector<std::uint8_t> s = [] {
        std::vector<std::uint8_t> out;
        std::uint32_t rng = 12345;
        const std::uint32_t n = 3600;
        for (std::uint32_t cycle = 1; cycle <= 140; ++cycle) {
            for (int f = 0; f < 2; ++f) {
                auto p = frame(static_cast<std::uint16_t>(f), PingHeader::kSize - 16 + 8 * n);
                PingHeader h;
                h.year = 2024;
                h.month = 5;
                h.day = 1;
                h.pingNumber = cycle;
                h.layoutMarker = PingHeader::kLayoutMarker;
                h.port.sampleRate = 216000;
                h.port.rangeWindow = f == 0 ? 14400 : 28800;
                h.port.decimation = f == 0 ? 4 : 8;
                h.port.sampleCount = n;
                h.starboard = h.port;
                h.encode(p);
                ByteWriter w(p);
                for (std::uint32_t i = 0; i < 2 * n; ++i) {
                    rng = rng * 1664525u + 1013904223u;
                    w.u32le(PingHeader::kSize + 4 * std::size_t{i}, (rng >> 8) & 0xFFFFF);
                }
                out.insert(out.end(), p.begin(), p.end());
            }
            for (int a = 0; a < (cycle % 2 ? 1 : 2); ++a) {
                auto att = frame(5, 24);
                AttitudeRecord r;
                r.roll = static_cast<std::int16_t>(cycle);
                r.heading = 9000;
                r.encode(att);
                out.insert(out.end(), att.begin(), att.end());
            }
        }
        return out;
    }();
    return s;
}

class CountingSink : public FrameSink {
  public:
    bool handPing(const PingRecord& p, float, std::uint8_t) override {
        bytes += p.bytes().size();
        return true;
    }
    std::uint64_t bytes = 0;
};

// The receive path: pings go into the PingBatch queues; the "view" empties
// them between reads (its copy is its own cost, not the assembler's).
class BatchSink : public FrameSink {
  public:
    BatchSink() : handOff(queue, windows, snapshots) {}
    bool handPing(const PingRecord& p, float rate, std::uint8_t changed) override {
        return handOff.handPing(p, rate, changed);
    }
    void storeAttitude(std::span<const std::uint8_t, AttitudeRecord::kSize> r) override {
        snapshots.storeAttitude(r);
    }
    void emptyBatches() {
        for (Frequency f : {Frequency::HF, Frequency::LF})
            if (handOff.batch(f).pingCount() > 300) handOff.batch(f).clear();
    }
    platform::MessageQueue queue;
    WindowTargets windows;
    SnapshotStore snapshots;
    PingHandOff handOff;
};

template <class Sink> void runAssembler(benchmark::State& state) {
    const auto& s = stream();
    SonarStatus status;
    Sink sink;
    FrameAssembler assembler(sink, status);
    std::vector<std::uint8_t> target(s.size());
    double memcpySeconds = 0, assemblerSeconds = 0;
    std::uint64_t frames = 0, allocations = 0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        // Baseline: memcpy of the same bytes, in the same 64 KiB pieces, into
        // a buffer of their size.
        auto t0 = Clock::now();
        for (std::size_t at = 0; at < s.size(); at += FrameAssembler::kMaxRead) {
            const std::size_t n = std::min<std::size_t>(FrameAssembler::kMaxRead, s.size() - at);
            std::memcpy(target.data() + at, s.data() + at, n);
            benchmark::DoNotOptimize(target.data());
        }
        auto t1 = Clock::now();
        const std::uint32_t before = assembler.stats().frames;
        const std::uint64_t allocBefore = g_allocations.load();
        std::uint32_t fill = 0;
        std::uint8_t* writePos = assembler.buffer();
        for (std::size_t at = 0; at < s.size(); at += FrameAssembler::kMaxRead) {
            const std::size_t n = std::min<std::size_t>(FrameAssembler::kMaxRead, s.size() - at);
            std::memcpy(writePos, s.data() + at, n);
            fill += static_cast<std::uint32_t>(n);
            writePos = assembler.feed(fill, nullptr);
            if constexpr (std::is_same_v<Sink, BatchSink>) sink.emptyBatches();
        }
        auto t2 = Clock::now();
        allocations += g_allocations.load() - allocBefore;
        frames += assembler.stats().frames - before;
        assembler.restart();
        memcpySeconds += std::chrono::duration<double>(t1 - t0).count();
        assemblerSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.size()));
    state.counters["ratio_vs_memcpy"] = memcpySeconds / assemblerSeconds;
    state.counters["allocs_per_frame"] =
        frames ? static_cast<double>(allocations) / static_cast<double>(frames) : -1;
    state.counters["frames"] = static_cast<double>(frames);
}

void BM_AssemblerIntoPingBatches(benchmark::State& state) {
    runAssembler<BatchSink>(state);
}
void BM_AssemblerAlone(benchmark::State& state) {
    runAssembler<CountingSink>(state);
}

BENCHMARK(BM_AssemblerIntoPingBatches)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssemblerAlone)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
