// Forward conversions through the whole chain (datum step, Gauss-Krüger,
// plane transformation, surface fitting, translation), against as many sin/cos
// evaluations in the same run. The navigation thread converts 20 fixes a
// second; "core_share_at_20Hz_pct" is the share of one core that costs, in
// percent (target below 1).

#include "libs/tessmark/tessmark.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

template <std::size_t N> void setText(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    std::strncpy(field, text, N - 1);
}

_DefGeodetsyParameterSetting fullChain() {
    _DefGeodetsyParameterSetting r = kestrova::defaultGeodeticRecord();
    setText(r.SourceSemimajor, "6378245.0");
    setText(r.SourceFlattening, "298.3");
    setText(r.CentralMeridian, "117000000000E");
    r.ETransType = 1;
    setText(r.ETransDx, "-15.4");
    setText(r.ETransDy, "157.0");
    setText(r.ETransDz, "94.7");
    setText(r.ETransRz, "-8.1");
    setText(r.ETransSc, "-2.0");
    r.PTransType = 1;
    setText(r.PTransRa, "+000010000000");
    setText(r.PTransSc, "1.00002");
    r.HFittingType = 3;
    setText(r.HFittingA, "3.5");
    setText(r.HFittingD, "0.000001");
    setText(r.CTransDx, "7.0");
    return r;
}

constexpr int kBatch = 1000;

// Wall-clock seconds of `count` sin+cos pairs: the baseline, timed in the same
// run right after the conversions.
double sinCosSeconds(std::int64_t count) {
    double a = 0.5;
    const auto t0 = std::chrono::steady_clock::now();
    for (std::int64_t i = 0; i < count; ++i) {
        double s = std::sin(a);
        double c = std::cos(a);
        benchmark::DoNotOptimize(s);
        benchmark::DoNotOptimize(c);
        a += 1e-5;
    }
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(t1 - t0).count();
}

void BM_SinCos(benchmark::State& state) {
    double a = 0.5;
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            double s = std::sin(a);
            double c = std::cos(a);
            benchmark::DoNotOptimize(s);
            benchmark::DoNotOptimize(c);
            a += 1e-5;
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_SinCos);

void BM_ForwardFullChain(benchmark::State& state) {
    Tessmark* engine = CreateTessmark();
    engine->SetGeodetsyParameter(fullChain());
    double lat = 30.0;
    double lon = 118.0;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            double x, y, h;
            engine->BLHtoxyh(lat, lon, 10.0, x, y, h);
            benchmark::DoNotOptimize(x);
            benchmark::DoNotOptimize(y);
            benchmark::DoNotOptimize(h);
            lat += 1e-6;
            lon += 1e-6;
        }
    }
    const auto t1 = std::chrono::steady_clock::now();
    const std::int64_t count = std::int64_t(state.iterations()) * kBatch;
    const double perConversion = std::chrono::duration<double>(t1 - t0).count() / double(count);
    const double perSinCos = sinCosSeconds(count) / double(count);
    state.SetItemsProcessed(state.iterations() * kBatch);
    state.counters["conversions_per_s"] = 1.0 / perConversion;
    state.counters["ratio_vs_sincos"] = perConversion / perSinCos;
    state.counters["core_share_at_20Hz_pct"] = perConversion * 20.0 * 100.0;
    DeleteTessmark(engine);
}
BENCHMARK(BM_ForwardFullChain);

void BM_InverseFullChain(benchmark::State& state) {
    Tessmark* engine = CreateTessmark();
    engine->SetGeodetsyParameter(fullChain());
    double x0, y0, h0;
    engine->BLHtoxyh(30.0, 118.0, 10.0, x0, y0, h0);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            double B, L, H;
            engine->xyhtoBLH(x0 + i * 0.01, y0, h0, B, L, H);
            benchmark::DoNotOptimize(B);
            benchmark::DoNotOptimize(L);
            benchmark::DoNotOptimize(H);
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    DeleteTessmark(engine);
}
BENCHMARK(BM_InverseFullChain);

} // namespace

BENCHMARK_MAIN();
