// Mosaic throughput: a recording of a few hundred MiB (the simulated world's
// survey, HF/LF at 3600 samples per side, a position record every 0.2 s)
// mosaicked as kestrova-cli mosaic does it (the views' display pipeline, the
// navigation's towfish placement, the canvas and the GeoTIFF through GDAL),
// against a plain 64 KiB read of the same file measured in the same run, from
// the page cache and, as a second counter, from the disk (the file's cached
// pages dropped before each read; the mosaic itself then reads cached). The
// files live in a temporary folder removed at the end; the size is
// KESTROVA_BENCH_MIB (default 256, at most 300). Reports the peak memory too.
// KESTROVA_BENCH_TIF=PREFIX keeps each mosaic as PREFIX<resolution cm>.tif (to
// compare the output of two builds).

#include "acquisition/frame_format.h"
#include "acquisition/ksf_header.h"
#include "mosaic/recording_mosaic.h"
#include "platform/bytes.h"
#include "platform/fs.h"
#include "position/position_fix.h"
#include "tools/nav-sim/sim_world.h"
#include "tools/sonar-sim/sonar_stream.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace kestrova;

class Workspace {
  public:
    Workspace() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kestrova-bench-XXXXXX").string();
        if (char* made = ::mkdtemp(pattern.data())) folder = made;
        const char* env = std::getenv("KESTROVA_BENCH_MIB");
        std::uint64_t mib = env ? std::strtoull(env, nullptr, 10) : 256;
        if (mib == 0 || mib > 300) mib = 256;
        recording = folder + "/survey.ksf";
        std::FILE* f = std::fopen(recording.c_str(), "wb");
        if (!f) return;
        const acquisition::KsfHeaderBytes h = acquisition::encodeKsfHeader({}, {});
        std::fwrite(h.data(), 1, h.size(), f);
        const double epoch = 1714557600.0;
        const navsim::SimWorld world(1, epoch);
        sim::SonarStreamConfig cfg;
        cfg.samplesPerSide = 3600;
        cfg.attitudeInPings = true;
        cfg.startEpoch = epoch;
        cfg.world = &world;
        sim::SonarStream stream(cfg);
        std::vector<std::uint8_t> bytes;
        double nextFix = 0.0;
        while (size < (mib << 20)) {
            bytes.clear();
            if (stream.nextTime() >= nextFix) {
                appendFix(world, epoch + nextFix, bytes);
                nextFix += 0.2;
            } else {
                stream.next(bytes);
            }
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            size += bytes.size();
        }
        size += h.size();
        std::fclose(f);
    }
    ~Workspace() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    // A position frame as the recorder writes it: header, record, trailer.
    static void appendFix(const navsim::SimWorld& world, double time,
                          std::vector<std::uint8_t>& out) {
        const navsim::VesselState v = world.vesselAt(time);
        position::PositionFix fix;
        fix.kind = position::kFixPosition;
        fix.fixTime = time;
        fix.latitude = v.latitude;
        fix.longitude = v.longitude;
        fix.latHemisphere = 'N';
        fix.lonHemisphere = 'E';
        fix.speed = v.speed * position::kKnotsPerMetrePerSecond;
        fix.course = v.heading;
        std::vector<std::uint8_t> frame(acquisition::SonarFrameHeader::kSize +
                                        acquisition::kPositionFrameLength);
        acquisition::SonarFrameHeader fh;
        fh.type = static_cast<std::uint16_t>(acquisition::FrameType::Position);
        fh.length = acquisition::kPositionFrameLength;
        fh.encode(frame);
        const position::PositionFixBytes record = position::encode(fix);
        std::copy(record.begin(), record.end(),
                  frame.begin() + acquisition::kPositionRecordOffset);
        ByteWriter(frame).u32le(frame.size() - acquisition::kTrailerSize,
                                acquisition::kFrameTrailer);
        out.insert(out.end(), frame.begin(), frame.end());
    }

    std::string folder;
    std::string recording;
    std::uint64_t size = 0;
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

double g_plainRate = 0; // bytes per second of the plain read

double processCpuSeconds() {
    rusage use{};
    ::getrusage(RUSAGE_SELF, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

void BM_PlainRead(benchmark::State& state) {
    Workspace& w = workspace();
    std::vector<std::uint8_t> buffer(64 << 10);
    double seconds = 0;
    std::uint64_t total = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        std::FILE* f = std::fopen(w.recording.c_str(), "rb");
        std::uint64_t n = 0;
        for (std::size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0;) {
            benchmark::DoNotOptimize(buffer.data());
            n += got;
        }
        std::fclose(f);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        total += n;
    }
    g_plainRate = total / seconds;
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->Iterations(3);

double g_uncachedRate = 0; // bytes per second of the same read from the disk

// The same read with the file's pages dropped from the page cache first: what
// a recording read once after a survey costs.
void BM_PlainReadUncached(benchmark::State& state) {
    Workspace& w = workspace();
    std::vector<std::uint8_t> buffer(64 << 10);
    double seconds = 0;
    std::uint64_t total = 0;
    for (auto _ : state) {
        const int fd = ::open(w.recording.c_str(), O_RDONLY);
        if (fd < 0 || ::fdatasync(fd) != 0 || ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0) {
            if (fd >= 0) ::close(fd);
            state.SkipWithError("cannot drop the recording from the page cache");
            return;
        }
        const auto t0 = std::chrono::steady_clock::now();
        std::uint64_t n = 0;
        for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;) {
            benchmark::DoNotOptimize(buffer.data());
            n += static_cast<std::uint64_t>(got);
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ::close(fd);
        total += n;
    }
    g_uncachedRate = total / seconds;
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
}
BENCHMARK(BM_PlainReadUncached)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Mosaic(benchmark::State& state) {
    Workspace& w = workspace();
    display::DrovantaApi drovanta;
    // Benchmarks live in build/bench, the program's libraries in build/bin.
    const bool loaded = drovanta.load() || drovanta.load(platform::executableFolder() + "../bin");
    if (!loaded || !drovanta.initialize()) {
        state.SkipWithError("Drovanta not found beside the benchmark's program folder");
        return;
    }
    double seconds = 0, cpu = 0;
    std::uint64_t total = 0, placed = 0;
    for (auto _ : state) {
        const double cpu0 = processCpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        mosaic::MosaicOptions options;
        options.resolution = state.range(0) / 100.0;
        mosaic::SurveyMosaic survey(options);
        survey.add(w.recording, drovanta);
        std::string error;
        if (!survey.write(w.folder + "/survey.tif", error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        cpu += processCpuSeconds() - cpu0;
        total += w.size;
        placed += survey.placed();
        if (const char* keep = std::getenv("KESTROVA_BENCH_TIF"))
            std::filesystem::copy_file(w.folder + "/survey.tif",
                                       keep + std::to_string(state.range(0)) + ".tif",
                                       std::filesystem::copy_options::overwrite_existing);
        std::filesystem::remove(w.folder + "/survey.tif");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
    state.counters["MiB"] = static_cast<double>(w.size) / (1 << 20);
    // Processor time of all threads: on a shared machine steadier than the
    // wall time, which it bounds from below (divided by the cores).
    state.counters["cpu_s"] = cpu / static_cast<double>(state.iterations());
    state.counters["placed"] = static_cast<double>(placed) / static_cast<double>(state.iterations());
    if (g_plainRate > 0 && seconds > 0)
        state.counters["ratio_vs_plain_read"] = total / seconds / g_plainRate;
    if (g_uncachedRate > 0 && seconds > 0)
        state.counters["ratio_vs_uncached_read"] = total / seconds / g_uncachedRate;
    rusage use{};
    ::getrusage(RUSAGE_SELF, &use);
    state.counters["peak_MiB"] = static_cast<double>(use.ru_maxrss) / 1024.0;
    drovanta.terminate();
}
// Arg: resolution in centimetres per cell.
BENCHMARK(BM_Mosaic)->Arg(25)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

BENCHMARK_MAIN();
