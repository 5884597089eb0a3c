// Redrawing the navigation map after a long day: a 24 h track at 10 fixes a
// second (864 000 points) with its HF and LF coverage, at 1920 x 1080, fitted
// so the whole day is in view, against drawing the same number of plain line
// segments with the same painter in the same iterations. The map must stay
// under 16 ms, also on the frame right after a zoom (zoom_frame_ms, the day
// thinned again for the new scale) as on frames at an unchanged scale
// (ms_per_frame); ratio_vs_segments says what the thinning buys.

#if defined(KESTROVA_NAV_QT)

#include "navigation/navi_model.h"
#include "navigation/ui/navi_painter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

namespace {

using namespace kestrova;
// Thread CPU time: the machine may be shared, and the frame budget is about
// the work the interface thread does, not about who else runs.
double cpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e9 + t.tv_nsec;
}

constexpr std::size_t kPoints = 864000;

// Survey lines 2 km long, 50 m apart, at 2 m/s with a little wander.
navigation::NaviModel dayOfSurvey() {
    navigation::NaviModel m;
    m.view().width = 1920;
    m.view().height = 1080;
    m.view().follow = 0;
    std::vector<position::TrackPoint> track;
    track.reserve(kPoints);
    double along = 0.0;
    int line = 0;
    for (std::size_t i = 0; i < kPoints; ++i) {
        along += 0.2;
        if (along > 2000.0) {
            along = 0.0;
            ++line;
        }
        const double north = line % 2 == 0 ? along : 2000.0 - along;
        const double east = line * 50.0 + 0.5 * std::sin(i * 0.001);
        track.push_back({500000.0 + east, 4000000.0 + north, 3.9f, line % 2 == 0 ? 0.0f : 180.0f});
    }
    m.addTrackPoints(track);
    std::vector<navigation::CoverageSegment> cover;
    for (std::size_t i = 0; i < kPoints; i += 20) { // one segment every 2 s
        const position::TrackPoint& t = track[i];
        cover.push_back({{t.east - 40, t.north}, {t.east, t.north}, {t.east + 40, t.north}});
    }
    m.addCoverage(true, cover);
    m.addCoverage(false, cover);
    m.fitView();
    return m;
}

void BM_NavigationDayRedraw(benchmark::State& state) {
    navigation::NaviModel model = dayOfSurvey();
    QImage image(1920, 1080, QImage::Format_RGB32);
    QPolygonF plain;
    plain.reserve(kPoints);
    for (std::size_t i = 0; i < kPoints; ++i)
        plain << QPointF(static_cast<double>(i % 1900), static_cast<double>((i / 1900) % 1080));
    // The first frame also builds the thinning pyramids of the whole day at
    // once; the program builds them a few fixes at a time as they arrive.
    double firstNs = 0.0;
    {
        const double t0 = cpuNs();
        QPainter p(&image);
        navigation::ui::paintNaviMap(p, model, {});
        firstNs = cpuNs() - t0;
    }
    // Each iteration: a zoom step (in and out in turn, about the centre), the
    // frame after it (the day thinned again for the new scale), a frame at the
    // same scale (new fixes, pans, turns), and the plain segments.
    double zoomNs = 0.0, mapNs = 0.0, plainNs = 0.0;
    bool in = true;
    for (auto _ : state) {
        navigation::zoomAboutCentre(model.view(), in ? 1.0 / 1.1 : 1.1);
        in = !in;
        const double t0 = cpuNs();
        {
            QPainter p(&image);
            navigation::ui::paintNaviMap(p, model, {});
        }
        const double t1 = cpuNs();
        {
            QPainter p(&image);
            navigation::ui::paintNaviMap(p, model, {});
        }
        const double t2 = cpuNs();
        {
            QPainter p(&image);
            p.setPen(QPen(Qt::black, 1));
            p.drawPolyline(plain);
        }
        const double t3 = cpuNs();
        zoomNs += t1 - t0;
        mapNs += t2 - t1;
        plainNs += t3 - t2;
        benchmark::DoNotOptimize(image.constBits());
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["first_frame_ms"] = firstNs / 1e6;
    state.counters["zoom_frame_ms"] = zoomNs / n / 1e6;
    state.counters["ms_per_frame"] = mapNs / n / 1e6;
    state.counters["segments_ms"] = plainNs / n / 1e6;
    state.counters["ratio_vs_segments"] = mapNs / plainNs;
    state.counters["zoom_ratio_vs_segments"] = zoomNs / plainNs;
}
BENCHMARK(BM_NavigationDayRedraw)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

#else
int main() {
    return 0;
}
#endif
