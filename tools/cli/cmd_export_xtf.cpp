// kestrova-cli export-xtf FILE.ksf... --out FOLDER [--quiet]: converts raw
// recordings to XTF after a day at sea. Each recording plays through the
// FrameAssembler in playback mode as fast as the machine allows (no pacing),
// every ping through the display step, every display line into the XTF
// writer: FOLDER/<name>_HF.xtf and FOLDER/<name>_LF.xtf per recording. The
// position records of the recording give the ping positions. A progress bar
// goes to standard error, one JSON summary line to standard output.

#include "acquisition/frame_assembler.h"
#include "acquisition/playback.h"
#include "acquisition/xtf_writer.h"
#include "platform/fs.h"
#include "platform/json_line.h"
#include "position/position_fix.h"
#include "tools/cli/command.h"
#include "tools/cli/export_display_step.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace kestrova::cli {
namespace {

using namespace kestrova::acquisition;

const char* kUsage = "export-xtf FILE.ksf... --out FOLDER [--quiet]";

class StderrNotices : public OperatorNotices {
  public:
    using OperatorNotices::notify;
    void notify(std::string_view, std::string_view english) override {
        std::fprintf(stderr, "\nKestrova: %.*s\n", static_cast<int>(english.size()),
                     english.data());
    }
};

// The frames of a recording: pings through the display step into the writer,
// position records into the context of the next pings.
class ExportSink : public FrameSink {
  public:
    ExportSink(ExportDisplayStep& step, XtfWriter& writer) : step_(step), writer_(writer) {}
    bool handPing(const PingRecord& ping, float rate, std::uint8_t changed) override {
        XtfPingInput line = step_.process(ping, rate, changed != 0);
        context_.altitude = step_.currentAltitude();
        writer_.write_xtf_ping(index(ping.frequency()), line, context_);
        return true;
    }
    void replayPosition(FrameType, std::span<const std::uint8_t, kPositionRecordSize> r) override {
        if (auto fix = position::decodePositionFix(r)) {
            context_.latitude = fix->latitude;
            context_.longitude = fix->longitude;
        }
    }

  private:
    ExportDisplayStep& step_;
    XtfWriter& writer_;
    XtfPingContext context_;
};

class ProgressBar {
  public:
    explicit ProgressBar(bool on) : on_(on) {}
    void show(std::size_t file, std::size_t files, std::uint64_t pos, std::uint64_t size) {
        if (!on_) return;
        const int pct = size ? static_cast<int>(pos * 100 / size) : 100;
        if (pct == last_ && file == lastFile_) return;
        last_ = pct;
        lastFile_ = file;
        char bar[41];
        const int filled = pct * 40 / 100;
        for (int i = 0; i < 40; ++i)
            bar[i] = i < filled ? '#' : '.';
        bar[40] = 0;
        std::fprintf(stderr, "\r[%s] %3d%%  file %zu/%zu", bar, pct, file, files);
        std::fflush(stderr);
    }
    void done() {
        if (on_) std::fputc('\n', stderr);
    }

  private:
    bool on_;
    int last_ = -1;
    std::size_t lastFile_ = 0;
};

std::string baseName(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ksf") == 0)
        name.resize(name.size() - 4);
    return name;
}

int runExportXtf(const Args& args) {
    ArgList list(args);
    auto out = list.value("--out");
    const bool quiet = list.flag("--quiet");
    auto inputs = list.positional();
    if (!list.ok()) return usageError(kUsage, list.error());
    if (!out) return usageError(kUsage, "--out FOLDER is required");
    if (inputs.empty()) return usageError(kUsage, "no recording given");
    for (const auto& in : inputs)
        if (in.size() > 1 && in[0] == '-') return usageError(kUsage, "unknown option " + in);
    if (!platform::isDirectory(*out)) {
        std::fprintf(stderr, "kestrova-cli: output folder %s does not exist\n", out->c_str());
        return kExitFailure;
    }

    display::DrovantaApi drovanta;
    if (!drovanta.load()) {
        std::fprintf(stderr, "kestrova-cli: %s\n", drovanta.failure().english.c_str());
        return kExitFailure;
    }
    drovanta.initialize();

    StderrNotices notices;
    RecordingEnvironment env;
    env.minFreeBytes = 0; // writes are checked; a small disk still converts what fits
    const auto started = std::chrono::steady_clock::now();
    ProgressBar bar(!quiet);
    std::uint64_t pings[2] = {0, 0};
    std::uint64_t bytes = 0;
    std::uint64_t bytesRead = 0;
    int failed = 0;
    std::string outputs = "[";

    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string& path = inputs[i];
        XtfWriter writer(notices, nullptr, env);
        ExportDisplayStep step(drovanta);
        ExportSink sink(step, writer);
        SonarStatus status;
        status.playbackMode = true;
        FrameAssembler assembler(sink, status);

        // The header decides the channel frequencies and sound speed of the files.
        KsfReader probe;
        KsfHeaderBytes header{};
        auto opened = probe.open(path, header);
        probe.close();
        if (opened.status != KsfReader::Status::Ok) {
            std::fprintf(stderr, "\nkestrova-cli: %s: %s\n", path.c_str(),
                         opened.status == KsfReader::Status::OpenFailed
                             ? notice::kKsfOpenFailed.english.c_str()
                             : notice::kKsfNotRecording.english.c_str());
            ++failed;
            continue;
        }
        DeviceSessionBlock session;
        session.deviceType = opened.header.deviceType;
        session.hfFrequency = opened.header.hfFrequency;
        session.lfFrequency = opened.header.lfFrequency;
        writer.setSession(session);
        const float c =
            opened.header.install.soundVelocity > 0 ? opened.header.install.soundVelocity : 1500.0f;
        writer.setSoundVelocity(c);
        step.setSoundSpeed(c);
        if (!writer.createNamed(*out, baseName(path))) {
            ++failed;
            continue;
        }
        const std::string hfPath = writer.path(XtfWriter::kHF);
        const std::string lfPath = writer.path(XtfWriter::kLF);
        auto r = playWithoutPacing(path, assembler, [&](std::uint64_t pos, std::uint64_t size) {
            bar.show(i + 1, inputs.size(), pos, size);
        });
        bytesRead += r.bytes;
        const bool writeFailed = writer.counters().writeFailures.load() != 0;
        for (int f = 0; f < 2; ++f) {
            pings[f] += writer.counters().pings[f].load();
            bytes += writer.counters().bytes[f].load() + xtf::kFileHeaderSize;
        }
        writer.close_xtf_files();
        if (r.readError || writeFailed) ++failed;
        if (outputs.size() > 1) outputs += ",";
        outputs += "\"" + JsonLine::escape(hfPath) + "\",\"" + JsonLine::escape(lfPath) + "\"";
    }
    bar.done();
    outputs += "]";
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::puts(JsonLine()
                  .unum("files", inputs.size())
                  .num("failed", failed)
                  .unum("pings_hf", pings[0])
                  .unum("pings_lf", pings[1])
                  .unum("bytes_read", bytesRead)
                  .unum("bytes", bytes)
                  .real("seconds", seconds, 3)
                  .raw("outputs", outputs)
                  .text()
                  .c_str());
    drovanta.terminate();
    return failed ? kExitFailure : kExitOk;
}

const Registration reg{"export-xtf", kUsage, runExportXtf};

} // namespace
} // namespace kestrova::cli
