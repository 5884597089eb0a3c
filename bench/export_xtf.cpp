// XTF export throughput: a recording of a few hundred MiB (the sonar model's
// HF/LF survey, 3600 samples per side) converted as kestrova-cli export-xtf
// does it (assembler in playback mode, the views' display pipeline in
// batches, the session's XTF line sink and writer), against a plain 64 KiB
// read of the same file measured in the same run. The recording and the XTF
// files live in a temporary folder removed at the end; the size is
// KESTROVA_BENCH_MIB (default 256, at most 300).

#include "acquisition/frame_assembler.h"
#include "acquisition/ksf_header.h"
#include "acquisition/playback.h"
#include "acquisition/xtf_writer.h"
#include "display/recording_export.h"
#include "platform/fs.h"
#include "tools/sonar-sim/sonar_stream.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace kestrova;
using namespace kestrova::acquisition;

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
        KsfHeaderBytes h = encodeKsfHeader({}, {});
        std::fwrite(h.data(), 1, h.size(), f);
        sim::SonarStreamConfig cfg;
        cfg.samplesPerSide = 3600;
        cfg.attitudeInPings = true;
        sim::SonarStream stream(cfg);
        std::vector<std::uint8_t> bytes;
        while (size < (mib << 20)) {
            bytes.clear();
            stream.next(bytes);
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
    std::string folder;
    std::string recording;
    std::uint64_t size = 0;
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

// Drops the file's pages from the cache, so that a read comes from the disk as
// it does for a day's recordings converted at the end of the survey.
void dropFromCache(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

double g_plainRate[2] = {0, 0}; // bytes per second of the plain read: [cached, from disk]

void BM_PlainRead(benchmark::State& state) {
    const bool cold = state.range(0) != 0;
    Workspace& w = workspace();
    std::vector<std::uint8_t> buffer(FrameAssembler::kMaxRead);
    double seconds = 0;
    std::uint64_t total = 0;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            dropFromCache(w.recording);
            state.ResumeTiming();
        }
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
    g_plainRate[cold ? 1 : 0] = total / seconds;
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
}
BENCHMARK(BM_PlainRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// Without the display pipeline: the top 16 bits of the raw samples, to show
// what the reading, assembling and writing cost on their own.
class RawSink : public FrameSink {
  public:
    explicit RawSink(XtfWriter& writer) : writer_(writer) {}
    bool handPing(const PingRecord& ping, float, std::uint8_t) override {
        port_.resize(ping.portCount());
        stbd_.resize(ping.starboardCount());
        for (std::size_t i = 0; i < port_.size(); ++i)
            port_[i] = *ping.portSample(i) >> 16;
        for (std::size_t i = 0; i < stbd_.size(); ++i)
            stbd_[i] = *ping.starboardSample(i) >> 16;
        writer_.write_xtf_ping(index(ping.frequency()),
                               {ping.bytes().first(PingHeader::kSize), port_, stbd_}, {});
        return true;
    }

  private:
    XtfWriter& writer_;
    std::vector<std::uint16_t> port_, stbd_;
};

// How the pings reach the writer.
constexpr std::int64_t kRawOnly = 0;          // no display: the machinery alone
constexpr std::int64_t kPassPerPing = 1;      // the pipeline, one pass per ping
constexpr std::int64_t kBatched = 2;          // the pipeline in batches, one thread
constexpr std::int64_t kBatchedReadAhead = 3; // reading on a second thread
constexpr std::int64_t kParallel = 4;         // as the command runs: read-ahead, LF beside HF

void BM_ExportXtf(benchmark::State& state) {
    Workspace& w = workspace();
    display::DrovantaApi drovanta;
    // Benchmarks live in build/bench, the program's libraries in build/bin.
    const bool loaded = drovanta.load() || drovanta.load(platform::executableFolder() + "../bin");
    if (!loaded || !drovanta.initialize()) {
        state.SkipWithError("Drovanta not found beside the benchmark's program folder");
        return;
    }
    NoticeList notices;
    RecordingEnvironment env;
    env.minFreeBytes = 0;
    double seconds = 0;
    std::uint64_t total = 0;
    std::uint64_t pings = 0;
    const bool cold = state.range(0) != 0;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            dropFromCache(w.recording);
            state.ResumeTiming();
        }
        const auto t0 = std::chrono::steady_clock::now();
        XtfWriter writer(notices, nullptr, env);
        writer.createNamed(w.folder, "survey");
        UnpacedResult r;
        const std::int64_t mode = state.range(1);
        if (mode == kRawOnly) {
            RawSink sink(writer);
            SonarStatus status;
            status.playbackMode = true;
            auto assembler = std::make_unique<FrameAssembler>(sink, status);
            r = playWithoutPacing(w.recording, *assembler);
        } else {
            display::RecordingExportOptions options;
            options.readAhead = mode == kBatchedReadAhead || mode == kParallel;
            options.splitFrequencies = mode == kParallel;
            options.batchPings = mode == kPassPerPing ? 1 : PingBatchData::kMaxPings;
            r = display::exportRecording(w.recording, drovanta, writer, options).read;
        }
        writer.close_xtf_files();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        total += r.bytes;
        pings += writer.counters().pings[0] + writer.counters().pings[1];
        std::filesystem::remove(w.folder + "/survey_HF.xtf");
        std::filesystem::remove(w.folder + "/survey_LF.xtf");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
    state.counters["pings"] = static_cast<double>(pings) / static_cast<double>(state.iterations());
    state.counters["MiB"] = static_cast<double>(w.size) / (1 << 20);
    // Against the plain read of the same kind (cached, or from the disk).
    const double plain = g_plainRate[cold ? 1 : 0];
    if (plain > 0) state.counters["ratio_vs_plain_read"] = total / seconds / plain;
    drovanta.terminate();
}
// Args: {from disk, route}. The display (Drovanta) is most of the conversion;
// the runs without it show the cost of the recording machinery.
BENCHMARK(BM_ExportXtf)
    ->Args({0, kParallel})
    ->Args({1, kParallel})
    ->Args({0, kBatchedReadAhead})
    ->Args({0, kBatched})
    ->Args({0, kPassPerPing})
    ->Args({0, kRawOnly})
    ->Args({1, kRawOnly})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime() // the conversion's threads work while the timing thread waits
    ->Iterations(2);

} // namespace

BENCHMARK_MAIN();
