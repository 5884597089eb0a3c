// kestrova-cli export-xtf FILE.ksf... --out FOLDER [--config FILE.ini]
// [--project FILE.ksp|FOLDER] [--quiet] [--sequential]: converts raw
// recordings to XTF after a day at sea. Each recording plays through the
// FrameAssembler in playback mode as fast as the machine allows (no pacing),
// the pings in batches through the waterfall views' own display pipeline,
// every display line into the XTF writer through the live session's line
// sink: FOLDER/<name>_HF.xtf and FOLDER/<name>_LF.xtf per recording (FOLDER
// is made when missing). The position records of the recording give the ping
// positions. A progress bar goes to standard error when it is a terminal
// (otherwise one line per finished recording), one JSON summary line to
// standard output.
// Reading runs ahead on a second thread and the LF display lines are made
// beside the HF ones; --sequential does everything on one thread (the same
// files, slower).
// The views draw with the operator's settings when --config (a SysCfg.ini, or
// the folder holding one; a SonarSetPara section in it is read too) or
// --project (the project's configuration file, read as opening the project
// reads it, after --config) gives them; without either, the program's
// defaults. Settings that cannot be read stop the command before anything is
// written.

#include "acquisition/playback.h"
#include "acquisition/xtf_writer.h"
#include "app/config/configuration.h"
#include "app/project.h"
#include "app/session/display_settings.h"
#include "display/recording_export.h"
#include "platform/fs.h"
#include "platform/json_line.h"
#include "tools/cli/command.h"
#include "tools/cli/operator_settings.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace kestrova::cli {
namespace {

using namespace kestrova::acquisition;

const char* kUsage = "export-xtf FILE.ksf... --out FOLDER [--config FILE.ini] "
                     "[--project FILE.ksp|FOLDER] [--quiet] [--sequential]";

class StderrNotices : public OperatorNotices {
  public:
    using OperatorNotices::notify;
    void notify(std::string_view chinese, std::string_view english) override {
        const std::string_view text = app::defaultMessenger().english() ? english : chinese;
        std::fprintf(stderr, "\nKestrova: %.*s\n", static_cast<int>(text.size()), text.data());
    }
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
    const bool sequential = list.flag("--sequential");
    auto configArg = list.value("--config");
    auto projectArg = list.value("--project");
    auto inputs = list.positional();
    if (!list.ok()) return usageError(kUsage, list.error());
    if (!out) return usageError(kUsage, "--out FOLDER is required");
    if (inputs.empty()) return usageError(kUsage, "no recording given");
    for (const auto& in : inputs)
        if (in.size() > 1 && in[0] == '-') return usageError(kUsage, "unknown option " + in);
    if (!platform::isDirectory(*out)) {
        // A new folder for the day's files is made as named.
        std::error_code ec;
        std::filesystem::create_directories(*out, ec);
        if (!platform::isDirectory(*out)) {
            std::fprintf(stderr, "kestrova-cli: cannot make the output folder %s\n", out->c_str());
            return kExitFailure;
        }
    }

    // Without --config or --project the pipelines keep their own defaults.
    display::DisplayPipelineSettings settings;
    if (configArg || projectArg) {
        app::Configuration config(platform::executableFolder(), app::userConfigFolder());
        app::defaultMessenger().setEnglish(config.readLanguageFlag());
        if (!loadOperatorSettings(config, configArg, projectArg)) return kExitFailure;
        app::applyProcessingSettings(config, settings);
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
    // The bar redraws one line: only for a person at a terminal. Into a file
    // or a pipe each finished recording gets one line instead.
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    ProgressBar bar(!quiet && terminal);
    std::uint64_t pings[2] = {0, 0};
    std::uint64_t bytes = 0;
    std::uint64_t bytesRead = 0;
    std::uint64_t missed = 0;
    int failed = 0;
    std::string outputs = "[";

    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string& path = inputs[i];
        XtfWriter writer(notices, nullptr, env);

        // The header decides the channel frequencies and sound speed of the files.
        KsfReader probe;
        KsfHeaderBytes header{};
        auto opened = probe.open(path, header);
        probe.close();
        if (opened.status != KsfReader::Status::Ok) {
            const NoticeText& why = opened.status == KsfReader::Status::OpenFailed
                                        ? notice::kKsfOpenFailed
                                        : notice::kKsfNotRecording;
            std::fprintf(stderr, "\nkestrova-cli: %s: %s\n", path.c_str(),
                         (app::defaultMessenger().english() ? why.english : why.chinese).c_str());
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
        if (!writer.createNamed(*out, baseName(path))) {
            ++failed;
            continue;
        }
        const std::string hfPath = writer.path(XtfWriter::kHF);
        const std::string lfPath = writer.path(XtfWriter::kLF);
        display::RecordingExportOptions options;
        options.settings = settings;
        // The recording's own sound speed wins over the settings': playing a
        // file back in the program takes the header's installation block
        // (sound speed included) into the configuration before a ping is
        // drawn, so that is what its views and its XTF use.
        options.settings.soundSpeed = c;
        options.readAhead = !sequential;
        options.splitFrequencies = !sequential;
        const auto exported = display::exportRecording(
            path, drovanta, writer, options, [&](std::uint64_t pos, std::uint64_t size) {
                bar.show(i + 1, inputs.size(), pos, size);
            });
        const UnpacedResult& r = exported.read;
        bytesRead += r.bytes;
        missed += exported.missed;
        const bool writeFailed = writer.counters().writeFailures.load() != 0;
        for (int f = 0; f < 2; ++f) {
            pings[f] += writer.counters().pings[f].load();
            bytes += writer.counters().bytes[f].load() + xtf::kFileHeaderSize;
        }
        writer.close_xtf_files();
        if (r.readError || writeFailed) ++failed;
        if (!quiet && !terminal)
            std::fprintf(stderr, "kestrova-cli: %zu/%zu %s: %llu HF and %llu LF pings%s\n", i + 1,
                         inputs.size(), path.c_str(),
                         static_cast<unsigned long long>(writer.counters().pings[0].load()),
                         static_cast<unsigned long long>(writer.counters().pings[1].load()),
                         r.readError || writeFailed ? ", failed" : "");
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
                  .unum("pings_missed", missed)
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
