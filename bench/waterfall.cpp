// New waterfall rows against building the same rows alone, in the same run:
// a batch of B pings at full window width (pixel rows through the palette,
// the rows put into the ring, the picture made ready to show: strips drawn and
// the blocks the window copies) at 1920 x 1080 and 3840 x 2160. Times are the
// thread's processor time, so that other work on the machine does not count.
// Also reports the share of one core that two views spend at 60 rows a
// second each. The window's own copy to the screen is the toolkit's and is
// not counted; zoomed, it copies each shown line onto its rows.

#include "display/waterfall.h"
#include "platform/library.h"
#include "tools/sonar-sim/sonar_stream.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <utility>

namespace {

using namespace kestrova;

std::string binFolder() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return bin ? std::string(bin) : platform::SharedLibrary::executableFolder() + "/../bin";
}

double threadNanos() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// A view of the given client size whose ring holds 64 simulated pings.
struct Scene {
    Scene(int width, int height) : view(acquisition::Frequency::HF, drovanta, shared), picture(view) {
        if (!drovanta.load(binFolder())) return;
        drovanta.initialize();
        shared.settings.bottom.on = 1;
        view.setTarget(&picture);
        picture.layout(width, height);
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

Scene& scene(int width, int height) {
    static std::map<std::pair<int, int>, std::unique_ptr<Scene>> scenes;
    auto& s = scenes[{width, height}];
    if (!s) s = std::make_unique<Scene>(width, height);
    return *s;
}

// Args: client width, client height, rows per batch, zoomed (0 / 1).
void rowsAgainstBuildingThemAlone(benchmark::State& state) {
    const auto width = static_cast<int>(state.range(0));
    const auto height = static_cast<int>(state.range(1));
    const auto rows = static_cast<std::uint32_t>(state.range(2));
    Scene& s = scene(width, height);
    if (!s.drovanta.ready()) {
        state.SkipWithError("Drovanta did not load");
        return;
    }
    display::DataWindow& w = s.view.dataWindow();
    const display::DataWindow whole = w;
    if (state.range(3) != 0) w = {whole.width / 4, whole.width / 2, 0, whole.height / 3};
    const std::uint64_t k = display::colourScale(50);
    double ours = 0, alone = 0;
    std::uint32_t line = 0;
    for (auto _ : state) {
        const double a = threadNanos();
        for (std::uint32_t r = 0; r < rows; ++r)
            s.picture.buildRow(s.view.ring(), (line + r) % 64, rows - 1 - r, k, true);
        const double b = threadNanos();
        for (std::uint32_t r = 0; r < rows; ++r)
            s.picture.buildRow(s.view.ring(), (line + r) % 64, rows - 1 - r, k, true);
        display::PassResult result;
        result.live = true;
        result.linesCovered = rows;
        s.picture.finishPass(result);
        const display::ImageBlocks shown = s.picture.blocks();
        benchmark::DoNotOptimize(shown.blocks.data());
        const double c = threadNanos();
        line += rows;
        alone += b - a;
        ours += c - b;
    }
    w = whole;
    const double n = static_cast<double>(state.iterations());
    const double perBatch = ours / n;
    state.counters["us_per_batch"] = perBatch / 1e3;
    state.counters["us_rows_alone"] = alone / n / 1e3;
    state.counters["ratio_vs_rows_alone"] = ours / alone;
    // Two views, 60 rows a second each, as the share of one core.
    state.counters["core_share_two_views_60rows"] = 2.0 * (60.0 / rows) * perBatch / 1e9;
}
BENCHMARK(rowsAgainstBuildingThemAlone)
    ->ArgNames({"w", "h", "rows", "zoomed"})
    ->Args({1920, 1080, 1, 0})
    ->Args({3840, 2160, 1, 0})
    ->Args({3840, 2160, 16, 0})
    ->Args({1920, 1080, 1, 1})
    ->Args({3840, 2160, 1, 1})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
