// Building and scrolling waterfall rows: a batch of B pings at full window
// width (pixel rows through the palette, one scroll, one block copy, the
// composition of the window image) against a plain copy of the same number of
// pixels in the same iterations. Also reports the share of one core that two
// views spend at 60 rows a second.

#include "display/waterfall.h"
#include "platform/library.h"
#include "tools/sonar-sim/sonar_stream.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace kestrova;
using Clock = std::chrono::steady_clock;

std::string binFolder() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return bin ? std::string(bin) : platform::SharedLibrary::executableFolder() + "/../bin";
}

// A view 1920 x 1080 whose ring holds 64 simulated pings.
struct Scene {
    Scene() : view(acquisition::Frequency::HF, drovanta, shared), picture(view) {
        drovanta.load(binFolder());
        drovanta.initialize();
        view.setTarget(&picture);
        picture.layout(1920, 1080);
        display::Palette p;
        p.load(binFolder(), 0, false);
        picture.setPalette(p);
        sim::SonarStreamConfig c;
        c.lf = false;
        sim::SonarStream stream(c);
        acquisition::PingBatch batch;
        for (std::uint32_t k = 0; k < 64; ++k) {
            auto frame = stream.pingFrame(true, k + 1, k * stream.pingPeriod());
            auto ping = acquisition::PingRecord::fromFrame(frame);
            batch.append(*ping, ping->header().port.effectiveSampleRate(), k == 0);
            view.intake(batch);
            view.processPass();
        }
        view.processPass();
    }
    display::DrovantaApi drovanta;
    display::DisplayShared shared;
    display::ViewPipeline view;
    display::Waterfall picture;
};

double nanos(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::nano>(b - a).count();
}

void rowsAgainstPlainCopy(benchmark::State& state) {
    static Scene scene;
    if (!scene.drovanta.ready()) {
        state.SkipWithError("Drovanta did not load");
        return;
    }
    const auto rows = static_cast<std::uint32_t>(state.range(0));
    const std::uint64_t k = display::colourScale(50);
    const std::size_t pixels = std::size_t{rows} * 1920;
    std::vector<std::uint32_t> from(pixels, 0x123456), to(pixels);
    double ours = 0, plain = 0;
    std::uint32_t line = 0;
    for (auto _ : state) {
        auto a = Clock::now();
        for (std::uint32_t r = 0; r < rows; ++r)
            scene.picture.buildRow(scene.view.ring(), (line++) % 64, rows - 1 - r, k, true);
        display::PassResult result;
        result.live = true;
        result.linesCovered = rows;
        scene.picture.finishPass(result);
        auto b = Clock::now();
        std::memcpy(to.data(), from.data(), pixels * 4);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        auto c = Clock::now();
        ours += nanos(a, b);
        plain += nanos(b, c);
    }
    const double perRow = ours / static_cast<double>(state.iterations()) / rows;
    state.counters["ratio_vs_memcpy"] = ours / plain;
    state.counters["rows_per_s_one_core"] = 1e9 / perRow;
    // Two views, 60 rows a second each, as the share of one core.
    state.counters["core_share_two_views_60rows"] = 2 * 60 * perRow / 1e9;
}
BENCHMARK(rowsAgainstPlainCopy)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
