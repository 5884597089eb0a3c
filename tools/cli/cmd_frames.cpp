// kestrova-cli frames FILE|- [--playback]: feeds a byte stream of sonar frames
// through the FrameAssembler in reads of at most 0x10000 bytes, as the receive
// thread does, and prints one JSON line per dispatched frame and a summary.
// With --display every ping also goes through its waterfall's display pipeline
// (Drovanta loaded from the program folder), and its line gains the bottom
// sample, the altitude and the side whose bottom was chosen.

#include "acquisition/frame_assembler.h"
#include "display/view_pipeline.h"
#include "tools/cli/command.h"
#include "tools/cli/frame_json.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace kestrova::cli {
namespace {

using namespace kestrova::acquisition;

const char* kUsage = "frames FILE|- [--playback] [--display]";

// Both waterfalls' pipelines without their pictures: one ping per pass.
struct DisplayPath {
    display::DrovantaApi drovanta;
    display::DisplayShared shared;
    std::unique_ptr<PingBatch> batches[kFrequencyCount];
    std::unique_ptr<display::ViewPipeline> views[kFrequencyCount];

    bool start() {
        if (!drovanta.load() || !drovanta.initialize()) {
            std::fprintf(stderr, "kestrova-cli: %s\n", drovanta.failure().english.c_str());
            return false;
        }
        for (Frequency f : {Frequency::HF, Frequency::LF}) {
            batches[index(f)] = std::make_unique<PingBatch>();
            views[index(f)] = std::make_unique<display::ViewPipeline>(f, drovanta, shared);
        }
        return true;
    }

    // The ping's display outcome as extra JSON fields.
    std::string run(const PingRecord& ping, float rate, std::uint8_t changed) {
        const int f = index(ping.frequency());
        if (!batches[f]->append(ping, rate, changed)) return ",\"display\":\"dropped\"";
        views[f]->intake(*batches[f]);
        views[f]->processPass();
        const auto outcomes = views[f]->lastOutcomes();
        if (outcomes.empty()) return ",\"display\":\"dropped\"";
        const display::LineOutcome& o = outcomes.back();
        std::string json = JsonLine()
                               .unum("bottom", o.bottomSample)
                               .real("altitude", o.slantRange, 3)
                               .str("side", o.side == 0 ? "port" : "starboard")
                               .text();
        return "," + json.substr(1, json.size() - 2);
    }
};

class PrintingSink : public FrameSink {
  public:
    bool handPing(const PingRecord& ping, float rate, std::uint8_t changed) override {
        std::string line = pingLine(ping.frequency(), ping.header(), ping.portCount(),
                                    ping.starboardCount(), rate, changed);
        if (display && !line.empty() && line.back() == '}') {
            line.pop_back();
            line += display->run(ping, rate, changed) + "}";
        }
        std::puts(line.c_str());
        ++pings[index(ping.frequency())];
        return true;
    }
    DisplayPath* display = nullptr;
    void storeAttitude(std::span<const std::uint8_t, AttitudeRecord::kSize> record) override {
        std::puts(attitudeLine(*AttitudeRecord::decode(record)).c_str());
    }
    void replayPosition(FrameType type,
                        std::span<const std::uint8_t, kPositionRecordSize>) override {
        std::puts(JsonLine()
                      .str("kind", "position")
                      .unum("type", static_cast<unsigned>(type))
                      .text()
                      .c_str());
    }
    std::uint64_t pings[kFrequencyCount] = {0, 0};
};

int runFrames(const Args& args) {
    ArgList list(args);
    const bool playback = list.flag("--playback");
    const bool withDisplay = list.flag("--display");
    auto rest = list.positional();
    if (!list.ok()) return usageError(kUsage, list.error());
    if (rest.size() != 1)
        return usageError(kUsage, rest.empty() ? "no input given" : "one input only");
    for (const auto& r : rest)
        if (r.size() > 1 && r[0] == '-') return usageError(kUsage, "unknown option " + r);

    const std::string& path = rest[0];
    std::FILE* in = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!in) {
        std::fprintf(stderr, "kestrova-cli: cannot open %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return kExitFailure;
    }

    std::unique_ptr<DisplayPath> display;
    if (withDisplay) {
        display = std::make_unique<DisplayPath>();
        if (!display->start()) {
            if (in != stdin) std::fclose(in);
            return kExitFailure;
        }
    }

    SonarStatus status;
    status.playbackMode = playback;
    PrintingSink sink;
    sink.display = display.get();
    FrameAssembler assembler(sink, status);
    std::uint32_t fill = 0;
    std::uint8_t* writePos = assembler.buffer();
    std::uint64_t total = 0;
    bool readError = false;
    for (;;) {
        if (fill > FrameAssembler::kOverflowLimit) {
            fill = 0;
            writePos = assembler.buffer();
            assembler.reset();
        }
        std::size_t n = std::fread(writePos, 1, FrameAssembler::kMaxRead, in);
        if (n == 0) {
            readError = std::ferror(in) != 0;
            break;
        }
        total += n;
        fill += static_cast<std::uint32_t>(n);
        writePos = assembler.feed(fill, nullptr);
    }
    if (in != stdin) std::fclose(in);

    const FrameAssemblerStats& st = assembler.stats();
    std::puts(summaryLine(total, sink.pings[0], sink.pings[1], st.attitudes, st.dropped()).c_str());
    if (readError) {
        std::fprintf(stderr, "kestrova-cli: reading %s failed\n", path.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

const Registration reg{"frames", kUsage, runFrames};

} // namespace
} // namespace kestrova::cli
