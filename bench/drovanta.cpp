// Drovanta's display reprocessing against one plain pass over the same samples
// (a sum and a copy, measured in the same iterations), and the share of one
// core that the display path spends on it at the sonar's ping rate.
//
// Drovanta is loaded by file name as the program loads it: from KESTROVA_BIN,
// else from ../bin beside this benchmark's folder.

#include "display/drovanta_api.h"
#include "libs/drovanta/tests/seabed_pings.h"
#include "platform/library.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using kestrova::display::DrovantaApi;
using Clock = std::chrono::steady_clock;

const DrovantaApi& drovanta() {
    static DrovantaApi api = [] {
        DrovantaApi a;
        const char* bin = std::getenv("KESTROVA_BIN");
        const std::string folder =
            bin ? std::string(bin)
                : kestrova::platform::SharedLibrary::executableFolder() + "/../bin";
        a.load(folder);
        a.initialize();
        return a;
    }();
    return api;
}

std::vector<std::uint32_t> seabedLine(std::uint32_t samples, std::uint32_t fs, std::uint32_t ping,
                                      int side) {
    kestrova::drovanta::test::SideRequest r;
    r.samples = samples;
    r.sampleRateHz = fs;
    r.ping = ping;
    r.side = side;
    return kestrova::drovanta::test::seabedSide(r);
}

// One side as the waterfall view runs it.
struct SideRun {
    SideRun(std::uint32_t samples, std::uint32_t fs, int side, bool useMean = true)
        : x(seabedLine(samples, fs, 7, side)), gain(samples, 0.0f), line(samples, 0) {
        settings.sampleRate = static_cast<float>(fs);
        settings.firstIndex = static_cast<std::uint32_t>(settings.sampleRate / 1500.0f);
        settings.useMean = useMean;
        settings.reset = true;
        drovanta().repro(x, settings, gain, line);
        settings.reset = false;
    }
    kestrova::display::ReproResult run() { return drovanta().repro(x, settings, gain, line); }

    std::vector<std::uint32_t> x;
    std::vector<float> gain;
    std::vector<std::uint16_t> line;
    kestrova::display::ReproSettings settings;
};

double nanos(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::nano>(b - a).count();
}

void reproAgainstPlainPass(benchmark::State& state, bool useMean) {
    if (!drovanta().ready()) {
        state.SkipWithError(drovanta().failure().english.c_str());
        return;
    }
    const auto n = static_cast<std::uint32_t>(state.range(0));
    // Lines of n samples over a 50 m range.
    SideRun side(n, n * 15, 0, useMean);
    std::vector<std::uint32_t> copy(n);
    double reproNs = 0, sumNs = 0, copyNs = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(side.run());
        const auto t1 = Clock::now();
        std::uint64_t sum = 0;
        for (std::uint32_t v : side.x)
            sum += v;
        benchmark::DoNotOptimize(sum);
        const auto t2 = Clock::now();
        std::memcpy(copy.data(), side.x.data(), n * sizeof(std::uint32_t));
        benchmark::ClobberMemory();
        const auto t3 = Clock::now();
        reproNs += nanos(t0, t1);
        sumNs += nanos(t1, t2);
        copyNs += nanos(t2, t3);
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["repro_us"] = reproNs / iterations / 1000.0;
    state.counters["ns_per_sample"] = reproNs / iterations / n;
    state.counters["ratio_vs_sum"] = reproNs / sumNs;
    state.counters["ratio_vs_copy"] = reproNs / copyNs;
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_SssDisplayRepro(benchmark::State& state) {
    reproAgainstPlainPass(state, true);
}
BENCHMARK(BM_SssDisplayRepro)->Arg(2000)->Arg(20000)->Arg(86400);

void BM_SssDisplayReproOrderStatistic(benchmark::State& state) {
    reproAgainstPlainPass(state, false);
}
BENCHMARK(BM_SssDisplayReproOrderStatistic)->Arg(20000)->Arg(86400);

// Both sides of both frequencies and the depth selection for one ping of each
// frequency, at `hfRate` / `lfRate` Hz over 50 m; the share of one core at 15
// pings per second per frequency.
void pingBudget(benchmark::State& state, std::uint32_t hfRate, std::uint32_t lfRate) {
    if (!drovanta().ready()) {
        state.SkipWithError(drovanta().failure().english.c_str());
        return;
    }
    constexpr std::uint32_t rangeM = 50;
    constexpr double pingsPerSecond = 15.0;
    const std::uint32_t hfSamples = rangeM * 2 * hfRate / 1500;
    const std::uint32_t lfSamples = rangeM * 2 * lfRate / 1500;
    SideRun hfPort(hfSamples, hfRate, 0), hfStbd(hfSamples, hfRate, 1);
    SideRun lfPort(lfSamples, lfRate, 0), lfStbd(lfSamples, lfRate, 1);
    kestrova::display::DepthSelectInput d;
    double ns = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const auto a1 = hfPort.run();
        const auto a2 = hfStbd.run();
        d.sampleRate = static_cast<float>(hfRate);
        d.aIndex1 = a1.bottomIndex;
        d.aStrength1 = a1.bottomStrength;
        d.aIndex2 = a2.bottomIndex;
        d.aStrength2 = a2.bottomStrength;
        benchmark::DoNotOptimize(drovanta().depthSelect(d));
        const auto b1 = lfPort.run();
        const auto b2 = lfStbd.run();
        d.bIndex1 = b1.bottomIndex;
        d.bStrength1 = b1.bottomStrength;
        d.bIndex2 = b2.bottomIndex;
        d.bStrength2 = b2.bottomStrength;
        benchmark::DoNotOptimize(drovanta().depthSelect(d));
        ns += nanos(t0, Clock::now());
    }
    const double perPingPair = ns / static_cast<double>(state.iterations());
    state.counters["hf_samples"] = hfSamples;
    state.counters["lf_samples"] = lfSamples;
    state.counters["us_per_hf_and_lf_ping"] = perPingPair / 1000.0;
    // Each second: 15 HF pings and 15 LF pings.
    state.counters["core_share_pct"] = perPingPair * pingsPerSecond / 1e9 * 100.0;
}

// The sonar samples at 216 kHz; the display decimation setting delivers HF at
// a quarter and LF at an eighth of it by default.
void BM_PingBudgetDefaultRates(benchmark::State& state) {
    pingBudget(state, 54000, 27000);
}
BENCHMARK(BM_PingBudgetDefaultRates);

// Worst case: both frequencies at the full 216 kHz.
void BM_PingBudgetFullRate(benchmark::State& state) {
    pingBudget(state, 216000, 216000);
}
BENCHMARK(BM_PingBudgetFullRate);

} // namespace

BENCHMARK_MAIN();
